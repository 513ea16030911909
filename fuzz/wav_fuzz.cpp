// The WAV reader on any bytes: it refuses or returns a payload the bytes themselves held.
#include "fuzz_support.h"
#include "host/files.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size == 0) return 0;
    std::FILE* file = fmemopen(const_cast<unsigned char*>(data), size, "rb");
    if (!file) return 0;
    int length = 0, channels = 0, format = 0, hertz = 0;
    unsigned char* samples = LoadWAV(file, &length, &channels, &format, &hertz);
    std::fclose(file);
    if (!samples) return 0;
    FUZZ_CHECK(length >= 0 && channels > 0 && format > 0 && hertz >= 0);
    FUZZ_CHECK(1ULL * unsigned(length) * unsigned(channels) * unsigned(format) <= size);
    // Every sample byte is readable.
    unsigned sum = 0;
    for (long long i = 0; i < 1LL * length * channels * format; ++i) sum += samples[i];
    std::free(samples);
    return int(sum & 0);
}
