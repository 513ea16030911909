// The pixel font's glyph table, read from its text source.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "raster.h"

namespace assetgen {

struct Glyph {
    int width = 0;
    std::vector<std::string> rows; // '#' ink, '.' clear
    bool ink(int x, int y) const {
        return y >= 0 && y < static_cast<int>(rows.size()) && x >= 0 && x < width && rows[y][x] == '#';
    }
};

struct GlyphTable {
    std::map<int, Glyph> glyphs; // by character code, 33..127
    std::map<int, Glyph> mini;   // 3 x 5 letters for the pad buttons
    const Glyph& at(int code) const;
    const Glyph& miniAt(int code) const;
};

// Reads the table; throws with the line number on a malformed entry.
GlyphTable readGlyphTable(const std::string& path);

// Rows of a glyph above its baseline, and in all (descenders included).
inline constexpr int kCapRows = 7;
inline constexpr int kGlyphRows = 9;

// Stamps a glyph at pixel (x, y) of a scale-1 canvas; colour per glyph row.
void stampGlyph(Canvas& c, int x, int y, const Glyph& g, const std::function<Rgba(int row)>& colour);

// A one-line label in the font: 1-pixel gaps, spaces 4 wide. Returns the width in pixels.
int labelWidth(const GlyphTable& t, const std::string& text);
void drawLabel(Canvas& c, const GlyphTable& t, int x, int y, const std::string& text, Rgba colour,
               bool shadow = true);

} // namespace assetgen
