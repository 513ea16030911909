#include "net/http.h"
#include "net_support.h"
#include "scripted_server.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

using namespace net_test;

class Done : public Object, public c_IOnHttpRequestComplete {
  public:
    int calls = 0;
    int status = 0;
    std::u16string text;

    void p_OnHttpRequestComplete(c_HttpRequest* request) override {
        ++calls;
        status = request->p_Status();
        String t = request->p_ResponseText();
        text.assign(t.Data(), t.Data() + t.Length());
    }
};

String url_at(int port, const std::string& rest) {
    return String(("http://127.0.0.1:" + std::to_string(port) + rest).c_str());
}

class Http : public ::testing::Test {
  protected:
    void TearDown() override { release_kept(); }

    c_HttpRequest* get(ScriptedServer& server, const std::string& rest = "/") {
        auto* request = keep((new c_HttpRequest)->m_new2(String(u"GET"), url_at(server.port(), rest), done));
        request->p_Send();
        server.client(request->m_socket->m_native->handle.load());
        return request;
    }

    // Pumps until the listener has heard and the socket has let go of everything.
    void finish(c_HttpRequest* request) {
        ASSERT_TRUE(pump_until([&] { return done->calls > 0; }));
        ASSERT_TRUE(
            pump_until([&] { return idle(request->m_socket) && request->m_socket->m_native->handle == -1; }));
        EXPECT_EQ(done->calls, 1);
        EXPECT_FALSE(request->m_socket->p_IsOpen());
    }

    Done* done = keep(new Done);
};

struct Answer {
    const char* name;
    ScriptedServer::Script script;
    int status;
    std::u16string body;
    int bodyBytes;
};

void PrintTo(const Answer& a, std::ostream* out) { *out << a.name; }

class HttpAnswers : public Http, public ::testing::WithParamInterface<Answer> {};

TEST_P(HttpAnswers, EndOnceWithTheStatusAndBodyReceived) {
    const Answer& answer = GetParam();
    ScriptedServer server(answer.script);
    c_HttpRequest* request = get(server);
    finish(request);
    server.wait();
    EXPECT_EQ(done->status, answer.status);
    EXPECT_EQ(done->text, answer.body);
    EXPECT_EQ(request->m_bytesReceived, answer.bodyBytes);
}

const std::string ok = "HTTP/1.0 200 OK\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Http, HttpAnswers,
    ::testing::Values(
        Answer{"Whole",
               [](ScriptedServer& s) {
                   s.send("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\ncaf\xC3\xA9");
               },
               200, u"caf\u00E9", 5},
        Answer{"SplitStatusLine",
               [](ScriptedServer& s) {
                   for (const char* piece :
                        {"HT", "TP/1.1 4", "04 Not Found\r", "\nX: y\r\n", "\r", "\nbo", "dy"})
                       s.sendRead(piece);
               },
               404, u"body", 4},
        // Each receive gets one byte, so the two bytes of the e-acute are decoded apart.
        Answer{"OneBytePerReceive",
               [](ScriptedServer& s) { s.sendBytewise("HTTP/1.0 200 OK\r\nA: b\r\n\r\nh\xC3\xA9"); }, 200,
               u"h\xFFC3\xFFA9", 3},
        Answer{"LowerCaseStatusLine", [](ScriptedServer& s) { s.send("http/1.1 404 not found\r\n\r\n"); },
               404, u"", 0},
        Answer{"NoStatusLine", [](ScriptedServer& s) { s.send("\r\nbody"); }, -1, u"", 0},
        Answer{"TwoWordStatusLine", [](ScriptedServer& s) { s.send("HTTP/1.0 200\r\n\r\nbody"); }, -1, u"",
               0},
        Answer{"Garbage", [](ScriptedServer& s) { s.send("\x01\x02 garbage\nmore\n\nbody"); }, -1, u"", 0},
        Answer{"BinaryThenClose", [](ScriptedServer& s) { s.send(std::string("\0\xFF\x80\x7F", 4)); }, -1,
               u"", 0},
        Answer{"EarlyClose", [](ScriptedServer&) {}, -1, u"", 0},
        Answer{"CloseInsideTheHeaders", [](ScriptedServer& s) { s.send("HTTP/1.0 200 OK\r\nX: y"); }, -1, u"",
               0},
        // A failed receive ends the exchange with what had arrived.
        Answer{"ResetAfterPartOfTheBody",
               [](ScriptedServer& s) {
                   s.sendRead(ok + "part");
                   s.reset();
               },
               200, u"part", 4},
        // A header line longer than the receive buffer cannot be read: the exchange ends.
        Answer{"HeaderLineLongerThanTheBuffer",
               [](ScriptedServer& s) {
                   s.send("HTTP/1.0 200 OK\r\nX: " + std::string(20000, 'x') + "\r\n\r\nbody");
               },
               -1, u"", 0}),
    [](const ::testing::TestParamInfo<Answer>& param) { return std::string(param.param.name); });

