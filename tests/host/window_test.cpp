// The real window under X: its opening, sizes and modes, and real input through GLFW's callbacks.
#include "host/game.h"
#include "tests/support/own_display.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

// From GLFW's native interface; declared here because the X11 headers' macros clash with GoogleTest.
extern "C" unsigned long glfwGetX11Window(GLFWwindow* window);

namespace {

// The modes the game keeps, as roots of the collector.
VxRoot<Array<VxDisplayMode*>> heldModes;
VxRoot<VxGlfwVideoMode*> heldDesktop;

class EventLog : public VxGameDelegate {
  public:
    std::vector<std::string> events;
    // The pointer entering the window adds moves of its own; key tests look at keys only.
    std::vector<std::string> Keys() const {
        std::vector<std::string> keys;
        for (const std::string& e : events)
            if (e.starts_with("key")) keys.push_back(e);
        return keys;
    }
    void KeyEvent(int event, int data) override {
        events.push_back("key " + std::to_string(event) + " " + std::to_string(data));
    }
    void MouseEvent(int event, int data, float x, float y) override {
        events.push_back("mouse " + std::to_string(event) + " " + std::to_string(data) + " " +
                         std::to_string(int(x)) + " " + std::to_string(int(y)));
    }
};

std::string Output(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
        pclose(pipe);
    }
    return output;
}

class Window : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(glfwInit()) << "needs an X display (xvfb-run)"; }
    static void TearDownTestSuite() { glfwTerminate(); }

    VxGlfwGame host;
    EventLog* log = new EventLog();

    void SetUp() override {
        host.SetDelegate(log);
        host.StartGame();
        host.SetGlfwWindow(VxWindowRequest{});
        ASSERT_NE(host.Window(), nullptr);
    }
    void TearDown() override { glfwDestroyWindow(host.Window()); }

    // Real input travels through the X server; handle events until `count` have reached the host.
    void AwaitKeys(std::size_t count) {
        for (int i = 0; i < 200 && log->Keys().size() < count; ++i) glfwWaitEventsTimeout(0.05);
    }
    std::string XWindowId() { return std::to_string(glfwGetX11Window(host.Window())); }
};

// Real typing and clicking, on a display of their own: on the shared one, a window that another test
// opens takes the focus and with it the keys, and a full-screen one moves the pointer.
class WindowInput : public Window {
  protected:
    static inline OwnDisplay display;
    static void SetUpTestSuite() {
        ASSERT_TRUE(display.Start()) << "Xvfb did not start";
        Window::SetUpTestSuite();
    }
    static void TearDownTestSuite() {
        Window::TearDownTestSuite();
        display.Stop();
    }
};

TEST_F(Window, OpensCentredResizableAndTitled) {
    EXPECT_EQ(host.GetDeviceWidth(), 640);
    EXPECT_EQ(host.GetDeviceHeight(), 480);
    EXPECT_TRUE(glfwGetWindowAttrib(host.Window(), GLFW_RESIZABLE));
    EXPECT_TRUE(glfwGetWindowAttrib(host.Window(), GLFW_VISIBLE));
    EXPECT_EQ(glfwGetCurrentContext(), host.Window());
    int x = 0, y = 0;
    glfwGetWindowPos(host.Window(), &x, &y);
    EXPECT_EQ(x, (1920 - 640) / 2);
    EXPECT_EQ(y, (1080 - 480) / 2);
    EXPECT_EQ(Output("xdotool getwindowname " + XWindowId()), "Spindrift\n");
}

// The window manager's view of the window's icon: _NET_WM_ICON holds, picture after picture, a
// width, a height and that many pixels as 0xAARRGGBB.
std::vector<unsigned long> WindowIcon(const std::string& id) {
    std::istringstream listed(Output("xprop -id " + id + " -len 1000000 -notype 32c _NET_WM_ICON"));
    std::string word;
    std::vector<unsigned long> values;
    while (listed >> word)
        if (std::isdigit(static_cast<unsigned char>(word[0]))) values.push_back(std::stoul(word));
    return values;
}

