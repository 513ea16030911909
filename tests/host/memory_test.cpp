// Starting again for huge pages, with real processes: the restarted program keeps its name and its
// words, hands on and shows the environment it was started with, and its allocator really asks for
// huge pages; programs that must not start again go on at once.
#include "host/files.h"
#include "tests/support/child_process.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr const char* ProbeVariable = "SPINDRIFT_RESTART_PROBE";

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// A block of words each ended by a zero byte, as /proc keeps command lines and environments.
std::vector<std::string> Words(const std::string& block) {
    std::vector<std::string> words;
    std::istringstream stream(block);
    for (std::string word; std::getline(stream, word, '\0');) words.push_back(word);
    return words;
}

std::vector<std::string> Sorted(std::vector<std::string> words) {
    std::sort(words.begin(), words.end());
    return words;
}

std::vector<std::string> Environment() {
    std::vector<std::string> variables;
    for (char** variable = environ; *variable; ++variable) variables.emplace_back(*variable);
    return Sorted(variables);
}

// The environment block as tools read it; the zero bytes of entries wiped out are no variables.
std::vector<std::string> EnvironmentShown() {
    std::vector<std::string> shown = Words(ReadFile("/proc/self/environ"));
    std::erase(shown, "");
    return Sorted(shown);
}

// The child's report: named lists of words, sent as zero-ended words (values may hold new lines).
void Say(const std::string& name, const std::vector<std::string>& words) {
    std::string text = name + '\0' + std::to_string(words.size()) + '\0';
    for (const std::string& word : words) text += word + '\0';
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

std::map<std::string, std::vector<std::string>> Heard(const std::string& out) {
    std::map<std::string, std::vector<std::string>> heard;
    std::vector<std::string> words = Words(out);
    for (std::size_t i = 0; i + 1 < words.size();) {
        const std::size_t count = std::stoul(words[i + 1]);
        if (i + 2 + count > words.size()) break;
        heard[words[i]].assign(words.begin() + std::ptrdiff_t(i + 2),
                               words.begin() + std::ptrdiff_t(i + 2 + count));
        i += 2 + count;
    }
    return heard;
}

// Whether a large block from the C library's own allocator (a sanitizer's takes its place for the
// program, but not for this) lies in memory advised for huge pages: the flag "hg" of its mapping.
bool LargeBlockAdvisedForHugePages() {
    void* library = dlopen("libc.so.6", RTLD_NOW | RTLD_NOLOAD);
    if (!library) return false;
    auto* allocate = reinterpret_cast<void* (*)(std::size_t)>(dlsym(library, "malloc"));
    auto* release = reinterpret_cast<void (*)(void*)>(dlsym(library, "free"));
    void* block = allocate(4 << 20);
    const auto address = std::uintmax_t(reinterpret_cast<std::uintptr_t>(block));
    std::istringstream maps(ReadFile("/proc/self/smaps"));
    bool inBlock = false, advised = false;
    for (std::string line; std::getline(maps, line);) {
        std::uintmax_t start = 0, end = 0;
        if (std::sscanf(line.c_str(), "%jx-%jx ", &start, &end) == 2) {
            inBlock = start <= address && address < end;
        } else if (inBlock && line.starts_with("VmFlags:")) {
            advised = (line + " ").find(" hg ") != std::string::npos;
        }
    }
    release(block);
    dlclose(library);
    return advised;
}

// The allocator advises huge pages only where the system gives them on advice alone.
bool HugePagesOnAdvice() {
    return ReadFile("/sys/kernel/mm/transparent_hugepage/enabled").find("[madvise]") != std::string::npos;
}

// The restarted copy of this program sets its memory up as the game's entry does, with the words
// it was started with, and reports what it sees, before any test runs.
const bool reported = [] {
    if (!std::getenv(ProbeVariable)) return false;
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    Say("tunables at start", {tunables ? tunables : "(unset)"});
    std::vector<std::string> words = Words(ReadFile("/proc/self/cmdline"));
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    vxSetUpProcessMemory(argv.data(), true);
    std::string name = ReadFile("/proc/self/comm");
    name.pop_back(); // its new line
    Say("name", {name});
    Say("words", words);
    Say("handed on", Environment());
    Say("shown", EnvironmentShown());
    Say("huge pages", {LargeBlockAdvisedForHugePages() ? "advised" : "not advised"});
    _exit(0);
}();

void SetOrUnset(const char* name, const std::optional<std::string>& value) {
    if (value) {
        setenv(name, value->c_str(), 1);
    } else {
        unsetenv(name);
    }
}

TEST(HugePages, TheGameStartsAgainUnderItsOwnNameWithItsWordsAndThePlayersEnvironment) {
    struct Case {
        std::optional<std::string> players; // the player's GLIBC_TUNABLES
        std::string atStart;                // the restarted process's at its start
    };
    const Case cases[] = {
        {std::nullopt, "glibc.malloc.hugetlb=1"},
        {"glibc.malloc.tcache_count=0:glibc.malloc.arena_max=2",
         "glibc.malloc.tcache_count=0:glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1"},
        {"", "glibc.malloc.hugetlb=1"},
    };
    // The program's name is its file's, whatever its first word says; the kernel keeps 15 bytes.
    const std::string name =
        std::filesystem::read_symlink("/proc/self/exe").filename().string().substr(0, 15);
    const std::vector<std::string> words = {"spindrift", "--replay", "a round.replay"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.players ? "GLIBC_TUNABLES=" + *c.players : "no GLIBC_TUNABLES");
        ChildResult child = RunInChild([&] {
            setenv(ProbeVariable, "1", 1);
            SetOrUnset("GLIBC_TUNABLES", c.players);
            Say("started with", Environment());
            std::vector<std::string> given = words;
            std::vector<char*> argv;
            for (std::string& word : given) argv.push_back(word.data());
            argv.push_back(nullptr);
            vxSetUpProcessMemory(argv.data(), true);
            Say("went on", {});
            _exit(0);
        });
        ASSERT_EQ(child.status, 0) << child.err;
        auto heard = Heard(child.out);
        ASSERT_FALSE(heard.contains("went on")) << "it did not start again";
        EXPECT_EQ(heard["tunables at start"], std::vector<std::string>{c.atStart});
        EXPECT_EQ(heard["name"], std::vector<std::string>{name});
        EXPECT_EQ(heard["words"], words);
        EXPECT_EQ(heard["handed on"], heard["started with"]);
        EXPECT_EQ(heard["shown"], heard["started with"]);
        if (HugePagesOnAdvice()) {
            EXPECT_EQ(heard["huge pages"], std::vector<std::string>{"advised"});
        }
    }
}

