// Replays: a round played by the scripted player is kept in replays/ and plays again to the same
// score and final state; the golden replays, recorded by another build, still do; damaged files are
// refused with a reason; playing a replay files nothing.
#include "game/replay.h"
#include "game_bot.h"
#include "tests/support/verifier.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace gametest;

namespace {

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Golden(int difficulty) {
    return std::string(SPINDRIFT_SOURCE_DIR) + "/tests/game/replays/golden-" + std::to_string(difficulty) +
           ".replay";
}

// The window's and the program's keys act during a demo as on every other screen: F11 switches to
// full screen and back while the demo plays on, and F4 ends the program. In a child, which the
// program's end would otherwise take the test with; the child makes the game's window itself, as a
// window made before the fork would be shared with it: it comes first.
using DemoKeys = TempDirTest;

TEST_F(DemoKeys, FullScreenAndQuitWorkDuringTheDemo) {
    const ChildResult child = RunInChild([] {
        c_MyApp* demo = FreshApp();
        FinishLoading();
        std::filesystem::create_directories("replays");
        std::filesystem::copy_file(Golden(2), BestReplayPath(2));
        Updates(31 * 60);
        std::printf("demo %d\n", demo->m_Replay.mode == ReplayMode::Demo && demo->m_Replay.playing);
        for (int i = 0; i < 2; ++i) {
            Tap(VkF11);
            Updates(10);
            std::printf("full screen %d, playing %d\n", demo->m_Fullscreen, int(demo->m_Replay.playing));
        }
        std::fflush(stdout);
        PressKey(VkF4);
        Update();
    });
    EXPECT_NE(child.out.find("demo 1\nfull screen 1, playing 1\nfull screen 0, playing 1\n"),
              std::string::npos)
        << child.out;
    EXPECT_EQ(child.status, 0) << "F4 did not end the program";
}

// Plays a loaded replay to its end in a fresh game; the playback's status.
int PlayBack(ReplayMode mode, const std::string& path) {
    c_MyApp* app = FreshApp();
    EXPECT_EQ(app->p_LoadReplay(mode, path), 1) << app->m_Replay.failure;
    FinishLoading();
    RunUntil([app] { return app->m_Replay.status != -1; }, 20000);
    return App()->m_Replay.status;
}

class ReplayTest : public GameTest {};

// A round per difficulty by the scripted player, kept and then verified. With SPINDRIFT_GOLDEN_OUT
// set, the replays are also copied there as the golden files.
TEST_F(ReplayTest, RecordedRoundsVerifyToTheirScoreAndFinalState) {
    for (int difficulty = 1; difficulty <= 3; ++difficulty) {
        FreshApp();
        FinishLoading();
        Bot bot{unsigned(difficulty)};
        ASSERT_TRUE(bot.StartRound(difficulty));
        ASSERT_TRUE(bot.PlayRound(20000));
        const int score = App()->m_Score;
        WaitForReplayWrites();
        ReplayData kept;
        ASSERT_EQ(ReadReplay(LastReplayPath, kept), "");
        EXPECT_EQ(kept.score, score);
        EXPECT_EQ(kept.difficulty, difficulty);
        EXPECT_EQ(FileBytes(BestReplayPath(difficulty)), FileBytes(LastReplayPath))
            << "a first round is the best";
        if (const char* out = std::getenv("SPINDRIFT_GOLDEN_OUT"))
            std::filesystem::copy_file(LastReplayPath,
                                       std::string(out) + "/golden-" + std::to_string(difficulty) + ".replay",
                                       std::filesystem::copy_options::overwrite_existing);

        const auto state = FileBytes(".cobaltstate");
        EXPECT_EQ(PlayBack(ReplayMode::Verify, LastReplayPath), 0) << App()->m_Replay.failure;
        EXPECT_EQ(App()->m_Score, score);
        EXPECT_EQ(FileBytes(".cobaltstate"), state);
    }
}

// One byte of the middle flipped.
std::vector<uint8_t> Garbled(std::vector<uint8_t> bytes) {
    bytes[bytes.size() / 2] ^= 0x40;
    return bytes;
}

// The last line the verifier printed.
std::string LastLine(const std::string& output) {
    std::string text = output;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text.substr(text.find_last_of('\n') + 1);
}

// Recorded by the scripted player on another build (see tests/game/replays/README), verified by
// the program itself with no display, and in this process through the game's window.
TEST_F(ReplayTest, GoldenReplaysVerify) {
    for (int difficulty = 1; difficulty <= 3; ++difficulty) {
        const std::string path = Golden(difficulty);
        ReplayData golden;
        ASSERT_EQ(ReadReplay(path, golden), "") << path;
        const VerifierRun run = RunVerifier(path);
        EXPECT_EQ(run.status, ReplaySame) << path << ": " << run.output;
        EXPECT_EQ(run.output, "score " + std::to_string(golden.score) + "\n") << path;
        EXPECT_EQ(PlayBack(ReplayMode::Verify, path), ReplaySame) << path << ": " << App()->m_Replay.failure;
        EXPECT_EQ(App()->m_Score, golden.score) << path;
    }
}

// With no display: a file that is no replay gets 2, a replay of another version of the game 3, a
// round that plays otherwise 1, each with one line that says why; the score is the last line.
TEST_F(ReplayTest, TheVerifierSaysWhyWithItsStatusAndNoDisplay) {
    std::vector<uint8_t> bytes = FileBytes(Golden(1));
    ReplayData data;
    ASSERT_EQ(DecodeReplay(bytes, data), "");
    auto write = [](const std::string& path, const std::vector<uint8_t>& content) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(content.data()), std::streamsize(content.size()));
        return path;
    };
    ReplayData older = data;
    older.gameVersion = "0.9.0";
    ReplayData otherScore = data;
    otherScore.score += 10;
    struct Case {
        const char* name;
        std::string path;
        int status;
        std::string says;
    } cases[] = {
        {"garbled", write("garbled.replay", Garbled(bytes)), ReplayUnreadable, "checksum"},
        {"missing", "no-such.replay", ReplayUnreadable, "cannot open"},
        {"another version", write("older.replay", EncodeReplay(older)), ReplayOtherVersion,
         "recorded by Spindrift 0.9.0"},
        {"another score", write("score.replay", EncodeReplay(otherScore)), ReplayDesync, "desync"},
    };
    for (const Case& c : cases) {
        const VerifierRun run = RunVerifier(c.path);
        EXPECT_EQ(run.status, c.status) << c.name << ": " << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << c.name << ": " << run.output;
        if (c.status == ReplayDesync) {
            EXPECT_EQ(LastLine(run.output), "score " + std::to_string(data.score));
        }
    }
}

