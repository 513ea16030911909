#include "host/web/web_game.h"

#include <GLFW/glfw3.h>

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cmath>

namespace {

constexpr const char* kCanvas = "#canvas";

// The page's script (web/page.js) does the browser's side of the full screen and of copying the
// saves to IndexedDB.
EM_JS(void, switchFullscreen, (), { Module['switchFullscreen'](); });
EM_JS(bool, pageHasFocus, (), { return document.hasFocus(); });
EM_JS(void, syncSaves, (), { Module['syncSaves'](); });

VxWebGame& host() { return static_cast<VxWebGame&>(*VxGlfwGame::_glfwGame); }

EM_BOOL onFocus(int eventType, const EmscriptenFocusEvent*, void*) {
    if (GLFWwindow* window = host().Window())
        VxGlfwGame::OnWindowFocus(window, eventType == EMSCRIPTEN_EVENT_FOCUS);
    return EM_FALSE;
}

EM_BOOL onVisibility(int, const EmscriptenVisibilityChangeEvent* event, void*) {
    if (GLFWwindow* window = host().Window()) VxGlfwGame::OnWindowIconify(window, event->hidden);
    return EM_FALSE;
}

} // namespace

VxWebGame::VxWebGame() {
    // The page's script packs the data folder here; the working directory holds the saves.
    appDir = u"/spindrift";
    SetWindowSystem(&webSystem);
}

void VxWebGame::Run() {
    SetGlfwWindow(VxWindowRequest{});
    FollowCanvasSize();
    WatchFocus();
    StartGame();
    emscripten_set_main_loop(AnimationFrame, 0, true);
}

void VxWebGame::WatchFocus() {
    OnWindowFocus(window, pageHasFocus());
    EmscriptenVisibilityChangeEvent visibility;
    if (emscripten_get_visibility_status(&visibility) == EMSCRIPTEN_RESULT_SUCCESS)
        OnWindowIconify(window, visibility.hidden);
    emscripten_set_focus_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, true, onFocus);
    emscripten_set_blur_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, true, onFocus);
    emscripten_set_visibilitychange_callback(nullptr, true, onVisibility);
}

void VxWebGame::AnimationFrame() {
    VxWebGame& game = host();
    bool resized = game.FollowCanvasSize();
    if (resized || game.FrameDue()) game.RunFrame();
}

bool VxWebGame::FrameDue() {
    // Nothing moves while the page is away, so there is nothing to draw either.
    if (suspended) return webSystem.WindowActive();
    if (nextUpdate == 0 || updateRate == 0) return true;
    return nextUpdate - webSystem.Time() < updatePeriod / 2;
}

bool VxWebGame::FollowCanvasSize() {
    double cssWidth = 0, cssHeight = 0;
    if (emscripten_get_element_css_size(kCanvas, &cssWidth, &cssHeight) != EMSCRIPTEN_RESULT_SUCCESS)
        return false;
    const double ratio = emscripten_get_device_pixel_ratio();
    const int width = int(std::lround(cssWidth * ratio));
    const int height = int(std::lround(cssHeight * ratio));
    if (width <= 0 || height <= 0 || !window) return false;
    if (width == GetDeviceWidth() && height == GetDeviceHeight()) return false;
    emscripten_set_canvas_element_size(kCanvas, width, height);
    // The pointer comes in canvas pixels, so window and framebuffer have one size.
    OnWindowSize(window, width, height);
    OnFramebufferSize(window, width, height);
    return true;
}

void VxWebGame::SetGlfwWindow(const VxWindowRequest& request) {
    if (!window) {
        VxWindowRequest windowed = request;
        windowed.fullscreen = false;
        VxCobaltGame::SetGlfwWindow(windowed);
        return;
    }
    switchFullscreen();
}

int VxWebGame::SaveState(String state) {
    int result = VxCobaltGame::SaveState(state);
    syncSaves();
    return result;
}
