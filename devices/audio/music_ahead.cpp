#include "devices/audio/music_ahead.h"

#include "host/files.h"

#include <cstdio>

gxtkSound DecodeSoundFile(const std::string& file) {
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return {};
    gxtkSound sound;
    sound.data = vxDecodeSound(f, &sound.length, &sound.channels, &sound.format, &sound.hertz);
    std::fclose(f);
    return sound.data ? sound : gxtkSound{};
}

gxtkMusicAhead::gxtkMusicAhead() : VxDecodeAhead(DecodeSoundFile, 1) {}

gxtkMusicAhead& vxMusicAhead() { return vxProcessDecodeAhead<gxtkMusicAhead>(); }
