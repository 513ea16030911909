// The cost of play: one play step (p_Game) over a full screen of rows, objects, particles and stars,
// per update and as a share of the 16.7 ms frame, with the heap allocations it makes (none are
// expected in a steady step); and the start of a round (p_LoadGame with its music), which must fit
// in one frame. Needs a display: the game runs on the host's real window and OpenGL context.
#include "bench/game/game_bench.h"
#include "framework/audio/audio.h"
#include "framework/input/input.h"
#include "game/random.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

namespace {

using gamebench::Game;
using gamebench::kFrameSeconds;

// Steps between restores of the scene, few enough that walkers placed four rows above the player
// cannot reach it and the shaft does not tip.
constexpr int kStepsPerScene = 32;

// A round in full swing: 101 walkers and coins on the rows above the player, every particle record
// in flight (debris, sparks, squares and score numbers), the stars, a score being shown. Saved once
// and put back between runs of steps.
class Scene {
  public:
    explicit Scene(c_MyApp* game) : app(game) {
        app->p_LoadGame();
        app->m_Player[PlY] = 11.5f;
        for (int slot = 0; slot <= ObjLast; ++slot) {
            float* obj = &app->m_Obj[slot * RecordFloats];
            obj[ObjState] = slot % 3 == 0 ? ObjPickup : ObjWalker;
            obj[ObjX] = float((slot % 9 - 4) * 32);
            obj[ObjY] = float((slot % 6 - 9) * 32) + 11.5f;
            obj[ObjDir] = slot % 2 == 0 ? -1.0f : 1.0f;
            obj[ObjSpeed] = 0.25f + float(slot % 5) * 0.1f;
        }
        const int kinds[] = {1, PartFaller, PartBouncer, PartLasting, PartSquare, PartScore};
        for (int i = 0; i <= app->m_PartMax; ++i) {
            int kind = kinds[i % 6];
            app->p_ThrowParticle(float(i % 21 - 10) * 30, float(i % 17 - 8) * 28, kind, 1 + i % 9,
                                 float(i * 7), 1);
            float* part = &app->m_Part[(app->m_PartMax - i) * RecordFloats];
            part[PartLife] = 10;
            if (kind == PartScore) part[PartFrame] = i % 2 == 0 ? 10 : 50;
        }
        app->m_Score = app->m_ShownScore = 12345;
        Save();
    }
    void Restore() {
        for (std::size_t i = 0; i < pools.size(); ++i)
            std::copy(saved[i].begin(), saved[i].end(), pools[i]->begin());
        vx_random_Seed = seed;
    }

  private:
    void Save() {
        pools = {&app->m_Grid, &app->m_Obj, &app->m_Player, &app->m_Part, &app->m_Stars};
        for (Array<float>* pool : pools) saved.emplace_back(pool->begin(), pool->end());
        seed = vx_random_Seed;
    }

