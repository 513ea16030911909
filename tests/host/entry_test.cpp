// Program entry: the start-up sequence, the frame loop in a real window, and the ways start-up ends.
#include "host/console.h"
#include "host/game.h"
#include "host/program.h"
#include "tests/support/child_process.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace {

// Main would start this test program again for huge pages, as it starts the game; a program
// started with huge pages chosen already goes on as it is.
const bool keptFromStartingAgain = setenv("GLIBC_TUNABLES", "glibc.malloc.hugetlb=0", 1) == 0;

// What this program's vxInit and vxMain do; each test sets them before starting a child.
std::function<void()> initBody;
std::function<void()> mainBody;

// Runs start-up in a child and reports what it printed and how it ended.
ChildResult RunMain() {
    return RunInChild([] {
        glfwSetErrorCallback(
            [](int code, const char* text) { std::fprintf(stderr, "GLFW %x: %s\n", code, text); });
        char name[] = "spindrift";
        char* argv[] = {name, nullptr};
        std::exit(VxCobaltGame::Main(1, argv));
    });
}

// Ends the loop after its first frame (whether or not the window got the focus, which other
// windows on the display may hold) and prints what it saw of the host on the way.
class Closer : public VxGameDelegate {
    void StartGame() override {
        VxGame* host = VxGame::_game;
        std::printf("start %dx%d\n", host->GetDeviceWidth(), host->GetDeviceHeight());
    }
    void RenderGame() override {
        std::printf("render\n");
        glfwSetWindowShouldClose(VxGlfwGame::_glfwGame->Window(), GLFW_TRUE);
    }
};

TEST(Entry, WithoutADisplayGlfwInitFails) {
    initBody = [] { std::printf("init ran\n"); };
    ChildResult r = RunInChild([] {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        std::exit(VxCobaltGame::Main(0, nullptr));
    });
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "glfwInit failed\n");
}

// The options are read before the window system starts, so they work without a display; any other
// argument goes on to start-up.
TEST(Entry, OptionsAreAnsweredWithoutADisplay) {
    initBody = [] { std::printf("init ran\n"); };
    struct Case {
        const char* argument;
        int status;
        const char* outStart;
        const char* errStart;
    } cases[] = {
        {"--help", 0, "Usage: spindrift [OPTION]...\n", ""},
        {"--version", 0, "Spindrift " SPINDRIFT_VERSION "\n", ""},
        {"--no-such-option", 2, "", "Usage: spindrift [OPTION]...\n"},
        {"level1", 255, "glfwInit failed\n", ""},
    };
    for (const Case& c : cases) {
        ChildResult r = RunInChild([&] {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            char name[] = "spindrift";
            char* argv[] = {name, const_cast<char*>(c.argument), nullptr};
            std::exit(VxCobaltGame::Main(2, argv));
        });
        EXPECT_EQ(r.status, c.status) << c.argument;
        EXPECT_TRUE(r.out.starts_with(c.outStart)) << c.argument << ": " << r.out;
        EXPECT_TRUE(r.err.starts_with(c.errStart)) << c.argument << ": " << r.err;
        EXPECT_EQ(r.out.empty(), *c.outStart == 0) << c.argument << ": " << r.out;
        EXPECT_EQ(r.err.empty(), *c.errStart == 0) << c.argument << ": " << r.err;
    }
}

TEST(Entry, StartsUpThenRunsTheLoopUntilTheWindowCloses) {
    initBody = [] {
        struct sigaction action {};
        sigaction(SIGFPE, nullptr, &action);
        std::printf("init argc=%d argv0=%s host=%d fpe=%d\n", VxGame::argc, VxGame::argv[0],
                    VxGame::_game == VxGlfwGame::_glfwGame && VxGame::_game != nullptr,
                    action.sa_handler == sighandler);
    };
    mainBody = [] {
        std::printf("main\n");
        VxGame::_game->SetDelegate(new Closer());
    };
    ChildResult r = RunMain();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "init argc=1 argv0=spindrift host=1 fpe=1\nmain\nstart 640x480\nrender\n");
}

TEST(Entry, WithoutADelegateNoWindowOpens) {
    initBody = [] {};
    mainBody = [] { std::printf("main\n"); };
    ChildResult r = RunMain();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "main\n") << r.err;
}

TEST(Entry, AnExceptionEscapingStartUpEndsTheProcess) {
    for (bool inInit : {true, false}) {
        initBody = [=] {
            if (inInit) throw new ThrowableObject();
        };
        mainBody = [] { throw new ThrowableObject(); };
        ChildResult r = RunMain();
        EXPECT_EQ(r.status, 255) << inInit;
        EXPECT_EQ(r.out, "Cobalt Runtime Error : Uncaught Cobalt Exception\n") << inInit;
    }
}

} // namespace

void vxInit() { initBody(); }

int vxMain() {
    mainBody();
    return 0;
}
