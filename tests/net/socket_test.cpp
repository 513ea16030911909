#include "net_support.h"
#include "recorder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/resource.h>

namespace {

using namespace net_test;

c_DataBuffer* text_buffer(const std::string& text) {
    auto* buffer = (new c_DataBuffer)->m_new(int(text.size()));
    buffer->p_PokeString(0, String(text.c_str()), String(u"ascii"));
    return buffer;
}

std::string text_of(c_DataBuffer* buffer, int offset, int count) {
    return std::string(reinterpret_cast<char*>(buffer->data) + offset, std::size_t(count));
}

std::string read_exactly(int fd, std::size_t count) {
    std::string text(count, '\0');
    for (std::size_t got = 0; got < count;) {
        ssize_t n = ::recv(fd, text.data() + got, count - got, 0);
        if (n <= 0) return text.substr(0, got);
        got += std::size_t(n);
    }
    return text;
}

// A host name no resolver can accept (a DNS label holds at most 63 characters), so the lookup fails
// here without asking any server.
const String unresolvable((std::string(64, 'x') + ".test").c_str());

class Sockets : public ::testing::Test {
  protected:
    void TearDown() override {
        for (int fd : peers) ::close(fd);
        // Every socket leaves the event loop once it is closed and done.
        for (c_Socket* socket : sockets) {
            socket->p_Close();
            EXPECT_TRUE(pump_until([&] { return idle(socket) && !registered(socket); }));
        }
        release_kept();
    }

    c_Socket* open(const char* protocol) {
        auto* socket = keep((new c_Socket)->m_new(String(protocol)));
        sockets.push_back(socket);
        return socket;
    }

    // A stream socket connected to a peer on loopback, whose descriptor `peer` the test drives.
    c_Socket* connected() {
        recorder->done.clear();
        c_Socket* socket = open("stream");
        socket->p_ConnectAsync(String(u"127.0.0.1"), listener.port, recorder);
        peer = listener.accept();
        peers.push_back(peer);
        EXPECT_TRUE(pump_until([&] { return recorder->count('c') == 1; }));
        EXPECT_TRUE(recorder->done.at(0).connected);
        recorder->done.clear();
        return socket;
    }

    Listener listener;
    Recorder* recorder = keep(new Recorder);
    std::vector<c_Socket*> sockets;
    std::vector<int> peers;
    int peer = -1;
};

int socket_option(c_Socket* socket, int level, int option) {
    int value = -1;
    socklen_t size = sizeof value;
    getsockopt(socket->m_native->handle.load(), level, option, &value, &size);
    return value;
}

TEST_F(Sockets, OpenSocketsOfEachProtocol) {
    for (const char* name : {"stream", "server"}) {
        c_Socket* socket = open(name);
        EXPECT_EQ(socket->m_socketState, c_Socket::Open);
        EXPECT_EQ(socket_option(socket, SOL_SOCKET, SO_TYPE), SOCK_STREAM);
        EXPECT_NE(socket_option(socket, IPPROTO_TCP, TCP_NODELAY), 0);
    }
    c_Socket* datagram = open("datagram");
    EXPECT_EQ(datagram->m_protocol, VxSocket::Datagram);
    EXPECT_EQ(socket_option(datagram, SOL_SOCKET, SO_TYPE), SOCK_DGRAM);
}

TEST_F(Sockets, ConnectMarksTheSocketConnected) {
    c_Socket* socket = connected();
    EXPECT_EQ(socket->m_socketState, c_Socket::Open | c_Socket::ConnectDone | c_Socket::Connected);
    EXPECT_TRUE(socket->p_IsConnected());
    socket->p_ConnectAsync(String(u"127.0.0.1"), listener.port, recorder); // already connected
    EXPECT_EQ(socket->m_readQueue->m_putIndex.load(), 1);
}

TEST_F(Sockets, FailedConnectsCompleteWithFalseAndLeaveTheSocketOpen) {
    // The last two would reach the listener on this machine if they fell back to the wildcard address.
    for (const String& host :
         {String(u"127.0.0.1"), unresolvable, String(), String(std::string(1024, 'a').c_str())}) {
        c_Socket* socket = open("stream");
        Recorder* r = keep(new Recorder);
        int port = host.Length() == 9 ? closed_port() : listener.port;
        socket->p_ConnectAsync(host, port, r);
        ASSERT_TRUE(pump_until([&] { return r->count('c') == 1; }));
        EXPECT_FALSE(r->done[0].connected);
        EXPECT_EQ(socket->m_socketState, c_Socket::Open);
    }
}

TEST_F(Sockets, AReceiveBeforeTheConnectHasCompletedIsIgnored) {
    c_Socket* socket = open("stream");
    socket->p_ConnectAsync(String(u"127.0.0.1"), listener.port, recorder);
    socket->p_ReceiveAsync(keep((new c_DataBuffer)->m_new(4)), 0, 4, recorder);
    peer = listener.accept();
    peers.push_back(peer);
    ASSERT_EQ(::send(peer, "data", 4, 0), 4);
    ASSERT_TRUE(pump_until([&] { return recorder->count('c') == 1; }));
    EXPECT_EQ(socket->m_readQueue->m_putIndex.load(), 1);
    for (int i = 0; i < 20; ++i) pump_once();
    EXPECT_EQ(recorder->count('r'), 0);
}

TEST_F(Sockets, ThreeSendsCompleteInOrderEachWithItsCount) {
    c_Socket* socket = connected();
    c_DataBuffer* buffer = keep(text_buffer("abcdef"));
    socket->p_SendAsync(buffer, 0, 1, recorder);
    socket->p_SendAsync(buffer, 1, 2, recorder);
    socket->p_SendAsync(buffer, 3, 3, recorder);
    ASSERT_TRUE(pump_until([&] { return recorder->count('s') == 3; }));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(recorder->done[i].buffer, buffer);
        EXPECT_EQ(recorder->done[i].offset, i * (i + 1) / 2);
        EXPECT_EQ(recorder->done[i].count, i + 1);
    }
    EXPECT_EQ(read_exactly(peer, 6), "abcdef");
}

