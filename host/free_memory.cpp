// Handing the heap's free pages back to the system: after loading, and at once for large blocks;
// and huge pages for large blocks, which fault in far fewer times.
#include "host/files.h"

#include <malloc.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

void vxReleaseFreeMemory() { malloc_trim(0); }

void vxKeepLargeBlocksOutOfTheHeap() { mallopt(M_MMAP_THRESHOLD, 256 * 1024); }

namespace {

// The command line the process was started with, whatever a caller passes on as its arguments.
std::vector<std::string> OwnCommandLine() {
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    std::vector<std::string> words;
    for (std::string word; std::getline(file, word, '\0');) words.push_back(word);
    return words;
}

} // namespace

void vxRestartWithHugePages() {
    const char* given = std::getenv("GLIBC_TUNABLES");
    const std::string tunables = given ? given : "";
    // Asked for already, by this restart or by whoever started the game.
    if (tunables.find("glibc.malloc.hugetlb") != std::string::npos) return;
    std::vector<std::string> words = OwnCommandLine();
    if (words.empty()) return;
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const std::string wanted = tunables + (tunables.empty() ? "" : ":") + "glibc.malloc.hugetlb=1";
    setenv("GLIBC_TUNABLES", wanted.c_str(), 1);
    execv("/proc/self/exe", argv.data());
    // Without the restart the game only loads more slowly.
    if (given) {
        setenv("GLIBC_TUNABLES", tunables.c_str(), 1);
    } else {
        unsetenv("GLIBC_TUNABLES");
    }
}