TEST(HugePages, ProgramsThatMustNotStartAgainGoOnAtOnce) {
    struct Case {
        const char* name;
        bool opensWindow;
        bool words;
        const char* variable;
        const char* value;
    };
    const Case cases[] = {
        {"opens no window", false, true, nullptr, nullptr},
        {"given no words", true, false, nullptr, nullptr},
        {"huge pages chosen by the player", true, true, "GLIBC_TUNABLES", "glibc.malloc.hugetlb=0"},
        {"under valgrind", true, true, "LD_PRELOAD",
         "/usr/libexec/valgrind/vgpreload_memcheck-amd64-linux.so"},
    };
    for (const Case& c : cases) {
        ChildResult child = RunInChild([&] {
            setenv(ProbeVariable, "1", 1);
            unsetenv("GLIBC_TUNABLES");
            if (c.variable) setenv(c.variable, c.value, 1);
            char word[] = "spindrift";
            char* argv[] = {word, nullptr};
            vxSetUpProcessMemory(c.words ? argv : nullptr, c.opensWindow);
            Say("went on", {});
            _exit(0);
        });
        EXPECT_EQ(child.status, 0) << c.name << ": " << child.err;
        EXPECT_TRUE(Heard(child.out).contains("went on")) << c.name;
    }
}

} // namespace
