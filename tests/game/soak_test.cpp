// A soak: the scripted player plays rounds back to back on every difficulty, as fast as the fake
// clock allows, for five minutes of game time (SPINDRIFT_SOAK_MINUTES sets another length; the
// long run is an hour). Nothing may crash, and once the first rounds are over the collected heap
// and the resident memory stay flat: the collector reclaims whatever play makes.
#include "game_bot.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace {

using namespace gametest;

constexpr int UpdatesPerMinute = 60 * 60;

int SoakMinutes() {
    const char* minutes = std::getenv("SPINDRIFT_SOAK_MINUTES");
    return minutes ? std::max(1, String(minutes).ToInt()) : 5;
}

long ResidentKiB() {
    long pages = 0, resident = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm) return 0;
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The collected heap right after a cycle has ended: only what is reachable.
int LiveBytes() {
    Host()->gc_collect();
    gc_ext_malloced(gc_cycle_bytes + 1);
    Host()->gc_collect();
    return gc_alloced_bytes;
}

struct Sample {
    int minute;
    long residentKiB;
    int liveBytes;
};

using Soak = GameTest;

TEST_F(Soak, RoundsBackToBackOnEveryDifficultyKeepMemoryFlat) {
    const long updates = long(SoakMinutes()) * UpdatesPerMinute;
    FinishLoading();
    const double start = Clock().now;
    Bot bot(2026);
    std::vector<Sample> samples;
    long played = 0;
    int rounds = 0;
    while (played < updates) {
        int difficulty = rounds % 3 + 1;
        ASSERT_TRUE(bot.StartRound(difficulty)) << "round " << rounds;
        ASSERT_TRUE(bot.PlayRound(20 * UpdatesPerMinute)) << "round " << rounds;
        ++rounds;
        played = long((Clock().now - start) * 60);
        samples.push_back({int(played / UpdatesPerMinute), ResidentKiB(), LiveBytes()});
    }
    // The curve, for the record: one line a minute of game time.
    int shown = -1;
    for (const Sample& s : samples) {
        if (s.minute == shown) continue;
        shown = s.minute;
        std::printf("minute %3d: resident %7ld KiB, live collected %8d bytes\n", s.minute, s.residentKiB,
                    s.liveBytes);
    }
    ASSERT_GE(samples.size(), 6u);
    // Once the first half is over, neither the live heap nor the resident size keeps growing. (The
    // resident size first climbs by a few hundred MiB as the address sanitizer's quarantine of
    // freed blocks fills.)
    std::size_t settled = samples.size() / 2;
    int liveThen = samples[settled].liveBytes;
    long residentThen = samples[settled].residentKiB;
    for (std::size_t i = settled; i < samples.size(); ++i) {
        EXPECT_LE(samples[i].liveBytes, liveThen + 64 * 1024) << "round " << i;
        EXPECT_LE(samples[i].residentKiB, residentThen + 32 * 1024) << "round " << i;
    }
    std::printf("%d rounds in %ld updates\n", rounds, played);
}

} // namespace
