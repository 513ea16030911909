// Replays: a round played by the scripted player is kept in replays/ and plays again to the same
// score and final state; the golden replays, recorded by another build, still do; damaged files are
// refused with a reason; playing a replay files nothing.
#include "game/replay.h"
#include "game_bot.h"

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

// Plays a loaded replay to its end in a fresh game; the playback's status.
int PlayBack(ReplayMode mode, const std::string& path) {
    c_MyApp* app = FreshApp();
    EXPECT_EQ(app->p_LoadReplay(int(mode), path), 1) << app->m_Replay.failure;
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

// Recorded by the scripted player on another build (see tests/game/replays/README).
TEST_F(ReplayTest, GoldenReplaysVerify) {
    for (int difficulty = 1; difficulty <= 3; ++difficulty) {
        const std::string path = std::string(SPINDRIFT_SOURCE_DIR) + "/tests/game/replays/golden-" +
                                 std::to_string(difficulty) + ".replay";
        ReplayData golden;
        ASSERT_EQ(ReadReplay(path, golden), "") << path;
        EXPECT_EQ(PlayBack(ReplayMode::Verify, path), 0) << path << ": " << App()->m_Replay.failure;
        EXPECT_EQ(App()->m_Score, golden.score) << path;
    }
}

} // namespace
