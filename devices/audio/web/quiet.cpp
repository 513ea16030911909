// The browser's sound libraries write to no terminal, so there is nothing to silence.
#include "devices/audio/quiet.h"

void QuietSoundLibraries() {}
