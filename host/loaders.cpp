// Whole-file loads: text, raw bytes and images. Each opens, reads and closes its file; the buffers
// belong to the caller (free()) and their sizes are reported to the collector.
#include "host/game.h"
#include "runtime/gc.h"

#include <climits>
#include <cstdlib>
#include <stb_image.h>

String VxGame::LoadString(String path) {
    std::FILE* file = OpenFile(path, u"rb");
    if (!file) return String();
    String text = String::Load(file);
    std::fclose(file);
    return text;
}

namespace {

constexpr std::size_t blockSize = 4096;

// Reads to the end in 4096-byte blocks into one growing buffer. Null when memory runs out or the
// file is too long for an int length.
unsigned char* readAll(std::FILE* file, std::size_t* total) {
    std::size_t capacity = blockSize;
    std::size_t used = 0;
    auto* buffer = static_cast<unsigned char*>(std::malloc(capacity));
    while (buffer) {
        std::size_t n = std::fread(buffer + used, 1, blockSize, file);
        used += n;
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

unsigned char* VxGlfwGame::LoadImageData(String path, int* width, int* height, int* depth) {
    std::FILE* file = OpenFile(path, u"rb");
    if (!file) return nullptr;
    unsigned char* pixels = stbi_load_from_file(file, width, height, depth, 0);
    std::fclose(file);
    // stb_image refuses images whose byte size would overflow an int.
    if (pixels) gc_ext_malloced(*width * *height * *depth);
    return pixels;
}
