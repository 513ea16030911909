// Shared pieces of the network tests: a pump that plays the game's update loop (poll asynchronous
// events, then a collector step that ends a whole cycle, so anything the sockets forget to keep
// alive is freed at once), roots for what a test holds, a loopback listener, and runtime-error checks.
#pragma once

#include "net/asyncevent.h"
#include "net/socket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace net_test {

// What a test holds between pumps; the collector does not scan locals.
inline VxRoot<c_Stack<Object*>*> kept;

template <class T> T* keep(T* object) {
    if (!kept.get()) kept = (new c_Stack<Object*>)->m_new();
    kept->p_Push(static_cast<Object*>(object));
    return object;
}

inline void release_kept() {
    if (kept.get()) kept->p_Clear();
}

// Ends the collector's cycle now and destroys everything it found dead: one allocation of their
// size pays for all of them. The payment goes straight back, so that it is not garbage the next
// cycle has to pay for again (paying with an array that dies grows the payment at every call).
inline void full_collection() {
    gc_ext_malloced(gc_cycle_bytes + 1);
    gc_collect_step(nullptr);
    if (gc_free_bytes > 0) delete Array<char>(gc_free_bytes).rep;
}

// One game update's worth of event delivery followed by collector work.
inline void pump_once() {
    vx_asyncevent_UpdateAsyncEvents();
    full_collection();
}

// Pumps until `done` holds. The bound only keeps a broken build from hanging the test run.
template <class F> bool pump_until(F done) {
    for (int i = 0; i < 20000; ++i) {
        pump_once();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Updates without collecting and without sleeping until `done` holds, for tests that make many
// exchanges. The bound only keeps a broken build from hanging the test run.
template <class F> bool spin_until(F done) {
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        vx_asyncevent_UpdateAsyncEvents();
        std::this_thread::yield();
    }
    return true;
}

// The asynchronous event sources each update walks.
inline int registered_sources() {
    return vx_asyncevent_sources.get() ? vx_asyncevent_sources->p_Length2() : 0;
}

inline bool registered(c_Socket* socket) {
    return vx_asyncevent_sources.get() && vx_asyncevent_sources->p_Contains(socket);
}

// True when neither worker of the socket can be inside a call and nothing waits in its queues.
inline bool idle(c_Socket* socket) {
    for (c_AsyncQueue* queue : {socket->m_readQueue, socket->m_writeQueue}) {
        if (queue->IsRunning() || queue->m_completeIndex.load() != queue->m_putIndex.load()) return false;
    }
    return true;
}

// True when a thread of this process is blocked in the system call `call` (SYS_connect, SYS_sendto,
// SYS_recvfrom) on `fd`, as the kernel reports it, so a test can act exactly while a worker waits.
inline bool blocked_in(long call, int fd) {
    DIR* tasks = opendir("/proc/self/task");
    bool found = false;
    while (dirent* task = tasks ? readdir(tasks) : nullptr) {
        std::ifstream current(std::string("/proc/self/task/") + task->d_name + "/syscall");
        long number = -1;
        std::string arg;
        if (current >> number >> arg && number == call && std::stol(arg, nullptr, 16) == fd) found = true;
    }
    if (tasks) closedir(tasks);
    return found;
}

// A listening TCP socket on 127.0.0.1 with a port of the system's choosing. With a backlog of 0, one
// connection that is not accepted fills it, and the connects after it wait for an answer.
class Listener {
  public:
    explicit Listener(int backlog = 8) {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd, backlog);
        socklen_t size = sizeof address;
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
    }
    ~Listener() { ::close(fd); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // The next connection (blocking).
    int accept() const { return ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC); }

    int fd;
    int port;
};

// Connects one socket to a listener made with a backlog of 0 and waits until it is queued there;
// from then on the listener drops every new connection request, so connects to it wait for an
// answer. Returns the queued socket's descriptor, for the caller to close.
inline int fill_backlog(const Listener& listener) {
    int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(listener.port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    pollfd ready{listener.fd, POLLIN, 0};
    EXPECT_EQ(::poll(&ready, 1, -1), 1);
    return filler;
}

// True when a connection waits to be accepted.
inline bool has_pending_connection(const Listener& listener) {
    pollfd ready{listener.fd, POLLIN, 0};
    return ::poll(&ready, 1, 0) == 1;
}

// A port on 127.0.0.1 where nothing listens.
inline int closed_port() {
    Listener listener;
    return listener.port;
}

// Runs `statement` in a child process and checks that it ends as a runtime error with `message`.
// The child reads no debugger answers and prints its standard output where the check can see it.
#define EXPECT_RUNTIME_ERROR(statement, message)                                                             \
    do {                                                                                                     \
        GTEST_FLAG_SET(death_test_style, "threadsafe");                                                      \
        EXPECT_EXIT(                                                                                         \
            {                                                                                                \
                if (!std::freopen("/dev/null", "r", stdin)) std::abort();                                    \
                ::dup2(2, 1);                                                                                \
                statement;                                                                                   \
            },                                                                                               \
            ::testing::ExitedWithCode(255), "Cobalt Runtime Error : " message);                              \
    } while (0)

} // namespace net_test
