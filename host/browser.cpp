// Opening a web page in the user's browser through xdg-open. The URL is passed as one argument
// and no shell ever sees it.
#include "host/game.h"

#include <cerrno>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>

extern char** environ;

// A host with no browser to hand opens nothing.
void VxGame::OpenUrl(String url) {}

void VxGlfwGame::OpenUrl(String url) {
    std::string narrow;
    url.ToUtf8(narrow);
    char program[] = "xdg-open";
    char* args[] = {program, narrow.data(), nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, program, nullptr, nullptr, args, environ) != 0) return;
    // The browser may take a while to start: wait for it on the side so the game never blocks and
    // no zombie is left behind.
    std::thread([pid] {
        int status;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}
