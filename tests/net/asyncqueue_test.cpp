// The operation rings under load: many operations in order on both rings of both ends of a
// connection, and workers that stay warm, end and start again. Meant to run under ThreadSanitizer
// as well.
#include "net_support.h"
#include "recorder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <pthread.h>
#include <string>
#include <thread>

namespace {

using namespace net_test;

class GatedThread : public c_Thread {
  public:
    std::atomic<int> runs{0};
    std::atomic<bool> open{false};

    void Run__UNSAFE__() override {
        runs.fetch_add(1);
        while (!open.load()) std::this_thread::yield();
    }
};

TEST(Thread, StartsOnceWhileRunningAndAgainAfterItEnded) {
    auto* thread = keep(new GatedThread);
    thread->m_new();
    EXPECT_EQ(thread->threadState.load(), 0);
    thread->SetResult(thread);
    thread->Start();
    EXPECT_EQ(thread->Result(), nullptr);
    thread->Start();
    EXPECT_TRUE(thread->IsRunning());
    thread->open = true;
    while (thread->IsRunning()) std::this_thread::yield();
    EXPECT_EQ(thread->threadState.load(), 2);
    EXPECT_EQ(thread->runs.load(), 1);
    thread->Start();
    while (thread->IsRunning()) std::this_thread::yield();
    EXPECT_EQ(thread->runs.load(), 2);
    release_kept();
}

TEST(ThreadErrors, AThreadThatCannotBeCreatedEndsTheProcessWithAMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::dup2(2, 1);
            // No address space can hold a stack this big, so every new thread fails.
            pthread_attr_t huge;
            pthread_attr_init(&huge);
            pthread_attr_setstacksize(&huge, std::size_t(1) << 50);
            pthread_setattr_default_np(&huge);
            (new c_Thread)->m_new()->Start();
        },
        ::testing::ExitedWithCode(255), "\nCreateThread failed!\n$");
}

// Two asynchronous sockets connected to each other on loopback.
class Rings : public ::testing::Test {
  protected:
    void SetUp() override {
        auto* server = keep(new VxSocket);
        ASSERT_TRUE(server->Open(VxSocket::Server) && server->Bind("127.0.0.1", 0) && server->Listen(1));
        auto* address = keep(new VxSocketAddress);
        server->GetLocalAddress(address);
        a = keep((new c_Socket)->m_new(String(u"stream")));
        a->p_ConnectAsync(String(u"127.0.0.1"), address->Port(), ra);
        ASSERT_TRUE(server->Accept());
        b = keep((new c_Socket)
                     ->m_new2(server->Accepted(), VxSocket::Stream, c_Socket::Open | c_Socket::Connected));
        server->Close();
        ASSERT_TRUE(pump_until([&] { return ra->count('c') == 1; }));
        ra->done.clear();
    }

    void TearDown() override {
        for (c_Socket* socket : {a, b}) {
            socket->p_Close();
            EXPECT_TRUE(pump_until([&] { return idle(socket) && !registered(socket); }));
        }
        release_kept();
    }

    static c_DataBuffer* pattern(int size, int seed) {
        auto* buffer = keep((new c_DataBuffer)->m_new(size));
        for (int i = 0; i < size; ++i) buffer->data[i] = static_cast<unsigned char>(i * 7 + seed);
        return buffer;
    }

    // The bytes of the receives in completion order.
    static std::string received(const Recorder* r) {
        std::string bytes;
        for (const Completion& c : r->done) {
            if (c.kind == 'r' && c.count > 0)
                bytes.append(reinterpret_cast<char*>(c.buffer->data) + c.offset, std::size_t(c.count));
        }
        return bytes;
    }

    static std::string bytes(c_DataBuffer* buffer, int count) {
        return std::string(reinterpret_cast<char*>(buffer->data), std::size_t(count));
    }

    c_Socket* a = nullptr;
    c_Socket* b = nullptr;
    Recorder* ra = keep(new Recorder);
    Recorder* rb = keep(new Recorder);
};

TEST_F(Rings, FullRingsOnBothEndsCompleteInOrder) {
    constexpr int ops = c_AsyncQueue::capacity - 1;
    constexpr int chunk = 4;
    c_DataBuffer* outA = pattern(ops * chunk, 1);
    c_DataBuffer* outB = pattern(ops * chunk, 2);
    c_DataBuffer* inA = pattern(ops * chunk, 0);
    c_DataBuffer* inB = pattern(ops * chunk, 0);
    for (int i = 0; i < ops; ++i) {
        a->p_ReceiveAsync(inA, i * chunk, chunk, ra);
        b->p_ReceiveAsync(inB, i * chunk, chunk, rb);
    }
    for (int i = 0; i < ops; ++i) {
        a->p_SendAsync(outA, i * chunk, chunk, ra);
        b->p_SendAsync(outB, i * chunk, chunk, rb);
    }
    ASSERT_TRUE(pump_until([&] { return ra->done.size() == 2 * ops && rb->done.size() == 2 * ops; }));
    for (Recorder* r : {ra, rb}) {
        int sends = 0;
        int nextReceive = 0;
        for (const Completion& c : r->done) {
            if (c.kind == 's') {
                EXPECT_EQ(c.offset, sends++ * chunk);
                EXPECT_EQ(c.count, chunk);
            } else {
                EXPECT_EQ(c.offset, nextReceive);
                nextReceive += chunk;
            }
        }
    }
    // A receive may get fewer bytes than asked; what arrives is still the stream, in order.
    std::string toB = received(rb);
    std::string toA = received(ra);
    EXPECT_EQ(toB, bytes(outA, ops * chunk).substr(0, toB.size()));
    EXPECT_EQ(toA, bytes(outB, ops * chunk).substr(0, toA.size()));
    EXPECT_GT(toA.size() + toB.size(), 0u);
}