// The data folder's icon of one size as the window manager holds it; empty when the host cannot load it.
std::vector<unsigned long> IconFile(VxGlfwGame& host, int size) {
    int width = 0, height = 0, depth = 0;
    String path = String(u"cobalt://data/icons/spindrift-") + String(size) + String(u".png");
    unsigned char* rgba = host.LoadImageData(path, &width, &height, &depth);
    if (!rgba || depth != 4) return {};
    std::vector<unsigned long> values{unsigned(width), unsigned(height)};
    for (int i = 0; i < width * height; ++i) {
        const unsigned char* p = rgba + 4 * i;
        values.push_back(static_cast<unsigned long>(p[3]) << 24 | unsigned(p[0] << 16 | p[1] << 8 | p[2]));
    }
    std::free(rgba);
    return values;
}

TEST_F(Window, ShowsTheGamesIconAtEverySizeFromTheDataFolder) {
    std::vector<unsigned long> expected;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        std::vector<unsigned long> icon = IconFile(host, size);
        ASSERT_FALSE(icon.empty()) << "no icon of " << size << " pixels in the data folder";
        expected.insert(expected.end(), icon.begin(), icon.end());
    }
    EXPECT_EQ(WindowIcon(XWindowId()), expected);
    // A full-screen window is a new window: it gets the icon too.
    host.SetDeviceWindow(1920, 1080, 1);
    EXPECT_EQ(WindowIcon(XWindowId()), expected);
}

TEST_F(Window, EveryOpeningIsANewContext) {
    int before = glfwGraphicsSeq;
    host.SetDeviceWindow(320, 200, 0);
    EXPECT_EQ(glfwGraphicsSeq, before + 1);
    EXPECT_EQ(host.GetDeviceWidth(), 320);
    EXPECT_EQ(host.GetDeviceHeight(), 200);
    EXPECT_EQ(glfwGetWindowMonitor(host.Window()), nullptr);
}

TEST_F(Window, ModesComeFromTheDesktop) {
    VxGlfwVideoMode* desktop = host.GetGlfwDesktopMode();
    EXPECT_EQ(desktop->width, 1920);
    EXPECT_EQ(desktop->height, 1080);
    EXPECT_EQ(desktop->redBits, 8);
    EXPECT_EQ(desktop->greenBits, 8);
    EXPECT_EQ(desktop->blueBits, 8);
    VxDisplayMode* mode = host.GetDesktopMode();
    EXPECT_EQ(mode->width, 1920);
    EXPECT_EQ(mode->height, 1080);

    int count = 0;
    const GLFWvidmode* modes = glfwGetVideoModes(glfwGetPrimaryMonitor(), &count);
    Array<VxDisplayMode*> listed = host.GetDisplayModes();
    ASSERT_EQ(listed.Length(), count);
    ASSERT_GT(count, 0);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(listed[i]->width, modes[i].width);
        EXPECT_EQ(listed[i]->height, modes[i].height);
    }
}

TEST_F(Window, ModesKeptByTheGameSurviveCollection) {
    heldModes = host.GetDisplayModes();
    heldDesktop = host.GetGlfwDesktopMode();
    for (int cycle = 0; cycle < 3; ++cycle) {
        gc_ext_malloced(gc_cycle_bytes + 1); // as a large image load would: end the cycle
        host.gc_collect();
        for (int i = 0; i < 100; ++i) host.GetDesktopMode(); // garbage whose allocation destroys the dead
    }
    int count = 0;
    const GLFWvidmode* modes = glfwGetVideoModes(glfwGetPrimaryMonitor(), &count);
    ASSERT_EQ(heldModes.get().Length(), count);
    for (int i = 0; i < count; ++i) EXPECT_EQ(heldModes.get()[i]->width, modes[i].width);
    EXPECT_EQ(heldDesktop->width, 1920);
    EXPECT_EQ(heldDesktop->blueBits, 8);
    heldModes = Array<VxDisplayMode*>();
    heldDesktop = nullptr;
}

TEST_F(Window, HiddenCursorSurvivesReopening) {
    host.SetMouseVisible(false);
    EXPECT_EQ(glfwGetInputMode(host.Window(), GLFW_CURSOR), GLFW_CURSOR_HIDDEN);
    host.SetDeviceWindow(640, 480, 0);
    EXPECT_EQ(glfwGetInputMode(host.Window(), GLFW_CURSOR), GLFW_CURSOR_HIDDEN);
    host.SetMouseVisible(true);
    EXPECT_EQ(glfwGetInputMode(host.Window(), GLFW_CURSOR), GLFW_CURSOR_NORMAL);
}

