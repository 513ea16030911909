// The score board as it is deployed: several processes share one database, named by an option or by
// the environment; any of them may be killed in the middle of a verification, and PostgreSQL may go
// away and come back under them.
#include "board_support.h"

#include <gmock/gmock.h>

#include <cstdio>
#include <set>
#include <sstream>

using namespace board_test;

namespace {

std::vector<std::string> With(std::vector<std::string> options, const std::vector<std::string>& more) {
    options.insert(options.end(), more.begin(), more.end());
    return options;
}

TEST_F(BoardServer, TwoProcessesOnOneDatabaseFinishEveryJobExactlyOnce) {
    const auto options = With(Verifier(SlowVerifier("1")), {"--workers", "1"});
    BoardProcess& a = Start("board-a", options);
    BoardProcess& b = Start("board-b", options);
    ASSERT_TRUE(a.Listening()) << a.Output();
    ASSERT_TRUE(b.Listening()) << b.Output();

    // The golden rounds verify; forged copies are rounds of their own, each a job that is rejected.
    std::vector<std::vector<uint8_t>> rounds = {Golden(1), Golden(2), Golden(3)};
    for (int i = 0; i < 9; ++i) rounds.push_back(Forged(Golden(1 + i % 3), i));
    std::vector<long long> ids;
    for (std::size_t i = 0; i < rounds.size(); ++i) {
        BoardProcess& to = i % 2 ? b : a;
        const Reply reply =
            Submit(to.port, KeyOf("p" + std::to_string(i % 4)), "P" + std::to_string(i % 4), rounds[i]);
        ASSERT_EQ(reply.status, 202) << to.name << ": " << reply;
        ids.push_back(IdOf(reply));
    }

    ASSERT_TRUE(WaitFor([&] { return db->Count("status = 'pending'") == 0; })) << a.Output() << b.Output();
    const std::vector<Row> rows = db->Rows();
    EXPECT_EQ(rows.size(), rounds.size());
    std::set<std::string> finishers;
    for (const Row& row : rows) {
        EXPECT_TRUE(row.status == "verified" || row.status == "rejected") << row.id << ": " << row.status;
        EXPECT_EQ(row.attempts, 1) << "round " << row.id << " was verified more than once";
        ASSERT_TRUE(row.verifiedBy.has_value()) << row.id;
        finishers.insert(*row.verifiedBy);
    }
    EXPECT_EQ(finishers, (std::set<std::string>{"board-a", "board-b"}));

    for (std::size_t i = 3; i < ids.size(); ++i) EXPECT_EQ(db->RowOf(ids[i]).status, "rejected") << ids[i];
    for (int n = 1; n <= 3; ++n) {
        const Row row = db->RowOf(ids[std::size_t(n - 1)]);
        EXPECT_EQ(row.status, "verified") << "golden " << n << ": " << row.reason.value_or("");
        EXPECT_EQ(row.score, Decoded(Golden(n)).score);
        // Each process keeps its board in memory: it learns the rounds the other one verified.
        const std::string link = "/replays/" + std::to_string(row.id) + ".replay";
        for (BoardProcess* board : {&a, &b}) {
            EXPECT_TRUE(WaitFor([&] {
                for (Json& entry : Entries(board->port, std::string("difficulty=") + DifficultyName(n)))
                    if (entry["replay"] == link) return true;
                return false;
            })) << board->name
                << " does not list golden " << n;
        }
    }
}

TEST_F(BoardServer, AJobLeftByAKilledProcessIsFinishedByAnotherOnceItsLeaseRunsOut) {
    const auto options = With(Verifier(SlowVerifier("3")), {"--workers", "1", "--lease", "2"});
    BoardProcess& a = Start("board-a", options);
    ASSERT_TRUE(a.Listening()) << a.Output();
    const Reply reply = Submit(a.port, KeyOf("kept"), "Kept", Golden(2));
    ASSERT_EQ(reply.status, 202) << reply;
    const long long id = IdOf(reply);

    ASSERT_TRUE(WaitFor([&] {
        const Row row = db->RowOf(id);
        return row.leaseOwner == "board-a" && row.attempts == 1;
    })) << a.Output();
    a.Kill();
    ASSERT_EQ(db->RowOf(id).status, "pending") << "board-a finished before it was killed";

    BoardProcess& b = Start("board-b", options);
    ASSERT_TRUE(b.Listening()) << b.Output();
    ASSERT_TRUE(WaitFor([&] { return db->RowOf(id).status != "pending"; })) << b.Output();
    const Row row = db->RowOf(id);
    EXPECT_EQ(row.status, "verified") << row.reason.value_or("") << b.Output();
    EXPECT_EQ(row.attempts, 2);
    EXPECT_EQ(row.verifiedBy, "board-b");
    EXPECT_EQ(row.score, Decoded(Golden(2)).score);
    EXPECT_EQ(Finished(b.port, id)["status"], "verified");
}

// Without --db the database comes from SPINDRIFT_BOARD_DB, else from libpq's own PG* variables.
TEST_F(BoardServer, WithoutTheDbOptionTheDatabaseComesFromTheEnvironment) {
    const struct {
        const char* how;
        std::vector<std::string> variables;
    } cases[] = {
        {"SPINDRIFT_BOARD_DB", {"SPINDRIFT_BOARD_DB=" + db->Conninfo(), "PGDATABASE=postgres"}},
        {"PGDATABASE", {"SPINDRIFT_BOARD_DB", "PGDATABASE=" + db->name}},
    };
    for (const auto& c : cases) {
        boards.push_back(std::make_unique<BoardProcess>(
            c.how, With({"--port", "0", "--workers", "0", "--name", c.how}, MemoryOption()), c.variables));
        BoardProcess& board = *boards.back();
        ASSERT_TRUE(board.Listening()) << c.how << "\n" << board.Output();
        const long long before = db->Count();
        const Reply reply = Submit(board.port, KeyOf("env"), "Env", Forged(Golden(3), int(before)));
        EXPECT_EQ(reply.status, 202) << c.how << ": " << reply;
        EXPECT_EQ(db->Count(), before + 1) << c.how << ": the round went to another database";
        EXPECT_EQ(board.Stop(), 0) << board.Output();
    }
}

// The cluster pg_virtualenv runs, found by its port, stopped and started as an operator does; it is
// started again however the test ends, for the databases of the tests after it.
class Cluster {
  public:
    Cluster() {
        const std::string port = std::getenv("PGPORT");
        FILE* listing = popen("pg_lsclusters --no-header", "r");
        if (!listing) return;
        char line[1024];
        while (std::fgets(line, sizeof line, listing)) {
            std::istringstream fields(line);
            std::string clusterVersion, clusterName, clusterPort;
            if (fields >> clusterVersion >> clusterName >> clusterPort && clusterPort == port) {
                version = clusterVersion;
                name = clusterName;
            }
        }
        pclose(listing);
    }
    ~Cluster() {
        if (stopped) Start();
    }
    Cluster(const Cluster&) = delete;
    Cluster& operator=(const Cluster&) = delete;

