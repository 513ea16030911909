#include "net/http.h"
#include "net_support.h"
#include "scripted_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

// Heap bytes in use as the sanitizers' allocator counts them; absent from a build without one.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

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

String text16(const std::u16string& text) { return String(text.data(), int(text.size())); }

class Http : public ::testing::Test {
  protected:
    void TearDown() override { release_kept(); }

    c_HttpRequest* get(ScriptedServer& server, const std::string& rest = "/", int timeLimit = 0) {
        auto* request = keep((new c_HttpRequest)->m_new2(String(u"GET"), url_at(server.port(), rest), done));
        if (timeLimit > 0) request->p_SetTimeLimit(timeLimit);
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

std::string repeat(const std::string& piece, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) text += piece;
    return text;
}

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
        // Each receive gets one byte, so the two bytes of the e-acute arrive apart.
        Answer{"OneBytePerReceive",
               [](ScriptedServer& s) { s.sendBytewise("HTTP/1.0 200 OK\r\nA: b\r\n\r\nh\xC3\xA9"); }, 200,
               u"h\u00E9", 3},
        // Pieces of an odd size split many characters between receives.
        Answer{"MultiByteTextAcrossReceives",
               [](ScriptedServer& s) {
                   s.send(ok);
                   std::string body = repeat("\xC3\xA9", 12000);
                   for (std::size_t at = 0; at < body.size(); at += 1001) s.sendRead(body.substr(at, 1001));
               },
               200, std::u16string(12000, u'\u00E9'), 24000},
        Answer{"BodyThatIsNotUtf8ComesAsLatin1", [](ScriptedServer& s) { s.send(ok + "caf\xE9"); }, 200,
               u"caf\u00E9", 4},
        Answer{"LowerCaseStatusLine", [](ScriptedServer& s) { s.send("http/1.1 404 not found\r\n\r\n"); },
               404, u"", 0},
        Answer{"EmptyReasonPhrase", [](ScriptedServer& s) { s.send("HTTP/1.1 200 \r\n\r\nok"); }, 200, u"ok",
               2},
        Answer{"NoReasonPhrase", [](ScriptedServer& s) { s.send("HTTP/1.0 204\r\n\r\n"); }, 204, u"", 0},
        Answer{"TwoWordsWithoutACode", [](ScriptedServer& s) { s.send("HTTP/1.0 OK\r\n\r\nbody"); }, -1, u"",
               0},
        Answer{"NoStatusLine", [](ScriptedServer& s) { s.send("\r\nbody"); }, -1, u"", 0},
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
               -1, u"", 0},
        // The header block has its own limit of 64 KiB, whatever the lines are like.
        Answer{
            "HeaderBlockWithinItsLimit",
            [](ScriptedServer& s) { s.send("HTTP/1.0 200 OK\r\n" + repeat("X: y\r\n", 10000) + "\r\nbody"); },
            200, u"body", 4},
        Answer{"FloodOfHeaderLines",
               [](ScriptedServer& s) { s.send("HTTP/1.0 200 OK\r\n" + repeat("X\n", 40000) + "\r\nbody"); },
               -1, u"", 0}),
    [](const ::testing::TestParamInfo<Answer>& param) { return std::string(param.param.name); });

TEST_F(Http, AnEndlessBodyIsCutAtOneMebibyteAndMarkedCut) {
    // After the "a", every second byte starts an e-acute, so the cut falls inside one.
    ScriptedServer server([](ScriptedServer& s) {
        s.send(ok + "a");
        s.sendForever(repeat("\xC3\xA9", 32768));
    });
    c_HttpRequest* request = get(server);
    finish(request);
    server.wait();
    EXPECT_EQ(done->status, c_HttpRequest::statusCut);
    EXPECT_EQ(request->m_bytesReceived, c_HttpRequest::responseLimit);
    EXPECT_EQ(done->text,
              u"a" + std::u16string(std::size_t(c_HttpRequest::responseLimit - 2) / 2, u'\u00E9'));
}

