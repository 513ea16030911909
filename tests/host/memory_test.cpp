// The restart that asks the allocator for huge pages: it keeps the command line and any other
// tunables, and happens once; a program started with the tunable set already goes on at once.
#include "host/files.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

constexpr const char* ProbeVariable = "SPINDRIFT_RESTART_PROBE";

// Its words one a line, so that it fits an environment variable.
std::string OwnCommandLine() {
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    std::string words(std::istreambuf_iterator<char>(file), {});
    std::replace(words.begin(), words.end(), '\0', '\n');
    return words;
}

// The restarted copy of this program reports what it was started with, before any test runs.
const bool reported = [] {
    if (!std::getenv(ProbeVariable)) return false;
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    std::printf("restarted with %s\n", tunables ? tunables : "nothing");
    std::printf("same command line: %d\n", int(OwnCommandLine() == std::getenv(ProbeVariable)));
    std::fflush(stdout);
    _exit(0);
}();

TEST(HugePages, TheGameRestartsOnceAskingForThemBesideTheTunablesItWasGiven) {
    struct Case {
        const char* given; // null: no tunables
        std::string out;
    };
    const Case cases[] = {
        {nullptr, "restarted with glibc.malloc.hugetlb=1\nsame command line: 1\n"},
        {"glibc.malloc.tcache_count=0",
         "restarted with glibc.malloc.tcache_count=0:glibc.malloc.hugetlb=1\nsame command line: 1\n"},
        {"glibc.malloc.hugetlb=0", "went on\n"},
    };
    const std::string commandLine = OwnCommandLine();
    for (const Case& c : cases) {
        ChildResult child = RunInChild([&] {
            setenv(ProbeVariable, commandLine.c_str(), 1);
            if (c.given) {
                setenv("GLIBC_TUNABLES", c.given, 1);
            } else {
                unsetenv("GLIBC_TUNABLES");
            }
            vxRestartWithHugePages();
            std::printf("went on\n");
            std::fflush(stdout);
            _exit(0);
        });
        EXPECT_EQ(child.status, 0) << child.err;
        EXPECT_EQ(child.out, c.out) << (c.given ? c.given : "no tunables");
    }
}

} // namespace
