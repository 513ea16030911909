#include "net/asyncqueue.h"

#include "host/console.h"
#include "net/socket.h"

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
    Start();
}

void c_AsyncQueue::Run__UNSAFE__() {
    int run = m_runIndex.load(std::memory_order_relaxed);
    while (run != m_putIndex.load(std::memory_order_acquire)) {
        m_ops[run]->p_Execute__UNSAFE__(m_socket);
        run = next(run);
        m_runIndex.store(run, std::memory_order_release);
    }
}

void c_AsyncQueue::p_UpdateAsyncEvents() {
    if (m_runIndex.load(std::memory_order_acquire) != m_putIndex.load(std::memory_order_relaxed)) Start();
    // Both indices are read afresh for every operation: a listener that updates this queue again
    // delivers the next results itself, and none is delivered twice.
    for (int done; (done = m_completeIndex.load(std::memory_order_relaxed)) !=
                   m_runIndex.load(std::memory_order_acquire);) {
        c_AsyncOp* op = m_ops[done];
        m_completeIndex.store(next(done), std::memory_order_relaxed);
        op->p_Complete(m_socket);
    }
}

void c_AsyncQueue::mark() {
    c_Thread::mark();
    gc_mark_q(m_socket);
    gc_mark_q(m_ops);
}
