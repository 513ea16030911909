#include "net/asyncqueue.h"

#include "host/console.h"
#include "net/socket.h"

#include <chrono>
#include <thread>

namespace {

int next(int index) { return (index + 1) % c_AsyncQueue::capacity; }

} // namespace

c_AsyncQueue* c_AsyncQueue::m_new(c_Socket* socket) {
    c_Thread::m_new();
    gc_assign(m_socket, socket);
    gc_assign(m_ops, Array<c_AsyncOp*>(capacity));
    return this;
}

void c_AsyncQueue::p_Enqueue(c_AsyncOp* op) {
    int put = m_putIndex.load(std::memory_order_relaxed);
    // The slot is free: the operation it held was completed, so the worker has passed it.
    gc_assign(m_ops[put], op);
    if (next(put) == m_completeIndex.load(std::memory_order_relaxed))
        vxError(String(u"AsyncQueue queue overflow!"));
    m_putIndex.store(next(put), std::memory_order_release);
    std::lock_guard lock(parking->mutex);
    if (IsRunning())
        parking->wake.notify_one();
    else
        Start();
}

void c_AsyncQueue::Start() {
    if (IsRunning()) return;
    threadState.store(1, std::memory_order_relaxed);
    // The thread's own share of the parking keeps the mutex alive for its last unlock.
    Launch([this, shared = parking] { p_Work__UNSAFE__(*shared); });
}

void c_AsyncQueue::p_Work__UNSAFE__(Parking& shared) {
    int run = m_runIndex.load(std::memory_order_relaxed);
    auto pending = [&] { return run != m_putIndex.load(std::memory_order_acquire); };
    std::unique_lock lock(shared.mutex, std::defer_lock);
    for (;;) {
        while (pending()) {
            m_ops[run]->p_Execute__UNSAFE__(m_socket);
            run = next(run);
            m_runIndex.store(run, std::memory_order_release);
        }
        // A few yields first: in a busy exchange the next operation tends to follow within
        // microseconds, sooner than a wake-up through the condition variable would arrive.
        for (int spin = 0; spin < 64 && !pending() && !shared.stopped; ++spin) std::this_thread::yield();
        if (pending()) continue;
        lock.lock();
        shared.wake.wait_for(lock,
                             std::chrono::milliseconds(m_lingerMilliseconds.load(std::memory_order_relaxed)),
                             [&] { return shared.stopped || pending(); });
        if (!pending()) {
            // Under the lock: an enqueue from now on finds the worker ended and starts another.
            // Nothing of the queue is touched after this store; the lock's release is the
            // thread's own.
            threadState.store(2, std::memory_order_release);
            return;
        }
        lock.unlock();
    }
}

void c_AsyncQueue::p_UpdateAsyncEvents() {
    // Both indices are read afresh for every operation: a listener that updates this queue again
    // delivers the next results itself, and none is delivered twice.
    for (int done; (done = m_completeIndex.load(std::memory_order_relaxed)) !=
                   m_runIndex.load(std::memory_order_acquire);) {
        c_AsyncOp* op = m_ops[done];
        m_ops[done] = nullptr;
        m_completeIndex.store(next(done), std::memory_order_relaxed);
        op->p_Complete(m_socket);
    }
}

void c_AsyncQueue::p_Stop() {
    std::lock_guard lock(parking->mutex);
    parking->stopped = true;
    parking->wake.notify_all();
}

bool c_AsyncQueue::p_IsDrained() const {
    return m_completeIndex.load(std::memory_order_relaxed) == m_putIndex.load(std::memory_order_relaxed);
}

void c_AsyncQueue::mark() {
    c_Thread::mark();
    gc_mark_q(m_socket);
    gc_mark_q(m_ops);
}
