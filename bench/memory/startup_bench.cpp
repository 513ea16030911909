// Start-up in phases, from real starts of the program (its own entry and frame loop at 60 updates
// a second): from the program's start to its window (the window open and the devices made, when
// the game is created), from the window to each loader step, and from the last step to the first
// menu frame that takes input. Then the reloads a player causes: full screen at 1920 x 1080 (the
// largest image tier) and a 600 x 450 window (the smallest), each timed from its new window.
// Every step reports its wall time and its main-thread CPU time: a step over 16.7 ms stalls the
// loading spinner. A bare GLFW program started the same way gives the baseline to the window.
// Medians of a few runs. Needs a display: xvfb-run -a -s "-screen 0 1920x1080x24".
#include "bench/memory/children.h"
#include "framework/app/app.h"
#include "framework/graphics/graphics.h"
#include "game/my_app.h"
#include "host/files.h"
#include "host/game.h"
#include "host/program.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

using benchchild::Now;
using benchchild::Say;

constexpr int Runs = 5;
constexpr int LastStep = 14;

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double startedAt = 0;

// The first load in the 640 x 480 window (the middle image tier), the reload full screen (the
// largest tier) and the reload in a 600 x 450 window (the smallest tier).
const char* const Phases[] = {"start", "fullscreen", "small"};

// The host's own clock and window, but always in focus: the virtual display has no window manager
// to give the focus to a window, and a game out of focus waits for events instead of updating.
class FocusedWindowSystem final : public VxWindowSystem {
  public:
    explicit FocusedWindowSystem(const VxGlfwGame& host) : glfw(host) {}

    double Time() override { return glfw.Time(); }
    void Sleep(double seconds) override { glfw.Sleep(seconds); }
    void PollEvents() override { glfw.PollEvents(); }
    void WaitEvents() override { glfw.WaitEvents(); }
    bool WindowOpen() override { return glfw.WindowOpen(); }
    bool WindowActive() override { return true; }
    void SwapBuffers() override { glfw.SwapBuffers(); }
    bool JoystickPresent(int joystick) override { return glfw.JoystickPresent(joystick); }
    const float* JoystickAxes(int joystick, int* count) override {
        return glfw.JoystickAxes(joystick, count);
    }
    const unsigned char* JoystickButtons(int joystick, int* count) override {
        return glfw.JoystickButtons(joystick, count);
    }
    bool GamepadState(int joystick, GLFWgamepadstate* state) override {
        return glfw.GamepadState(joystick, state);
    }

  private:
    VxGlfwWindowSystem glfw;
};

// The game as the program makes it, timing its own updates.
class TimedApp : public c_MyApp {
  public:
    int p_OnCreate() override {
        phaseStart = Now();
        static FocusedWindowSystem focused(*VxGlfwGame::_glfwGame);
        VxGlfwGame::_glfwGame->SetWindowSystem(&focused);
        Say("window_s", phaseStart - startedAt);
        return c_MyApp::p_OnCreate();
    }

    int p_OnUpdate() override {
        const int step = m_Loading;
        const bool menuFrame = step == 0 && m_Screen == 1;
        const double start = Now(), cpu = ThreadSeconds();
        c_MyApp::p_OnUpdate();
        const double end = Now();
        if (step > 0) {
            Step(step, end - start, ThreadSeconds() - cpu);
            lastStepEnd = end;
        } else if (menuFrame && lastStepEnd > 0) {
            MenuReached(end);
        }
        return 0;
    }

  private:
    void Step(int step, double wall, double cpu) {
        char name[32];
        std::snprintf(name, sizeof name, "%s_step%02d", Phases[phase], step);
        Say(std::string(name) + "_ms", wall * 1e3);
        Say(std::string(name) + "_cpu_ms", cpu * 1e3);
    }

