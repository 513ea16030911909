// The cost of a frame as the host runs it. A round's draw list, recorded by the game itself after
// scripted updates of play, is replayed through p_OnRender (the render submission, as CPU time of
// the main thread and as a share of the 16.7 ms frame, with its draw calls); and whole frames,
// update and render, of the menu and of a round count the heap blocks they take and the requests
// they send to the display server. Needs a display: the game runs on the host's real window.
#include "bench/game/game_bench.h"
#include "devices/graphics/drawcalls.h"
#include "host/game.h"

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <ctime>

namespace {

using gamebench::Game;
using gamebench::Host;
using gamebench::kFrameSeconds;

constexpr int KeySpace = 32, KeyRight = 39, KeyLeft = 37;

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void Frame() {
    Host()->UpdateGame();
    Host()->RenderGame();
    glFinish();
}

// A round two seconds in: the player has run right and left and jumped through gaps; every frame
// rendered, as the host does.
c_MyApp* RoundInPlay() {
    c_MyApp* app = Game();
    app->m_Screen = ScreenStartRound;
    Frame();
    for (int i = 0; i < 120; ++i) {
        const int run = i < 60 ? KeyRight : KeyLeft;
        if (i == 0 || i == 60) Host()->KeyEvent(KeyDown, run);
        if (i == 59) Host()->KeyEvent(KeyUp, KeyRight);
        if (i % 20 == 0) Host()->KeyEvent(KeyDown, KeySpace);
        if (i % 20 == 5) Host()->KeyEvent(KeyUp, KeySpace);
        Frame();
    }
    Host()->KeyEvent(KeyUp, KeyLeft);
    return app;
}

// The recorded round replayed: what the render costs the main thread; the driver draws after.
void BM_RoundRender(benchmark::State& state) {
    c_MyApp* app = RoundInPlay();
    double cpu = 0;
    long draws = 0;
    for (auto _ : state) {
        const long before = gxtkDrawCalls::Count();
        const double start = ThreadSeconds();
        Host()->RenderGame();
        cpu += ThreadSeconds() - start;
        draws += gxtkDrawCalls::Count() - before;
        state.PauseTiming();
        glFinish();
        state.ResumeTiming();
    }
    const auto n = double(state.iterations());
    state.counters["commands"] = double(app->m_DrawN / DrawStride);
    state.counters["draws_per_frame"] = double(draws) / n;
    state.counters["render_us"] = 1e6 * cpu / n;
    state.counters["render_pct"] = 100 * cpu / n / kFrameSeconds;
}
BENCHMARK(BM_RoundRender)->Unit(benchmark::kMicrosecond);

// One update of the round in play, the whole of it (input, dispatch, play step, texts), as a share
// of the frame. A few dozen updates, so that the scene stays the scripted one.
void BM_RoundUpdate(benchmark::State& state) {
    RoundInPlay();
    double cpu = 0;
    for (auto _ : state) {
        const double start = ThreadSeconds();
        Host()->UpdateGame();
        cpu += ThreadSeconds() - start;
    }
    state.counters["update_pct"] = 100 * cpu / double(state.iterations()) / kFrameSeconds;
}
BENCHMARK(BM_RoundUpdate)->Iterations(30)->Unit(benchmark::kMicrosecond);

// Whole frames, update and render: heap blocks taken by the program (not the driver's) and
// requests to the display server, per frame.
void FrameCosts(benchmark::State& state) {
    long blocks = 0, driverBlocks = 0;
    unsigned long requests = 0;
    for (auto _ : state) {
        const unsigned long before = gamebench::DisplayRequests();
        gamebench::StartCounting();
        Host()->UpdateGame();
        Host()->RenderGame();
        blocks += gamebench::StopCounting();
        driverBlocks += gamebench::DriverAllocations();
        requests += gamebench::DisplayRequests() - before;
        state.PauseTiming();
        glFinish();
        state.ResumeTiming();
    }
    const auto n = double(state.iterations());
    state.counters["allocs_per_frame"] = double(blocks) / n;
    state.counters["driver_allocs_per_frame"] = double(driverBlocks) / n;
    state.counters["display_requests_per_frame"] = double(requests) / n;
}

void BM_MenuFrame(benchmark::State& state) {
    c_MyApp* app = Game();
    app->m_Screen = ScreenMenu;
    for (int i = 0; i < 60; ++i) Frame();
    FrameCosts(state);
}
BENCHMARK(BM_MenuFrame)->Iterations(60)->Unit(benchmark::kMicrosecond);

void BM_RoundFrame(benchmark::State& state) {
    RoundInPlay();
    FrameCosts(state);
}
BENCHMARK(BM_RoundFrame)->Iterations(30)->Unit(benchmark::kMicrosecond);

} // namespace
