// The cost of play: one play step (p_Game) over a full screen of rows, objects, particles and stars,
// per update and as a share of the 16.7 ms frame, with the heap allocations it makes (none are
// expected in a steady step); and the start of a round (p_LoadGame with its music), which must fit
// in one frame. Needs a display: the game runs on the host's real window and OpenGL context.
#include "framework/app/app.h"
#include "framework/graphics/graphics.h"
#include "game/my_app.h"
#include "game/random.h"
#include "host/game.h"

#include <GLFW/glfw3.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <new>
#include <vector>

// Every heap allocation of the program, from operator new and from the C allocator (wrapped at
// link time), is counted while `counting` is set.
namespace {
bool counting = false;
long allocations = 0;
void* Counted(void* p) {
    if (counting) ++allocations;
    return p;
}
} // namespace

extern "C" {
void* __real_malloc(std::size_t size);
void* __real_calloc(std::size_t count, std::size_t size);
void* __real_realloc(void* p, std::size_t size);
void* __wrap_malloc(std::size_t size) { return Counted(__real_malloc(size)); }
void* __wrap_calloc(std::size_t count, std::size_t size) { return Counted(__real_calloc(count, size)); }
void* __wrap_realloc(void* p, std::size_t size) { return Counted(__real_realloc(p, size)); }
}

void* operator new(std::size_t size) {
    if (void* p = Counted(__real_malloc(size ? size : 1))) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Counted(__real_malloc(size ? size : 1));
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Counted(__real_malloc(size ? size : 1));
}
// The replaced operator new takes its memory from malloc, so free is the matching release.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

constexpr double kFrameSeconds = 1.0 / 60;
// Steps between restores of the scene, few enough that walkers placed four rows above the player
// cannot reach it and the shaft does not tip.
constexpr int kStepsPerScene = 32;

// The game with its devices, loaded and waiting in the menu, made once.
c_MyApp* Game() {
    static c_MyApp* app = [] {
        if (!glfwInit()) std::abort();
        auto* host = new VxGlfwGame;
        host->Install();
        host->SetGlfwWindow(640, 480, 8, 8, 8, 0, 0, 0, false);
        if (!host->Window()) std::abort();
        host->SetSwapInterval(0);
        vx_app_Init();
        vx_graphics_Init();
        vx_game_Init();
        (new c_MyApp)->m_new();
        host->StartGame();
        auto* game = static_cast<c_MyApp*>(vx_app__app.get());
        while (game->m_Loading > 0) {
            host->UpdateGame();
            host->RenderGame();
        }
        return game;
    }();
    return app;
}

// A round in full swing: 101 walkers and coins on the rows above the player, every particle record
// in flight (debris, sparks, squares and score numbers), the stars, a score being shown. Saved once
// and put back between runs of steps.
class Scene {
  public:
    explicit Scene(c_MyApp* game) : app(game) {
        app->p_LoadGame();
        app->m_Player[PlY] = 11.5f;
        for (int slot = 0; slot <= 100; ++slot) {
            float* obj = &app->m_Obj[slot * 10];
            obj[ObjState] = slot % 3 == 0 ? 2 : 1;
            obj[ObjX] = float((slot % 9 - 4) * 32);
            obj[ObjY] = float((slot % 6 - 9) * 32) + 11.5f;
            obj[ObjDir] = slot % 2 == 0 ? -1.0f : 1.0f;
            obj[ObjSpeed] = 0.25f + float(slot % 5) * 0.1f;
        }
        const int kinds[] = {1, 2, 3, 4, 16, 99};
        for (int i = 0; i <= app->m_PartMax; ++i) {
            int kind = kinds[i % 6];
            app->p_ThrowParticle(float(i % 21 - 10) * 30, float(i % 17 - 8) * 28, kind, 1 + i % 9,
                                 float(i * 7), 1);
            float* part = &app->m_Part[app->m_PartMax * 10 - i * 10];
            part[PartLife] = 10;
            if (kind == 99) part[PartFrame] = i % 2 == 0 ? 10 : 50;
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
        allocations = 0;
        counting = true;
        const auto start = std::chrono::steady_clock::now();
        app->p_Game();
        elapsed += std::chrono::steady_clock::now() - start;
        counting = false;
        allocated += allocations;
        ++steps;
    }
    state.counters["allocs_per_step"] = double(allocated) / double(steps);
    state.counters["budget_pct"] = 100 * elapsed.count() / double(steps) / kFrameSeconds;
    state.counters["draw_commands"] = double(app->m_DrawN / DrawStride);
    // A scene in which the player died would measure the end sequence instead.
    state.counters["player_deaths"] = double(deaths);
}
BENCHMARK(BM_PlayStep)->Unit(benchmark::kMicrosecond);

// The start of a round: stars, 51 rows and the music track loaded and started; with the argument 0
// the game has no music stream, which shows what the track costs.
void BM_RoundStart(benchmark::State& state) {
    c_MyApp* app = Game();
    HasMusicStream = int(state.range(0));
    std::chrono::duration<double> elapsed{};
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        app->p_LoadGame();
        elapsed += std::chrono::steady_clock::now() - start;
    }
    state.counters["budget_pct"] = 100 * elapsed.count() / double(state.iterations()) / kFrameSeconds;
    HasMusicStream = 1;
}
BENCHMARK(BM_RoundStart)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace
