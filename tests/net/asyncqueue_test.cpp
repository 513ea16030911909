// The operation rings under load: many operations in order on both rings of both ends of a
// connection, and workers that end and start again. Meant to run under ThreadSanitizer as well.
#include "net_support.h"
#include "recorder.h"

#include <gtest/gtest.h>

#include <atomic>
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
            EXPECT_TRUE(pump_until([&] { return idle(socket); }));
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

TEST_F(Rings, WorkersEndWhenDrainedAndStartAgainForTheNextExchange) {
    c_DataBuffer* out = pattern(1024, 3);
    c_DataBuffer* in = pattern(1024, 0);
    for (int round = 0; round < 100; ++round) {
        if (round > 0) {
            for (c_AsyncQueue* queue : {a->m_writeQueue, b->m_readQueue})
                EXPECT_EQ(queue->threadState.load(), 2);
        }
        int want = 1 + round * 10;
        std::size_t before = rb->done.size();
        int got = 0;
        a->p_SendAsync(out, 0, want, ra);
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
        EXPECT_EQ(bytes(in, want), bytes(out, want));
        ASSERT_TRUE(pump_until([&] { return idle(a) && idle(b); }));
    }
}

TEST_F(Rings, OperationsAddedWhileTheWorkerIsEndingAreNotLost) {
    // A reader drains the other end so that the sends never block.
    int fd = b->m_native->handle.load();
    std::atomic<int> drained{0};
    std::thread reader([&] {
        char sink[256];
        for (ssize_t n; (n = ::recv(fd, sink, sizeof sink, 0)) > 0;) drained.fetch_add(int(n));
    });
    c_DataBuffer* out = pattern(1, 4);
    constexpr int sends = 2000;
    int queued = 0;
    c_AsyncQueue* queue = a->m_writeQueue;
    // Bounded only so that a lost operation fails the test instead of hanging it.
    for (long spins = 0; ra->count('s') < sends; ++spins) {
        ASSERT_LT(spins, 50'000'000L);
        int waiting = (queue->m_putIndex.load() - queue->m_completeIndex.load() + c_AsyncQueue::capacity) %
                      c_AsyncQueue::capacity;
        if (queued < sends && waiting < 200) {
            a->p_SendAsync(out, 0, 1, ra);
            ++queued;
        }
        vx_asyncevent_UpdateAsyncEvents();
        if (queued % 256 == 0) full_collection();
    }
    for (const Completion& c : ra->done) EXPECT_EQ(c.count, 1);
    a->p_Close();
    reader.join();
    EXPECT_EQ(drained.load(), sends);
}

} // namespace
