// The whole game on a real window, OpenGL context and (silent or wave-file) OpenAL device, driven
// update by update through the host's own fan-out with a fake clock, so that every run is the same.
//
// Each test gets a fresh application (FreshApp) in a fresh working folder, with the module globals
// back at their defaults; the devices and the delegate are made once per process.
#pragma once

#include "framework/app/app.h"
#include "framework/graphics/graphics.h"
#include "framework/input/input.h"
#include "game/my_app.h"
#include "game/random.h"
#include "host/game.h"
#include "tests/support/fake_window_system.h"
#include "tests/support/temp_dir.h"

#include <GL/gl.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

namespace gametest {

inline FakeClock& Clock() {
    static FakeClock clock;
    return clock;
}

// The host with its 640 x 480 window, and the framework's devices made by the delegate, once.
inline VxGlfwGame* Host() {
    static VxGlfwGame* host = [] {
        glfwSetErrorCallback(
            [](int code, const char* text) { std::fprintf(stderr, "GLFW error %d: %s\n", code, text); });
        // A virtual display busy with many test programs at once now and then refuses a connection.
        for (int attempt = 1; !glfwInit(); ++attempt) {
            if (attempt == 10) std::abort();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        auto* h = new VxGlfwGame;
        h->Install();
        h->SetWindowSystem(&Clock());
        h->SetGlfwWindow(VxWindowRequest{});
        if (!h->Window()) std::abort();
        vx_app_Init();
        vx_graphics_Init();
        vx_game_Init();
        (new c_MyApp)->m_new();
        h->StartGame();
        return h;
    }();
    return host;
}

inline c_MyApp* App() { return static_cast<c_MyApp*>(vx_app__app.get()); }

// A new application with every field and module global at its start value, a new input device
// (nothing held) and the window back at 640 x 480; p_OnCreate has run, nothing else.
inline c_MyApp* FreshApp() {
    VxGlfwGame* host = Host();
    c_GameDelegate* delegate = vx_app__delegate;
    vx_app__app = nullptr;
    (new c_MyApp)->m_new();
    vx_app__delegate = delegate;
    host->SetDelegate(delegate);
    gc_assign(delegate->input, (new c_InputDevice)->m_new());
    vx_input_SetInputDevice(delegate->input);
    vx_game_Init();
    if (host->GetDeviceWidth() != 640 || host->GetDeviceHeight() != 480)
        host->SetGlfwWindow(VxWindowRequest{});
    vx_app_ValidateDeviceWindow(false);
    App()->p_OnCreate();
    host->gc_collect();
    return App();
}

// One update, after the clock has moved on by one 60th of a second.
inline void Update() {
    Clock().now += 1.0 / 60;
    Host()->UpdateGame();
}
inline void Updates(int n) {
    for (int i = 0; i < n; ++i) Update();
}
// One render into the back buffer (not swapped, so that pixels can be read back).
inline void Render() { Host()->RenderGame(); }

// Until the staged loader is done (the menu, ScreenMenu, then runs).
inline void FinishLoading() {
    for (int i = 0; i < 100 && App()->m_Loading > 0; ++i) {
        Update();
        Render();
    }
}

inline void PressKey(int code) { Host()->KeyEvent(VxEvent::KeyDown, code); }
// What ends every update: the input device forgets the keys pressed since the last one. Tests that
// run one routine of an update call it after the routine.
inline void EndUpdate() { vx_input_device->p_EndUpdate(); }
inline void ReleaseKey(int code) { Host()->KeyEvent(VxEvent::KeyUp, code); }
// A key held for one update, then released.
inline void Tap(int code) {
    PressKey(code);
    Update();
    ReleaseKey(code);
}

// How many effects of slot `slot` `act` plays. Every other slot is emptied meanwhile (an empty slot
// plays nothing and keeps the rotation still), so each step of the rotation is one of its plays.
// Afterwards the emptied slots get their sounds back; slots loaded during `act` keep the new ones.
inline int PlaysOf(int slot, const std::function<void()>& act) {
    // The sounds stay reachable for the collector while their slots are empty.
    static VxRoot<Array<c_Sound*>> loaded;
    Array<c_Sound*>& sfx = App()->m_Sfx;
    loaded = Array<c_Sound*>(sfx.begin(), sfx.Length());
    for (int i = 0; i < sfx.Length(); ++i)
        if (i != slot) gc_assign(sfx[i], static_cast<c_Sound*>(nullptr));
    int before = App()->m_SfxSlot;
    act();
    for (int i = 0; i < sfx.Length(); ++i)
        if (!sfx[i]) gc_assign(sfx[i], loaded.get()[i]);
    loaded = Array<c_Sound*>();
    return (App()->m_SfxSlot - before + SfxRotation) % SfxRotation;
}

// The back-buffer pixel at (x, y) of the device, y down from the top.
struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const Rgb& c) {
        return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
    }
};
inline Rgb PixelAt(int x, int y) {
    unsigned char p[4] = {};
    glReadPixels(x, Host()->GetDeviceHeight() - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

// One recorded draw command.
struct Command {
    const float* f;
    float operator[](int i) const { return f[i]; }
};
inline int CommandCount() { return App()->m_DrawN / DrawStride; }
inline Command CommandAt(int index) { return {&App()->m_Draw[index * DrawStride]}; }

// What m_ImgInfo holds for an image slot: its cell width and height (the font's advance and line
// height) and its frames.
inline std::vector<int> ImgInfoOf(int slot) {
    const Array<int>& info = App()->m_ImgInfo;
    const int at = ImgInfoStride * slot;
    return {info[at + ImgInfoW], info[at + ImgInfoH], info[at + ImgInfoFrames]};
}

// The generator's state after n further draws from `seed`, counted with the generator itself; the
// generator is left as it was.
inline uint32_t After(uint32_t seed, int n) {
    uint32_t saved = vx_random_Seed;
    vx_random_Seed = seed;
    for (int i = 0; i < n; ++i) vx_random_Rnd();
    uint32_t state = vx_random_Seed;
    vx_random_Seed = saved;
    return state;
}

// Each test in its own working folder (the state file is written there) with a fresh game.
class GameTest : public TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        app = FreshApp();
    }
    c_MyApp* app = nullptr;
};

} // namespace gametest
