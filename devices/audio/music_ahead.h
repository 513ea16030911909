// The music decoded on a worker thread ahead of the PrepareMusic or PlayMusic that asks for it
// (VxDecodeAhead), so that a loader step that prepares a long track only makes its buffer.
#pragma once

#include "host/decode_ahead.h"

// A sound file decoded whole.
struct gxtkSound {
    unsigned char* data = nullptr; // malloc'ed
    int length = 0;                // samples a channel
    int channels = 0;
    int format = 0; // bytes a sample
    int hertz = 0;
};

// The file decoded as the worker does it; no data when it cannot be read or decoded.
gxtkSound DecodeSoundFile(const std::string& file);
// The one worker of the process; a fork waits for it.
VxDecodeAhead<gxtkSound>& vxMusicAhead();
