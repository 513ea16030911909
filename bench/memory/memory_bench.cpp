// The game's memory against a bare OpenGL window measured in the same run: for the menu and for a
// round, in the 640 x 480 window (the middle image tier) and full screen at 1920 x 1080 (the largest
// tier, reached as a player reaches it: going full screen after the first load reloads everything).
// Each is the resident memory of a fresh child process; the game's share is its difference from
// the bare window's, split into texture bytes in the driver, decoded pixels kept by the surfaces,
// OpenAL sound and music buffers, OpenAL's own context (measured in a child of its own), the
// collector's heap, and the rest. The load peak is the game's highest resident memory up to the
// end of its (last) load, above the bare window's highest.
// Needs a display: xvfb-run -a -s "-screen 0 1920x1080x24" build/bench/bin/memory_bench
#include "bench/memory/children.h"
#include "devices/audio/audio.h"
#include "framework/app/app.h"
#include "framework/audio/audio.h"
#include "framework/graphics/graphics.h"
#include "game/my_app.h"
#include "host/files.h"
#include "host/game.h"
#include "runtime/gc.h"

#include <GLFW/glfw3.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <set>
#include <string>

namespace {

using benchchild::MB;
using benchchild::Say;
using benchchild::Screen;

constexpr int KeySpace = 32, KeyRight = 39, KeyLeft = 37;
constexpr int SettleFrames = 120;

// ---- the game, in a child ----

VxGlfwGame* host = nullptr;
c_MyApp* app = nullptr;

void Frame() {
    host->UpdateGame();
    host->RenderGame();
    glfwSwapBuffers(host->Window());
    glfwPollEvents();
}

// Until the load a render asked for (a new size) or the one running has ended.
void FramesUntilLoaded() {
    for (int i = 0; i < 4 && app->m_Loading == 0; ++i) Frame();
    while (app->m_Loading > 0) Frame();
}

void StartGame() {
    if (!glfwInit()) std::exit(1);
    host = new VxGlfwGame;
    host->Install();
    host->SetGlfwWindow(VxWindowRequest{});
    if (!host->Window()) std::exit(1);
    host->SetSwapInterval(0);
    vx_app_Init();
    vx_graphics_Init();
    vx_game_Init();
    (new c_MyApp)->m_new();
    host->StartGame();
    app = static_cast<c_MyApp*>(vx_app__app.get());
}

// Where the game's share goes, as far as the program can tell.
struct Share {
    double textures = 0, pixels = 0, sounds = 0;
    std::set<gxtkSurface*> surfaces;
    std::set<ALuint> buffers;