// Watching plays the round to its recorded end and keeps the state file as it was; Escape stops the
// round where it is, and a second Escape ends the watching.
TEST_F(ReplayTest, WatchingPausesOnEscapeAndFilesNothing) {
    app->p_Save();
    const auto state = FileBytes(".cobaltstate");
    EXPECT_EQ(PlayBack(ReplayMode::Watch, Golden(2)), 0) << App()->m_Replay.failure;
    EXPECT_EQ(FileBytes(".cobaltstate"), state);
    EXPECT_FALSE(std::filesystem::exists(LastReplayPath));

    c_MyApp* watcher = FreshApp();
    ASSERT_EQ(watcher->p_LoadReplay(ReplayMode::Watch, Golden(2)), 1);
    FinishLoading();
    Updates(100);
    ASSERT_TRUE(watcher->m_Replay.playing);
    Tap(VkEscape);
    const uint32_t pausedAt = watcher->m_Replay.updatesDone;
    Updates(60);
    EXPECT_EQ(watcher->m_Paused, 1);
    EXPECT_EQ(watcher->m_Replay.updatesDone, pausedAt);
    Tap(VkEscape);
    EXPECT_FALSE(watcher->m_Replay.playing);
    EXPECT_EQ(FileBytes(".cobaltstate"), state);
}

// Thirty idle seconds in the menu start the best round as a demo; a key ends it at once, without
// starting anything in the menu, and nothing the player keeps has changed.
TEST_F(ReplayTest, IdleMenuPlaysTheBestRoundUntilAKey) {
    FinishLoading();
    std::filesystem::create_directories("replays");
    std::filesystem::copy_file(Golden(2), BestReplayPath(2));
    app->p_Save();
    const auto state = FileBytes(".cobaltstate");
    Updates(29 * 60);
    EXPECT_FALSE(app->m_Replay.playing);
    Updates(2 * 60);
    ASSERT_TRUE(app->m_Replay.playing);
    EXPECT_EQ(app->m_Replay.mode, ReplayMode::Demo);
    EXPECT_EQ(app->m_Screen, ScreenRound);

    PressKey(VkEnter);
    Update();
    EXPECT_FALSE(app->m_Replay.playing);
    EXPECT_EQ(app->m_Screen, ScreenMenu);
    Updates(30);
    ReleaseKey(VkEnter);
    Updates(30);
    EXPECT_EQ(app->m_Screen, ScreenMenu) << "the key that ended the demo started a round";
    EXPECT_EQ(FileBytes(".cobaltstate"), state);
    EXPECT_FALSE(std::filesystem::exists(LastReplayPath));

    app->m_Replay.noDemo = true;
    Updates(31 * 60);
    EXPECT_FALSE(app->m_Replay.playing);
}

