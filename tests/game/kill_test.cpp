// Saves killed at random moments: a child process saves settings, badges and scores in a tight loop,
// each save one step further, and is killed with SIGKILL mid-loop, hundreds of times. Every time, the
// state file must hold one whole save, old or new, with valid checksums, never older than the last
// save the child finished.
#include "game_harness.h"

#include <csignal>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using gametest::App;

// Save number k of the loop: three score tables and the first badge word all derived from k.
void SetStep(c_MyApp* app, int k) {
    for (int t = 0; t < 3; ++t) {
        const int best = BestScoresBase(t + 1), last = best + RecentScores;
        for (int i = 0; i < ScoreTableEntries; ++i) {
            app->m_HiScore[best + i] = k + 1000 * t + i;
            app->m_HiScore[last + i] = 3 * k + t + 7 * i;
        }
    }
    for (int j = 0; j < 32; ++j) app->m_Badge[j] = (k >> j & 1) != 0;
}

bool IsStep(c_MyApp* app, int k) {
    for (int t = 0; t < 3; ++t) {
        const int best = BestScoresBase(t + 1), last = best + RecentScores;
        for (int i = 0; i < ScoreTableEntries; ++i) {
            if (app->m_HiScore[best + i] != k + 1000 * t + i) return false;
            if (app->m_HiScore[last + i] != 3 * k + t + 7 * i) return false;
        }
    }
    for (int j = 0; j < 32; ++j)
        if (app->m_Badge[j] != ((k >> j & 1) != 0)) return false;
    return true;
}

// Loads the state file into cleared arrays; the printed messages show which checksums held.
std::string LoadFresh(c_MyApp* app) {
    for (int i = 0; i < app->m_HiScore.Length(); ++i) app->m_HiScore[i] = 0;
    for (int i = 0; i < app->m_Badge.Length(); ++i) app->m_Badge[i] = false;
    testing::internal::CaptureStdout();
    app->p_Load();
    return testing::internal::GetCapturedStdout();
}

// Saves steps from + 1, from + 2, ... until killed, writing one byte on `finished` after each save
// has returned.
[[noreturn]] void SaveUntilKilled(c_MyApp* app, int from, int finished) {
    char done = 1;
    for (int k = from + 1; k < from + 1000000; ++k) {
        SetStep(app, k);
        app->p_Save();
        gametest::Host()->gc_collect();
        if (write(finished, &done, 1) != 1) _exit(2);
    }
    _exit(3);
}

using KilledSave = gametest::GameTest;

// Each round waits for a random number of finished saves, then kills the child a random moment
// later, mostly in the middle of the next save. The finished saves must all be in the file:
// that proves the child was saving when it died, whatever the speed of the machine and its disk.
TEST_F(KilledSave, AlwaysLeavesOneWholeSaveNoOlderThanTheLastFinished) {
    SetStep(app, 0);
    app->p_Save();
    std::mt19937 random(12);
    std::uniform_int_distribution<int> savesBeforeKill(1, 3);
    std::uniform_int_distribution<int> delayMicros(0, 2000);
    int step = 0;
    for (int round = 0; round < 300; ++round) {
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        std::fflush(nullptr);
        pid_t child = fork();
        if (child == 0) {
            close(pipeFds[0]);
            SaveUntilKilled(App(), step, pipeFds[1]);
        }
        close(pipeFds[1]);
        int finished = savesBeforeKill(random);
        for (int i = 0; i < finished; ++i) {
            char done = 0;
            ASSERT_EQ(read(pipeFds[0], &done, 1), 1) << "round " << round;
        }
        usleep(useconds_t(delayMicros(random)));
        kill(child, SIGKILL);
        close(pipeFds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round;

        std::string printed = LoadFresh(app);
        ASSERT_EQ(printed, "Settings Loaded\nBadges Loaded\nHighscores Loaded\n") << "round " << round;
        int saved = app->m_HiScore[0];
        ASSERT_GE(saved, step + finished) << "round " << round << ": a finished save is missing";
        ASSERT_TRUE(IsStep(app, saved)) << "round " << round << ", step " << saved;
        step = saved;
    }
}

} // namespace
