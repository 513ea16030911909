// The operation queue of a socket: a ring of 256 operations drained in order by one worker thread,
// whose results the main thread delivers in the same order.
//
// No lock on the ring: each index is written by one side only. The main thread writes an
// operation into its slot and then publishes it by advancing putIndex (release); the worker reads
// putIndex (acquire), executes the operation and advances runIndex (release); the main thread reads
// runIndex (acquire) before completing what the worker has passed, empties the slot, and only then
// advances completeIndex. So every field of an operation is written before the other side can see
// it, and a slot is reused only after both sides are done with it.
//
// The worker stays warm: when the ring is empty it sleeps on a condition variable for the linger
// time (about a second) before it ends, and an enqueue wakes it. The mutex guards only that sleep.
// The worker decides to end, and marks itself ended, while it holds the mutex, and an enqueue
// checks whether the worker still runs while holding it too; so an operation is either seen by
// the worker or starts a new one, and never waits for the next update. Stop ends the worker as
// soon as the ring is drained.
//
// The worker touches only the operations' own number fields, their native sockets and their
// buffers' bytes. The ring holds every waiting or running operation, so the collector keeps them
// (and their buffers and listeners) while the queue is reachable; a completed slot is emptied so
// that it keeps nothing.
#pragma once

#include "net/asyncevent.h"
#include "net/thread.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

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
    // How long an idle worker waits for more work before it ends; read each time it goes idle.
    std::atomic<int> m_lingerMilliseconds{1000};

    c_AsyncQueue* m_new(c_Socket* socket);

    // Runtime error "AsyncQueue queue overflow!" when 255 operations already wait.
    void p_Enqueue(c_AsyncOp* op);
    // Starts the worker unless it runs (the worker marks itself ended only under the sleep lock).
    void Start() override;
    // Delivers what the worker has executed.
    void p_UpdateAsyncEvents() override;
    // The worker ends once the ring is drained, without lingering; for good.
    void p_Stop();
    // Every queued operation has been delivered.
    bool p_IsDrained() const;

    void mark() override;

  private:
    // What the worker sleeps on. Shared with the worker thread, which still unlocks the mutex after
    // it has marked itself ended, when the queue may already be gone.
    struct Parking {
        std::mutex mutex;
        std::condition_variable wake;
        std::atomic<bool> stopped{false}; // written under the mutex, read without it while spinning
    };

    void p_Work__UNSAFE__(Parking& parking);

    std::shared_ptr<Parking> parking = std::make_shared<Parking>();
};
