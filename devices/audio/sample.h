// gxtkSample: one sound loaded whole into an OpenAL buffer. A buffer cannot be deleted while a
// source still holds it, so discarding a sample only queues its buffer; the audio device deletes
// queued buffers once no source plays them (gxtkAudio::FlushDiscarded).
#pragma once

#include "runtime/object.h"

#include <AL/al.h>

#include <vector>

class gxtkSample : public Object {
  public:
    ALuint buffer = 0;

    ~gxtkSample() override;

    // Queues the buffer for deletion and forgets it; the sample then plays nothing.
    virtual int Discard();

    // Buffer names of discarded samples still to be deleted.
    static std::vector<ALuint> discarded;
};
