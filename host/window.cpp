// The window: opening and re-opening it with its OpenGL context, its size, the video modes, the
// cursor and swap interval, and the GLFW callbacks that turn input into host events.
#include "host/game.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

int glfwGraphicsSeq = 0;

namespace {

constexpr int kMaxVideoModes = 1024;

VxGlfwGame* hostOf(GLFWwindow* w) { return static_cast<VxGlfwGame*>(glfwGetWindowUserPointer(w)); }

const GLFWvidmode* desktopVideoMode() {
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    return monitor ? glfwGetVideoMode(monitor) : nullptr;
}

// The pictures of the game's menu entry, in the data folder; the desktop picks the size it needs.
constexpr int kIconSizes[] = {16, 32, 48, 64, 128, 256};

// GLFW copies the pictures, so they are freed at once. A data folder without them leaves the
// desktop's default icon.
void showIcon(VxGlfwGame& host, GLFWwindow* window) {
    std::vector<GLFWimage> icons;
    for (int size : kIconSizes) {
        String path = String(u"cobalt://data/icons/spindrift-") + String(size) + String(u".png");
        int width = 0, height = 0, depth = 0;
        unsigned char* pixels = host.LoadImageData(path, &width, &height, &depth);
        if (pixels && depth == 4) {
            icons.push_back({width, height, pixels});
        } else {
            std::free(pixels);
        }
    }
    if (!icons.empty()) glfwSetWindowIcon(window, int(icons.size()), icons.data());
    for (GLFWimage& icon : icons) std::free(icon.pixels);
}

} // namespace

int TransKey(int glfwKey) {
    if ((glfwKey >= GLFW_KEY_0 && glfwKey <= GLFW_KEY_9) || (glfwKey >= GLFW_KEY_A && glfwKey <= GLFW_KEY_Z))
        return glfwKey;
    if (glfwKey >= GLFW_KEY_F1 && glfwKey <= GLFW_KEY_F12) return 112 + glfwKey - GLFW_KEY_F1;
    if (glfwKey >= GLFW_KEY_KP_0 && glfwKey <= GLFW_KEY_KP_9) return 96 + glfwKey - GLFW_KEY_KP_0;
    switch (glfwKey) {
    case GLFW_KEY_SPACE:
        return 32;
    // GLFW has no keys of their own for the quote and the tilde, but a layout may print them
    // unshifted, and LayoutKey looks up what a key prints here.
    case GLFW_KEY_APOSTROPHE:
    case '"':
        return 222;
    case GLFW_KEY_COMMA:
        return 188;
    case GLFW_KEY_MINUS:
        return 189;
    case GLFW_KEY_PERIOD:
        return 190;
    case GLFW_KEY_SLASH:
        return 191;
    case GLFW_KEY_SEMICOLON:
        return 186;
    case GLFW_KEY_EQUAL:
        return 187;
    case GLFW_KEY_LEFT_BRACKET:
        return 219;
    case GLFW_KEY_BACKSLASH:
        return 220;
    case GLFW_KEY_RIGHT_BRACKET:
        return 221;
    case GLFW_KEY_GRAVE_ACCENT:
    case '~':
        return 192;
    case GLFW_KEY_ESCAPE:
        return 27;
    case GLFW_KEY_UP:
        return 38;
    case GLFW_KEY_DOWN:
        return 40;
    case GLFW_KEY_LEFT:
        return 37;
    case GLFW_KEY_RIGHT:
        return 39;
    case GLFW_KEY_LEFT_SHIFT:
    case GLFW_KEY_RIGHT_SHIFT:
        return 16;
    case GLFW_KEY_LEFT_CONTROL:
    case GLFW_KEY_RIGHT_CONTROL:
        return 17;
    case GLFW_KEY_TAB:
        return 9;
    case GLFW_KEY_ENTER:
        return 13;
    case GLFW_KEY_BACKSPACE:
        return 8;
    case GLFW_KEY_INSERT:
        return 45;
    case GLFW_KEY_DELETE:
        return 46;
    case GLFW_KEY_PAGE_UP:
        return 33;
    case GLFW_KEY_PAGE_DOWN:
        return 34;
    case GLFW_KEY_HOME:
        return 36;
    case GLFW_KEY_END:
        return 35;
    case GLFW_KEY_KP_DIVIDE:
        return 111;
    case GLFW_KEY_KP_MULTIPLY:
        return 106;
    case GLFW_KEY_KP_SUBTRACT:
        return 109;
    case GLFW_KEY_KP_ADD:
        return 107;
    case GLFW_KEY_KP_DECIMAL:
        return 110;
    default:
        return 0;
    }
}

