// Decoding the round's music whole through the host's loader, as the game's loader does once before
// the first round. It must stay far below a visible stall. Reading the file's
// bytes is the baseline of the same run.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "host/files.h"
#include <benchmark/benchmark.h>

namespace {

std::string musicPath() {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "data/sfx/spindrift.ogg")
        .string();
}

void BM_ReadMusicFile(benchmark::State& state) {
    std::string path = musicPath();
    std::vector<char> bytes(std::filesystem::file_size(path));
    for (auto _ : state) {
        FILE* f = std::fopen(path.c_str(), "rb");
        size_t got = f ? std::fread(bytes.data(), 1, bytes.size(), f) : 0;
        if (f) std::fclose(f);
        benchmark::DoNotOptimize(got);
    }
}
BENCHMARK(BM_ReadMusicFile)->Unit(benchmark::kMillisecond);

void BM_DecodeMusicWhole(benchmark::State& state) {
    std::string path = musicPath();
    long frames = 0;
    int rate = 1;
    for (auto _ : state) {
        FILE* f = std::fopen(path.c_str(), "rb");
        int length = 0, channels = 0, format = 0;
        unsigned char* pcm = f ? LoadOGG(f, &length, &channels, &format, &rate) : nullptr;
        if (f) std::fclose(f);
        if (!pcm) {
            state.SkipWithError("cannot decode the music");
            return;
        }
        frames = length;
        benchmark::DoNotOptimize(pcm);
        std::free(pcm);
    }
    state.counters["music_seconds"] = static_cast<double>(frames) / rate;
    state.counters["x_realtime"] = benchmark::Counter(static_cast<double>(frames) / rate * state.iterations(),
                                                      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeMusicWhole)->Unit(benchmark::kMillisecond);

} // namespace
