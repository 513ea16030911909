// A server on loopback for the HTTP client tests: on its own thread it takes each connection in
// turn (one unless told otherwise), reads its request and answers with a script, which can be as
// odd or hostile as a test needs.
#pragma once

#include "net_support.h"

#include <atomic>
#include <functional>
#include <linux/sockios.h>
#include <string>
#include <sys/ioctl.h>
#include <thread>

namespace net_test {

class ScriptedServer {
  public:
    using Script = std::function<void(ScriptedServer&)>;

    explicit ScriptedServer(Script script, int connections = 1)
        : thread([this, script, connections] {
              for (int i = 0; i < connections; ++i) serve(script);
          }) {}
    ~ScriptedServer() { wait(); }
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int port() const { return listener.port; }
    // The client's descriptor, which tells the script when the client has read what it was sent.
    void client(int descriptor) { clientFd = descriptor; }
    bool requestRead() const { return hasRequest.load(); }
    // Waits for the script to end; then the request may be read.
    void wait() {
        if (thread.joinable()) thread.join();
    }
    // The last request read.
    const std::string& request() const { return received; }

    // Script steps, on the server's thread.
    void send(const std::string& bytes) {
        for (std::size_t sent = 0; sent < bytes.size();) {
            ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return;
            sent += std::size_t(n);
        }
    }
    // Sends and waits until the client has taken the bytes with a receive of their own.
    void sendRead(const std::string& bytes) {
        send(bytes);
        while (clientFd.load() < 0) std::this_thread::yield();
        while (queued(fd, SIOCOUTQ) > 0 || queued(clientFd.load(), SIOCINQ) > 0) std::this_thread::yield();
    }
    void sendBytewise(const std::string& bytes) {
        for (char byte : bytes) sendRead(std::string(1, byte));
    }
    // Sends until the client goes away.
    void sendForever(const std::string& block) {
        while (::send(fd, block.data(), block.size(), MSG_NOSIGNAL) > 0) {
        }
    }
    // Ends the connection with a reset instead of a close.
    void reset() {
        linger abort{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }
    void waitForClientClose() {
        char sink[256];
        while (::recv(fd, sink, sizeof sink, 0) > 0) {
        }
    }

  private:
    // Bytes waiting in a socket's queue; 0 once the socket is gone.
    static int queued(int socket, unsigned long which) {
        int count = 0;
        return ioctl(socket, which, &count) == 0 ? count : 0;
    }

    void serve(const Script& script) {
        received.clear();
        fd = listener.accept();
        readRequest();
        hasRequest = true;
        script(*this);
        ::close(fd);
    }

    // The header block, and as many body bytes as it announces.
    void readRequest() {
        char chunk[4096];
        std::size_t end;
        while ((end = received.find("\r\n\r\n")) == std::string::npos) {
            ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) return;
            received.append(chunk, std::size_t(n));
        }
        std::size_t length = 0;
        if (std::size_t at = received.find("Content-Length: "); at != std::string::npos)
            length = std::stoul(received.substr(at + 16));
        while (received.size() < end + 4 + length) {
            ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) return;
            received.append(chunk, std::size_t(n));
        }
    }

    Listener listener;
    int fd = -1;
    std::atomic<int> clientFd{-1};
    std::atomic<bool> hasRequest{false};
    std::string received;
    std::thread thread;
};

} // namespace net_test