namespace {

// Keys that print a character; the keypad prints digits too but keeps its own codes.
bool InMainBlock(int glfwKey) { return glfwKey >= GLFW_KEY_SPACE && glfwKey <= GLFW_KEY_GRAVE_ACCENT; }

// The code of a printed character, 0 when the framework has none for it. GLFW's codes for the
// printable keys are their unshifted ASCII characters, so the key table answers for characters too.
int PrintedKeyCode(const char* printed) {
    if (!printed || !printed[0] || printed[1]) return 0; // one ASCII byte; UTF-8 letters have no code
    char c = printed[0];
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return TransKey(c);
}

// The key's code in the current layout; GLFW knows the scancode of every named key itself.
int CurrentLayoutKey(int glfwKey, int scancode) {
    return LayoutKey(glfwKey, InMainBlock(glfwKey) ? glfwGetKeyName(glfwKey, scancode) : nullptr);
}

} // namespace

int LayoutKey(int glfwKey, const char* printed) {
    if (int code = InMainBlock(glfwKey) ? PrintedKeyCode(printed) : 0) return code;
    return TransKey(glfwKey);
}

int KeyToChar(int key) {
    switch (key) {
    case 8:
    case 9:
    case 13:
    case 27:
        return key;
    case 33:
    case 34:
    case 35:
    case 36:
    case 37:
    case 38:
    case 39:
    case 40:
    case 45:
        return key + 0x10000;
    case 46:
        return 127;
    default:
        return 0;
    }
}

void VxGlfwGame::SetGlfwWindow(int width, int height, int red, int green, int blue, int alpha, int depth,
                               int stencil, bool fullscreen) {
    ReleaseHeldKeys();
    if (window) glfwDestroyWindow(window);
    window = nullptr;
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_RED_BITS, red);
    glfwWindowHint(GLFW_GREEN_BITS, green);
    glfwWindowHint(GLFW_BLUE_BITS, blue);
    glfwWindowHint(GLFW_ALPHA_BITS, alpha);
    glfwWindowHint(GLFW_DEPTH_BITS, depth);
    glfwWindowHint(GLFW_STENCIL_BITS, stencil);
    glfwWindowHint(GLFW_REFRESH_RATE, 60);
    glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
    OpenWindow(width, height, fullscreen);
    // Textures of the old context are gone; the graphics device reloads them on seeing this change.
    ++glfwGraphicsSeq;
    KeepWindowState();
    if (!window) return;
    showIcon(*this, window);
    glfwMakeContextCurrent(window);
    if (swapInterval >= 0) glfwSwapInterval(swapInterval);
    ApplyCursorMode();
    glfwSetWindowUserPointer(window, this);
    glfwSetKeyCallback(window, OnKey);
    glfwSetCharCallback(window, OnChar);
    glfwSetMouseButtonCallback(window, OnMouseButton);
    glfwSetCursorPosCallback(window, OnMousePos);
    glfwSetWindowCloseCallback(window, OnWindowClose);
    glfwSetWindowSizeCallback(window, OnWindowSize);
    glfwSetFramebufferSizeCallback(window, OnFramebufferSize);
    glfwSetWindowFocusCallback(window, OnWindowFocus);
    glfwSetWindowIconifyCallback(window, OnWindowIconify);
}

// Asked once per window; the window's callbacks keep size and focus from then on.
void VxGlfwGame::KeepWindowState() {
    windowWidth = windowHeight = pixelWidth = pixelHeight = 0;
    focused = iconified = false;
    if (!window) return;
    glfwGetWindowSize(window, &windowWidth, &windowHeight);
    glfwGetFramebufferSize(window, &pixelWidth, &pixelHeight);
    focused = glfwGetWindowAttrib(window, GLFW_FOCUSED) != 0;
    iconified = glfwGetWindowAttrib(window, GLFW_ICONIFIED) != 0;
}

void VxGlfwGame::CursorToPixels(double& x, double& y) const {
    if (windowWidth > 0 && windowHeight > 0) {
        x = x * pixelWidth / windowWidth;
        y = y * pixelHeight / windowHeight;
    }
}

// The new window will never report the release of keys held now, so release them first.
void VxGlfwGame::ReleaseHeldKeys() {
    std::bitset<512> held = heldKeys;
    heldKeys.reset();
    for (int key = 0; key < int(held.size()); ++key) {
        if (held[std::size_t(key)]) KeyEvent(KeyUp, CurrentLayoutKey(key, 0));
    }
}

// A failed opening leaves no window; the frame loop then ends at once.
void VxGlfwGame::OpenWindow(int width, int height, bool fullscreen) {
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    if (fullscreen && monitor) {
        window = glfwCreateWindow(width, height, "Spindrift", monitor, nullptr);
        return;
    }
    // Shown only once centred, so it does not appear elsewhere first.
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    window = glfwCreateWindow(width, height, "Spindrift", nullptr, nullptr);
    if (!window) return;
    if (const GLFWvidmode* desktop = desktopVideoMode())
        glfwSetWindowPos(window, (desktop->width - width) / 2, (desktop->height - height) / 2);
    glfwShowWindow(window);
}

void VxGlfwGame::ApplyCursorMode() {
    if (window) glfwSetInputMode(window, GLFW_CURSOR, mouseVisible ? GLFW_CURSOR_NORMAL : GLFW_CURSOR_HIDDEN);
}

void VxGlfwGame::SetDeviceWindow(int width, int height, int flags) {
    SetGlfwWindow(width, height, 8, 8, 8, 0, 0, 0, (flags & 1) != 0);
}

