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

unsigned char* vxDecodeSound(std::FILE* file, int* length, int* channels, int* format, int* hertz) {
    switch (SniffSound(file)) {
    case SoundKind::Wav:
        return LoadWAV(file, length, channels, format, hertz);
    case SoundKind::Ogg:
        return LoadOGG(file, length, channels, format, hertz);
    case SoundKind::Unknown:
        break;
    }
    return nullptr;
}

unsigned char* VxGlfwGame::LoadAudioData(String path, int* length, int* channels, int* format, int* hertz) {
    std::FILE* file = OpenFile(path, u"rb");
    if (!file) return nullptr;
    unsigned char* samples = vxDecodeSound(file, length, channels, format, hertz);
    std::fclose(file);
    if (samples) gc_ext_malloced(vxDecodedSoundBytes(*length, *channels, *format));
    return samples;
}

// Never more than the file's own bytes for WAV, nor than an int of samples for Ogg.
int vxDecodedSoundBytes(int length, int channels, int format) {
    return int(std::min<long long>(1LL * length * channels * format, INT_MAX));
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
