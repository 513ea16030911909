#include "net/nativesocket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <netdb.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

// Longer host texts are not looked up.
constexpr std::size_t maxHostLength = 1023;

// Clamps a call's range to the buffer; false when it starts outside.
bool clampRange(VxDataBuffer* buffer, int offset, int& count) {
    if (offset < 0 || count < 0 || offset > buffer->length) return false;
    count = std::min(count, buffer->length - offset);
    return true;
}

sockaddr* as_sockaddr(sockaddr_in& address) { return reinterpret_cast<sockaddr*>(&address); }

} // namespace

bool VxSocketAddress::Resolve(const char* host, int port, sockaddr_in& out) {
    if (port < 0 || port > 65535 || std::strlen(host) > maxHostLength) return false;
    out = sockaddr_in{};
    out.sin_family = AF_INET;
    out.sin_port = htons(uint16_t(port));
    out.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!*host) return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) return false;
    out.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
}

String VxSocketAddress::Host() const {
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return String(text);
}

int VxSocketAddress::Port() const { return ntohs(address.sin_port); }

VxSocket::~VxSocket() {
    Close();
    if (accepted >= 0) ::close(accepted);
}

bool VxSocket::Open(int kind) {
    if (handle.load() >= 0 || shutHandle >= 0) return false;
    int fd = -1;
    if (kind == Stream || kind == Server) {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
        int on = 1;
        if (fd >= 0) setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    } else if (kind == Datagram) {
        fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    }
    if (fd < 0) return false;
    protocol = kind;
    handle.store(fd);
    return true;
}

void VxSocket::Shutdown() {
    int fd = handle.exchange(-1);
    if (fd < 0) return;
    // Wakes a call blocked on the descriptor in another thread; closing alone would not.
    ::shutdown(fd, SHUT_RDWR);
    shutHandle = fd;
}

void VxSocket::Close() {
    Shutdown();
    if (shutHandle < 0) return;
    ::close(shutHandle);
    shutHandle = -1;
}

// Linux applies the send time limit to connect as well.
bool VxSocket::SetTimeLimit(int milliseconds) {
    timeval limit{};
    if (milliseconds > 0) {
        limit.tv_sec = milliseconds / 1000;
        limit.tv_usec = milliseconds % 1000 * 1000;
    }
    int fd = handle.load();
    return setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) == 0 &&
           setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) == 0;
}

bool VxSocket::Connect(const char* host, int port) {
    sockaddr_in address;
    // The wildcard address would reach this machine: a host that does not resolve must fail.
    if (!*host || !VxSocketAddress::Resolve(host, port, address)) return false;
    return ::connect(handle.load(), as_sockaddr(address), sizeof address) == 0;
}

bool VxSocket::Bind(const char* host, int port) {
    sockaddr_in address;
    if (!VxSocketAddress::Resolve(host, port, address)) return false;
    return ::bind(handle.load(), as_sockaddr(address), sizeof address) == 0;
}

bool VxSocket::Listen(int backlog) { return ::listen(handle.load(), backlog) == 0; }

bool VxSocket::Accept() {
    int fd = ::accept4(handle.load(), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return false;
    if (accepted >= 0) ::close(accepted);
    accepted = fd;
    return true;
}

VxSocket* VxSocket::Accepted() {
    if (accepted < 0) return nullptr;
    auto* socket = new VxSocket;
    socket->protocol = Stream;
    socket->handle.store(accepted);
    accepted = -1;
    return socket;
}

// A peer that has gone away fails a send instead of raising SIGPIPE.
int VxSocket::Send(VxDataBuffer* buffer, int offset, int count) {
    if (!clampRange(buffer, offset, count)) return -1;
    return int(::send(handle.load(), buffer->data + offset, std::size_t(count), MSG_NOSIGNAL));
}

int VxSocket::Receive(VxDataBuffer* buffer, int offset, int count) {
    if (!clampRange(buffer, offset, count)) return -1;
    return int(::recv(handle.load(), buffer->data + offset, std::size_t(count), 0));
}

int VxSocket::SendTo(VxDataBuffer* buffer, int offset, int count, VxSocketAddress* address) {
    if (!clampRange(buffer, offset, count)) return -1;
    return int(::sendto(handle.load(), buffer->data + offset, std::size_t(count), MSG_NOSIGNAL,
                        as_sockaddr(address->address), sizeof address->address));
}

int VxSocket::ReceiveFrom(VxDataBuffer* buffer, int offset, int count, VxSocketAddress* address) {
    if (!clampRange(buffer, offset, count)) return -1;
    socklen_t size = sizeof address->address;
    return int(::recvfrom(handle.load(), buffer->data + offset, std::size_t(count), 0,
                          as_sockaddr(address->address), &size));
}

bool VxSocket::GetLocalAddress(VxSocketAddress* address) {
    socklen_t size = sizeof address->address;
    return getsockname(handle.load(), as_sockaddr(address->address), &size) == 0;
}

bool VxSocket::GetRemoteAddress(VxSocketAddress* address) {
    socklen_t size = sizeof address->address;
    return getpeername(handle.load(), as_sockaddr(address->address), &size) == 0;
}