    c_MyApp* app;
    std::vector<Array<float>*> pools;
    std::vector<std::vector<float>> saved;
    uint32_t seed = 0;
};

void BM_PlayStep(benchmark::State& state) {
    c_MyApp* app = Game();
    Scene scene(app);
    long steps = 0, allocated = 0, deaths = 0;
    std::chrono::duration<double> elapsed{};
    for (auto _ : state) {
        if (steps % kStepsPerScene == 0) {
            state.PauseTiming();
            deaths += app->m_Player[PlCollapseTimer] != 0;
            scene.Restore();
            state.ResumeTiming();
        }
        gamebench::StartCounting();
        const auto start = std::chrono::steady_clock::now();
        app->p_Game();
        elapsed += std::chrono::steady_clock::now() - start;
        allocated += gamebench::StopCounting();
        ++steps;
    }
    state.counters["allocs_per_step"] = double(allocated) / double(steps);
    state.counters["budget_pct"] = 100 * elapsed.count() / double(steps) / kFrameSeconds;
    state.counters["draw_commands"] = double(app->m_DrawN / DrawStride);
    // A scene in which the player died would measure the end sequence instead.
    state.counters["player_deaths"] = double(deaths);
}
BENCHMARK(BM_PlayStep)->Unit(benchmark::kMicrosecond);

// The start of a round: stars, 51 rows and the music track started. The loader has decoded the
// track already; with the argument 0 the track is dropped before every start, which shows what
// decoding it would cost the first frame of a round.
void BM_RoundStart(benchmark::State& state) {
    c_MyApp* app = Game();
    gxtkAudio* audio = vx_audio_device;
    const bool decoded = state.range(0) == 1;
    std::chrono::duration<double> elapsed{};
    for (auto _ : state) {
        if (!decoded) {
            state.PauseTiming();
            gc_assign(audio->musicSample, static_cast<gxtkSample*>(nullptr));
            state.ResumeTiming();
        }
        const auto start = std::chrono::steady_clock::now();
        app->p_LoadGame();
        elapsed += std::chrono::steady_clock::now() - start;
    }
    state.counters["budget_pct"] = 100 * elapsed.count() / double(state.iterations()) / kFrameSeconds;
}
BENCHMARK(BM_RoundStart)->ArgName("decoded")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// What recording adds to an update of play: the input frame taken and compared (a key changes
// twice a second), the three clock reads of a play step, and the state hash every 60th update.
// Restarted now and then so that the buffers stay at the size a round reserves.
void BM_RecordUpdate(benchmark::State& state) {
    c_MyApp* app = Game();
    app->p_LoadGame();
    c_InputDevice* live = vx_input_device.get();
    long updates = 0, allocated = 0;
    std::chrono::duration<double> elapsed{};
    for (auto _ : state) {
        if (updates % 36000 == 0) {
            state.PauseTiming();
            app->p_ReplayRoundStart();
            state.ResumeTiming();
        }
        live->keyDown['D'] = updates / 30 % 2 == 0;
        gamebench::StartCounting();
        const auto start = std::chrono::steady_clock::now();
        app->p_ReplayUpdateStart();
        for (int read = 0; read < 3; ++read) benchmark::DoNotOptimize(app->p_Millisecs());
        app->p_ReplayUpdateEnd();
        elapsed += std::chrono::steady_clock::now() - start;
        allocated += gamebench::StopCounting();
        ++updates;
    }
    live->keyDown['D'] = false;
    app->m_Replay.recording = false;
    state.counters["allocs_per_update"] = double(allocated) / double(updates);
    state.counters["budget_pct"] = 100 * elapsed.count() / double(updates) / kFrameSeconds;
}
BENCHMARK(BM_RecordUpdate)->Unit(benchmark::kNanosecond);

// The end of a recorded round of the given length in updates, in the update that ends it: the
// replay encoded and handed to the writer thread (the disk is not waited for), and the file's size.
void BM_EndRecording(benchmark::State& state) {
    c_MyApp* app = Game();
    c_InputDevice* live = vx_input_device.get();
    std::chrono::duration<double> elapsed{};
    std::size_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        app->p_LoadGame();
        for (long i = 0; i < state.range(0); ++i) {
            live->keyDown['D'] = i / 30 % 2 == 0;
            app->p_ReplayUpdateStart();
            for (int read = 0; read < 3; ++read) app->p_Millisecs();
            app->p_ReplayUpdateEnd();
        }
        live->keyDown['D'] = false;
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        app->p_EndRecording();
        elapsed += std::chrono::steady_clock::now() - start;
        state.PauseTiming();
        WaitForReplayWrites();
        bytes = EncodeReplay(app->m_Replay.data).size();
        state.ResumeTiming();
    }
    state.counters["budget_pct"] = 100 * elapsed.count() / double(state.iterations()) / kFrameSeconds;
    state.counters["file_bytes"] = double(bytes);
}
BENCHMARK(BM_EndRecording)->ArgName("updates")->Arg(600)->Arg(7200)->Unit(benchmark::kMicrosecond);

} // namespace
