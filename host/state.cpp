// The saved state: one file, "./.cobaltstate", holding the state text as UTF-8 and nothing else.
// A save writes a temporary file beside it, flushes it to the disk and renames it over the old
// one, so a crash or a full disk mid-save leaves the previous state whole.
#include "host/game.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* stateFile = "./.cobaltstate";
constexpr const char* stateTemp = "./.cobaltstate.tmp";

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += std::size_t(n);
    }
    return true;
}

// The rename itself must reach the disk too, or a crash could bring back the old directory entry.
void syncWorkingDirectory() {
    int dir = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    fsync(dir);
    close(dir);
}

} // namespace

// A host without storage keeps nothing.
int VxGame::SaveState(String state) { return -1; }
String VxGame::LoadState() { return String(); }

int VxGlfwGame::SaveState(String state) {
    std::string bytes;
    state.ToUtf8(bytes);
    int fd = open(stateTemp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    bool written = writeAll(fd, bytes) && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (!written) {
        std::remove(stateTemp);
        return -2;
    }
    if (std::rename(stateTemp, stateFile) != 0) {
        std::remove(stateTemp);
        return -1;
    }
    syncWorkingDirectory();
    return 0;
}

String VxGlfwGame::LoadState() { return LoadString(u"./.cobaltstate"); }
