// Any bytes as a sound file through the host's sound loader, which tells WAV from Ogg Vorbis by the
// bytes: the name says Ogg, but inputs that begin like a WAV file are decoded as one.
#include "fuzz_support.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    static BytesHost host;
    host.bytes = data;
    host.count = size;
    int length = 0, channels = 0, format = 0, hertz = 0;
    unsigned char* samples = host.LoadAudioData(String(u"sound.ogg"), &length, &channels, &format, &hertz);
    if (!samples) return 0;
    const bool wav = size >= 4 && std::memcmp(data, "RIFF", 4) == 0;
    FUZZ_CHECK(length >= 0 && channels > 0 && (format == 2 || (wav && format > 0)));
    unsigned sum = 0;
    for (long long i = 0; i < 1LL * length * channels * format; ++i) sum += samples[i];
    std::free(samples);
    return int(sum & 0);
}
