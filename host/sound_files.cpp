// Sound files decoded whole into interleaved little-endian samples: uncompressed PCM WAV and Ogg
// Vorbis, told apart by their contents. The buffers belong to the caller (free()).
#include "host/files.h"
#include "host/game.h"
#include "runtime/gc.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

unsigned char* VxGame::LoadAudioData(String path, int* length, int* channels, int* format, int* hertz) {
    return nullptr;
}

namespace {

enum class SoundKind { Unknown, Wav, Ogg };

// What a sound file is, by its first bytes rather than its name, so that a ".oga" file or a
// misnamed one loads too. The read position goes back to the start for the decoder.
SoundKind SniffSound(std::FILE* file) {
    char magic[4] = {};
    bool read = std::fread(magic, 1, 4, file) == 4;
    std::rewind(file);
    if (read && std::memcmp(magic, "RIFF", 4) == 0) return SoundKind::Wav;
    if (read && std::memcmp(magic, "OggS", 4) == 0) return SoundKind::Ogg;
    return SoundKind::Unknown;
}

} // namespace

unsigned char* VxGlfwGame::LoadAudioData(String path, int* length, int* channels, int* format, int* hertz) {
    std::FILE* file = OpenFile(path, u"rb");
    if (!file) return nullptr;
    unsigned char* samples = nullptr;
    switch (SniffSound(file)) {
    case SoundKind::Wav:
        samples = LoadWAV(file, length, channels, format, hertz);
        break;
    case SoundKind::Ogg:
        samples = LoadOGG(file, length, channels, format, hertz);
        break;
    case SoundKind::Unknown:
        break;
    }
    std::fclose(file);
    if (samples) {
        // Never more than the file's own bytes for WAV, nor than an int of samples for Ogg.
        long long bytes = 1LL * *length * *channels * *format;
        gc_ext_malloced(int(std::min<long long>(bytes, INT_MAX)));
    }
    return samples;
}

long long bytesLeft(std::FILE* file) {
    long position = std::ftell(file);
    if (position < 0 || std::fseek(file, 0, SEEK_END) != 0) return 0;
    long end = std::ftell(file);
    if (std::fseek(file, position, SEEK_SET) != 0) return 0;
    return std::max(0L, end - position);
}

namespace {

uint32_t littleEndian(const unsigned char* bytes, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

bool readField(std::FILE* file, int count, uint32_t* value) {
    unsigned char bytes[4];
    if (std::fread(bytes, 1, std::size_t(count), file) != std::size_t(count)) return false;
    *value = littleEndian(bytes, count);
    return true;
}

bool readTag(std::FILE* file, const char* expected) {
    char tag[4];
    return std::fread(tag, 1, 4, file) == 4 && std::memcmp(tag, expected, 4) == 0;
}

// Chunks are padded to an even size; the pad byte is not counted in the chunk's size.
bool skipBytes(std::FILE* file, uint32_t count, uint32_t pad) {
    return std::fseek(file, long(count) + long(pad), SEEK_CUR) == 0;
}

struct WavFormat {
    uint32_t tag, channels, rate, byteRate, blockAlign, bits;
};

// The "fmt " chunk, which must come first. Header values that would make the frame size zero
// (no channels, under 8 bits) are refused here rather than divided by later.
bool readWavFormat(std::FILE* file, WavFormat* fmt) {
    uint32_t size;
    if (!readTag(file, "fmt ") || !readField(file, 4, &size) || size < 16) return false;
    if (!readField(file, 2, &fmt->tag) || !readField(file, 2, &fmt->channels) ||
        !readField(file, 4, &fmt->rate) || !readField(file, 4, &fmt->byteRate) ||
        !readField(file, 2, &fmt->blockAlign) || !readField(file, 2, &fmt->bits))
        return false;
    if (fmt->tag != 1 || fmt->channels == 0 || fmt->bits < 8) return false;
    return size == 16 || skipBytes(file, size - 16, size & 1);
}

// Walks the chunks after "fmt " to "data" and reads its payload whole.
unsigned char* readDataChunk(std::FILE* file, uint32_t* size) {
    for (;;) {
        char tag[4];
        if (std::fread(tag, 1, 4, file) != 4 || !readField(file, 4, size)) return nullptr;
        if (std::memcmp(tag, "data", 4) != 0) {
            if (!skipBytes(file, *size, *size & 1)) return nullptr;
            continue;
        }
        // A size the file cannot hold is refused before anything that large is allocated; lengths
        // travel as ints, so neither is a payload beyond that range.
        if (*size > uint32_t(INT_MAX) || *size > bytesLeft(file)) return nullptr;
        auto* samples = static_cast<unsigned char*>(std::malloc(*size ? *size : 1));
        if (samples && std::fread(samples, 1, *size, file) == *size) return samples;
        std::free(samples);
        return nullptr;
    }
}

} // namespace

int readInt(std::FILE* file) {
    uint32_t value;
    if (!readField(file, 4, &value)) return -1;
    return static_cast<int>(value);
}

unsigned char* LoadWAV(std::FILE* file, int* length, int* channels, int* format, int* hertz) {
    uint32_t riffSize;
    WavFormat fmt;
    if (!readTag(file, "RIFF") || !readField(file, 4, &riffSize) || !readTag(file, "WAVE")) return nullptr;
    if (!readWavFormat(file, &fmt)) return nullptr;
    uint32_t size;
    unsigned char* samples = readDataChunk(file, &size);
    if (!samples) return nullptr;
    int bytesPerSample = int(fmt.bits / 8);
    *length = int(size / (fmt.channels * uint32_t(bytesPerSample)));
    *channels = int(fmt.channels);
    *format = bytesPerSample;
    *hertz = int(std::min<uint32_t>(fmt.rate, INT_MAX));
    return samples;
}

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