TEST_F(Http, ABodyOfExactlyOneMebibyteIsWhole) {
    ScriptedServer server(
        [](ScriptedServer& s) { s.send(ok + std::string(std::size_t(c_HttpRequest::responseLimit), 'b')); });
    c_HttpRequest* request = get(server);
    finish(request);
    server.wait();
    EXPECT_EQ(done->status, 200);
    EXPECT_EQ(done->text, std::u16string(std::size_t(c_HttpRequest::responseLimit), u'b'));
}

TEST_F(Http, ASilentServerEndsTheExchangeAtTheTimeLimit) {
    ScriptedServer server([](ScriptedServer& s) { s.waitForClientClose(); });
    get(server, "/", 100);
    ASSERT_TRUE(pump_until([&] { return done->calls > 0; }));
    EXPECT_EQ(done->status, -1);
    server.wait(); // the client's socket is closed
}

TEST_F(Http, AConnectThatIsNeverAnsweredEndsAtTheTimeLimit) {
    Listener full(0);
    int filler = fill_backlog(full);
    auto* request = keep((new c_HttpRequest)->m_new2(String(u"GET"), url_at(full.port, "/"), done));
    request->p_SetTimeLimit(100);
    request->p_Send();
    finish(request);
    EXPECT_EQ(done->status, -1);
    ::close(filler);
}

