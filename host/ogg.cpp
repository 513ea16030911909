// Ogg Vorbis decoded whole through libvorbisfile, into 16-bit little-endian samples. The buffer
// belongs to the caller (free()).
#include "host/files.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

namespace {

// libvorbisfile reads through the caller's stream and never closes it.
std::size_t readOgg(void* to, std::size_t size, std::size_t count, void* file) {
    return std::fread(to, size, count, static_cast<std::FILE*>(file));
}
int seekOgg(void* file, ogg_int64_t offset, int whence) {
    if (offset < LONG_MIN || offset > LONG_MAX) return -1;
    return std::fseek(static_cast<std::FILE*>(file), long(offset), whence);
}
long tellOgg(void* file) { return std::ftell(static_cast<std::FILE*>(file)); }

constexpr ov_callbacks oggCallbacks = {readOgg, seekOgg, nullptr, tellOgg};
constexpr int roomBytes = 1 << 16;

// Decodes the whole stream into 16-bit little-endian samples, in a buffer that doubles as it
// fills. Null when the stream breaks off with an error rather than ending, or when a chained
// stream changes its channel count or rate part way (its samples would not line up).
unsigned char* decodeOgg(OggVorbis_File* vorbis, const vorbis_info& first, std::size_t* bytes) {
    std::size_t room = roomBytes;
    std::size_t used = 0;
    auto* buffer = static_cast<unsigned char*>(std::malloc(room));
    while (buffer) {
        int section = 0;
        long n = ov_read(vorbis, reinterpret_cast<char*>(buffer + used), int(room - used), 0, 2, 1, &section);
        if (n == 0) break;
        const vorbis_info* info = n > 0 ? ov_info(vorbis, section) : nullptr;
        if (!info || info->channels != first.channels || info->rate != first.rate) {
            std::free(buffer);
            return nullptr;
        }
        used += std::size_t(n);
        if (room - used >= roomBytes) continue;
        // Lengths travel as ints: a stream that long is refused.
        if (room * 2 > std::size_t(INT_MAX)) {
            std::free(buffer);
            return nullptr;
        }
        room *= 2;
        auto* grown = static_cast<unsigned char*>(std::realloc(buffer, room));
        if (!grown) std::free(buffer);
        buffer = grown;
    }
    *bytes = used;
    return buffer;
}

} // namespace

// Through libvorbisfile, which checks every page and packet and bounds what a hostile header can
// make it allocate.
unsigned char* LoadOGG(std::FILE* file, int* length, int* channels, int* format, int* hertz) {
    OggVorbis_File vorbis;
    if (ov_open_callbacks(file, &vorbis, nullptr, 0, oggCallbacks) != 0) return nullptr;
    const vorbis_info* info = ov_info(&vorbis, -1);
    std::size_t bytes = 0;
    unsigned char* buffer =
        info && info->channels > 0 && info->rate > 0 ? decodeOgg(&vorbis, *info, &bytes) : nullptr;
    int streamChannels = info ? info->channels : 0;
    long rate = info ? info->rate : 0;
    ov_clear(&vorbis);
    // A read that failed part way is not the end of the stream.
    if (buffer && std::ferror(file)) {
        std::free(buffer);
        buffer = nullptr;
    }
    if (!buffer) return nullptr;
    if (auto* shrunk = static_cast<unsigned char*>(std::realloc(buffer, bytes ? bytes : 1))) buffer = shrunk;
    *length = int(bytes / (2 * std::size_t(streamChannels)));
    *channels = streamChannels;
    *format = 2;
    *hertz = int(std::min<long>(rate, INT_MAX));
    return buffer;
}
