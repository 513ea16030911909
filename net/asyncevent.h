// Asynchronous event sources: objects whose results arrive from worker threads and are delivered on
// the main thread when the game polls (vx_asyncevent_UpdateAsyncEvents, once per update). A source
// stays registered, and so reachable, until it removes itself (a socket does once it is closed
// and idle), so each update walks only the sources that can still deliver something.
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
// Unregisters the source; nothing when it is not registered. Safe from inside an update.
void vx_asyncevent_RemoveAsyncEventSource(c_IAsyncEventSource* source);
// Updates every source in registration order; a call from inside an update returns at once.
int vx_asyncevent_UpdateAsyncEvents();
