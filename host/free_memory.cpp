// The allocator's settings for the whole process: huge pages for large blocks (which take a restart,
// made so that neither the player nor a tool can tell), large blocks kept out of the heap, and the
// heap's free pages handed back after loading.
#include "host/files.h"

#include <malloc.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

extern char** environ;

void vxReleaseFreeMemory() { malloc_trim(0); }

namespace {

constexpr const char* kTunables = "GLIBC_TUNABLES";
constexpr std::string_view kHugePages = "glibc.malloc.hugetlb";
// The player's own GLIBC_TUNABLES carried across the restart: "=" and its value, or empty when it
// was unset. Only the restarted process ever has it, and takes it away first thing.
constexpr const char* kCarrier = "SPINDRIFT_PLAYER_TUNABLES";

std::string Entry(std::string_view name, std::string_view value) {
    return std::string(name) + "=" + std::string(value);
}

// What the restarted process is started with: the player's tunables and huge pages.
std::string TunablesWithHugePages(const std::optional<std::string>& players) {
    const std::string hugePages = std::string(kHugePages) + "=1";
    return players && !players->empty() ? *players + ":" + hugePages : hugePages;
}

std::optional<std::string> Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

bool UnderValgrind() {
    const std::optional<std::string> preload = Variable("LD_PRELOAD");
    return preload && preload->find("vgpreload") != std::string::npos;
}

// Not when whoever started the game set huge pages one way or the other, nor under valgrind, which
// does not follow a restart by default.
bool RestartWanted() {
    const std::optional<std::string> tunables = Variable(kTunables);
    return !(tunables && tunables->find(kHugePages) != std::string::npos) && !UnderValgrind();
}

// Returns only when the restart failed, with nothing changed. The program's real file, not
// /proc/self/exe, keeps its name (ps, top, pkill). The two added variables go last, so that the
// restarted process finds them at the end of its environment block.
void RestartWithHugePages(char** argv) {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return;
    path[length] = '\0';
    const std::optional<std::string> players = Variable(kTunables);
    std::vector<std::string> words;
    for (char** variable = environ; *variable; ++variable) {
        const std::string_view word = *variable;
        if (!word.starts_with(Entry(kTunables, "")) && !word.starts_with(Entry(kCarrier, "")))
            words.emplace_back(word);
    }
    words.push_back(Entry(kTunables, TunablesWithHugePages(players)));
    words.push_back(Entry(kCarrier, players ? "=" + *players : ""));
    std::vector<char*> envp;
    for (std::string& word : words) envp.push_back(word.data());
    envp.push_back(nullptr);
    execve(path, argv, envp.data());
}

// Where the process's starting environment block lies (fields 50 and 51 of /proc/self/stat).
std::pair<std::uintptr_t, std::uintptr_t> StartingEnvironmentBlock() {
    std::ifstream file("/proc/self/stat");
    const std::string stat{std::istreambuf_iterator<char>(file), {}};
    // The name in parentheses may hold spaces; numbered fields follow it from the third on.
    const std::size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos) return {0, 0};
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::uintptr_t start = 0, end = 0;
    std::string field;
    for (int number = 3; number <= 51 && fields >> field; ++number) {
        if (number == 50) start = std::strtoull(field.c_str(), nullptr, 10);
        if (number == 51) end = std::strtoull(field.c_str(), nullptr, 10);
    }
    return {start, end};
}

// Whether `entry` is the tunables' entry as the restart gave it; the C library has cut it at its
// colons in the block as it read the tunables.
bool IsAddedTunables(const char* entry, const std::string& added) {
    for (std::size_t i = 0; i <= added.size(); ++i) {
        if (entry[i] != added[i] && !(added[i] == ':' && entry[i] == '\0')) return false;
    }
    return true;
}

// The kernel shows the starting block in /proc/PID/environ, whatever the process does to its
// variables later: the restart's two entries at its end are overwritten there with the player's
// own GLIBC_TUNABLES, if any, and zeros. Nothing else points into them once the variables are
// put back. `carrier` is the carrier's entry in the block.
void ScrubStartingEnvironment(char* carrier, const std::optional<std::string>& players) {
    const std::string added = Entry(kTunables, TunablesWithHugePages(players));
    char* tail = carrier - added.size() - 1;
    char* end = carrier + std::strlen(carrier) + 1;
    const auto [blockStart, blockEnd] = StartingEnvironmentBlock();
    const auto address = [](const char* p) { return reinterpret_cast<std::uintptr_t>(p); };
    if (address(tail) < blockStart || address(end) != blockEnd || !IsAddedTunables(tail, added)) return;
    const std::string kept = players ? Entry(kTunables, *players) : "";
    const std::size_t keptBytes = players ? kept.size() + 1 : 0;
    std::memcpy(tail, kept.c_str(), keptBytes);
    std::memset(tail + keptBytes, 0, std::size_t(end - tail) - keptBytes);
}

// In the restarted process: GLIBC_TUNABLES back as the player had it, for the game's children, and
// the carrier gone. False when this process was not restarted.
bool ReturnFromRestart() {
    char* carried = std::getenv(kCarrier);
    if (!carried) return false;
    const std::optional<std::string> players =
        carried[0] == '=' ? std::optional<std::string>(carried + 1) : std::nullopt;
    char* carrier = carried - std::strlen(kCarrier) - 1;
    unsetenv(kCarrier);
    if (players) {
        setenv(kTunables, players->c_str(), 1);
    } else {
        unsetenv(kTunables);
    }
    ScrubStartingEnvironment(carrier, players);
    return true;
}

void KeepLargeBlocksOutOfTheHeap() { mallopt(M_MMAP_THRESHOLD, 256 * 1024); }

} // namespace

void vxSetUpProcessMemory(char** argv, bool opensWindow) {
    static bool setUp = false;
    if (std::exchange(setUp, true)) return;
    const bool restarted = ReturnFromRestart();
    if (!restarted && opensWindow && argv && argv[0] && RestartWanted()) RestartWithHugePages(argv);
    KeepLargeBlocksOutOfTheHeap();
}