TEST_F(Sockets, AReceiveGetsTheBytesThenZeroWhenThePeerClosesAndMinusOneWhenItResets) {
    c_Socket* socket = connected();
    c_DataBuffer* buffer = keep((new c_DataBuffer)->m_new(8));
    socket->p_ReceiveAsync(buffer, 2, 6, recorder);
    ASSERT_EQ(::send(peer, "hi", 2, 0), 2);
    ASSERT_TRUE(pump_until([&] { return recorder->count('r') == 1; }));
    EXPECT_EQ(recorder->done[0].offset, 2);
    EXPECT_EQ(recorder->done[0].count, 2);
    EXPECT_EQ(text_of(buffer, 2, 2), "hi");

    ::shutdown(peer, SHUT_WR);
    socket->p_ReceiveAsync(buffer, 0, 8, recorder);
    ASSERT_TRUE(pump_until([&] { return recorder->count('r') == 2; }));
    EXPECT_EQ(recorder->done[1].count, 0);

    c_Socket* reset = connected();
    linger abort{1, 0};
    setsockopt(peer, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    ::close(peer);
    peers.pop_back();
    reset->p_ReceiveAsync(buffer, 0, 8, recorder);
    ASSERT_TRUE(pump_until([&] { return recorder->count('r') == 1; }));
    EXPECT_EQ(recorder->done[0].count, -1);
}

TEST_F(Sockets, SendAndReceiveRangesAreClampedToTheBuffer) {
    c_Socket* socket = connected();
    c_DataBuffer* buffer = keep(text_buffer("abcde"));
    socket->p_SendAsync(buffer, 2, 100, recorder);
    socket->p_SendAsync(buffer, 6, 1, recorder);
    socket->p_ReceiveAsync(buffer, -1, 2, recorder);
    ASSERT_TRUE(pump_until([&] { return recorder->done.size() == 3; }));
    EXPECT_EQ(recorder->done[0].count + recorder->done[1].count + recorder->done[2].count, 3 - 1 - 1);
    EXPECT_EQ(read_exactly(peer, 3), "cde");
}

TEST_F(Sockets, RequestsOnAClosedSocketAreIgnored) {
    c_Socket* socket = connected();
    socket->p_Close();
    EXPECT_EQ(socket->m_socketState, 0);
    c_DataBuffer* buffer = keep(text_buffer("x"));
    socket->p_SendAsync(buffer, 0, 1, recorder);
    socket->p_ReceiveAsync(buffer, 0, 1, recorder);
    socket->p_ConnectAsync(String(u"127.0.0.1"), listener.port, recorder);
    for (int i = 0; i < 10; ++i) pump_once();
    EXPECT_TRUE(recorder->done.empty());
    EXPECT_EQ(socket->m_writeQueue->m_putIndex.load() + socket->m_readQueue->m_putIndex.load(), 1);
}

// Closes `socket` while its worker waits in `call` for something that never comes: the call ends,
// its operation completes, and the descriptor is released once the worker has ended. Until the
// result is delivered the socket stays in the event loop, which keeps it (and the queue the worker
// uses) alive; then it leaves. Returns the completion.
Completion close_while_blocked(c_Socket* socket, long call, Recorder* recorder) {
    int fd = socket->m_native->handle.load();
    EXPECT_TRUE(pump_until([&] { return blocked_in(call, fd); }));
    EXPECT_TRUE(recorder->done.empty());
    socket->p_Close();
    EXPECT_TRUE(registered(socket));
    EXPECT_TRUE(pump_until([&] { return recorder->done.size() == 1; }));
    EXPECT_TRUE(pump_until([&] { return !registered(socket); }));
    EXPECT_TRUE(idle(socket));
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);
    EXPECT_EQ(errno, EBADF);
    return recorder->done.at(0);
}

