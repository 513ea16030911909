#include "net/thread.h"

#include "host/console.h"

#include <cstdlib>
#include <system_error>
#include <thread>

void VxThread::Start() {
    if (IsRunning()) return;
    result = nullptr;
    threadState.store(1, std::memory_order_relaxed);
    Launch([this] {
        Run__UNSAFE__();
        threadState.store(2, std::memory_order_release);
    });
}

bool VxThread::IsRunning() { return threadState.load(std::memory_order_acquire) == 1; }

Object* VxThread::Result() { return result; }

void VxThread::SetResult(Object* value) { gc_assign(result, value); }

void VxThread::Launch(std::function<void()> body) {
    try {
        std::thread(std::move(body)).detach();
    } catch (const std::system_error&) {
        vxPrint(String(u"CreateThread failed!"));
        std::exit(-1);
    }
}