// A round watched in a window of another shape, with a load of its own on the way, plays the
// recorded round: the viewer's window is no part of it.
TEST_F(ReplayTest, ARoundWatchedInAWindowOfAnotherShapePlaysAsRecorded) {
    for (auto [w, h] : {std::pair{1280, 720}, {480, 640}}) {
        c_MyApp* watcher = FreshApp();
        Host()->SetGlfwWindow({.width = w, .height = h});
        ASSERT_EQ(watcher->p_LoadReplay(ReplayMode::Watch, Golden(3)), 1);
        FinishLoading();
        RunUntil([watcher] { return watcher->m_Replay.updatesDone > 100; }, 400);
        Host()->SetGlfwWindow({.width = h, .height = w});
        RunUntil([watcher] { return watcher->m_Replay.status != -1; }, 20000);
        EXPECT_EQ(watcher->m_Replay.status, ReplaySame) << w << "x" << h << ": " << watcher->m_Replay.failure;
    }
}

// Damaged and foreign files: each refused with its reason, before any playing.
TEST_F(ReplayTest, DamagedFilesAreRefusedWithAReason) {
    const std::string golden = std::string(SPINDRIFT_SOURCE_DIR) + "/tests/game/replays/golden-1.replay";
    const std::vector<uint8_t> whole = FileBytes(golden);
    ASSERT_GT(whole.size(), 64u);
    // Rewrites a header field and fixes the checksum, so that only the field is wrong.
    auto withField = [&](std::size_t at, std::vector<uint8_t> value) {
        std::vector<uint8_t> bytes = whole;
        std::copy(value.begin(), value.end(), bytes.begin() + std::ptrdiff_t(at));
        ReplayData data;
        if (DecodeReplay(bytes, data).find("checksum") == std::string::npos) return bytes;
        uint32_t h = 2166136261u;
        for (std::size_t i = 0; i + 4 < bytes.size(); ++i) h = (h ^ bytes[i]) * 16777619u;
        for (int i = 0; i < 4; ++i) bytes[bytes.size() - 4 + std::size_t(i)] = uint8_t(h >> (8 * i));
        return bytes;
    };
    const std::size_t version = 10, afterVersion = 11 + whole[10];
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* reason;
    } cases[] = {
        {"empty", {}, "too short"},
        {"a state file",
         {'1', ',', '0', ',', '0', ',', '0', ',', '0', ',', '0', ',', '1', ','},
         "not a Spindrift replay"},
        {"cut in the header", {whole.begin(), whole.begin() + 20}, "cut"},
        {"cut in the frames", {whole.begin(), whole.end() - 200}, ""},
        {"one byte flipped", Garbled(whole), "checksum"},
        {"format 1", withField(8, {1, 0}), "format 1"},
        {"no difficulty", withField(afterVersion, {7}), "difficulty"},
        {"a huge version text", withField(version, {255}), ""},
        {"a huge update count", withField(afterVersion + 10, {0xff, 0xff, 0xff, 0x7f}), ""},
        {"a huge stream length",
         withField(afterVersion + 14 + 2 + 4 * (whole[afterVersion + 14] | whole[afterVersion + 15] << 8),
                   {0xff, 0xff, 0xff, 0xff}),
         "longer than the file"},
        {"too large", std::vector<uint8_t>(ReplayMaxBytes + 1, 0), "too large"},
    };
    for (const Case& c : cases) {
        ReplayData data;
        const std::string why = DecodeReplay(c.bytes, data);
        EXPECT_NE(why, "") << c.name;
        EXPECT_NE(why.find(c.reason), std::string::npos) << c.name << ": " << why;
    }
    ReplayData data;
    EXPECT_EQ(DecodeReplay(whole, data), "");
    EXPECT_EQ(ReadReplay("no/such.replay", data), "cannot open no/such.replay");
}

} // namespace
