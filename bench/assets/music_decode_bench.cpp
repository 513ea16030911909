// Decoding the round's music whole, as the game does when a round starts (open the file, then
// pull 16-bit frames until the end). It must stay far below a visible stall. Reading the file's
// bytes is the baseline of the same run.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

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
        int error = 0;
        stb_vorbis* v = f ? stb_vorbis_open_file(f, 1, &error, nullptr) : nullptr;
        if (!v) {
            if (f) std::fclose(f);
            state.SkipWithError("cannot open the music");
            return;
        }
        stb_vorbis_info info = stb_vorbis_get_info(v);
        rate = static_cast<int>(info.sample_rate);
        std::vector<short> pcm;
        std::vector<short> chunk(4096 * static_cast<size_t>(info.channels));
        frames = 0;
        for (int n; (n = stb_vorbis_get_frame_short_interleaved(v, info.channels, chunk.data(),
                                                                static_cast<int>(chunk.size()))) > 0;) {
            pcm.insert(pcm.end(), chunk.begin(), chunk.begin() + n * info.channels);
            frames += n;
        }
        stb_vorbis_close(v);
        benchmark::DoNotOptimize(pcm.data());
    }
    state.counters["music_seconds"] = static_cast<double>(frames) / rate;
    state.counters["x_realtime"] = benchmark::Counter(static_cast<double>(frames) / rate * state.iterations(),
                                                      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeMusicWhole)->Unit(benchmark::kMillisecond);

} // namespace
