// Round trips of 1 KiB on loopback: through the asynchronous sockets (queues, worker threads,
// delivery on the main thread) against plain blocking sockets on one thread. The ratio of the two
// is the cost of the rings and workers.
#include "net/socket.h"

#include <benchmark/benchmark.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int message = 1024;

// Counts the bytes of one message in and asks for the rest when a receive brings only part.
class Counter : public Object, public c_IOnSendComplete, public c_IOnReceiveComplete {
  public:
    int received = 0;
    bool failed = false;

    void p_OnSendComplete(c_DataBuffer*, int, int count, c_Socket*) override { failed |= count != message; }
    void p_OnReceiveComplete(c_DataBuffer* buffer, int, int count, c_Socket* socket) override {
        if (count <= 0) {
            failed = true;
            return;
        }
        received += count;
        if (received < message) socket->p_ReceiveAsync(buffer, received, message - received, this);
    }
};

struct Ends {
    c_Socket* a;
    c_Socket* b;
    c_DataBuffer* out;
    c_DataBuffer* in;
    Counter* counter;
};

// Everything the benchmark holds, kept from the collector.
VxRoot<c_Stack<Object*>*> held;

template <class T> T* hold(T* object) {
    held->p_Push(static_cast<Object*>(object));
    return object;
}

Ends connect() {
    held = (new c_Stack<Object*>)->m_new();
    auto* server = hold(new VxSocket);
    auto* address = hold(new VxSocketAddress);
    server->Open(VxSocket::Server);
    server->Bind("127.0.0.1", 0);
    server->Listen(1);
    server->GetLocalAddress(address);
    Ends ends{};
    ends.counter = hold(new Counter);
    ends.a = hold((new c_Socket)->m_new(String(u"stream")));
    ends.a->p_ConnectAsync(String(u"127.0.0.1"), address->Port(), nullptr);
    server->Accept();
    ends.b = hold(
        (new c_Socket)->m_new2(server->Accepted(), VxSocket::Stream, c_Socket::Open | c_Socket::Connected));
    server->Close();
    while (!ends.a->p_IsConnected()) vx_asyncevent_UpdateAsyncEvents();
    ends.out = hold((new c_DataBuffer)->m_new(message));
    ends.in = hold((new c_DataBuffer)->m_new(message));
    return ends;
}

// One message from `from` to `to`, results delivered as the game's update delivers them (polled
// as fast as possible here, yielding so that the workers get the processor, to measure only the
// mechanism), with a collector step as after every update.
bool exchange(const Ends& ends, c_Socket* from, c_Socket* to) {
    ends.counter->received = 0;
    from->p_SendAsync(ends.out, 0, message, ends.counter);
    to->p_ReceiveAsync(ends.in, 0, message, ends.counter);
    while (ends.counter->received < message && !ends.counter->failed) {
        vx_asyncevent_UpdateAsyncEvents();
        std::this_thread::yield();
    }
    gc_collect_step(nullptr);
    return !ends.counter->failed;
}

void close(const Ends& ends) {
    for (c_Socket* socket : {ends.a, ends.b}) {
        socket->p_Close();
        while (socket->m_readQueue->IsRunning() || socket->m_writeQueue->IsRunning())
            vx_asyncevent_UpdateAsyncEvents();
        vx_asyncevent_UpdateAsyncEvents();
    }
    held->p_Clear();
}

void BM_AsyncRoundTrip1KiB(benchmark::State& state) {
    Ends ends = connect();
    for (auto _ : state) {
        if (!exchange(ends, ends.a, ends.b) || !exchange(ends, ends.b, ends.a)) {
            state.SkipWithError("exchange failed");
            break;
        }
    }
    close(ends);
}
BENCHMARK(BM_AsyncRoundTrip1KiB)->UseRealTime();

void sendAll(int fd, const char* bytes) {
    for (int sent = 0; sent < message;) {
        ssize_t n = ::send(fd, bytes + sent, std::size_t(message - sent), 0);
        if (n <= 0) return;
        sent += int(n);
    }
}

void receiveAll(int fd, char* bytes) {
    for (int got = 0; got < message;) {
        ssize_t n = ::recv(fd, bytes + got, std::size_t(message - got), 0);
        if (n <= 0) return;
        got += int(n);
    }
}

void BM_BlockingRoundTrip1KiB(benchmark::State& state) {
    auto* a = new VxSocket;
    auto* server = new VxSocket;
    auto* address = new VxSocketAddress;
    server->Open(VxSocket::Server);
    server->Bind("127.0.0.1", 0);
    server->Listen(1);
    server->GetLocalAddress(address);
    a->Open(VxSocket::Stream);
    a->Connect("127.0.0.1", address->Port());
    server->Accept();
    VxSocket* b = server->Accepted();
    int fa = a->handle.load();
    int fb = b->handle.load();
    char out[message] = {};
    char in[message];
    // The same collector step after each message as the asynchronous loop takes, so the ratio is
    // the cost of the queues alone.
    for (auto _ : state) {
        sendAll(fa, out);
        receiveAll(fb, in);
        gc_collect_step(nullptr);
        sendAll(fb, in);
        receiveAll(fa, out);
        gc_collect_step(nullptr);
    }
    a->Close();
    b->Close();
    server->Close();
}
BENCHMARK(BM_BlockingRoundTrip1KiB)->UseRealTime();

} // namespace
