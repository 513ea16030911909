// Asynchronous event sources: objects whose results arrive from worker threads and are delivered on
// the main thread when the game polls (vx_asyncevent_UpdateAsyncEvents, once per update). Sources
// stay registered for the life of the process.
#pragma once

#include "runtime/containers.h"

class c_IAsyncEventSource : public gc_interface {
  public:
    // Main thread: delivers every result that is ready, in the order the work was queued.
    virtual void p_UpdateAsyncEvents() = 0;
};

extern VxRoot<c_Stack<c_IAsyncEventSource*>*> vx_asyncevent_sources;
// The source being updated; null when no update is running.
extern VxRoot<c_IAsyncEventSource*> vx_asyncevent_current;

// Runtime error "Async event source is already active" when the source is registered.
void vx_asyncevent_AddAsyncEventSource(c_IAsyncEventSource* source);
// Updates every source in registration order; a call from inside an update returns at once.
int vx_asyncevent_UpdateAsyncEvents();