TEST_F(Http, AnEndlessBodyStopsAtOneMebibyte) {
    ScriptedServer server([](ScriptedServer& s) {
        s.send(ok);
        s.sendForever(std::string(65536, 'a'));
    });
    c_HttpRequest* request = get(server);
    finish(request);
    server.wait();
    EXPECT_EQ(done->status, 200);
    EXPECT_EQ(request->m_bytesReceived, c_HttpRequest::responseLimit - int(ok.size()));
    EXPECT_EQ(done->text, std::u16string(std::size_t(request->m_bytesReceived), u'a'));
}

TEST_F(Http, ASilentServerLeavesTheRequestWaitingUntilItsSocketIsClosed) {
    ScriptedServer server([](ScriptedServer& s) { s.waitForClientClose(); });
    c_HttpRequest* request = get(server);
    int fd = request->m_socket->m_native->handle.load();
    ASSERT_TRUE(pump_until([&] { return server.requestRead() && blocked_in(SYS_recvfrom, fd); }));
    for (int i = 0; i < 20; ++i) pump_once();
    EXPECT_EQ(done->calls, 0);
    EXPECT_TRUE(request->m_socket->p_IsConnected());
    request->m_socket->p_Close();
    finish(request);
    EXPECT_EQ(done->status, -1);
    EXPECT_TRUE(done->text.empty());
}

TEST_F(Http, ClosingTheSocketAfterTheConnectSucceededButBeforeItsDeliveryEndsTheRequestOnce) {
    Listener listener;
    auto* request = keep((new c_HttpRequest)->m_new2(String(u"GET"), url_at(listener.port, "/"), done));
    request->p_Send();
    c_AsyncQueue* queue = request->m_socket->m_readQueue;
    while (queue->m_runIndex.load() == 0) std::this_thread::yield();
    request->m_socket->p_Close();
    finish(request);
    EXPECT_EQ(done->status, -1);
}

TEST_F(Http, AFailedConnectEndsWithNoStatus) {
    auto* request = keep((new c_HttpRequest)->m_new2(String(u"GET"), url_at(closed_port(), "/"), done));
    request->p_Send();
    finish(request);
    EXPECT_EQ(done->status, -1);
    EXPECT_TRUE(done->text.empty());
}

TEST_F(Http, TheRequestIsExactlyTheRequestLineAndTheHostLine) {
    struct Case {
        const char* user;
        const char* path;
        const char* requestLine;
    };
    // Neither the user part nor the port is sent; a URL without a path asks for "/".
    for (const Case& c : {Case{"name:secret@", "/a/b?x=1#top", "GET /a/b?x=1#top HTTP/1.0"},
                          Case{"", "", "GET / HTTP/1.0"}}) {
        ScriptedServer server([](ScriptedServer& s) { s.send(ok); });
        std::string url =
            std::string("http://") + c.user + "127.0.0.1:" + std::to_string(server.port()) + c.path;
        auto* request = keep((new c_HttpRequest)->m_new2(String(u"GET"), String(url.c_str()), done));
        request->p_Send();
        finish(request);
        server.wait();
        EXPECT_EQ(server.request(), std::string(c.requestLine) + "\r\nHost: 127.0.0.1\r\n\r\n");
        EXPECT_EQ(done->status, 200);
        done->calls = 0;
    }
}

TEST_F(Http, ABodyIsAnnouncedAndFollowsTheHeaderBlock) {
    struct Case {
        const char* mimeType;
        const char16_t* data;
        const char* encoding;
        std::string expected;
    };
    for (const Case& c : {Case{"text/plain", u"h\u00E9!", "utf8",
                               "POST /p HTTP/1.0\r\nHost: 127.0.0.1\r\nContent-Type: text/plain\r\n"
                               "Content-Length: 4\r\n\r\nh\xC3\xA9!"},
                          Case{"", u"h\u00E9!", "ascii",
                               "POST /p HTTP/1.0\r\nHost: 127.0.0.1\r\nContent-Length: 3\r\n\r\nh\xE9!"}}) {
        ScriptedServer server([](ScriptedServer& s) { s.send(ok + "fine"); });
        auto* request = keep((new c_HttpRequest)->m_new());
        request->p_Open(String(u"POST"), url_at(server.port(), "/p"), done);
        request->p_Send2(String(c.data, 3), String(c.mimeType), String(c.encoding));
        finish(request);
        server.wait();
        EXPECT_EQ(server.request(), c.expected);
        EXPECT_EQ(done->text, u"fine");
        done->calls = 0;
    }
}

} // namespace
