// Any bytes as an Ogg Vorbis file through the host's sound loader.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    static BytesHost host;
    host.bytes = data;
    host.count = size;
    int length = 0, channels = 0, format = 0, hertz = 0;
    unsigned char* samples = host.LoadAudioData(String(u"sound.ogg"), &length, &channels, &format, &hertz);
    if (!samples) return 0;
    FUZZ_CHECK(length >= 0 && channels > 0 && format == 2);
    unsigned sum = 0;
    for (long long i = 0; i < 2LL * length * channels; ++i) sum += samples[i];
    std::free(samples);
    return int(sum & 0);
}
