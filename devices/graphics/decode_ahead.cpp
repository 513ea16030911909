#include "devices/graphics/decode_ahead.h"

#include "host/files.h"
#include "runtime/gc.h"

#include <cstdio>

namespace {

gxtkPixels ReportedToTheCollector(const gxtkPixels& pixels) {
    if (pixels.data) gc_ext_malloced(pixels.width * pixels.height * pixels.depth);
    return pixels;
}

} // namespace

gxtkPixels DecodePictureFile(const std::string& file) {
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return {};
    int w = 0, h = 0, d = 0;
    unsigned char* decoded = vxDecodeImage(f, &w, &h, &d);
    std::fclose(f);
    return decoded ? PreparePixels(decoded, w, h, d) : gxtkPixels{};
}

gxtkDecodeAhead::gxtkDecodeAhead() : VxDecodeAhead(DecodePictureFile, 2) {}

// One worker: what a display-mode change brings back is the pictures on the screen, while the
// loader that the new size starts needs the other cores for its own list.
gxtkPictureRestores::gxtkPictureRestores() : VxDecodeAhead(DecodePictureFile, 1) {}

gxtkDecodeAhead& vxPicturesAhead() { return vxProcessDecodeAhead<gxtkDecodeAhead>(); }

gxtkPixels TakeDecodedAhead(const String& path) {
    return ReportedToTheCollector(vxPicturesAhead().Take(vxFileNameOf(path)));
}

gxtkPictureRestores& vxPictureRestores() { return vxProcessDecodeAhead<gxtkPictureRestores>(); }

gxtkPixels TakeRestored(const std::string& file) {
    return ReportedToTheCollector(vxPictureRestores().Take(file));
}
