// The contact sheet of the data folder's images at one resolution tier (1, 2 or 4).
#pragma once

#include <string>

namespace assetgen {

void writeContactSheet(const std::string& dataDir, const std::string& glyphTable, const std::string& out,
                       int tier);

} // namespace assetgen
