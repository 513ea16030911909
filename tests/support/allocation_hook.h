// Tells a function about every heap block the program takes (malloc, calloc, realloc, and new,
// which goes through them), for tests that count or size allocations. Linked into every test
// program (allocation_hook.cpp).
#pragma once

#include <cstddef>

namespace allocation_hook {

using Hook = void (*)(std::size_t size);

// Installs the hook, or removes it with null; false where this build cannot count (ThreadSanitizer,
// whose allocator offers no hook and may not be stood in for).
bool Install(Hook hook);

} // namespace allocation_hook
