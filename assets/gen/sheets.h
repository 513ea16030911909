// Sheets: the frame grids the game loads, and writing each at its three resolution tiers.
#pragma once

#include <functional>
#include <string>

#include "glyphs.h"
#include "raster.h"

namespace assetgen {

// Frames of cellW x cellH design units, read left to right, top to bottom, `cols` to a row.
struct Grid {
    int cellW, cellH, frames, cols;
    int rows() const { return (frames + cols - 1) / cols; }
    Cell cell(int frame, int tier) const {
        return {frame % cols * cellW * tier, frame / cols * cellH * tier, cellW * tier, cellH * tier,
                static_cast<float>(tier)};
    }
};

using FramePainter = std::function<void(Canvas&, const Cell&, int frame)>;

// The tiers of the data folder and their file suffixes.
inline constexpr int kTiers[] = {1, 2, 4};
std::string tierSuffix(int tier);

// Paints at every tier from the same description (smooth art).
void writeVectorSheet(const std::string& dataDir, const std::string& name, const Grid& grid,
                      const FramePainter& paint);
// Paints once at tier 1 and enlarges by whole pixels (pixel art).
void writePixelSheet(const std::string& dataDir, const std::string& name, const Grid& grid,
                     const FramePainter& paint);

// The pictures, one writer per family of files.
void writeFonts(const std::string& dataDir, const GlyphTable& glyphs);
void writePlayfield(const std::string& dataDir);
void writeParts(const std::string& dataDir);
void writeBadges(const std::string& dataDir);
void writeInterface(const std::string& dataDir);
void writeTitles(const std::string& dataDir);
// The application icon at the sizes desktops ask for, from the playfield's art.
void writeIcons(const std::string& dataDir);

// One frame of the playfield sheet ("gfx") on a canvas of its own, at tier 1.
Canvas playfieldFrame(int frame);

} // namespace assetgen
