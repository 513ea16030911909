// Any bytes as an image file through the host's image loader.
#include "fuzz_support.h"

#include <stb/stb_image.h>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    static BytesHost host;
    host.bytes = data;
    host.count = size;
    int width = 0, height = 0, depth = 0;
    unsigned char* pixels = host.LoadImageData(String(u"image.png"), &width, &height, &depth);
    if (!pixels) return 0;
    FUZZ_CHECK(width > 0 && height > 0 && depth >= 1 && depth <= 4);
    unsigned sum = pixels[0] + pixels[std::size_t(width) * std::size_t(height) * std::size_t(depth) - 1];
    stbi_image_free(pixels);
    return int(sum & 0);
}
