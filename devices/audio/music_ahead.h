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

// One worker: a single track is decoded ahead at a time.
class gxtkMusicAhead : public VxDecodeAhead<gxtkSound> {
  public:
    gxtkMusicAhead();
};

// The file decoded as the worker does it; no data when it cannot be read or decoded.
gxtkSound DecodeSoundFile(const std::string& file);
// The one list of the process, which the audio device fills; a fork waits for it.
gxtkMusicAhead& vxMusicAhead();
