// The window: opening and re-opening it with its OpenGL context, its size, the video modes, the
// cursor and swap interval, and the GLFW callbacks that turn input into host events.
#include "host/game.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <array>
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

VxGlfwVideoMode* modeOf(const GLFWvidmode& glfwMode) {
    auto* mode = (new VxGlfwVideoMode)->m_new(glfwMode.width, glfwMode.height);
    mode->redBits = glfwMode.redBits;
    mode->greenBits = glfwMode.greenBits;
    mode->blueBits = glfwMode.blueBits;
    return mode;
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

struct KeyName {
    int glfwKey;
    int code;
};

// GLFW's keys and the framework's codes for them, name to name; a key not listed has no code and its
// events are dropped. GLFW has no keys of their own for the quote and the tilde, but a layout may
// print them unshifted, and LayoutKey looks up what a key prints here.
constexpr KeyName kKeyTable[] = {
    {GLFW_KEY_SPACE, VkSpace},
    {GLFW_KEY_APOSTROPHE, VkQuote},
    {'"', VkQuote},
    {GLFW_KEY_COMMA, VkComma},
    {GLFW_KEY_MINUS, VkMinus},
    {GLFW_KEY_PERIOD, VkPeriod},
    {GLFW_KEY_SLASH, VkSlash},
    {GLFW_KEY_SEMICOLON, VkSemicolon},
    {GLFW_KEY_EQUAL, VkEqual},
    {GLFW_KEY_LEFT_BRACKET, VkLeftBracket},
    {GLFW_KEY_BACKSLASH, VkBackslash},
    {GLFW_KEY_RIGHT_BRACKET, VkRightBracket},
    {GLFW_KEY_GRAVE_ACCENT, VkLeftOf1},
    {'~', VkLeftOf1},
    {GLFW_KEY_0, '0'},
    {GLFW_KEY_1, '1'},
    {GLFW_KEY_2, '2'},
    {GLFW_KEY_3, '3'},
    {GLFW_KEY_4, '4'},
    {GLFW_KEY_5, '5'},
    {GLFW_KEY_6, '6'},
    {GLFW_KEY_7, '7'},
    {GLFW_KEY_8, '8'},
    {GLFW_KEY_9, '9'},
    {GLFW_KEY_A, 'A'},
    {GLFW_KEY_B, 'B'},
    {GLFW_KEY_C, 'C'},
    {GLFW_KEY_D, 'D'},
    {GLFW_KEY_E, 'E'},
    {GLFW_KEY_F, 'F'},
    {GLFW_KEY_G, 'G'},
    {GLFW_KEY_H, 'H'},
    {GLFW_KEY_I, 'I'},
    {GLFW_KEY_J, 'J'},
    {GLFW_KEY_K, 'K'},
    {GLFW_KEY_L, 'L'},
    {GLFW_KEY_M, 'M'},
    {GLFW_KEY_N, 'N'},
    {GLFW_KEY_O, 'O'},
    {GLFW_KEY_P, 'P'},
    {GLFW_KEY_Q, 'Q'},
    {GLFW_KEY_R, 'R'},
    {GLFW_KEY_S, 'S'},
    {GLFW_KEY_T, 'T'},
    {GLFW_KEY_U, 'U'},
    {GLFW_KEY_V, 'V'},
    {GLFW_KEY_W, 'W'},
    {GLFW_KEY_X, 'X'},
    {GLFW_KEY_Y, 'Y'},
    {GLFW_KEY_Z, 'Z'},
    {GLFW_KEY_ESCAPE, VkEscape},
    {GLFW_KEY_ENTER, VkEnter},
    {GLFW_KEY_TAB, VkTab},
    {GLFW_KEY_BACKSPACE, VkBackspace},
    {GLFW_KEY_INSERT, VkInsert},
    {GLFW_KEY_DELETE, VkDelete},
    {GLFW_KEY_RIGHT, VkRight},
    {GLFW_KEY_LEFT, VkLeft},
    {GLFW_KEY_DOWN, VkDown},
    {GLFW_KEY_UP, VkUp},
    {GLFW_KEY_PAGE_UP, VkPageUp},
    {GLFW_KEY_PAGE_DOWN, VkPageDown},
    {GLFW_KEY_HOME, VkHome},
    {GLFW_KEY_END, VkEnd},
    {GLFW_KEY_F1, VkF1},
    {GLFW_KEY_F2, VkF2},
    {GLFW_KEY_F3, VkF3},
    {GLFW_KEY_F4, VkF4},
    {GLFW_KEY_F5, VkF5},
    {GLFW_KEY_F6, VkF6},
    {GLFW_KEY_F7, VkF7},
    {GLFW_KEY_F8, VkF8},
    {GLFW_KEY_F9, VkF9},
    {GLFW_KEY_F10, VkF10},
    {GLFW_KEY_F11, VkF11},
    {GLFW_KEY_F12, VkF12},
    {GLFW_KEY_KP_0, VkNumpad0},
    {GLFW_KEY_KP_1, VkNumpad1},
    {GLFW_KEY_KP_2, VkNumpad2},
    {GLFW_KEY_KP_3, VkNumpad3},
    {GLFW_KEY_KP_4, VkNumpad4},
    {GLFW_KEY_KP_5, VkNumpad5},
    {GLFW_KEY_KP_6, VkNumpad6},
    {GLFW_KEY_KP_7, VkNumpad7},
    {GLFW_KEY_KP_8, VkNumpad8},
    {GLFW_KEY_KP_9, VkNumpad9},
    {GLFW_KEY_KP_DECIMAL, VkDecimal},
    {GLFW_KEY_KP_DIVIDE, VkDivide},
    {GLFW_KEY_KP_MULTIPLY, VkMultiply},
    {GLFW_KEY_KP_SUBTRACT, VkSubtract},
    {GLFW_KEY_KP_ADD, VkAdd},
    {GLFW_KEY_LEFT_SHIFT, VkShift},
    {GLFW_KEY_RIGHT_SHIFT, VkShift},
    {GLFW_KEY_LEFT_CONTROL, VkCtrl},
    {GLFW_KEY_RIGHT_CONTROL, VkCtrl},
};

// The table indexed by GLFW key, made once by the compiler: the key callback looks up every event.
constexpr auto kCodeOfKey = [] {
    std::array<int, GLFW_KEY_LAST + 1> codes{};
    for (KeyName key : kKeyTable) codes[std::size_t(key.glfwKey)] = key.code;
    return codes;
}();

} // namespace

