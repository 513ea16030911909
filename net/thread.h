// Operating-system threads for work that blocks (socket calls). A thread object runs
// Run__UNSAFE__ on a new detached thread; it can be started again once that run has ended.
//
// Run__UNSAFE__ runs where no main-thread state is available: it must not touch the collector,
// String counts or any collected reference. threadState is the only field both sides share: the
// main thread sets it to 1 before the thread starts, the thread sets it to 2 (release) as its last
// touch of the object, so a main thread that reads 2 (acquire) sees everything the run wrote.
//
// The thread holds a plain pointer to its object: whoever starts it keeps the object reachable
// until it reads 2 (a socket stays registered until its workers have ended).
#pragma once

#include "runtime/object.h"

#include <atomic>
#include <functional>

class VxThread : public Object {
  public:
    std::atomic<int> threadState{0}; // 0 never started, 1 running, 2 finished
    Object* result = nullptr;

    // Main thread only. Does nothing while a run is in progress.
    virtual void Start();
    virtual bool IsRunning();
    virtual Object* Result();
    virtual void SetResult(Object* value);
    virtual void Run__UNSAFE__() {}

    void mark() override { gc_mark_q(result); }

  protected:
    // Runs `body` on a new detached thread. When none can be made: "CreateThread failed!" and
    // exit status -1.
    static void Launch(std::function<void()> body);
};

class c_Thread : public VxThread {
  public:
    c_Thread* m_new() { return this; }
};
