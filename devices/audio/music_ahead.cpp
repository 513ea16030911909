#include "devices/audio/music_ahead.h"

#include "host/files.h"

#include <pthread.h>

#include <cstdio>

gxtkSound DecodeSoundFile(const std::string& file) {
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return {};
    gxtkSound sound;
    sound.data = vxDecodeSound(f, &sound.length, &sound.channels, &sound.format, &sound.hertz);
    std::fclose(f);
    return sound.data ? sound : gxtkSound{};
}

// Never destroyed: the worker may still be decoding when the process exits.
VxDecodeAhead<gxtkSound>& vxMusicAhead() {
    static auto* const ahead = [] {
        auto* made = new VxDecodeAhead<gxtkSound>(DecodeSoundFile, 1);
        pthread_atfork([] { vxMusicAhead().Finish(); }, nullptr, nullptr);
        return made;
    }();
    return *ahead;
}
