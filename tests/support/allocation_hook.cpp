// AddressSanitizer's allocator calls a hook of its own on every block. Other builds stand in for the
// C library's malloc, calloc and realloc, which hand each block on to glibc's own allocator
// (__libc_malloc and its kin), so the release build counts exactly what the sanitizer build does.
// free is left to the C library: these blocks are its own. ThreadSanitizer's allocator has no such
// hook and may not be stood in for, so that build counts nothing.
#include "allocation_hook.h"

#include <atomic>

#if defined(__SANITIZE_THREAD__)

bool allocation_hook::Install(Hook) { return false; }

#else

namespace {

std::atomic<allocation_hook::Hook> current{nullptr};

void Notify(std::size_t size) {
    if (allocation_hook::Hook hook = current.load(std::memory_order_relaxed)) hook(size);
}

} // namespace

#if defined(__SANITIZE_ADDRESS__)

// GCC ships no header for the sanitizer's hook.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*,
                                                                             std::size_t),
                                                         void (*free_hook)(const volatile void*));

bool allocation_hook::Install(Hook hook) {
    static const bool installed =
        __sanitizer_install_malloc_and_free_hooks(
            [](const volatile void*, std::size_t size) { Notify(size); }, [](const volatile void*) {}) != 0;
    current = hook;
    return installed;
}

#else

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);

void* malloc(std::size_t size) noexcept {
    Notify(size);
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) noexcept {
    Notify(count * size);
    return __libc_calloc(count, size);
}

void* realloc(void* block, std::size_t size) noexcept {
    Notify(size);
    return __libc_realloc(block, size);
}
}

bool allocation_hook::Install(Hook hook) {
    current = hook;
    return true;
}

#endif

#endif
