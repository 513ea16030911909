// The largest single heap block asked for while a piece of code runs, for tests that check a hostile
// header cannot make a loader allocate what it claims. Counted in AddressSanitizer builds only.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>

namespace largest_allocation {

inline std::atomic<bool> watching{false};
inline std::atomic<std::size_t> largest{0};

#ifdef __SANITIZE_ADDRESS__
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, std::size_t),
                                                         void (*)(const volatile void*));
inline void onMalloc(const volatile void*, std::size_t size) {
    if (watching && size > largest) largest = size;
}
inline void onFree(const volatile void*) {}
inline const bool counted = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree) != 0;
#else
inline const bool counted = false;
#endif

} // namespace largest_allocation

// Runs `body`; the size of the largest block it allocated, or 0 where nothing is counted.
inline std::size_t LargestAllocationDuring(const std::function<void()>& body) {
    largest_allocation::largest = 0;
    largest_allocation::watching = true;
    body();
    largest_allocation::watching = false;
    return largest_allocation::largest;
}
