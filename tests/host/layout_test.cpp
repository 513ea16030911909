// Letter keys under real keyboard layouts: an X server of this test's own, a layout set with
// setxkbmap, and keys typed by name.
#include "host/game.h"
#include "tests/support/own_display.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" unsigned long glfwGetX11Window(GLFWwindow* window);

namespace {

class KeyDownLog : public VxGameDelegate {
  public:
    std::vector<int> codes;
    void KeyEvent(int event, int data) override {
        if (event == KeyDown) codes.push_back(data);
    }
};

class Layouts : public ::testing::Test {
  protected:
    // Switching the layout of the shared display would upset the other tests.
    static inline OwnDisplay display;
    static void SetUpTestSuite() { ASSERT_TRUE(display.Start()) << "Xvfb did not start"; }
    static void TearDownTestSuite() { display.Stop(); }

    // The framework codes of the keys pressed, typed by their keysym names under `layout`.
    static std::vector<int> PressUnder(const std::string& layout, const std::string& keysyms) {
        if (std::system(("setxkbmap " + layout).c_str()) != 0) return {};
        // GLFW reads the keyboard map when it starts.
        if (!glfwInit()) return {};
        VxGlfwGame host;
        auto* log = new KeyDownLog();
        host.SetDelegate(log);
        host.StartGame();
        host.SetGlfwWindow({.width = 320, .height = 200});
        std::string id = std::to_string(glfwGetX11Window(host.Window()));
        std::size_t expected = std::size_t(std::count(keysyms.begin(), keysyms.end(), ' ') + 1);
        if (std::system(("xdotool key --window " + id + " " + keysyms).c_str()) == 0)
            for (int i = 0; i < 200 && log->codes.size() < expected; ++i) glfwWaitEventsTimeout(0.05);
        std::vector<int> codes = log->codes;
        glfwDestroyWindow(host.Window());
        glfwTerminate();
        return codes;
    }
};

TEST_F(Layouts, LetterKeysFollowThePrintedLetterOthersKeepTheirPosition) {
    struct Case {
        const char* layout;
        const char* keysyms;
        std::vector<int> codes;
    };
    const Case cases[] = {
        {"us", "a z m comma 1 KP_1", {65, 90, 77, 188, 49, 97}},
        // Z and Y swapped; the umlaut has no code and keeps its position (semicolon), the minus sits
        // where the US slash is.
        {"de", "z y a odiaeresis minus", {90, 89, 65, 186, 189}},
        // AZERTY: the digit row prints symbols and keeps its digits, but for the quote on the 3; M sits
        // where the US semicolon is.
        {"fr", "a q w z m comma ampersand quotedbl", {65, 81, 87, 90, 77, 188, 49, 222}},
        // The tilde on the key beside Enter.
        {"pt nodeadkeys", "asciitilde", {192}},
    };
    for (const Case& c : cases) EXPECT_EQ(PressUnder(c.layout, c.keysyms), c.codes) << c.layout;
}

} // namespace
