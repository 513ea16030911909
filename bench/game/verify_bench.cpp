// How fast a replay verifies, as a multiple of real time: the round's updates alone on the
// headless host (no window, no drawing, no sound device), rounds one after another in one game as
// the verifier plays them; and the whole verifier process, start-up included, as a player or a
// score board runs it. Needs no display.
#include "framework/app/app.h"
#include "framework/graphics/graphics.h"
#include "framework/input/input.h"
#include "game/my_app.h"
#include "host/game.h"

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

extern char** environ;

namespace {

std::string Golden(int difficulty) {
    return std::string(SPINDRIFT_SOURCE_DIR) + "/tests/game/replays/golden-" + std::to_string(difficulty) +
           ".replay";
}

// The game on the headless host, made once, as the verifier makes it.
c_MyApp* Game() {
    static c_MyApp* app = [] {
        auto* host = new VxHeadlessGame();
        VxGame::_game = host;
        gc_init1();
        vx_app_Init();
        vx_graphics_Init();
        vx_game_Init();
        gc_mark();
        (new c_MyApp)->m_new();
        host->StartGame();
        return static_cast<c_MyApp*>(vx_app__app.get());
    }();
    return app;
}

// Plays the golden round of each difficulty in turn to its end; its updates, or -1 on a desync.
long VerifyOnce(c_MyApp* app, int difficulty) {
    if (!app->p_LoadReplay(ReplayMode::Verify, Golden(difficulty))) return -1;
    while (app->m_Replay.status == -1) VxGame::_game->UpdateGame();
    return app->m_Replay.status == ReplaySame ? long(app->m_Replay.updatesDone) : -1;
}

void BM_VerifyUpdates(benchmark::State& state) {
    c_MyApp* app = Game();
    long updates = 0;
    int difficulty = 0;
    for (auto _ : state) {
        const long done = VerifyOnce(app, difficulty % 3 + 1);
        if (done < 0) {
            state.SkipWithError(app->m_Replay.failure.c_str());
            return;
        }
        updates += done;
        ++difficulty;
    }
    state.counters["updates"] = benchmark::Counter(double(updates), benchmark::Counter::kAvgIterations);
    // Seconds of play verified per second: the multiple of real time.
    state.counters["x_realtime"] = benchmark::Counter(double(updates) / 60, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VerifyUpdates)->Unit(benchmark::kMillisecond)->UseRealTime();

// The verifier as a separate process on the normal round's golden replay, with no display.
void BM_VerifyProcess(benchmark::State& state) {
    const std::string replay = Golden(2);
    char* argv[] = {const_cast<char*>(SPINDRIFT_EXE), const_cast<char*>("--verify-replay"),
                    const_cast<char*>(replay.c_str()), nullptr};
    unsetenv("DISPLAY");
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", 1, 0);
    for (auto _ : state) {
        pid_t pid = 0;
        int status = 0;
        if (posix_spawn(&pid, SPINDRIFT_EXE, &quiet, nullptr, argv, environ) != 0 ||
            waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the verifier did not pass the golden replay");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&quiet);
}
BENCHMARK(BM_VerifyProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
