// Native IPv4 sockets over POSIX: blocking calls on one descriptor. Worker threads call Connect,
// Send and Receive while the main thread may call Shutdown, so the descriptor is atomic and is
// only closed (Close) once no other thread can be inside a call on it.
#pragma once

#include "net/databuffer.h"

#include <atomic>
#include <netinet/in.h>

// An IPv4 address and port.
class VxSocketAddress : public Object {
  public:
    sockaddr_in address{};

    // Builds host:port. An empty host is the wildcard address; a name is looked up with
    // getaddrinfo (safe on any thread). False when the host does not resolve or the port is not
    // 0..65535. Touches nothing but its arguments.
    static bool Resolve(const char* host, int port, sockaddr_in& out);

    bool Set(const char* host, int port) { return Resolve(host, port, address); }
    // The dotted address.
    String Host() const;
    int Port() const;
};

class VxSocket : public Object {
  public:
    enum Protocol { Stream = 1, Server = 2, Datagram = 3 };

    std::atomic<int> handle{-1}; // -1 when closed
    int protocol = 0;

    ~VxSocket() override;

    // False when already open or the protocol is unknown. Stream sockets send without delay.
    bool Open(int protocol);
    // Ends every call in progress on any thread and fails those to come; the descriptor stays
    // reserved (so a new socket cannot take its number) until Close.
    void Shutdown();
    // Shuts down and releases the descriptor: only when no other thread is inside a call.
    void Close();

    // A time limit for every call from now on (connect included); 0 or less is none. A call that
    // runs out of it fails as the system reports it: connect and receive with failure, send with
    // the bytes it sent or -1.
    bool SetTimeLimit(int milliseconds);

    // Connecting needs a host that resolves; the wildcard address is refused.
    bool Connect(const char* host, int port);
    bool Bind(const char* host, int port);
    bool Listen(int backlog);
    // Waits for a connection and keeps it for Accepted.
    bool Accept();
    // A new stream socket for the connection taken by Accept, or null.
    VxSocket* Accepted();

    // The send/recv result (-1 on failure). The range is clamped to the buffer; a range that starts
    // outside it fails.
    int Send(VxDataBuffer* buffer, int offset, int count);
    int Receive(VxDataBuffer* buffer, int offset, int count);
    int SendTo(VxDataBuffer* buffer, int offset, int count, VxSocketAddress* address);
    int ReceiveFrom(VxDataBuffer* buffer, int offset, int count, VxSocketAddress* address);

    bool GetLocalAddress(VxSocketAddress* address);
    bool GetRemoteAddress(VxSocketAddress* address);

  private:
    int shutHandle = -1; // shut down, waiting for Close
    int accepted = -1;
};
