// The built game run as a user runs it: with a display it opens its window and ends with status 0
// when the window's close button is pressed; without one it says so and fails.
#include <gtest/gtest.h>

// After GoogleTest: the X headers define macros (None, Bool, Status) that clash with its names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Game {
    pid_t pid = -1;
    int output = -1; // the game's standard output and error
};

// Starts the game with the given environment, its standard output and error going to one pipe.
Game start(std::vector<std::string> env) {
    int pipeFds[2];
    if (pipe(pipeFds)) std::abort();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(SPINDRIFT_EXE), nullptr};
    Game game;
    if (posix_spawn(&game.pid, SPINDRIFT_EXE, &actions, nullptr, argv, envp.data())) std::abort();
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    game.output = pipeFds[0];
    return game;
}

// Everything the game writes until it ends, then its exit status (-1 when killed by a signal). A
// game still running after a minute is killed: only a fault takes that long.
int finish(Game& game, std::string& output) {
    pollfd readable{game.output, POLLIN, 0};
    for (int waited = 0; poll(&readable, 1, 100) >= 0; waited += 100) {
        if (waited == 60000) kill(game.pid, SIGKILL);
        if (!readable.revents) continue;
        char buffer[4096];
        ssize_t n = read(game.output, buffer, sizeof buffer);
        if (n <= 0) break;
        output.append(buffer, std::size_t(n));
    }
    close(game.output);
    int status = 0;
    waitpid(game.pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> environment(bool withDisplay) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        bool display = entry.starts_with("DISPLAY=") || entry.starts_with("WAYLAND_DISPLAY=");
        if (withDisplay || !display) env.push_back(entry);
    }
    return env;
}

// Other tests' windows on the same display may close while they are looked at: Xlib's default
// handler would end the test on the BadWindow that follows, so errors are ignored.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

// Other tests may have windows on the same display, so the game's own is found by its process id.
Window windowOf(Display* display, pid_t pid) {
    Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        Atom type;
        int format;
        unsigned long items, after;
        unsigned char* value = nullptr;
        if (XGetWindowProperty(display, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format,
                               &items, &after, &value) == Success &&
            value && items == 1 && *reinterpret_cast<unsigned long*>(value) == unsigned(pid))
            found = children[i];
        if (value) XFree(value);
    }
    if (children) XFree(children);
    return found;
}

// What the window manager sends when the close button is pressed.
void pressCloseButton(Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

TEST(Spindrift, OpensItsWindowAndEndsWithStatusZeroWhenItIsClosed) {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "needs an X display (xvfb-run)";
    XSetErrorHandler(ignoreXError);
    Game game = start(environment(true));
    Window window = 0;
    // The game starts in well under a minute even under the sanitizers; the bound only stops a
    // broken build from hanging the run.
    for (int i = 0; i < 1200 && !window && waitpid(game.pid, nullptr, WNOHANG) == 0; ++i) {
        usleep(50000);
        window = windowOf(display, game.pid);
    }
    std::string output;
    if (!window) kill(game.pid, SIGKILL);
    ASSERT_NE(window, 0u) << "no window; the game said: " << (finish(game, output), output);

    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(display, window, &attributes));
    EXPECT_EQ(attributes.width, 640);
    EXPECT_EQ(attributes.height, 480);
    char* name = nullptr;
    ASSERT_TRUE(XFetchName(display, window, &name));
    EXPECT_STREQ(name, "Spindrift");
    XFree(name);

    pressCloseButton(display, window);
    EXPECT_EQ(finish(game, output), 0) << output;
    XCloseDisplay(display);
}

TEST(Spindrift, WithoutADisplaySaysGlfwInitFailedAndFails) {
    Game game = start(environment(false));
    std::string output;
    EXPECT_EQ(finish(game, output), 255);
    EXPECT_NE(output.find("glfwInit failed\n"), std::string::npos) << output;
}

} // namespace
