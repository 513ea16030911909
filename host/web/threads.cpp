// The page has no threads: they need a cross-origin isolated page, which a plain file server does
// not give. A thread therefore runs to its end as it starts, and joining it finds it done; the
// C library's locks do nothing here, so its work never waits. The replay writer writes its file
// at once; the picture decoder is given no list here; the sockets and their
// workers are not in the browser build. These replace the C library's weak stubs, which refuse
// every thread.
#include <pthread.h>

namespace {

// Stands for every finished thread; a null handle would mean no thread at all.
char finishedThread;

} // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t*, void* (*start)(void*), void* arg) {
    start(arg);
    *thread = reinterpret_cast<pthread_t>(&finishedThread);
    return 0;
}

extern "C" int pthread_join(pthread_t, void** result) {
    if (result) *result = nullptr;
    return 0;
}