TEST_F(Http, ClosingTheSocketOfAWaitingRequestEndsItOnce) {
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
        const char* scheme;
        const char* user;
        std::string path;
        std::string requestLine;
    };
    // Neither the user part nor the port is sent; a URL without a path asks for "/"; an "@" in the
    // path stays there; a request line longer than the send buffer goes out whole.
    std::string longPath = "/" + std::string(6000, 'p');
    for (const Case& c : {Case{"http", "name:secret@", "/a/b?x=1#top", "GET /a/b?x=1#top HTTP/1.0"},
                          Case{"http", "", "", "GET / HTTP/1.0"},
                          Case{"HTTP", "", "/a@evil.invalid/x", "GET /a@evil.invalid/x HTTP/1.0"},
                          Case{"http", "", longPath, "GET " + longPath + " HTTP/1.0"}}) {
        ScriptedServer server([](ScriptedServer& s) { s.send(ok); });
        std::string url =
            std::string(c.scheme) + "://" + c.user + "127.0.0.1:" + std::to_string(server.port()) + c.path;
        auto* request = keep((new c_HttpRequest)->m_new2(String(u"GET"), String(url.c_str()), done));
        request->p_Send();
        finish(request);
        server.wait();
        EXPECT_EQ(server.request(), c.requestLine + "\r\nHost: 127.0.0.1\r\n\r\n");
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

struct Refused {
    const char* name;
    std::u16string method, scheme, rest, mimeType; // a MIME type sends a body
};

void PrintTo(const Refused& r, std::ostream* out) { *out << r.name; }

class HttpRefusals : public Http, public ::testing::WithParamInterface<Refused> {};

// Each would reach a listening server if it went out; it fails without a connection instead, and
// the listener hears as from an unreachable host.
TEST_P(HttpRefusals, FailWithoutConnecting) {
    const Refused& r = GetParam();
    Listener listener;
    std::u16string url = r.scheme + u"://127.0.0.1:";
    for (char digit : std::to_string(listener.port)) url += char16_t(digit);
    url += r.rest;
    auto* request = keep((new c_HttpRequest)->m_new());
    request->p_Open(text16(r.method), text16(url), done);
    if (r.mimeType.empty())
        request->p_Send();
    else
        request->p_Send2(String(u"x"), text16(r.mimeType), String(u"utf8"));
    finish(request);
    EXPECT_EQ(done->status, -1);
    EXPECT_FALSE(has_pending_connection(listener));
}

INSTANTIATE_TEST_SUITE_P(
    Http, HttpRefusals,
    ::testing::Values(Refused{"Https", u"GET", u"https", u"/", u""},
                      Refused{"Ftp", u"GET", u"ftp", u"/", u""},
                      Refused{"LineBreakInTheMethod", u"GET\r\nX: y", u"http", u"/", u""},
                      Refused{"SpaceInTheMethod", u"GET /x", u"http", u"/", u""},
                      Refused{"NoMethod", u"", u"http", u"/", u""},
                      Refused{"SpaceInThePath", u"GET", u"http", u"/a b", u""},
                      Refused{"LineBreakInThePath", u"GET", u"http", u"/a\r\nX: y", u""},
                      Refused{"LineFeedInTheQuery", u"GET", u"http", u"/a?b\nc", u""},
                      Refused{"WideCharacterThatEndsInALineFeed", u"GET", u"http", u"/a\u010Ab", u""},
                      Refused{"LineBreakInTheMimeType", u"POST", u"http", u"/p", u"text/plain\r\nX: y"}),
    [](const ::testing::TestParamInfo<Refused>& param) { return std::string(param.param.name); });

// What the process holds once every finished request has been collected.
struct Footprint {
    int liveBytes; // collected objects still reachable
    std::size_t heapBytes;
    int descriptors;
};

int entries(const char* folder) {
    int count = 0;
    DIR* dir = opendir(folder);
    while (dir && readdir(dir)) ++count;
    if (dir) closedir(dir);
    return count;
}

Footprint footprint() {
    // The first cycle frees what the requests left; the second ends with only the reachable marked.
    full_collection();
    gc_ext_malloced(gc_cycle_bytes + 1);
    gc_collect_step(nullptr);
    return {gc_alloced_bytes,
            __sanitizer_get_current_allocated_bytes ? __sanitizer_get_current_allocated_bytes() : 0,
            entries("/proc/self/fd")};
}

TEST_F(Http, AThousandRequestsInARowLeaveMemoryAndTheEventWalkFlat) {
    constexpr int warmUp = 20;
    constexpr int requests = 1000;
    ScriptedServer server([](ScriptedServer& s) { s.send(ok + "fine"); }, warmUp + requests);
    int sources = registered_sources();
    int mostSources = 0;
    int threads = 0;
    auto run = [&](int count) {
        for (int i = 0; i < count; ++i) {
            done->calls = 0;
            // Held by nothing but its socket's operations while it runs.
            (new c_HttpRequest)->m_new2(String(u"GET"), url_at(server.port(), "/"), done)->p_Send();
            ASSERT_TRUE(spin_until([&] {
                mostSources = std::max(mostSources, registered_sources());
                return done->calls == 1;
            }));
            ASSERT_EQ(done->status, 200);
            full_collection();
        }
        ASSERT_TRUE(spin_until([&] { return registered_sources() == sources; }));
        // Workers end when their socket closes; they are gone soon after.
        ASSERT_TRUE(spin_until([&] { return threads == 0 || entries("/proc/self/task") <= threads; }));
    };
    run(warmUp);
    Footprint before = footprint();
    threads = entries("/proc/self/task");
    mostSources = 0;
    run(requests);
    Footprint after = footprint();
    server.wait();

    // Each update walked the request under way and the few before it that were still letting go,
    // however many had gone before; the live objects are the same but for the capacity the list of
    // sources may have grown to meanwhile.
    EXPECT_LE(mostSources, sources + 32);
    EXPECT_LE(after.liveBytes, before.liveBytes + 1024);
    EXPECT_LE(after.heapBytes, before.heapBytes + 64 * 1024);
    EXPECT_EQ(after.descriptors, before.descriptors);
    RecordProperty("most_sources", mostSources);
    RecordProperty("live_bytes_before", before.liveBytes);
    RecordProperty("live_bytes_after", after.liveBytes);
    RecordProperty("heap_bytes_before", std::to_string(before.heapBytes));
    RecordProperty("heap_bytes_after", std::to_string(after.heapBytes));
}

} // namespace
