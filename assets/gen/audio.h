// The sounds of the data folder: effects in sfx/NNN.wav and the round's music in sfx/spindrift.ogg.
#pragma once

#include <string>

namespace assetgen {

void writeSoundEffects(const std::string& dataDir);
// Renders the song described by the text file `songPath` as a seamless loop.
void writeMusic(const std::string& dataDir, const std::string& songPath);

} // namespace assetgen
