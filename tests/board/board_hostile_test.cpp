// The score board against what the open internet sends it: malformed, oversized and hostile requests
// get their own status and leave nothing stored; markup in a name stays text; slow clients are cut
// off; floods hit the hourly limits; a round that hangs, spins, exhausts or crashes the verifier is
// cut off and rejected with the cause.
#include "board_support.h"

#include <gmock/gmock.h>

#include <set>

using namespace board_test;
using ::testing::HasSubstr;

namespace {

TEST_F(BoardServer, HostileRequestsGetTheirStatusStoreNothingAndTheServerKeepsServing) {
    BoardProcess& board = Start("board", {"--workers", "0"});
    ASSERT_TRUE(board.Listening()) << board.Output();
    const std::string key = KeyOf("hostile");
    const std::string replay = Base64(Golden(2));
    auto form = [&](const std::string& k, const std::string& name, const std::string& r) {
        return Form({{"key", k}, {"name", name}, {"replay", r}});
    };
    auto post = [](const std::string& body) { return Request("POST", "/api/replays", body); };
    std::string oversized = form(key, "Big", "");
    oversized.resize((6 << 20) + 1, 'A');
    std::vector<uint8_t> bigReplay = Golden(2);
    bigReplay.resize((4 << 20) + 1);
    std::string twoByteName;
    for (int i = 0; i < 16; ++i) twoByteName += "\xC3\xA9";

    const struct {
        const char* what;
        std::string request;
        int status;
    } cases[] = {
        {"a body over 6 MiB", post(oversized), 413},
        {"a replay over 4 MiB", post(form(key, "Big", Base64(bigReplay))), 413},
        {"a body of binary garbage", post(std::string("\0\xFF\x13garbage&&==%%zz", 17)), 400},
        {"a replay that is not base64", post(form(key, "Name", "@@ not base64 @@")), 400},
        {"a replay that is no replay", post(form(key, "Name", Base64({'h', 'e', 'l', 'l', 'o'}))), 400},
        {"no replay", post(Form({{"key", key}, {"name", "Name"}})), 400},
        {"no key", post(Form({{"name", "Name"}, {"replay", replay}})), 400},
        {"a 31-character key", post(form(std::string(31, 'k'), "Name", replay)), 400},
        {"a 129-character key", post(form(std::string(129, 'k'), "Name", replay)), 400},
        {"a key with a dot", post(form(key + ".", "Name", replay)), 400},
        {"no name", post(Form({{"key", key}, {"replay", replay}})), 400},
        {"an empty name", post(form(key, "", replay)), 400},
        {"a 17-character name", post(form(key, std::string(17, 'n'), replay)), 400},
        {"a name with a control character", post(form(key, "Bad\x01Name", replay)), 400},
        {"a name with a line break", post(form(key, "Bad\nName", replay)), 400},
        {"a name that is not UTF-8", post(form(key, "Bad\xFF\xFEName", replay)), 400},
        {"a name of 16 two-byte characters", post(form(key, twoByteName, replay)), 202},
        {"an unknown path", Request("GET", "/nowhere"), 404},
        {"an unknown replay", Request("GET", "/api/replays/999999"), 404},
        {"an unknown replay file", Request("GET", "/replays/999999.replay"), 404},
        {"DELETE of the submissions", Request("DELETE", "/api/replays"), 405},
        {"POST to the board", Request("POST", "/api/board", "limit=5"), 405},
        {"PUT to the page", Request("PUT", "/", "page"), 405},
        {"an unknown difficulty", Request("GET", "/api/board?difficulty=extreme"), 400},
        {"an unknown period", Request("GET", "/api/board?period=year"), 400},
        {"a limit of 0", Request("GET", "/api/board?limit=0"), 400},
        {"a limit of 101", Request("GET", "/api/board?limit=101"), 400},
        {"a limit that is no number", Request("GET", "/api/board?limit=ten"), 400},
        {"the last of every parameter", Request("GET", "/api/board?difficulty=hard&period=day&limit=100"),
         200},
        {"a limit of 1", Request("GET", "/api/board?difficulty=easy&period=week&limit=1"), 200},
    };
    int accepted = 0;
    for (const auto& c : cases) {
        const Reply reply = Exchange(board.port, c.request);
        EXPECT_EQ(reply.status, c.status) << c.what << ": " << reply;
        if (c.status >= 400) {
            EXPECT_NE(reply.error(), "") << c.what << ": not {\"error\": ...}: " << reply;
        }
        if (c.status == 202) ++accepted;
        ASSERT_EQ(Get(board.port, "/api/board").status, 200) << "after " << c.what << "\n" << board.Output();
    }
    EXPECT_EQ(db->Count(), accepted);
    EXPECT_EQ(db->Count("status = 'pending'"), accepted);
}

TEST_F(BoardServer, MarkupAndQuotesInANameAreEscapedOnThePageAndExactInJson) {
    BoardProcess& board = Start("board", Verifier(SPINDRIFT_EXE));
    ASSERT_TRUE(board.Listening()) << board.Output();
    const std::string name = "<script>\"x\"&'y'";
    const Reply reply = Submit(board.port, KeyOf("markup"), name, Golden(1));
    ASSERT_EQ(reply.status, 202) << reply;
    ASSERT_EQ(Finished(board.port, IdOf(reply))["status"], "verified") << board.Output();

    Json entries;
    WaitFor([&] { return !(entries = Entries(board.port, "difficulty=easy")).empty(); });
    ASSERT_EQ(entries.size(), 1u) << entries;
    EXPECT_EQ(entries[0]["name"], name);
    EXPECT_THAT(Get(board.port, "/api/board?difficulty=easy").type,
                ::testing::StartsWith("application/json"));

    const Reply page = Get(board.port, "/");
    EXPECT_EQ(page.status, 200);
    EXPECT_THAT(page.body, ::testing::Not(HasSubstr("<script>\"x\"")));
    const std::string quote = "(\"|&quot;|&#34;|&#x22;)", apostrophe = "('|&#39;|&#x27;|&apos;)";
    EXPECT_TRUE(std::regex_search(page.body, std::regex("&lt;script&gt;" + quote + "x" + quote + "&amp;" +
                                                        apostrophe + "y" + apostrophe)))
        << "the name is not on the page as text";
}

TEST_F(BoardServer, SlowClientsAreCutOffWhileOthersAreServed) {
    BoardProcess& board = Start("board", {"--workers", "0"});
    ASSERT_TRUE(board.Listening()) << board.Output();
    // More than a pool of request threads is likely to hold: half a header, or a header and part of
    // the body it announced, then silence.
    std::vector<int> slow;
    for (int i = 0; i < 24; ++i) {
        const std::string half =
            i % 2 ? "GET /api/board HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                  : "POST /api/replays HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " + FormType +
                        "\r\nContent-Length: 1000\r\n\r\nkey=abc";
        const int fd = ConnectTo(board.port);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::send(fd, half.data(), half.size(), MSG_NOSIGNAL), ssize_t(half.size()));
        slow.push_back(fd);
    }

