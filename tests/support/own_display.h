// An X server of a test's own. The keyboard focus, the pointer and the keyboard layout belong to the
// whole display: tests that type or click for real would take each other's input on a shared one.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

extern char** environ;

class OwnDisplay {
  public:
    // Starts Xvfb on a free display and points DISPLAY at it; the previous display comes back on
    // Stop. Xvfb writes its number to the given descriptor once it listens.
    bool Start() {
        int ready[2];
        if (pipe(ready) != 0) return false;
        std::string fd = std::to_string(ready[1]);
        const char* argv[] = {"Xvfb",     "-displayfd", fd.c_str(),  "-screen",
                              "0",        "800x600x24", "-nolisten", "tcp",
                              "-noreset", // a reset when the last client leaves would drop the layout
                              nullptr};
        bool spawned =
            posix_spawnp(&server, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ) == 0;
        close(ready[1]);
        std::string number;
        char c;
        while (spawned && read(ready[0], &c, 1) == 1 && c != '\n') number += c;
        close(ready[0]);
        if (number.empty()) return false;
        if (const char* shared = std::getenv("DISPLAY")) previous = shared;
        setenv("DISPLAY", (":" + number).c_str(), 1);
        return true;
    }

    void Stop() {
        if (server > 0) {
            kill(server, SIGTERM);
            waitpid(server, nullptr, 0);
            server = -1;
        }
        if (previous) setenv("DISPLAY", previous->c_str(), 1);
    }

  private:
    pid_t server = -1;
    std::optional<std::string> previous;
};