TEST_F(Sockets, ClosingWakesABlockedReceiveAndReleasesTheDescriptorOnceTheWorkerHasEnded) {
    c_Socket* socket = connected();
    socket->p_ReceiveAsync(keep((new c_DataBuffer)->m_new(4)), 0, 4, recorder); // the peer says nothing
    Completion c = close_while_blocked(socket, SYS_recvfrom, recorder);
    EXPECT_EQ(c.kind, 'r');
    EXPECT_EQ(c.count, 0);
}

TEST_F(Sockets, ClosingWakesAConnectThatWaitsForAnAnswerAndItFails) {
    Listener full(0);
    peers.push_back(fill_backlog(full));

    c_Socket* socket = open("stream");
    socket->p_ConnectAsync(String(u"127.0.0.1"), full.port, recorder);
    Completion c = close_while_blocked(socket, SYS_connect, recorder);
    EXPECT_EQ(c.kind, 'c');
    EXPECT_FALSE(c.connected);
    EXPECT_EQ(socket->m_socketState, 0);
}

TEST_F(Sockets, ClosingWakesASendThatWaitsForRoomWithWhatItSent) {
    c_Socket* socket = connected();
    // Small socket buffers and a peer that reads nothing: the send soon waits for room.
    int small = 4096;
    setsockopt(socket->m_native->handle.load(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    setsockopt(peer, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    constexpr int size = 1 << 20;
    socket->p_SendAsync(keep((new c_DataBuffer)->m_new(size)), 0, size, recorder);
    Completion c = close_while_blocked(socket, SYS_sendto, recorder);
    EXPECT_EQ(c.kind, 's');
    EXPECT_LT(c.count, size);
}

TEST_F(Sockets, AClosedSocketHeldByNobodyLivesUntilItsWorkerHasEnded) {
    auto* socket = (new c_Socket)->m_new(String(u"stream"));
    socket->p_ConnectAsync(String(u"127.0.0.1"), listener.port, recorder);
    peers.push_back(listener.accept());
    ASSERT_TRUE(pump_until([&] { return recorder->count('c') == 1; }));
    socket->p_ReceiveAsync(keep((new c_DataBuffer)->m_new(4)), 0, 4, recorder);
    int fd = socket->m_native->handle.load();
    // Only the event loop holds the socket, through collections, while its worker waits.
    ASSERT_TRUE(pump_until([&] { return blocked_in(SYS_recvfrom, fd); }));
    socket->p_Close();
    // Updated without collecting, the socket is still there to be asked once it has left the loop:
    // it leaves only after its workers have ended.
    ASSERT_TRUE(spin_until([&] { return !registered(socket); }));
    EXPECT_FALSE(socket->m_readQueue->IsRunning());
    EXPECT_FALSE(socket->m_writeQueue->IsRunning());
    EXPECT_EQ(recorder->count('r'), 1);
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);
}

TEST_F(Sockets, EachCallGivesUpAtTheTimeLimit) {
    // A receive from a peer that says nothing.
    c_Socket* socket = connected();
    socket->p_SetTimeLimit(100);
    socket->p_ReceiveAsync(keep((new c_DataBuffer)->m_new(4)), 0, 4, recorder);
    ASSERT_TRUE(pump_until([&] { return recorder->count('r') == 1; }));
    EXPECT_EQ(recorder->done[0].count, -1);

    // A send to a peer that reads nothing, through small socket buffers: it gives up with what fitted.
    int small = 4096;
    setsockopt(socket->m_native->handle.load(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    setsockopt(peer, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    constexpr int size = 1 << 20;
    socket->p_SendAsync(keep((new c_DataBuffer)->m_new(size)), 0, size, recorder);
    ASSERT_TRUE(pump_until([&] { return recorder->count('s') == 1; }));
    EXPECT_LT(recorder->done[1].count, size);

    // A connect to a listener that never answers.
    Listener full(0);
    peers.push_back(fill_backlog(full));
    c_Socket* connecting = open("stream");
    connecting->p_SetTimeLimit(100);
    auto* r = keep(new Recorder);
    connecting->p_ConnectAsync(String(u"127.0.0.1"), full.port, r);
    ASSERT_TRUE(pump_until([&] { return r->count('c') == 1; }));
    EXPECT_FALSE(r->done[0].connected);
    EXPECT_EQ(connecting->m_socketState, c_Socket::Open);
}

TEST_F(Sockets, DeliveredOperationsLeaveTheRing) {
    c_Socket* socket = connected();
    c_DataBuffer* buffer = keep(text_buffer("abc"));
    for (int i = 0; i < 3; ++i) socket->p_SendAsync(buffer, i, 1, recorder);
    socket->p_ReceiveAsync(keep((new c_DataBuffer)->m_new(3)), 0, 3, recorder);
    ASSERT_EQ(::send(peer, "xyz", 3, 0), 3);
    ASSERT_TRUE(pump_until([&] { return recorder->done.size() == 4; }));
    // Nothing in the ring keeps a buffer or a listener any longer.
    for (c_AsyncQueue* queue : {socket->m_readQueue, socket->m_writeQueue}) {
        for (c_AsyncOp* op : queue->m_ops) EXPECT_EQ(op, nullptr);
    }
}

TEST_F(Sockets, UpdatingFromInsideAListenerReturnsAtOnce) {
    c_Socket* socket = connected();
    c_DataBuffer* buffer = keep(text_buffer("ab"));
    std::size_t seenInside = 0;
    recorder->during = [&](const Completion&) {
        vx_asyncevent_UpdateAsyncEvents();
        if (!seenInside) seenInside = recorder->done.size();
    };
    socket->p_SendAsync(buffer, 0, 1, recorder);
    socket->p_SendAsync(buffer, 1, 1, recorder);
    // Both sends are executed before anything is delivered, so the nested update could deliver both.
    c_AsyncQueue* queue = socket->m_writeQueue;
    while (queue->m_runIndex.load() != queue->m_putIndex.load()) std::this_thread::yield();
    pump_once();
    EXPECT_EQ(seenInside, 1u);
    EXPECT_EQ(recorder->count('s'), 2);
    EXPECT_EQ(vx_asyncevent_current.get(), nullptr);
}

TEST_F(Sockets, ASocketUpdatedAgainFromInsideAListenerDeliversEachResultOnce) {
    c_Socket* socket = connected();
    c_DataBuffer* buffer = keep(text_buffer("abc"));
    recorder->during = [&](const Completion&) {
        if (recorder->done.size() == 1) socket->p_UpdateAsyncEvents();
    };
    for (int i = 0; i < 3; ++i) socket->p_SendAsync(buffer, i, 1, recorder);
    c_AsyncQueue* queue = socket->m_writeQueue;
    while (queue->m_runIndex.load() != queue->m_putIndex.load()) std::this_thread::yield();
    pump_once();
    ASSERT_EQ(recorder->done.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(recorder->done[i].offset, i);
}

TEST_F(Sockets, AQueuedOperationKeepsItsBufferAndListenerThroughCollections) {
    c_Socket* socket = connected();
    // Held by nothing but the operation while it waits; kept by the test once the collections are
    // over, to read them after the delivery.
    auto* listener2 = new Recorder;
    auto* buffer = (new c_DataBuffer)->m_new(16);
    socket->p_ReceiveAsync(buffer, 0, 16, listener2);
    for (int i = 0; i < 3; ++i) pump_once();
    ASSERT_EQ(::send(peer, "kept", 4, 0), 4);
    keep(listener2);
    keep(buffer);
    ASSERT_TRUE(pump_until([&] { return listener2->count('r') == 1; }));
    EXPECT_EQ(text_of(listener2->done[0].buffer, 0, 4), "kept");
}

TEST_F(Sockets, AServerSocketAcceptsAConnectionThatWrapsIntoAnAsynchronousSocket) {
    auto* server = keep(new VxSocket);
    ASSERT_TRUE(server->Open(VxSocket::Server));
    ASSERT_TRUE(server->Bind("127.0.0.1", 0));
    ASSERT_TRUE(server->Listen(1));
    auto* address = keep(new VxSocketAddress);
    ASSERT_TRUE(server->GetLocalAddress(address));

    c_Socket* client = open("stream");
    client->p_ConnectAsync(String(u"localhost"), address->Port(), recorder);
    ASSERT_TRUE(server->Accept());
    c_Socket* accepted = keep(
        (new c_Socket)->m_new2(server->Accepted(), VxSocket::Stream, c_Socket::Open | c_Socket::Connected));
    sockets.push_back(accepted);
    EXPECT_EQ(server->Accepted(), nullptr);
    ASSERT_TRUE(pump_until([&] { return recorder->count('c') == 1; }));

    ASSERT_TRUE(accepted->m_native->GetRemoteAddress(address));
    EXPECT_TRUE(address->Host() == String(u"127.0.0.1"));
    c_DataBuffer* buffer = keep((new c_DataBuffer)->m_new(5));
    client->p_SendAsync(keep(text_buffer("hello")), 0, 5, recorder);
    accepted->p_ReceiveAsync(buffer, 0, 5, recorder);
    ASSERT_TRUE(pump_until([&] { return recorder->count('r') == 1 && recorder->count('s') == 1; }));
    EXPECT_EQ(text_of(buffer, 0, 5), "hello");
    server->Close();
}

TEST_F(Sockets, DatagramSocketsExchangeMessagesWithTheirAddresses) {
    auto* a = keep(new VxSocket);
    auto* b = keep(new VxSocket);
    auto* to = keep(new VxSocketAddress);
    auto* from = keep(new VxSocketAddress);
    ASSERT_TRUE(a->Open(VxSocket::Datagram) && b->Open(VxSocket::Datagram));
    ASSERT_TRUE(a->Bind("127.0.0.1", 0) && b->Bind("", 0));
    ASSERT_TRUE(b->GetLocalAddress(to));
    ASSERT_TRUE(to->Set("127.0.0.1", to->Port()));
    c_DataBuffer* message = keep(text_buffer("ping"));
    c_DataBuffer* received = keep((new c_DataBuffer)->m_new(8));
    EXPECT_EQ(a->SendTo(message, 0, 4, to), 4);
    EXPECT_EQ(b->ReceiveFrom(received, 1, 8, from), 4);
    EXPECT_EQ(text_of(received, 1, 4), "ping");
    auto* aAddress = keep(new VxSocketAddress);
    ASSERT_TRUE(a->GetLocalAddress(aAddress));
    EXPECT_EQ(from->Port(), aAddress->Port());
    EXPECT_FALSE(a->Open(VxSocket::Datagram)); // already open
    a->Close();
    b->Close();
}

class SocketErrors : public Sockets {};

TEST_F(SocketErrors, AnUnknownProtocolIsARuntimeError) {
    EXPECT_RUNTIME_ERROR((new c_Socket)->m_new(String(u"tcp")), "Illegal socket protocol");
}

rlimit descriptors;

// The sanitizers need descriptors of their own for their checks: one socket first, so that they
// have seen the class, and the limit back at exit, before the static objects are destroyed.
void open_with_no_descriptor_left() {
    (new c_Socket)->m_new(String(u"stream"));
    getrlimit(RLIMIT_NOFILE, &descriptors);
    std::atexit([] { setrlimit(RLIMIT_NOFILE, &descriptors); });
    rlimit none = descriptors;
    none.rlim_cur = 0;
    setrlimit(RLIMIT_NOFILE, &none);
    (new c_Socket)->m_new(String(u"stream"));
}

TEST_F(SocketErrors, NoDescriptorLeftIsARuntimeError) {
    EXPECT_RUNTIME_ERROR(open_with_no_descriptor_left(), "Socket open failed");
}

TEST_F(SocketErrors, RegisteringASourceTwiceIsARuntimeError) {
    EXPECT_RUNTIME_ERROR(vx_asyncevent_AddAsyncEventSource(open("datagram")),
                         "Async event source is already active");
}

TEST_F(SocketErrors, TheQueueHoldsAtMost255WaitingOperations) {
    c_Socket* socket = connected();
    c_DataBuffer* buffer = keep((new c_DataBuffer)->m_new(1));
    for (int i = 0; i < 255; ++i) socket->p_ReceiveAsync(buffer, 0, 1, recorder);
    EXPECT_RUNTIME_ERROR(socket->p_ReceiveAsync(buffer, 0, 1, recorder), "AsyncQueue queue overflow!");
    ::shutdown(peer, SHUT_WR);
    ASSERT_TRUE(pump_until([&] { return recorder->count('r') == 255; }));
}

} // namespace