TEST_F(WindowInput, TypedKeysArriveAsKeysAndCharacters) {
    ASSERT_EQ(std::system(("xdotool key --window " + XWindowId() + " Delete Up a").c_str()), 0);
    AwaitKeys(9);
    EXPECT_EQ(log->Keys(),
              (std::vector<std::string>{"key 1 46", "key 3 127", "key 2 46", "key 1 38", "key 3 65574",
                                        "key 2 38", "key 1 65", "key 3 97", "key 2 65"}));
}

TEST_F(WindowInput, MouseButtonsReportTheirPositionInPixels) {
    std::string id = XWindowId();
    ASSERT_EQ(
        std::system(("xdotool mousemove --window " + id + " 100 50 click --window " + id + " 1").c_str()), 0);
    std::vector<std::string> buttons;
    for (int i = 0; i < 200 && buttons.size() < 2; ++i) {
        glfwWaitEventsTimeout(0.05);
        buttons.clear();
        // The pointer entering the window adds moves of its own.
        for (const std::string& e : log->events)
            if (!e.starts_with("mouse 6")) buttons.push_back(e);
    }
    EXPECT_EQ(buttons, (std::vector<std::string>{"mouse 4 0 100 50", "mouse 5 0 100 50"}));
}

TEST_F(Window, HeldKeysAreReleasedBeforeAReopening) {
    VxGlfwGame::OnKey(host.Window(), GLFW_KEY_LEFT, 0, GLFW_PRESS, 0);
    VxGlfwGame::OnKey(host.Window(), GLFW_KEY_A, 0, GLFW_PRESS, 0);
    VxGlfwGame::OnKey(host.Window(), GLFW_KEY_A, 0, GLFW_RELEASE, 0);
    host.SetDeviceWindow(1920, 1080, 1);
    EXPECT_EQ(log->Keys(),
              (std::vector<std::string>{"key 1 37", "key 3 65573", "key 1 65", "key 2 65", "key 2 37"}));
    EXPECT_NE(glfwGetWindowMonitor(host.Window()), nullptr);
    EXPECT_EQ(host.GetDeviceWidth(), 1920);
    EXPECT_EQ(host.GetDeviceHeight(), 1080);
    // Released once: the new window has not seen the key held.
    host.SetDeviceWindow(640, 480, 0);
    EXPECT_EQ(log->Keys().size(), 5u);
}

TEST_F(Window, CallbacksDropWhatTheFrameworkDoesNotKnowAndRepeatPresses) {
    GLFWwindow* w = host.Window();
    VxGlfwGame::OnKey(w, GLFW_KEY_F13, 0, GLFW_PRESS, 0);
    VxGlfwGame::OnKey(w, GLFW_KEY_UNKNOWN, 0, GLFW_PRESS, 0);
    VxGlfwGame::OnMouseButton(w, 3, GLFW_PRESS, 0);
    EXPECT_TRUE(log->events.empty());
    VxGlfwGame::OnKey(w, GLFW_KEY_TAB, 0, GLFW_REPEAT, 0);
    VxGlfwGame::OnChar(w, 0x1F600);
    VxGlfwGame::OnMousePos(w, 12.75, 7.5);
    EXPECT_EQ(log->events,
              (std::vector<std::string>{"key 1 9", "key 3 9", "key 3 128512", "mouse 6 -1 12 7"}));
}

TEST_F(Window, CloseButtonReportsKey432AndKeepsTheWindow) {
    GLFWwindow* w = host.Window();
    // GLFW marks the window as closing before it calls the close callback.
    glfwSetWindowShouldClose(w, GLFW_TRUE);
    VxGlfwGame::OnWindowClose(w);
    EXPECT_EQ(log->events, (std::vector<std::string>{"key 1 432", "key 2 432"}));
    EXPECT_FALSE(glfwWindowShouldClose(w));
}

TEST_F(Window, NoJoysticksAnswerFalseAndLeaveTheArrays) {
    Array<float> x(2), y(2), z(2);
    Array<bool> buttons(32);
    x[0] = 0.5f;
    buttons[3] = true;
    for (int port = 0; port < 4; ++port) EXPECT_FALSE(host.PollJoystick(port, x, y, z, buttons));
    EXPECT_EQ(x[0], 0.5f);
    EXPECT_TRUE(buttons[3]);
}

} // namespace