    const Reply read = Get(board.port, "/api/board");
    EXPECT_EQ(read.status, 200) << read;
    const Reply submission = Submit(board.port, KeyOf("patient"), "Patient", Golden(2));
    EXPECT_EQ(submission.status, 202) << submission;

    // Cut off: the server closes the connection (after an answer or none) without being asked.
    std::set<int> cut;
    WaitFor([&] {
        for (int fd : slow) {
            char buffer[4096];
            ssize_t n;
            while ((n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) {
            }
            if (n == 0 || (n < 0 && errno != EAGAIN)) cut.insert(fd);
        }
        return cut.size() == slow.size();
    });
    EXPECT_EQ(cut.size(), slow.size()) << "slow clients still connected";
    for (int fd : slow) ::close(fd);
    EXPECT_EQ(Get(board.port, "/api/board").status, 200);
    EXPECT_EQ(db->Count(), 1);
}

TEST_F(BoardServer, SubmissionsPastTheKeyOrTheAddressLimitGet429AndAreNotStored) {
    const struct {
        const char* limit;
        std::vector<std::string> options;
        std::vector<std::pair<std::string, int>> sends; // player, status
    } scenarios[] = {
        {"per key",
         {"--key-limit", "2", "--address-limit", "100"},
         {{"ann", 202}, {"ann", 202}, {"ann", 429}, {"bob", 202}}},
        {"per address",
         {"--key-limit", "100", "--address-limit", "3"},
         {{"ann", 202}, {"bob", 202}, {"cyd", 202}, {"dee", 429}, {"ann", 429}}},
    };
    for (const auto& scenario : scenarios) {
        Database own;
        std::vector<std::string> options = {"--workers", "0"};
        options.insert(options.end(), scenario.options.begin(), scenario.options.end());
        BoardProcess& board = Start(std::string("board-") + scenario.limit, options, &own);
        ASSERT_TRUE(board.Listening()) << board.Output();
        int course = 0, accepted = 0;
        for (const auto& [player, status] : scenario.sends) {
            const Reply reply = Submit(board.port, KeyOf(player), player, Forged(Golden(2), course++));
            EXPECT_EQ(reply.status, status)
                << scenario.limit << ", submission " << course << " by " << player << ": " << reply;
            if (status == 429) {
                EXPECT_NE(reply.error(), "") << reply;
            }
            if (status == 202) ++accepted;
        }
        EXPECT_EQ(own.Count(), accepted) << scenario.limit;
        EXPECT_EQ(board.Stop(), 0) << board.Output();
    }
}

// Stand-ins for a replay made to hang, spin, exhaust or crash the game's verifier: the board must
// cut each off by its limits and go on verifying. Which one plays is read from a file per job.
TEST_F(BoardServer, AVerifierThatHangsSpinsRunsOutOfMemoryOrCrashesIsCutOffAndTheRoundRejected) {
    const std::string mode = (temp.path / "mode").string();
    const std::string verifier = Script("hostile-verifier", "case \"$(cat '" + mode +
                                                                "')\" in\n"
                                                                "hang) exec sleep 600 ;;\n"
                                                                "spin) while :; do :; done ;;\n"
                                                                "memory) exec " +
                                                                Python() +
                                                                " -c 'b = bytearray(2 << 30)' ;;\n"
                                                                "crash) kill -SEGV $$ ;;\n"
                                                                "*) " +
                                                                TakeAsRecorded() + "\n;;\nesac");
    BoardProcess& board = Start("board", {"--verifier", verifier, "--workers", "1", "--verify-wall", "10",
                                          "--verify-cpu", "2", "--verify-memory", "200"});
    ASSERT_TRUE(board.Listening()) << board.Output();

    const struct {
        const char* mode;
        const char* reason; // case-insensitive
    } cases[] = {
        {"hang", "^(?!.*cpu).*(wall|time)"},
        {"spin", "cpu"},
        {"memory", "memory"},
        {"crash", "sigsegv|segmentation|signal 11"},
    };
    int course = 0;
    for (const auto& c : cases) {
        writeFile(mode, c.mode);
        const Reply reply = Submit(board.port, KeyOf(c.mode), c.mode, Forged(Golden(2), course++));
        ASSERT_EQ(reply.status, 202) << c.mode << ": " << reply;
        Json status = Finished(board.port, IdOf(reply));
        EXPECT_EQ(status["status"], "rejected") << c.mode << ": " << status << board.Output();
        const std::string reason = status["reason"].is_string() ? status["reason"].get<std::string>() : "";
        EXPECT_TRUE(std::regex_search(reason, std::regex(c.reason, std::regex::icase)))
            << c.mode << ": the reason is \"" << reason << "\"";
        ASSERT_EQ(Get(board.port, "/api/board").status, 200) << "after " << c.mode << board.Output();
    }

    // A well-behaved verifier after them: the worker is free and verifies.
    writeFile(mode, "trust");
    const Reply reply = Submit(board.port, KeyOf("after"), "After", Golden(2));
    ASSERT_EQ(reply.status, 202) << reply;
    Json status = Finished(board.port, IdOf(reply));
    EXPECT_EQ(status["status"], "verified") << status << board.Output();
    EXPECT_EQ(status["score"], Decoded(Golden(2)).score);
}

} // namespace