    bool Stop() { return stopped = Control("stop -m fast"); }
    bool Start() { return !(stopped = !Control("start")); }

    std::string version, name;

  private:
    bool Control(const std::string& action) const {
        return std::system(("pg_ctlcluster " + version + " " + name + " " + action).c_str()) == 0;
    }
    bool stopped = false;
};

// What an outage may answer: 503 with a reason of the board's own, none of the database's words.
void ExpectUnavailable(const Reply& reply, const std::string& what) {
    EXPECT_EQ(reply.status, 503) << what << ": " << reply;
    EXPECT_NE(reply.error(), "") << what << ": " << reply;
    std::string body = reply.body;
    std::transform(body.begin(), body.end(), body.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const std::string& leak :
         std::vector<std::string>{"postgres", "libpq", "pqxx", "sqlstate", "fatal", "connection to server",
                                  "could not connect", "server closed", "terminating connection", "socket",
                                  "localhost", std::string(":") + std::getenv("PGPORT")}) {
        EXPECT_EQ(body.find(leak), std::string::npos)
            << what << " tells the database's own message: " << reply;
    }
}

TEST_F(BoardServer, APostgreSQLRestartGives503ThenServiceResumesByItselfAndAcceptedRoundsVerify) {
    Cluster cluster;
    ASSERT_NE(cluster.name, "") << "pg_lsclusters lists no cluster on port " << std::getenv("PGPORT");
    BoardProcess& board =
        Start("board", With(Verifier(SlowVerifier("2")), {"--workers", "1", "--lease", "5"}));
    ASSERT_TRUE(board.Listening()) << board.Output();
    std::vector<long long> ids;
    for (int n : {1, 2, 3}) {
        const Reply reply = Submit(board.port, KeyOf("early"), "Early", Golden(n));
        ASSERT_EQ(reply.status, 202) << reply;
        ids.push_back(IdOf(reply));
        // The first is on the board before the outage; the others wait through it.
        if (n == 1) {
            ASSERT_EQ(Finished(board.port, ids[0])["status"], "verified") << board.Output();
        }
    }
    const std::string link = "/replays/" + std::to_string(ids[0]) + ".replay";
    ASSERT_TRUE(WaitFor([&] { return Entries(board.port, "difficulty=easy").size() == 1; }));

    ASSERT_TRUE(cluster.Stop());
    // A few seconds of traffic while it is down, long enough for the verification under way to end.
    for (int i = 0; i < 5; ++i) {
        ExpectUnavailable(Submit(board.port, KeyOf("late"), "Late", Forged(Golden(1), i)), "a submission");
        ExpectUnavailable(Get(board.port, "/api/replays/" + std::to_string(ids[0])), "a status read");
        Json entries = Entries(board.port, "difficulty=easy");
        EXPECT_EQ(entries.size(), 1u) << "the board did not answer from memory: " << entries;
        if (!entries.empty()) {
            EXPECT_EQ(entries[0]["replay"], link);
        }
        EXPECT_EQ(Get(board.port, "/").status, 200);
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    ASSERT_TRUE(cluster.Start());

    std::set<int> seen;
    Reply resumed;
    EXPECT_TRUE(WaitFor([&] {
        resumed = Submit(board.port, KeyOf("late"), "Late", Forged(Golden(1), 9));
        seen.insert(resumed.status);
        return resumed.status == 202;
    })) << "the service did not resume: "
        << resumed << board.Output();
    seen.erase(503);
    EXPECT_EQ(seen, std::set<int>{202}) << "answers after the restart other than 503 and 202";

    for (long long id : ids) {
        Json status = Finished(board.port, id);
        EXPECT_EQ(status["status"], "verified") << id << ": " << status << board.Output();
    }
    EXPECT_TRUE(board.Running());
}

} // namespace
