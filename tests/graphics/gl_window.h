// The real window and OpenGL context the graphics tests draw into, opened by the host as the game
// opens it, and pixel read-back straight from OpenGL (independent of the device under test).
#pragma once

#include "devices/graphics/drawcalls.h"
#include "devices/graphics/graphics.h"
#include "host/game.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <thread>

namespace gltest {

inline constexpr int kWidth = 640;
inline constexpr int kHeight = 480;

// The host object (a Host) with its first window open. Programs open it once; re-opening goes
// through SetGlfwWindow again, as a display-mode change does.
template <class Host = VxGlfwGame> inline VxGlfwGame* OpenHostWindow() {
    if (VxGlfwGame::_glfwGame) return VxGlfwGame::_glfwGame;
    glfwSetErrorCallback(
        [](int code, const char* text) { std::fprintf(stderr, "GLFW error %d: %s\n", code, text); });
    // A virtual display busy with many test programs at once now and then refuses a connection.
    for (int attempt = 1; !glfwInit(); ++attempt) {
        if (attempt == 10) std::abort();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    auto* host = new Host;
    host->Install();
    host->SetGlfwWindow({.width = kWidth, .height = kHeight});
    if (!host->Window()) std::abort();
    return host;
}

inline void ReopenHostWindow() { VxGlfwGame::_glfwGame->SetGlfwWindow({.width = kWidth, .height = kHeight}); }

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const Rgb& c) {
        return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
    }
};

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{255, 255, 255};

// The back-buffer pixel at (x, y), y down from the top of the window.
inline Rgb PixelAt(int x, int y) {
    unsigned char p[4] = {};
    glReadPixels(x, kHeight - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

// Draw calls the device issues while `draw` runs.
template <class F> long DrawCallsOf(F&& draw) {
    long before = gxtkDrawCalls::Count();
    draw();
    return gxtkDrawCalls::Count() - before;
}

} // namespace gltest
