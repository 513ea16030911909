#include "devices/audio/sample.h"

std::vector<ALuint> gxtkSample::discarded;

// A sample dropped by the program still owns its buffer: queue it like an explicit discard.
gxtkSample::~gxtkSample() { gxtkSample::Discard(); }

int gxtkSample::Discard() {
    if (buffer != 0) {
        discarded.push_back(buffer);
        buffer = 0;
    }
    return 0;
}
