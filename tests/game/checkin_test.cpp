// The check-in against real loopback servers, driven by the game's own updates: the request it
// sends, what it keeps of the answer, a refused connection, a stale request, and no request at all
// unless allowed.
#include "game_harness.h"
#include "tests/net/scripted_server.h"

#include <atomic>
#include <optional>
#include <string>

namespace {

using gametest::Update;
using net_test::ScriptedServer;

String Loopback(int port) { return String(("http://127.0.0.1:" + std::to_string(port)).c_str()); }

std::string Utf8(const String& text) {
    std::string out;
    text.ToUtf8(out);
    return out;
}

class CheckIn : public gametest::GameTest {
  protected:
    // Updates until `done` holds; the bound only keeps a broken build from hanging the run.
    template <class F> bool UpdateUntil(F done) {
        for (int i = 0; i < 20000; ++i) {
            Update();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    // The lines printed while `f` runs.
    template <class F> std::string Printed(F f) {
        testing::internal::CaptureStdout();
        f();
        return testing::internal::GetCapturedStdout();
    }
};

TEST_F(CheckIn, NothingIsSentUnlessAllowed) {
    gametest::Updates(30);
    EXPECT_EQ(app->m_Http, nullptr);
    EXPECT_EQ(Utf8(app->m_HouseCallText), "N/A");
    EXPECT_EQ(J_On_Able, 0);
    app->p_OnHttpRequestComplete(nullptr);
    EXPECT_EQ(app->m_HttpState, 0);
}

TEST_F(CheckIn, TheStartUpGreetingKeepsTheAnswer) {
    struct Case {
        const char* name;
        std::optional<ScriptedServer::Script> answer; // none: nothing listens
        int status;
        std::string text;
        int able;
    } cases[] = {
        {"a greeting", [](ScriptedServer& s) { s.send("HTTP/1.0 200 OK\r\nX: y\r\n\r\nwelcome back"); }, 200,
         "welcome back", 1},
        {"an empty body", [](ScriptedServer& s) { s.send("HTTP/1.0 200 OK\r\n\r\n"); }, 200, "", 0},
        {"an error page", [](ScriptedServer& s) { s.send("HTTP/1.0 404 Not Found\r\n\r\nnope"); }, 404,
         "nope", 1},
        {"a refused connection", std::nullopt, -1, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        app = gametest::FreshApp();
        std::optional<ScriptedServer> server;
        if (c.answer) server.emplace(*c.answer);
        J_On_Allow = 1;
        CheckInServer = Loopback(server ? server->port() : net_test::closed_port());

        std::string started = Printed([&] { app->p_OnCreate(); });
        EXPECT_NE(started.find("Requesting URL\n"), std::string::npos);
        ASSERT_NE(app->m_Http, nullptr);
        EXPECT_EQ(app->m_HttpState, 0);
        EXPECT_EQ(Utf8(app->m_HouseCallText), "N/A");

        std::string ended = Printed([&] { EXPECT_TRUE(UpdateUntil([&] { return app->m_HttpState == 1; })); });
        EXPECT_NE(ended.find("Http GET complete! " + std::to_string(c.status) + "\n"), std::string::npos)
            << ended;
        EXPECT_EQ(Utf8(app->m_HouseCallText), c.text);
        EXPECT_EQ(J_On_Able, c.able);
        if (server) {
            server->wait();
            EXPECT_EQ(server->request().substr(0, server->request().find("\r\n")),
                      "GET /housecall.php?hello=1&gameID=444 HTTP/1.0");
        }
    }
}

// A second check-in replaces the first; the first one's answer, arriving last, is not taken.
TEST_F(CheckIn, AnAnswerToAReplacedRequestChangesNothing) {
    std::atomic<bool> release{false};
    ScriptedServer first([&](ScriptedServer& s) {
        while (!release) std::this_thread::yield();
        s.send("HTTP/1.0 200 OK\r\n\r\nstale");
    });
    ScriptedServer second([](ScriptedServer& s) { s.send("HTTP/1.0 200 OK\r\n\r\n"); });

    app->p_GetURL(Loopback(first.port()) + String(u"/housecall.php"), String(u"hello=1"));
    c_HttpRequest* stale = net_test::keep(app->m_Http);
    app->p_GetURL(Loopback(second.port()) + String(u"/housecall.php"), String(u"hello=2"));
    std::string printed = Printed([&] {
        EXPECT_TRUE(UpdateUntil([&] { return app->m_HttpState == 1; }));
        release = true;
        EXPECT_TRUE(UpdateUntil([&] { return Utf8(stale->p_ResponseText()) == "stale"; }));
    });
    release = true;
    EXPECT_EQ(printed, "Http GET complete! 200\n") << "one completion is the game's";
    EXPECT_EQ(app->m_HttpState, 1);
    EXPECT_EQ(Utf8(app->m_HouseCallText), "");
    EXPECT_EQ(J_On_Able, 0);
    net_test::release_kept();
}

} // namespace