int VxGlfwGame::GetDeviceWidth() { return pixelWidth; }
int VxGlfwGame::GetDeviceHeight() { return pixelHeight; }

// Kept across window openings: each new window gets the cursor the game asked for.
void VxGlfwGame::SetMouseVisible(bool visible) {
    mouseVisible = visible;
    ApplyCursorMode();
}

void VxGlfwGame::SetSwapInterval(int interval) {
    swapInterval = interval;
    if (interval >= 0 && window) glfwSwapInterval(interval);
}

VxGlfwVideoMode* VxGlfwGame::GetGlfwDesktopMode() {
    auto* mode = new VxGlfwVideoMode();
    if (const GLFWvidmode* desktop = desktopVideoMode()) {
        mode->width = desktop->width;
        mode->height = desktop->height;
        mode->redBits = desktop->redBits;
        mode->greenBits = desktop->greenBits;
        mode->blueBits = desktop->blueBits;
    }
    return mode;
}

VxDisplayMode* VxGlfwGame::GetDesktopMode() {
    auto* mode = new VxDisplayMode();
    if (const GLFWvidmode* desktop = desktopVideoMode()) {
        mode->width = desktop->width;
        mode->height = desktop->height;
    }
    return mode;
}

Array<VxGlfwVideoMode*> VxGlfwGame::GetGlfwVideoModes() {
    int count = 0;
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* modes = monitor ? glfwGetVideoModes(monitor, &count) : nullptr;
    Array<VxGlfwVideoMode*> result(modes ? std::min(count, kMaxVideoModes) : 0);
    for (int i = 0; i < result.Length(); ++i) {
        auto* mode = new VxGlfwVideoMode();
        mode->width = modes[i].width;
        mode->height = modes[i].height;
        mode->redBits = modes[i].redBits;
        mode->greenBits = modes[i].greenBits;
        mode->blueBits = modes[i].blueBits;
        gc_assign(result[i], mode);
    }
    return result;
}

Array<VxDisplayMode*> VxGlfwGame::GetDisplayModes() {
    Array<VxGlfwVideoMode*> videoModes = GetGlfwVideoModes();
    Array<VxDisplayMode*> result(videoModes.Length());
    for (int i = 0; i < result.Length(); ++i) {
        auto* mode = new VxDisplayMode();
        mode->width = videoModes[i]->width;
        mode->height = videoModes[i]->height;
        gc_assign(result[i], mode);
    }
    return result;
}

void VxGlfwGame::OnKey(GLFWwindow* w, int key, int scancode, int action, int mods) {
    int code = CurrentLayoutKey(key, scancode);
    if (code == 0) return;
    VxGlfwGame* host = hostOf(w);
    if (action == GLFW_RELEASE) {
        host->heldKeys.reset(std::size_t(key));
        host->KeyEvent(KeyUp, code);
        return;
    }
    // Auto-repeat counts as another press.
    host->heldKeys.set(std::size_t(key));
    host->KeyEvent(KeyDown, code);
    if (int character = KeyToChar(code)) host->KeyEvent(KeyChar, character);
}

// GLFW calls this for typed characters only, never for releases.
void VxGlfwGame::OnChar(GLFWwindow* w, unsigned int character) {
    hostOf(w)->KeyEvent(KeyChar, int(character));
}

void VxGlfwGame::OnMouseButton(GLFWwindow* w, int button, int action, int mods) {
    if (button > 2) return;
    double x = 0, y = 0;
    glfwGetCursorPos(w, &x, &y);
    VxGlfwGame* host = hostOf(w);
    host->CursorToPixels(x, y);
    host->MouseEvent(action == GLFW_PRESS ? MouseDown : MouseUp, button, float(x), float(y));
}

void VxGlfwGame::OnMousePos(GLFWwindow* w, double x, double y) {
    VxGlfwGame* host = hostOf(w);
    host->CursorToPixels(x, y);
    host->MouseEvent(MouseMove, -1, float(x), float(y));
}

void VxGlfwGame::OnWindowSize(GLFWwindow* w, int width, int height) {
    VxGlfwGame* host = hostOf(w);
    host->windowWidth = width;
    host->windowHeight = height;
}

void VxGlfwGame::OnFramebufferSize(GLFWwindow* w, int width, int height) {
    VxGlfwGame* host = hostOf(w);
    host->pixelWidth = width;
    host->pixelHeight = height;
}

void VxGlfwGame::OnWindowFocus(GLFWwindow* w, int focused) { hostOf(w)->focused = focused != 0; }

void VxGlfwGame::OnWindowIconify(GLFWwindow* w, int iconified) { hostOf(w)->iconified = iconified != 0; }

// The close button only reports key 432; whether to end is the game's decision.
void VxGlfwGame::OnWindowClose(GLFWwindow* w) {
    VxGlfwGame* host = hostOf(w);
    host->KeyEvent(KeyDown, KEY_CLOSE);
    host->KeyEvent(KeyUp, KEY_CLOSE);
    glfwSetWindowShouldClose(w, GLFW_FALSE);
}
