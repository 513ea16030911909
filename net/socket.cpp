#include "net/socket.h"

#include "host/console.h"

namespace {

int protocolNumber(const String& name) {
    if (name == String(u"stream")) return VxSocket::Stream;
    if (name == String(u"server")) return VxSocket::Server;
    if (name == String(u"datagram")) return VxSocket::Datagram;
    vxError(String(u"Illegal socket protocol"));
}

} // namespace

c_Socket* c_Socket::m_new(const String& protocol) {
    int number = protocolNumber(protocol);
    gc_assign(m_native, new VxSocket);
    if (!m_native->Open(number)) vxError(String(u"Socket open failed"));
    m_protocol = number;
    m_socketState = Open;
    p_Start();
    return this;
}

c_Socket* c_Socket::m_new2(VxSocket* native, int protocol, int state) {
    gc_assign(m_native, native);
    m_protocol = protocol;
    m_socketState = state;
    p_Start();
    return this;
}

void c_Socket::p_Start() {
    gc_assign(m_readQueue, (new c_AsyncQueue)->m_new(this));
    gc_assign(m_writeQueue, (new c_AsyncQueue)->m_new(this));
    vx_asyncevent_AddAsyncEventSource(this);
}

void c_Socket::p_SetTimeLimit(int milliseconds) { m_native->SetTimeLimit(milliseconds); }

void c_Socket::p_ConnectAsync(const String& host, int port, c_IOnConnectComplete* listener) {
    if (!p_IsOpen() || p_IsConnected() || p_IsListening()) return;
    m_readQueue->p_Enqueue((new c_AsyncConnectOp)->m_new(m_native, host, port, listener));
}

void c_Socket::p_SendAsync(c_DataBuffer* buffer, int offset, int count, c_IOnSendComplete* listener) {
    if (!p_IsConnected()) return;
    m_writeQueue->p_Enqueue((new c_AsyncSendOp)->m_new(m_native, buffer, offset, count, listener));
}

void c_Socket::p_ReceiveAsync(c_DataBuffer* buffer, int offset, int count, c_IOnReceiveComplete* listener) {
    if (!p_IsConnected()) return;
    m_readQueue->p_Enqueue((new c_AsyncReceiveOp)->m_new(m_native, buffer, offset, count, listener));
}

void c_Socket::p_Close() {
    m_native->Shutdown();
    m_socketState = 0;
    m_readQueue->p_Stop();
    m_writeQueue->p_Stop();
    p_LeaveWhenIdle();
}

void c_Socket::p_UpdateAsyncEvents() {
    m_readQueue->p_UpdateAsyncEvents();
    m_writeQueue->p_UpdateAsyncEvents();
    if (m_socketState == 0) p_LeaveWhenIdle();
}

// A worker may still be inside a call on the descriptor, so its number must not be reused until
// both have ended; and the event loop must keep the socket (and through it the queues the workers
// use) until then. Once the results are delivered too, nothing more can happen here.
void c_Socket::p_LeaveWhenIdle() {
    if (m_readQueue->IsRunning() || m_writeQueue->IsRunning()) return;
    m_native->Close();
    if (m_readQueue->p_IsDrained() && m_writeQueue->p_IsDrained()) vx_asyncevent_RemoveAsyncEventSource(this);
}

void c_Socket::mark() {
    gc_mark_q(m_native);
    gc_mark_q(m_readQueue);
    gc_mark_q(m_writeQueue);
}

c_AsyncConnectOp* c_AsyncConnectOp::m_new(VxSocket* native, const String& host, int port,
                                          c_IOnConnectComplete* listener) {
    gc_assign(m_native, native);
    m_host = host;
    m_port = port;
    gc_assign(m_listener, listener);
    hostName = CString(host).c_str();
    return this;
}

void c_AsyncConnectOp::p_Execute__UNSAFE__(c_Socket*) {
    m_result = m_native->Connect(hostName.c_str(), m_port);
}

void c_AsyncConnectOp::p_Complete(c_Socket* socket) {
    // A socket closed while it was connecting stays closed.
    if (m_result && socket->p_IsOpen()) socket->m_socketState |= c_Socket::ConnectDone | c_Socket::Connected;
    if (m_listener) m_listener->p_OnConnectComplete(m_result, socket);
}

void c_AsyncConnectOp::mark() {
    gc_mark_q(m_native);
    gc_mark_q(m_listener);
}

c_AsyncSocketIoOp* c_AsyncSocketIoOp::m_new(VxSocket* native, c_DataBuffer* buffer, int offset, int count) {
    gc_assign(m_native, native);
    gc_assign(m_buffer, buffer);
    m_offset = offset;
    m_count = count;
    return this;
}

void c_AsyncSocketIoOp::mark() {
    gc_mark_q(m_native);
    gc_mark_q(m_buffer);
}

c_AsyncSendOp* c_AsyncSendOp::m_new(VxSocket* native, c_DataBuffer* buffer, int offset, int count,
                                    c_IOnSendComplete* listener) {
    c_AsyncSocketIoOp::m_new(native, buffer, offset, count);
    gc_assign(m_listener, listener);
    return this;
}

void c_AsyncSendOp::p_Execute__UNSAFE__(c_Socket*) { m_count = m_native->Send(m_buffer, m_offset, m_count); }

void c_AsyncSendOp::p_Complete(c_Socket* socket) {
    if (m_listener) m_listener->p_OnSendComplete(m_buffer, m_offset, m_count, socket);
}

void c_AsyncSendOp::mark() {
    c_AsyncSocketIoOp::mark();
    gc_mark_q(m_listener);
}

c_AsyncReceiveOp* c_AsyncReceiveOp::m_new(VxSocket* native, c_DataBuffer* buffer, int offset, int count,
                                          c_IOnReceiveComplete* listener) {
    c_AsyncSocketIoOp::m_new(native, buffer, offset, count);
    gc_assign(m_listener, listener);
    return this;
}

void c_AsyncReceiveOp::p_Execute__UNSAFE__(c_Socket*) {
    m_count = m_native->Receive(m_buffer, m_offset, m_count);
}

void c_AsyncReceiveOp::p_Complete(c_Socket* socket) {
    if (m_listener) m_listener->p_OnReceiveComplete(m_buffer, m_offset, m_count, socket);
}

void c_AsyncReceiveOp::mark() {
    c_AsyncSocketIoOp::mark();
    gc_mark_q(m_listener);
}
