#include "devices/graphics/decode_ahead.h"

#include "host/files.h"
#include "runtime/gc.h"

#include <cstdio>

gxtkPixels DecodePictureFile(const std::string& file) {
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return {};
    int w = 0, h = 0, d = 0;
    unsigned char* decoded = vxDecodeImage(f, &w, &h, &d);
    std::fclose(f);
    return decoded ? PreparePixels(decoded, w, h, d) : gxtkPixels{};
}

gxtkDecodeAhead::gxtkDecodeAhead() : VxDecodeAhead(DecodePictureFile, 2) {}

gxtkDecodeAhead& vxPicturesAhead() { return vxProcessDecodeAhead<gxtkDecodeAhead>(); }

gxtkPixels TakeDecodedAhead(const String& path) {
    gxtkPixels pixels = vxPicturesAhead().Take(vxFileNameOf(path));
    if (pixels.data) gc_ext_malloced(pixels.width * pixels.height * pixels.depth);
    return pixels;
}
