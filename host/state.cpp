// The saved state: one file, "./.cobaltstate", holding the state text as UTF-8 and nothing else.
// A save writes a temporary file beside it, flushes it to the disk and renames it over the old
// one, so a crash or a full disk mid-save leaves the previous state whole.
#include "host/files.h"
#include "host/game.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

constexpr const char* stateFile = "./.cobaltstate";

bool writeAll(int fd, std::string_view bytes) {
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
void syncFolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    fsync(dir);
    close(dir);
}

} // namespace

int vxWriteFileSafely(const std::string& path, std::string_view bytes) {
    const std::string temp = path + ".tmp";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    bool written = writeAll(fd, bytes) && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (!written) {
        std::remove(temp.c_str());
        return -2;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return -1;
    }
    syncFolderOf(path);
    return 0;
}

// A host without storage keeps nothing.
int VxGame::SaveState(String state) { return -1; }
String VxGame::LoadState() { return String(); }

int VxGlfwGame::SaveState(String state) {
    std::string bytes;
    state.ToUtf8(bytes);
    return vxWriteFileSafely(stateFile, bytes);
}

String VxGlfwGame::LoadState() { return LoadString(u"./.cobaltstate"); }