    void Add(gxtkSurface* s) {
        if (!s || !surfaces.insert(s).second) return;
        // A picture white throughout is kept as one intensity byte a pixel.
        const double bytes = s->format == GL_INTENSITY ? 1 : s->depth;
        if (s->texSeq == glfwGraphicsSeq) textures += bytes / (double(s->uscale) * s->vscale);
        if (s->data) pixels += double(s->width) * s->height * bytes;
    }
    void Add(gxtkSample* sample) {
        if (!sample || sample->buffer == 0 || !buffers.insert(sample->buffer).second) return;
        ALint size = 0;
        alGetBufferi(sample->buffer, AL_SIZE, &size);
        sounds += size;
    }
};

void SayShare(const std::string& scene) {
    Share share;
    for (c_Image* image : app->m_Img) {
        if (image) share.Add(image->surface);
    }
    if (c_Image* font = vx_graphics_context->defaultFont) share.Add(font->surface);
    for (c_Sound* sound : app->m_Sfx) {
        if (sound) share.Add(sound->m_sample);
    }
    for (gxtkChannel& channel : gxtkAudio::audio->channels) share.Add(channel.sample);
    share.Add(gxtkAudio::audio->musicSample);
    Say(scene, benchchild::ResidentMB());
    Say(scene + "_textures", share.textures / MB);
    Say(scene + "_pixels", share.pixels / MB);
    Say(scene + "_sounds", share.sounds / MB);
    Say(scene + "_collector", double(gc_alloced_bytes) / MB);
    Say(scene + "_screen", app->m_Screen);
}

// Two seconds of running, jumping and the round's music, every frame rendered.
void PlayRound() {
    app->m_Screen = 11;
    for (int i = 0; i < 300; ++i) {
        const int run = i % 120 < 60 ? KeyRight : KeyLeft;
        if (i % 60 == 0) host->KeyEvent(KeyUp, run == KeyRight ? KeyLeft : KeyRight);
        if (i % 60 == 0) host->KeyEvent(KeyDown, run);
        if (i % 20 == 0) host->KeyEvent(KeyDown, KeySpace);
        if (i % 20 == 5) host->KeyEvent(KeyUp, KeySpace);
        Frame();
    }
}

// With the allocator set up as the game's program sets it; a restart keeps the child's whole
// command line (`words`), so that the restarted process is this child again.
int GameChild(char** words, bool fullscreen) {
    vxSetUpProcessMemory(words, true);
    StartGame();
    FramesUntilLoaded();
    if (fullscreen) {
        app->p_FullscreenFlip();
        FramesUntilLoaded();
    }
    Say("load_peak", benchchild::PeakMB());
    for (int i = 0; i < SettleFrames; ++i) Frame();
    SayShare("menu");
    PlayRound();
    SayShare("round");
    return 0;
}

// The audio device alone, opened as the game opens it, with no sound loaded: what OpenAL keeps for
// its context (its voices), which no game can do without.
int AudioDeviceChild() {
    VxGlfwGame audioHost;
    audioHost.Install();
    const double before = benchchild::ResidentMB();
    auto* device = new gxtkAudio;
    Say("audio_device", benchchild::ResidentMB() - before);
    return device->alcContext ? 0 : 1;
}

// ---- the measuring side ----

struct Measured {
    benchchild::Report bare, game, audio;
};

const Measured& Measure(bool fullscreen) {
    static Measured sizes[2];
    Measured& m = sizes[fullscreen];
    if (m.game.empty()) {
        const Screen screen = fullscreen ? benchchild::FullScreen : benchchild::Windowed;
        m.bare = benchchild::Run(
            {"bare", std::to_string(screen.width), std::to_string(screen.height), fullscreen ? "1" : "0"});
        m.game = benchchild::Run({"game", fullscreen ? "1" : "0"});
        m.audio = benchchild::Run({"audio"});
    }
    return m;
}

void Counters(benchmark::State& state, const Measured& m, const std::string& scene) {
    const double game = m.game.at(scene), bare = m.bare.at("resident");
    const double share = game - bare;
    double named = 0;
    for (const char* part : {"textures", "pixels", "sounds", "collector"}) {
        const double mb = m.game.at(scene + "_" + part);
        state.counters[std::string(part) + "_MB"] = mb;
        named += mb;
    }
    state.counters["audio_device_MB"] = m.audio.at("audio_device");
    named += m.audio.at("audio_device");
    state.counters["game_MB"] = game;
    state.counters["bare_MB"] = bare;
    state.counters["share_MB"] = share;
    state.counters["other_MB"] = share - named;
}

void Scene(benchmark::State& state, const std::string& scene) {
    const bool fullscreen = state.range(0) != 0;
    for (auto _ : state) benchmark::DoNotOptimize(Measure(fullscreen));
    Counters(state, Measure(fullscreen), scene);
    state.SetLabel(fullscreen ? "1920x1080 full screen" : "640x480");
}

void BM_MenuMemory(benchmark::State& state) { Scene(state, "menu"); }
void BM_RoundMemory(benchmark::State& state) { Scene(state, "round"); }

void BM_LoadPeak(benchmark::State& state) {
    const bool fullscreen = state.range(0) != 0;
    for (auto _ : state) benchmark::DoNotOptimize(Measure(fullscreen));
    const Measured& m = Measure(fullscreen);
    state.counters["peak_MB"] = m.game.at("load_peak");
    state.counters["bare_peak_MB"] = m.bare.at("peak");
    state.counters["above_bare_MB"] = m.game.at("load_peak") - m.bare.at("peak");
    state.SetLabel(fullscreen ? "1920x1080 full screen" : "640x480");
}

BENCHMARK(BM_MenuMemory)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RoundMemory)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPeak)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

int Child(int argc, char** argv) {
    const std::string role = argv[0];
    const double startedAt = std::atof(argv[argc - 1]);
    if (role == "bare" && argc == 5) {
        const Screen screen{std::atoi(argv[1]), std::atoi(argv[2]), std::atoi(argv[3]) != 0};
        return benchchild::BareWindow(screen, SettleFrames, startedAt);
    }
    // The program's own words come before the child's (benchchild::Main).
    if (role == "game" && argc == 3) return GameChild(argv - 2, std::atoi(argv[1]) != 0);
    if (role == "audio" && argc == 2) return AudioDeviceChild();
    return 2;
}

} // namespace

int main(int argc, char** argv) { return benchchild::Main(argc, argv, Child); }
