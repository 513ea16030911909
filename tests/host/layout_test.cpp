// Letter keys under real keyboard layouts: an X server of this test's own (switching the layout of
// the shared one would upset the other tests), a layout set with setxkbmap, and keys typed by name.
#include "host/game.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

extern "C" unsigned long glfwGetX11Window(GLFWwindow* window);
extern char** environ;

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
    static inline pid_t server = -1;

    // Xvfb picks a free display and writes its number to the given descriptor once it listens.
    static void SetUpTestSuite() {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        std::string fd = std::to_string(ready[1]);
        const char* argv[] = {"Xvfb",     "-displayfd", fd.c_str(),  "-screen",
                              "0",        "800x600x24", "-nolisten", "tcp",
                              "-noreset", // a reset when the last client leaves would drop the layout
                              nullptr};
        ASSERT_EQ(posix_spawnp(&server, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
        close(ready[1]);
        std::string number;
        char c;
        while (read(ready[0], &c, 1) == 1 && c != '\n') number += c;
        close(ready[0]);
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        setenv("DISPLAY", (":" + number).c_str(), 1);
    }
    static void TearDownTestSuite() {
        if (server > 0) {
            kill(server, SIGTERM);
            waitpid(server, nullptr, 0);
        }
    }

    // The framework codes of the keys pressed, typed by their keysym names under `layout`.
    static std::vector<int> PressUnder(const std::string& layout, const std::string& keysyms) {
        if (std::system(("setxkbmap " + layout).c_str()) != 0) return {};
        // GLFW reads the keyboard map when it starts.
        if (!glfwInit()) return {};
        VxGlfwGame host;
        auto* log = new KeyDownLog();
        host.SetDelegate(log);
        host.StartGame();
        host.SetGlfwWindow(320, 200, 8, 8, 8, 0, 0, 0, false);
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
        // AZERTY: the digit row prints symbols and keeps its digits; M sits where the US semicolon is.
        {"fr", "a q w z m comma ampersand", {65, 81, 87, 90, 77, 188, 49}},
    };
    for (const Case& c : cases) EXPECT_EQ(PressUnder(c.layout, c.keysyms), c.codes) << c.layout;
}

} // namespace
