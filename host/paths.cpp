// The program's path scheme ("cobalt://data/", "cobalt://internal/", "cobalt://external/") and
// opening files by their translated, UTF-8 encoded name.
#include "host/files.h"
#include "host/game.h"

#include <climits>
#include <string>
#include <unistd.h>

String vx_data_FixDataPath(const String& path) {
    // A scheme ("cobalt://") or a drive ("C:/") already says where the file is.
    int scheme = path.Find(u":/");
    if (scheme != -1 && path.Find(u"/") == scheme + 1) return path;
    if (path.StartsWith(u"./") || path.StartsWith(u"/")) return path;
    return String(u"cobalt://data/") + path;
}

String VxGame::PathToFilePath(String path) { return path; }

std::FILE* VxGame::OpenFile(String path, String mode) {
    String filePath = PathToFilePath(path);
    if (filePath.Length() == 0) return nullptr;
    std::string name;
    std::string narrowMode;
    filePath.ToUtf8(name);
    mode.ToUtf8(narrowMode);
    return std::fopen(name.c_str(), narrowMode.c_str());
}

namespace {

// The folder of the running executable, without a trailing "/". Should the link be unreadable,
// the working directory stands in, so assets still resolve somewhere sensible.
String executableDir() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
    if (n <= 0 || n == ssize_t(sizeof buf)) return String(u".");
    String exe = String::FromBytes(reinterpret_cast<const unsigned char*>(buf), std::size_t(n));
    int cut = exe.Length() - 1;
    while (cut >= 0 && exe[cut] != '/') --cut;
    if (cut < 0) return String(u".");
    return exe.Slice(0, cut);
}

} // namespace

String VxGlfwGame::PathToFilePath(String path) {
    if (appDir.Length() == 0) appDir = executableDir();
    if (!path.StartsWith(u"cobalt:")) return path;
    if (path.StartsWith(u"cobalt://data/")) return appDir + u"/data/" + path.Slice(14);
    if (path.StartsWith(u"cobalt://internal/")) {
        if (internalDir.Length() == 0) internalDir = appDir + u"/internal";
        return internalDir + u"/" + path.Slice(18);
    }
    if (path.StartsWith(u"cobalt://external/")) return appDir + u"/external/" + path.Slice(18);
    return String();
}
