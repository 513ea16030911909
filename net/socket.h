// Sockets whose connect, send and receive run on worker threads and complete on the main thread.
//
// Each socket has two queues: connects and receives share readQueue, sends have writeQueue, so a
// receive that waits for data does not hold up a send. Results reach the listeners when the game
// polls asynchronous events. Network failures are results, not errors: a failed connect completes
// with false, a failed send or receive with -1, and a receive on a connection the peer closed
// with 0. A socket may be given a time limit for each call; a call that runs out of it fails.
//
// A socket is an asynchronous event source from its creation until it is closed, its workers
// have ended and every result has been delivered; then it leaves the event loop, and nothing
// keeps it but its owner.
#pragma once

#include "net/asyncqueue.h"
#include "net/databuffer.h"
#include "net/nativesocket.h"

#include <string>

class c_Socket;

class c_IOnConnectComplete : public gc_interface {
  public:
    virtual void p_OnConnectComplete(bool connected, c_Socket* socket) = 0;
};

class c_IOnSendComplete : public gc_interface {
  public:
    virtual void p_OnSendComplete(c_DataBuffer* buffer, int offset, int count, c_Socket* socket) = 0;
};

class c_IOnReceiveComplete : public gc_interface {
  public:
    virtual void p_OnReceiveComplete(c_DataBuffer* buffer, int offset, int count, c_Socket* socket) = 0;
};

class c_Socket : public Object, public c_IAsyncEventSource {
  public:
    enum State { Open = 1, ConnectDone = 2, Connected = 4, Listening = 8 };

    VxSocket* m_native = nullptr;
    int m_protocol = 0;
    int m_socketState = 0;
    c_AsyncQueue* m_readQueue = nullptr;
    c_AsyncQueue* m_writeQueue = nullptr;

    // "stream", "server" or "datagram"; runtime errors "Illegal socket protocol" and
    // "Socket open failed".
    c_Socket* m_new(const String& protocol);
    c_Socket* m_new2(VxSocket* native, int protocol, int state);
    // Makes the queues and registers the socket as an asynchronous event source.
    void p_Start();

    bool p_IsOpen() const { return m_socketState & Open; }
    bool p_IsConnected() const { return m_socketState & Connected; }
    bool p_IsListening() const { return m_socketState & Listening; }

    // For each connect, send and receive from now on; 0 or less is no limit (the default). A
    // connect or receive that runs out of time fails; a send completes with what it sent, or -1.
    void p_SetTimeLimit(int milliseconds);

    // Each is ignored when the socket is not in a state that allows it.
    void p_ConnectAsync(const String& host, int port, c_IOnConnectComplete* listener);
    void p_SendAsync(c_DataBuffer* buffer, int offset, int count, c_IOnSendComplete* listener);
    void p_ReceiveAsync(c_DataBuffer* buffer, int offset, int count, c_IOnReceiveComplete* listener);
    // Queued operations still complete (failing once they reach the closed socket). A call blocked
    // in a worker is woken at once and the workers end without lingering; the descriptor is released
    // when both have ended.
    void p_Close();

    void p_UpdateAsyncEvents() override;
    void mark() override;

  private:
    void p_LeaveWhenIdle();
};

class c_AsyncConnectOp : public c_AsyncOp {
  public:
    VxSocket* m_native = nullptr;
    String m_host;
    int m_port = 0;
    c_IOnConnectComplete* m_listener = nullptr;
    bool m_result = false;

    c_AsyncConnectOp* m_new(VxSocket* native, const String& host, int port, c_IOnConnectComplete* listener);
    void p_Execute__UNSAFE__(c_Socket* socket) override;
    void p_Complete(c_Socket* socket) override;
    void mark() override;

  private:
    // Made on the main thread: the worker never touches a String.
    std::string hostName;
};

class c_AsyncSocketIoOp : public c_AsyncOp {
  public:
    VxSocket* m_native = nullptr;
    c_DataBuffer* m_buffer = nullptr;
    int m_offset = 0;
    int m_count = 0; // requested, then the call's result

    c_AsyncSocketIoOp* m_new(VxSocket* native, c_DataBuffer* buffer, int offset, int count);
    void mark() override;
};

class c_AsyncSendOp : public c_AsyncSocketIoOp {
  public:
    c_IOnSendComplete* m_listener = nullptr;

    c_AsyncSendOp* m_new(VxSocket* native, c_DataBuffer* buffer, int offset, int count,
                         c_IOnSendComplete* listener);
    void p_Execute__UNSAFE__(c_Socket* socket) override;
    void p_Complete(c_Socket* socket) override;
    void mark() override;
};

class c_AsyncReceiveOp : public c_AsyncSocketIoOp {
  public:
    c_IOnReceiveComplete* m_listener = nullptr;

    c_AsyncReceiveOp* m_new(VxSocket* native, c_DataBuffer* buffer, int offset, int count,
                            c_IOnReceiveComplete* listener);
    void p_Execute__UNSAFE__(c_Socket* socket) override;
    void p_Complete(c_Socket* socket) override;
    void mark() override;
};
