#include "net/asyncevent.h"

#include "host/console.h"

VxRoot<c_Stack<c_IAsyncEventSource*>*> vx_asyncevent_sources;
VxRoot<c_IAsyncEventSource*> vx_asyncevent_current;

namespace {

// Removal leaves a hole (an update may be walking the list by index); this closes the holes,
// keeping the order.
void closeHoles(c_Stack<c_IAsyncEventSource*>* sources) {
    int kept = 0;
    for (int i = 0; i < sources->p_Length2(); ++i) {
        if (c_IAsyncEventSource* source = sources->p_Get(i)) gc_assign(sources->data[kept++], source);
    }
    sources->p_Length(kept);
}

} // namespace

void vx_asyncevent_AddAsyncEventSource(c_IAsyncEventSource* source) {
    if (!vx_asyncevent_sources.get()) vx_asyncevent_sources = (new c_Stack<c_IAsyncEventSource*>)->m_new();
    if (vx_asyncevent_sources->p_Contains(source)) vxError(String(u"Async event source is already active"));
    vx_asyncevent_sources->p_Push(source);
}

void vx_asyncevent_RemoveAsyncEventSource(c_IAsyncEventSource* source) {
    c_Stack<c_IAsyncEventSource*>* sources = vx_asyncevent_sources.get();
    for (int i = 0; sources && i < sources->p_Length2(); ++i) {
        if (sources->p_Get(i) != source) continue;
        sources->data[i] = nullptr;
        if (!vx_asyncevent_current.get()) closeHoles(sources);
        return;
    }
}

int vx_asyncevent_UpdateAsyncEvents() {
    if (vx_asyncevent_current.get() || !vx_asyncevent_sources.get()) return 0;
    // By index: a listener may register new sources while this runs, and they are updated too.
    for (int i = 0; i < vx_asyncevent_sources->p_Length2(); ++i) {
        c_IAsyncEventSource* source = vx_asyncevent_sources->p_Get(i);
        if (!source) continue;
        vx_asyncevent_current = source;
        source->p_UpdateAsyncEvents();
    }
    vx_asyncevent_current = nullptr;
    closeHoles(vx_asyncevent_sources.get());
    return 0;
}