int TransKey(int glfwKey) {
    return glfwKey >= 0 && glfwKey <= GLFW_KEY_LAST ? kCodeOfKey[std::size_t(glfwKey)] : 0;
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
    case VkBackspace:
    case VkTab:
    case VkEnter:
    case VkEscape:
        return key;
    case VkPageUp:
    case VkPageDown:
    case VkEnd:
    case VkHome:
    case VkLeft:
    case VkUp:
    case VkRight:
    case VkDown:
    case VkInsert:
        return key + 0x10000;
    case VkDelete:
        return 127;
    default:
        return 0;
    }
}

void VxGlfwGame::SetGlfwWindow(const VxWindowRequest& request) {
    ReleaseHeldKeys();
    if (window) glfwDestroyWindow(window);
    window = nullptr;
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_RED_BITS, request.red);
    glfwWindowHint(GLFW_GREEN_BITS, request.green);
    glfwWindowHint(GLFW_BLUE_BITS, request.blue);
    glfwWindowHint(GLFW_ALPHA_BITS, request.alpha);
    glfwWindowHint(GLFW_DEPTH_BITS, request.depth);
    glfwWindowHint(GLFW_STENCIL_BITS, request.stencil);
    glfwWindowHint(GLFW_REFRESH_RATE, 60);
    glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
    OpenWindow(request);
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
void VxGlfwGame::OpenWindow(const VxWindowRequest& request) {
    const int width = request.width, height = request.height;
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    if (request.fullscreen && monitor) {
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
    SetGlfwWindow({.width = width, .height = height, .fullscreen = (flags & 1) != 0});
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

VxDisplayMode* VxDisplayMode::m_new(int w, int h) {
    width = w;
    height = h;
    return this;
}

VxGlfwVideoMode* VxGlfwGame::GetGlfwDesktopMode() {
    const GLFWvidmode* desktop = desktopVideoMode();
    return desktop ? modeOf(*desktop) : new VxGlfwVideoMode();
}

Array<VxGlfwVideoMode*> VxGlfwGame::GetGlfwVideoModes() {
    int count = 0;
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* modes = monitor ? glfwGetVideoModes(monitor, &count) : nullptr;
    Array<VxGlfwVideoMode*> result(modes ? std::min(count, kMaxVideoModes) : 0);
    for (int i = 0; i < result.Length(); ++i) gc_assign(result[i], modeOf(modes[i]));
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
