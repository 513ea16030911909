// Whole-file loads: text, raw bytes and images. Each opens, reads and closes its file; the buffers
// belong to the caller (free()) and their sizes are reported to the collector.
#include "host/files.h"
#include "host/game.h"
#include "runtime/gc.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stb_image.h>

String VxGame::LoadString(String path) {
    std::FILE* file = OpenFile(path, u"rb");
    if (!file) return String();
    String text = String::Load(file);
    // A read that failed part way gives no text, not the part before the failure.
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return failed ? String() : text;
}

namespace {

constexpr std::size_t blockSize = 4096;

// Reads to the end in 4096-byte blocks into one growing buffer. Null when memory runs out, a read
// fails or the file is too long for an int length.
unsigned char* readAll(std::FILE* file, std::size_t* total) {
    std::size_t capacity = blockSize;
    std::size_t used = 0;
    auto* buffer = static_cast<unsigned char*>(std::malloc(capacity));
    while (buffer) {
        std::size_t n = std::fread(buffer + used, 1, blockSize, file);
        used += n;
        if (n < blockSize && std::ferror(file)) {
            std::free(buffer);
            return nullptr;
        }
        if (n < blockSize) break;
        if (used > std::size_t(INT_MAX) - blockSize) {
            std::free(buffer);
            return nullptr;
        }
        if (capacity - used < blockSize) {
            capacity *= 2;
            auto* grown = static_cast<unsigned char*>(std::realloc(buffer, capacity));
            if (!grown) std::free(buffer);
            buffer = grown;
        }
    }
    *total = used;
    return buffer;
}

// The largest texture side the graphics device is sure to take, and the most bytes one image may
// decode to: a few hostile header bytes must not make the loader allocate and fill gigabytes.
constexpr int maxImageSide = 16384;
constexpr long long maxImageBytes = 1LL << 28;
// Nor may a header claim far more pixels than its file could code (stb_image allocates for them
// before decoding): deflate expands at most 1032 to 1. Small pictures pass whatever their file.
constexpr long long maxExpansion = 4096;
constexpr long long alwaysAllowedBytes = 1LL << 20;

// stb_image grows its buffer of compressed data by what each chunk's header claims, before reading
// the chunk, so a few bytes could make it allocate gigabytes. A PNG of `size` bytes is decoded
// only when its chunks lie within them. The read position is restored.
bool pngChunksWithinFile(std::FILE* file, long long size) {
    const long start = std::ftell(file);
    unsigned char head[8];
    bool within = size >= 8 && std::fread(head, 1, 8, file) == 8; // the signature
    // Each chunk: a big-endian length, a type, the data, a checksum.
    for (long long left = size - 8; within && left > 0;) {
        within = left >= 12 && std::fread(head, 1, 8, file) == 8;
        if (!within) break;
        const long long length =
            static_cast<long long>(head[0]) << 24 | head[1] << 16 | head[2] << 8 | head[3];
        left -= 12 + length;
        if (left < 0) {
            within = false;
        } else if (std::memcmp(head + 4, "IEND", 4) == 0) {
            break;
        } else {
            within = std::fseek(file, long(length + 4), SEEK_CUR) == 0;
        }
    }
    std::fseek(file, start, SEEK_SET);
    return within;
}

// Reads only the header of an image of `size` bytes (the read position is restored).
bool fitsTexture(std::FILE* file, long long size) {
    int width = 0, height = 0, depth = 0;
    if (!stbi_info_from_file(file, &width, &height, &depth)) return false;
    // A picture of no pixels fits no texture.
    if (width <= 0 || height <= 0) return false;
    if (width > maxImageSide || height > maxImageSide) return false;
    long long bytes = 1LL * width * height * depth;
    if (bytes > maxImageBytes) return false;
    return bytes <= alwaysAllowedBytes || bytes <= maxExpansion * size;
}

} // namespace

unsigned char* VxGame::LoadData(String path, int* length) {
    std::FILE* file = OpenFile(path, u"rb");
    if (!file) return nullptr;
    std::size_t total = 0;
    unsigned char* data = readAll(file, &total);
    std::fclose(file);
    if (!data) return nullptr;
    // Keep a real (non-null) buffer for an empty file: null means failure to the caller.
    if (auto* shrunk = static_cast<unsigned char*>(std::realloc(data, total ? total : 1))) data = shrunk;
    *length = int(total);
    gc_ext_malloced(int(total));
    return data;
}

unsigned char* VxGame::LoadImageData(String path, int* width, int* height, int* depth) { return nullptr; }

unsigned char* vxDecodeImage(std::FILE* file, int* width, int* height, int* depth) {
    // Both checks read headers only.
    const long long size = bytesLeft(file);
    bool worthDecoding = fitsTexture(file, size) && pngChunksWithinFile(file, size);
    unsigned char* pixels = worthDecoding ? stbi_load_from_file(file, width, height, depth, 0) : nullptr;
    if (pixels && std::ferror(file)) {
        stbi_image_free(pixels);
        pixels = nullptr;
    }
    return pixels;
}

unsigned char* VxGlfwGame::LoadImageData(String path, int* width, int* height, int* depth) {
    std::FILE* file = OpenFile(path, u"rb");
    if (!file) return nullptr;
    unsigned char* pixels = vxDecodeImage(file, width, height, depth);
    std::fclose(file);
    // stb_image refuses images whose byte size would overflow an int.
    if (pixels) gc_ext_malloced(*width * *height * *depth);
    return pixels;
}
