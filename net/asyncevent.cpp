#include "net/asyncevent.h"

#include "host/console.h"

VxRoot<c_Stack<c_IAsyncEventSource*>*> vx_asyncevent_sources;
VxRoot<c_IAsyncEventSource*> vx_asyncevent_current;

void vx_asyncevent_AddAsyncEventSource(c_IAsyncEventSource* source) {
    if (!vx_asyncevent_sources.get()) vx_asyncevent_sources = (new c_Stack<c_IAsyncEventSource*>)->m_new();
    if (vx_asyncevent_sources->p_Contains(source)) vxError(String(u"Async event source is already active"));
    vx_asyncevent_sources->p_Push(source);
}

int vx_asyncevent_UpdateAsyncEvents() {
    if (vx_asyncevent_current.get() || !vx_asyncevent_sources.get()) return 0;
    // By index: a listener may register new sources while this runs, and they are updated too.
    for (int i = 0; i < vx_asyncevent_sources->p_Length2(); ++i) {
        vx_asyncevent_current = vx_asyncevent_sources->p_Get(i);
        vx_asyncevent_current->p_UpdateAsyncEvents();
    }
    vx_asyncevent_current = nullptr;
    return 0;
}
