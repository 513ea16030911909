// Ogg Vorbis for the browser through stb_vorbis, a decoder in one file that needs no library
// ported to the browser. The page reads only the game's own music; it decodes whole into 16-bit
// little-endian samples, in a buffer sized once from the stream's length. The buffer belongs to the
// caller (free()).
#include "host/files.h"

#include <climits>
#include <cstdlib>

#define STB_VORBIS_NO_PUSHDATA_API
#include <stb_vorbis.h> // Debian ships the whole decoder in its header

unsigned char* LoadOGG(std::FILE* file, int* length, int* channels, int* format, int* hertz) {
    int error = 0;
    stb_vorbis* vorbis = stb_vorbis_open_file(file, 0, &error, nullptr);
    if (!vorbis) return nullptr;
    const stb_vorbis_info info = stb_vorbis_get_info(vorbis);
    const long long frames = stb_vorbis_stream_length_in_samples(vorbis);
    const long long samples = frames * info.channels;
    short* buffer = nullptr;
    int decoded = 0;
    // Lengths travel as ints: a stream that long is refused.
    if (info.channels > 0 && frames > 0 && samples * 2 <= INT_MAX) {
        buffer = static_cast<short*>(std::malloc(std::size_t(samples) * sizeof(short)));
        if (buffer)
            decoded = stb_vorbis_get_samples_short_interleaved(vorbis, info.channels, buffer, int(samples));
    }
    stb_vorbis_close(vorbis);
    if (decoded <= 0) {
        std::free(buffer);
        return nullptr;
    }
    *length = decoded;
    *channels = info.channels;
    *format = 2;
    *hertz = int(info.sample_rate);
    return reinterpret_cast<unsigned char*>(buffer);
}
