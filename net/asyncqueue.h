// The operation queue of a socket: a ring of 256 operations drained in order by one worker thread,
// whose results the main thread delivers in the same order.
//
// No lock: each index is written by one side only. The main thread writes an operation into its
// slot and then publishes it by advancing putIndex (release); the worker reads putIndex (acquire),
// executes the operation and advances runIndex (release); the main thread reads runIndex (acquire)
// before completing what the worker has passed, and only then advances completeIndex. So every
// field of an operation is written before the other side can see it, and a slot is reused only
// after both sides are done with it.
//
// The worker touches only the operations' own number fields, their native sockets and their
// buffers' bytes. The ring's array holds every waiting or running operation, so the collector
// keeps them (and their buffers and listeners) while the queue is reachable.
#pragma once

#include "net/asyncevent.h"
#include "net/thread.h"

#include <atomic>

class c_Socket;

class c_AsyncOp : public Object {
  public:
    // On the worker thread: one blocking call, its result kept in the operation.
    virtual void p_Execute__UNSAFE__(c_Socket* socket) = 0;
    // On the main thread: hands the result to the listener.
    virtual void p_Complete(c_Socket* socket) = 0;
};

class c_AsyncQueue : public c_Thread, public c_IAsyncEventSource {
  public:
    static constexpr int capacity = 256;

    c_Socket* m_socket = nullptr;
    Array<c_AsyncOp*> m_ops;
    std::atomic<int> m_putIndex{0};      // next free slot; main thread
    std::atomic<int> m_completeIndex{0}; // next to complete; main thread
    std::atomic<int> m_runIndex{0};      // next to execute; worker thread

    c_AsyncQueue* m_new(c_Socket* socket);

    // Runtime error "AsyncQueue queue overflow!" when 255 operations already wait.
    void p_Enqueue(c_AsyncOp* op);
    void Run__UNSAFE__() override;
    // Completes what the worker has executed; restarts a worker that ended just as work arrived.
    void p_UpdateAsyncEvents() override;

    void mark() override;
};
