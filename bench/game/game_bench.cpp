#include "bench/game/game_bench.h"

#include "devices/graphics/drawcalls.h"
#include "framework/app/app.h"
#include "framework/graphics/graphics.h"
#include "host/game.h"

#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>
#include <X11/Xlib.h>

#include <cerrno>
#include <cstdlib>
#include <new>

// Every heap block of the main thread, whichever library takes it: malloc and its kin are
// replaced here, in the program, so that the window library, Xlib and the OpenGL driver call
// them too; they hand the work to the C library's own allocator.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* p);
}

namespace {
// Set on the thread that counts, so the driver's worker threads are left out.
thread_local bool counting = false;
long allocations = 0, driverAllocations = 0;
void* Counted(void* p) {
    if (!counting) return p;
    if (gxtkDrawCalls::InDriver()) {
        ++driverAllocations;
    } else {
        ++allocations;
    }
    return p;
}
} // namespace

extern "C" {
void* malloc(std::size_t size) { return Counted(__libc_malloc(size)); }
void* calloc(std::size_t count, std::size_t size) { return Counted(__libc_calloc(count, size)); }
void* realloc(void* p, std::size_t size) { return Counted(__libc_realloc(p, size)); }
void free(void* p) { __libc_free(p); }
void* memalign(std::size_t alignment, std::size_t size) { return Counted(__libc_memalign(alignment, size)); }
void* aligned_alloc(std::size_t alignment, std::size_t size) { return memalign(alignment, size); }
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    void* p = memalign(alignment, size);
    if (!p) return ENOMEM;
    *out = p;
    return 0;
}
}

void* operator new(std::size_t size) {
    if (void* p = malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return malloc(size ? size : 1); }
// The replaced operator new takes its memory from malloc, so free is the matching release.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace gamebench {

VxGlfwGame* Host() {
    static VxGlfwGame* host = [] {
        if (!glfwInit()) std::abort();
        auto* h = new VxGlfwGame;
        h->Install();
        h->SetGlfwWindow(VxWindowRequest{});
        if (!h->Window()) std::abort();
        h->SetSwapInterval(0);
        return h;
    }();
    return host;
}

c_MyApp* Game() {
    static c_MyApp* app = [] {
        VxGlfwGame* host = Host();
        vx_app_Init();
        vx_graphics_Init();
        vx_game_Init();
        (new c_MyApp)->m_new();
        host->StartGame();
        auto* game = static_cast<c_MyApp*>(vx_app__app.get());
        while (game->m_Loading > 0) {
            host->UpdateGame();
            host->RenderGame();
        }
        return game;
    }();
    return app;
}

void StartCounting() {
    allocations = driverAllocations = 0;
    counting = true;
}

long StopCounting() {
    counting = false;
    return allocations;
}

long DriverAllocations() { return driverAllocations; }

unsigned long DisplayRequests() { return NextRequest(glfwGetX11Display()) - 1; }

} // namespace gamebench