// Sends `want` bytes from a to b and receives them all, delivering as the game does.
void exchange(c_Socket* a, c_Socket* b, Recorder* rb, c_DataBuffer* out, c_DataBuffer* in, int want) {
    std::size_t before = rb->done.size();
    int got = 0;
    a->p_SendAsync(out, 0, want, nullptr);
    b->p_ReceiveAsync(in, 0, want, rb);
    ASSERT_TRUE(pump_until([&] {
        if (rb->done.size() == before) return false;
        const Completion& c = rb->done.back();
        got = c.offset + c.count;
        before = rb->done.size();
        if (c.count > 0 && got < want) b->p_ReceiveAsync(in, got, want - got, rb);
        return got >= want || c.count <= 0;
    }));
    ASSERT_EQ(got, want);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(in->data), std::size_t(want)),
              std::string(reinterpret_cast<char*>(out->data), std::size_t(want)));
}

TEST_F(Rings, WorkersStayWarmBetweenExchangesAndEndAtOnceWhenTheSocketCloses) {
    c_AsyncQueue* queues[] = {a->m_readQueue, a->m_writeQueue, b->m_readQueue, b->m_writeQueue};
    // Longer than any test runs: a worker that ends was told to.
    for (c_AsyncQueue* queue : queues) queue->m_lingerMilliseconds = 600'000;
    c_DataBuffer* out = pattern(1024, 3);
    c_DataBuffer* in = pattern(1024, 0);
    for (int round = 0; round < 50; ++round) {
        exchange(a, b, rb, out, in, 1 + round * 20);
        EXPECT_TRUE(a->m_writeQueue->IsRunning());
        EXPECT_TRUE(b->m_readQueue->IsRunning());
    }
    a->p_Close();
    b->p_Close();
    for (c_AsyncQueue* queue : queues) {
        EXPECT_TRUE(pump_until([&] { return !queue->IsRunning(); }));
        EXPECT_NE(queue->threadState.load(), 1);
    }
}

TEST_F(Rings, AnIdleWorkerEndsAfterItsLingerAndTheNextOperationStartsAnother) {
    c_DataBuffer* out = pattern(64, 5);
    c_DataBuffer* in = pattern(64, 0);
    a->m_writeQueue->m_lingerMilliseconds = 10;
    exchange(a, b, rb, out, in, 8);
    ASSERT_TRUE(pump_until([&] { return a->m_writeQueue->threadState.load() == 2; }));
    EXPECT_TRUE(a->p_IsConnected());
    exchange(a, b, rb, out, in, 64);
}

TEST_F(Rings, AnOperationQueuedWhileTheWorkerIsEndingRunsWithoutWaitingForAnUpdate) {
    // A reader drains the other end so that the sends never block.
    int fd = b->m_native->handle.load();
    std::atomic<int> drained{0};
    std::thread reader([&] {
        char sink[256];
        for (ssize_t n; (n = ::recv(fd, sink, sizeof sink, 0)) > 0;) drained.fetch_add(int(n));
    });
    c_AsyncQueue* queue = a->m_writeQueue;
    // The worker ends each time the ring runs dry; the next send comes a little earlier or later
    // than that each time.
    queue->m_lingerMilliseconds = 0;
    c_DataBuffer* out = pattern(1, 4);
    constexpr int sends = 2000;
    int queued = 0;
    for (bool ran = true; ran && queued < sends; ++queued) {
        a->p_SendAsync(out, 0, 1, ra);
        // No update here: only the worker can move runIndex, so a send left waiting for an update
        // to start a worker never runs.
        auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (ran && queue->m_runIndex.load() != queue->m_putIndex.load()) {
            ran = std::chrono::steady_clock::now() < giveUp;
            std::this_thread::yield();
        }
        EXPECT_TRUE(ran) << "send " << queued << " did not run";
        for (int spin = 0; spin < queued % 97; ++spin) std::this_thread::yield();
        if (queued % 64 == 0) pump_once();
    }
    EXPECT_TRUE(pump_until([&] { return ra->count('s') == queued; }));
    for (const Completion& c : ra->done) EXPECT_EQ(c.count, 1);
    a->p_Close();
    reader.join();
    EXPECT_EQ(drained.load(), sends);
}

} // namespace
