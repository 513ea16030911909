// The score board as players meet it: rounds posted over HTTP are verified by the game's own
// verifier, ranked one place per player and served back; tampered, foreign and broken files are told
// apart; a round sent again ranks once; the game's own HTTP client checks in and submits.
#include "board_support.h"
#include "net/http.h"
#include "tests/net/net_support.h"
#include "tests/support/verifier.h"

#include <gmock/gmock.h>

using namespace board_test;
using ::testing::HasSubstr;

namespace {

TEST_F(BoardServer, GoldenRoundsAreVerifiedRankedListedAndServedBackByteForByte) {
    BoardProcess& board = Start("board", Verifier(SPINDRIFT_EXE));
    ASSERT_TRUE(board.Listening()) << board.Output();
    EXPECT_EQ(board.firstLine,
              "spindrift-board: listening on http://127.0.0.1:" + std::to_string(board.port));

    struct Posted {
        std::vector<uint8_t> bytes;
        ReplayData data;
        std::string name;
        long long id = 0;
    };
    std::vector<Posted> posted;
    const long long submitted = Now();
    for (int n : {1, 2, 3}) {
        Posted round{Golden(n), Decoded(Golden(n)), "Golden " + std::to_string(n)};
        const Reply reply = Submit(board.port, KeyOf("golden" + std::to_string(n)), round.name, round.bytes);
        ASSERT_EQ(reply.status, 202) << reply;
        EXPECT_EQ(reply.json()["status"], "pending") << reply;
        round.id = IdOf(reply);
        ASSERT_GT(round.id, 0) << reply;
        posted.push_back(round);
    }

    for (const Posted& round : posted) {
        Json status = Finished(board.port, round.id);
        EXPECT_EQ(status["id"], round.id);
        EXPECT_EQ(status["status"], "verified") << status << board.Output();
        EXPECT_TRUE(status.contains("reason") && status["reason"].is_null()) << status;
        EXPECT_EQ(status["score"], round.data.score) << status;
        EXPECT_EQ(status["difficulty"], DifficultyName(round.data.difficulty)) << status;
        EXPECT_EQ(status["rank"], 1) << status;
    }
    const long long verified = Now();

    // The boards are kept in memory; they take a verified round in a moment after it finishes.
    Reply page;
    WaitFor([&] {
        page = Get(board.port, "/");
        return std::all_of(posted.begin(), posted.end(), [&](const Posted& round) {
            return page.body.find("/replays/" + std::to_string(round.id) + ".replay") != std::string::npos;
        });
    });
    EXPECT_EQ(page.status, 200);
    EXPECT_THAT(page.type, ::testing::StartsWith("text/html"));
    std::string lowerPage = page.body;
    std::transform(lowerPage.begin(), lowerPage.end(), lowerPage.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    for (const char* heading : {"easy", "normal", "hard", "all time", "this week", "today"}) {
        EXPECT_THAT(lowerPage, HasSubstr(heading));
    }

    for (const Posted& round : posted) {
        const std::string difficulty = DifficultyName(round.data.difficulty);
        const std::string link = "/replays/" + std::to_string(round.id) + ".replay";
        Json entries;
        WaitFor([&] { return !(entries = Entries(board.port, "difficulty=" + difficulty)).empty(); });
        ASSERT_EQ(entries.size(), 1u) << difficulty << ": " << entries;
        Json entry = entries[0];
        EXPECT_EQ(entry["rank"], 1);
        EXPECT_EQ(entry["name"], round.name);
        EXPECT_EQ(entry["score"], round.data.score);
        EXPECT_EQ(entry["replay"], link);
        const long long date = UtcSeconds(entry.value("date", ""));
        EXPECT_GE(date, submitted) << entry;
        EXPECT_LE(date, verified) << entry;

        const Reply file = Get(board.port, link);
        EXPECT_EQ(file.status, 200) << link;
        EXPECT_EQ(file.type, "application/octet-stream");
        EXPECT_TRUE(file.body == Text(round.bytes)) << link << " differs from the file posted";

        EXPECT_THAT(page.body, HasSubstr(round.name));
        EXPECT_THAT(page.body, HasSubstr("href=\"" + link + "\""));
        EXPECT_TRUE(
            std::regex_search(page.body, std::regex("[>\\s]" + std::to_string(round.data.score) + "[<\\s]")))
            << "no score " << round.data.score << " on the page";
    }
}

// A verifier that takes every round as recorded, its score read from the file's header: the real one
// verifies only the three golden rounds, one per difficulty, too few to rank players against each other.
TEST_F(BoardServer, EachPlayerHoldsOnePlaceWithHisBestRoundInOrderOfScore) {
    const std::string trusting = Script("trusting-verifier", TakeAsRecorded());
    BoardProcess& board = Start("board", {"--verifier", trusting, "--workers", "2"});
    ASSERT_TRUE(board.Listening()) << board.Output();

    struct Round {
        std::string player;
        int score;
        long long id = 0;
    };
    std::vector<Round> rounds = {{"Ann", 30}, {"Bob", 40}, {"Cyd", 10}, {"Dee", 20}, {"Ann", 50}};
    for (std::size_t i = 0; i < rounds.size(); ++i) {
        Round& round = rounds[i];
        const auto bytes = Changed(Golden(2), [&](ReplayData& data) { data.score = round.score; });
        const Reply reply = Submit(board.port, KeyOf(round.player), round.player, bytes);
        ASSERT_EQ(reply.status, 202) << reply;
        round.id = IdOf(reply);
    }
    for (const Round& round : rounds) {
        ASSERT_EQ(Finished(board.port, round.id)["status"], "verified") << round.player << board.Output();
    }

    // Ann's 30 is not her best: it holds no place.
    const std::vector<std::pair<const Round*, int>> expected = {
        {&rounds[4], 1}, {&rounds[1], 2}, {&rounds[3], 3}, {&rounds[2], 4}};
    Json all;
    WaitFor([&] { return (all = Entries(board.port, "difficulty=normal")).size() == expected.size(); });
    ASSERT_EQ(all.size(), expected.size()) << all;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& [round, rank] = expected[i];
        EXPECT_EQ(all[i]["rank"], rank) << all[i];
        EXPECT_EQ(all[i]["name"], round->player) << all[i];
        EXPECT_EQ(all[i]["score"], round->score) << all[i];
        EXPECT_EQ(all[i]["replay"], "/replays/" + std::to_string(round->id) + ".replay") << all[i];
        EXPECT_EQ(Get(board.port, "/api/replays/" + std::to_string(round->id)).json()["rank"], rank);
    }
    EXPECT_TRUE(Get(board.port, "/api/replays/" + std::to_string(rounds[0].id)).json()["rank"].is_null());

    EXPECT_EQ(Entries(board.port, ""), all) << "normal, all time and 10 places are the defaults";
    EXPECT_EQ(Entries(board.port, "difficulty=normal&period=week"), all);
    EXPECT_EQ(Entries(board.port, "difficulty=normal&period=day"), all);
    EXPECT_EQ(Entries(board.port, "difficulty=hard"), Json::array());
    EXPECT_EQ(Entries(board.port, "difficulty=normal&limit=2"), Json({all[0], all[1]}));

    // Around Cyd, last: a run of consecutive places of the whole board that holds his.
    Json around = Entries(board.port, "difficulty=normal&limit=3&around=" + KeyOf("Cyd"));
    ASSERT_FALSE(around.empty());
    EXPECT_LE(around.size(), 3u) << around;
    bool hasCyd = false;
    for (std::size_t i = 0; i < around.size(); ++i) {
        const int rank = around[i].value("rank", 0);
        ASSERT_TRUE(rank >= 1 && rank <= int(all.size())) << around;
        EXPECT_EQ(around[i], all[std::size_t(rank - 1)]);
        if (i > 0) {
            EXPECT_EQ(rank, around[i - 1].value("rank", 0) + 1) << around;
        }
        hasCyd = hasCyd || around[i]["name"] == "Cyd";
    }
    EXPECT_TRUE(hasCyd) << around;
}

TEST_F(BoardServer, ATamperedRoundIsRejectedWithTheVerifiersOwnReason) {
    BoardProcess& board = Start("board", Verifier(SPINDRIFT_EXE));
    ASSERT_TRUE(board.Listening()) << board.Output();
    // It reads as a replay: only playing it again shows the score was never played.
    const auto tampered = Changed(Golden(1), [](ReplayData& data) { data.score += 10; });
    writeFile(temp.path / "tampered.replay", Text(tampered));
    const VerifierRun own = RunVerifier((temp.path / "tampered.replay").string());
    ASSERT_EQ(own.status, ReplayDesync) << own.output;
    const std::string message = own.output.substr(0, own.output.find('\n'));

    const Reply reply = Submit(board.port, KeyOf("cheat"), "Cheat", tampered);
    ASSERT_EQ(reply.status, 202) << reply;
    const long long id = IdOf(reply);
    Json status = Finished(board.port, id);
    EXPECT_EQ(status["status"], "rejected") << status << board.Output();
    ASSERT_TRUE(status["reason"].is_string()) << status;
    EXPECT_THAT(status["reason"].get<std::string>(), HasSubstr(message));
    EXPECT_TRUE(status["score"].is_null()) << status;
    EXPECT_TRUE(status["rank"].is_null()) << status;
    EXPECT_EQ(Entries(board.port, "difficulty=easy"), Json::array());
    EXPECT_EQ(Get(board.port, "/replays/" + std::to_string(id) + ".replay").status, 404);
    const Row row = db->RowOf(id);
    EXPECT_EQ(row.status, "rejected");
    EXPECT_EQ(row.reason, status["reason"].get<std::string>());
}

TEST_F(BoardServer, AnotherVersionsReplayGets409AndABrokenFile400WithTheReason) {
    BoardProcess& board = Start("board", {"--workers", "0"});
    ASSERT_TRUE(board.Listening()) << board.Output();
    const std::string ours = Decoded(Golden(2)).gameVersion;

    const auto older = Changed(Golden(2), [](ReplayData& data) { data.gameVersion = "0.9.0"; });
    const Reply foreign = Submit(board.port, KeyOf("old"), "Old", older);
    EXPECT_EQ(foreign.status, 409) << foreign;
    EXPECT_THAT(foreign.error(),
                HasSubstr("the replay was recorded by Spindrift 0.9.0, this is Spindrift " + ours));

    std::vector<uint8_t> broken = Golden(2);
    broken[broken.size() / 2] ^= 0x40;
    ReplayData data;
    const std::string why = DecodeReplay(broken, data);
    ASSERT_NE(why, "");
    const Reply unreadable = Submit(board.port, KeyOf("broken"), "Broken", broken);
    EXPECT_EQ(unreadable.status, 400) << unreadable;
    EXPECT_THAT(unreadable.error(), HasSubstr(why));

    EXPECT_EQ(db->Count(), 0);
}

TEST_F(BoardServer, ARoundSentAgainRanksOnceUnderItsFirstId) {
    BoardProcess& board = Start("board", Verifier(SPINDRIFT_EXE));
    ASSERT_TRUE(board.Listening()) << board.Output();
    const Reply first = Submit(board.port, KeyOf("first"), "First", Golden(2));
    ASSERT_EQ(first.status, 202) << first;
    const long long id = IdOf(first);
    ASSERT_EQ(Finished(board.port, id)["status"], "verified") << board.Output();

    const struct {
        const char* what;
        std::string key;
        std::vector<uint8_t> bytes;
    } again[] = {
        {"the same file", KeyOf("first"), Golden(2)},
        {"the same file from another player", KeyOf("second"), Golden(2)},
        {"the same recorded course in other bytes", KeyOf("first"), MovedClock(Golden(2))},
    };
    for (const auto& c : again) {
        const Reply reply = Submit(board.port, c.key, "Again", c.bytes);
        EXPECT_EQ(reply.status, 200) << c.what << ": " << reply;
        EXPECT_EQ(IdOf(reply), id) << c.what << ": " << reply;
        EXPECT_EQ(reply.json()["status"], "verified") << c.what << ": " << reply;
    }
    EXPECT_EQ(db->Count(), 1);
    Json entries = Entries(board.port, "difficulty=normal");
    ASSERT_EQ(entries.size(), 1u) << entries;
    EXPECT_EQ(entries[0]["name"], "First");
}

class Done : public Object, public c_IOnHttpRequestComplete {
  public:
    int calls = 0;
    void p_OnHttpRequestComplete(c_HttpRequest*) override { ++calls; }
};

std::string Narrow(const String& text) { return {text.Data(), text.Data() + text.Length()}; }

// The game's HTTP/1.0 client, as the game's check-in uses it; the board uses the verifier beside it.
TEST_F(BoardServer, TheGamesOwnHttpClientChecksInAndSubmitsARound) {
    using namespace net_test;
    BoardProcess& board = Start("board", MemoryOption());
    ASSERT_TRUE(board.Listening()) << board.Output();
    const std::string origin = "http://127.0.0.1:" + std::to_string(board.port);
    auto exchange = [&](const std::string& method, const std::string& path, const std::string& body) {
        Done* done = keep(new Done);
        auto* request =
            keep((new c_HttpRequest)->m_new2(String(method.c_str()), String((origin + path).c_str()), done));
        if (body.empty()) {
            request->p_Send();
        } else {
            request->p_Send2(String(body.c_str()), String(FormType.c_str()), String(u"utf8"));
        }
        EXPECT_TRUE(pump_until([&] { return done->calls > 0; }));
        return request;
    };

    c_HttpRequest* checkIn = exchange("GET", "/housecall.php?hello=1&gameID=444", "");
    const int checkInStatus = checkIn->p_Status();
    std::string line = Narrow(checkIn->p_ResponseText());
    c_HttpRequest* submission =
        exchange("POST", "/api/replays", Submission(KeyOf("desktop"), "Desktop", Golden(3)));
    Reply answer;
    answer.status = submission->p_Status();
    answer.body = Narrow(submission->p_ResponseText());
    release_kept();

    EXPECT_EQ(checkInStatus, 200);
    if (line.ends_with('\n')) line.pop_back();
    EXPECT_FALSE(line.empty());
    EXPECT_LE(line.size(), 200u) << line;
    EXPECT_EQ(line.find('\n'), std::string::npos) << "more than one line: " << line;

    EXPECT_EQ(answer.status, 202) << answer;
    const long long id = IdOf(answer);
    ASSERT_GT(id, 0) << answer;
    Json status = Finished(board.port, id);
    EXPECT_EQ(status["status"], "verified") << status << board.Output();
    EXPECT_EQ(status["score"], Decoded(Golden(3)).score);
}

} // namespace