    // The reload a player causes next: full screen, then a window of the smallest tier.
    void MenuReached(double end) {
        const std::string tier = Phases[phase];
        Say(tier + "_to_menu_ms", (end - phaseStart) * 1e3);
        Say(tier + "_last_step_to_menu_ms", (end - lastStepEnd) * 1e3);
        lastStepEnd = 0;
        ++phase;
        if (phase == 1) {
            p_FullscreenFlip();
        } else if (phase == 2) {
            VxGlfwGame::_glfwGame->SetGlfwWindow({.width = 600, .height = 450});
        } else {
            std::fflush(stdout);
            std::_Exit(0);
        }
        phaseStart = Now();
    }

    int phase = 0;
    double phaseStart = 0, lastStepEnd = 0;
};

const std::vector<benchchild::Report>& GameRuns() { return benchchild::RunsOf({"game"}, Runs); }
const std::vector<benchchild::Report>& BareRuns() { return benchchild::RunsOf({"bare"}, Runs); }

void BM_StartToWindow(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(GameRuns().size() + BareRuns().size());
    const double game = benchchild::Median(GameRuns(), "window_s") * 1e3;
    const double bare = benchchild::Median(BareRuns(), "window_s") * 1e3;
    state.counters["game_ms"] = game;
    state.counters["bare_ms"] = bare;
    state.counters["ratio"] = game / bare;
}
BENCHMARK(BM_StartToWindow)->Iterations(1)->Unit(benchmark::kMillisecond);

// Per load: each step's wall time (median of the runs), the longest of them in wall and in CPU
// time, the window to the first menu frame and the last step to it.
void BM_Loader(benchmark::State& state) {
    const std::string tier = Phases[state.range(0)];
    for (auto _ : state) benchmark::DoNotOptimize(GameRuns().size());
    double longest = 0, longestCpu = 0;
    for (int step = 1; step <= LastStep; ++step) {
        char name[32];
        std::snprintf(name, sizeof name, "%s_step%02d", tier.c_str(), step);
        const double wall = benchchild::Median(GameRuns(), std::string(name) + "_ms");
        const double cpu = benchchild::Median(GameRuns(), std::string(name) + "_cpu_ms");
        std::snprintf(name, sizeof name, "s%02d_ms", step);
        state.counters[name] = wall;
        if (wall > longest) {
            longest = wall;
            state.counters["longest_step"] = step;
        }
        longestCpu = std::max(longestCpu, cpu);
    }
    state.counters["longest_ms"] = longest;
    state.counters["longest_cpu_ms"] = longestCpu;
    state.counters["to_menu_ms"] = benchchild::Median(GameRuns(), tier + "_to_menu_ms");
    state.counters["last_step_to_menu_ms"] = benchchild::Median(GameRuns(), tier + "_last_step_to_menu_ms");
    state.SetLabel(tier == "start"        ? "640x480 start, middle tier"
                   : tier == "fullscreen" ? "1920x1080 full screen, largest tier"
                                          : "600x450 window, smallest tier");
}
BENCHMARK(BM_Loader)->DenseRange(0, 2)->Iterations(1)->Unit(benchmark::kMillisecond);

int Child(int argc, char** argv) {
    const std::string role = argv[0];
    startedAt = std::atof(argv[argc - 1]);
    if (role == "bare") return benchchild::BareWindow(benchchild::Windowed, 1, startedAt);
    if (role == "game") {
        // As the game's program starts, but any restart keeps this child's whole command line (the
        // program's own words before `argv`), so that the restarted process is this child again;
        // the entry's own call then does nothing.
        vxSetUpProcessMemory(argv - 2, true);
        char* args[] = {argv[-2], nullptr};
        VxCobaltGame::Main(1, args);
        return 1; // the timed game ends the process itself, after its last reload
    }
    return 2;
}

} // namespace

// The program's globals and its one application, as the game's own program gives them, but the
// application is the timed one.
void vxInit() {
    vx_app_Init();
    vx_graphics_Init();
    vx_game_Init();
}

int vxMain() {
    (new TimedApp)->m_new();
    return 0;
}

int main(int argc, char** argv) { return benchchild::Main(argc, argv, Child); }
