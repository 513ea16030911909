#include "glyphs.h"

#include <fstream>
#include <stdexcept>

namespace assetgen {

namespace {
[[noreturn]] void malformed(const std::string& path, int line, const std::string& why) {
    throw std::runtime_error(path + ":" + std::to_string(line) + ": " + why);
}

int codeOf(const std::string& name) {
    if (name == "del") return 127;
    if (name.size() == 1) return static_cast<unsigned char>(name[0]);
    return -1;
}
} // namespace

const Glyph& GlyphTable::at(int code) const {
    auto it = glyphs.find(code);
    if (it == glyphs.end()) throw std::runtime_error("no glyph for code " + std::to_string(code));
    return it->second;
}

const Glyph& GlyphTable::miniAt(int code) const {
    auto it = mini.find(code);
    if (it == mini.end()) throw std::runtime_error("no mini glyph for code " + std::to_string(code));
    return it->second;
}

GlyphTable readGlyphTable(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    GlyphTable table;
    Glyph* open = nullptr;
    size_t wantRows = 0;
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        if (line.empty() || line[0] == ';') continue;
        bool big = line.rfind("glyph ", 0) == 0, small = line.rfind("mini ", 0) == 0;
        if (big || small) {
            if (open && open->rows.size() != wantRows) malformed(path, n, "previous glyph is short");
            int code = codeOf(line.substr(big ? 6 : 5));
            if (code < 33 || code > 127) malformed(path, n, "bad glyph name");
            open = &(big ? table.glyphs : table.mini)[code];
            wantRows = big ? kGlyphRows : 5;
            continue;
        }
        if (!open || open->rows.size() == wantRows) malformed(path, n, "row outside a glyph");
        if (line.find_first_not_of(".#") != std::string::npos)
            malformed(path, n, "row holds other than . and #");
        if (!open->rows.empty() && static_cast<int>(line.size()) != open->width)
            malformed(path, n, "rows of one glyph differ in width");
        open->width = static_cast<int>(line.size());
        open->rows.push_back(line);
    }
    if (open && open->rows.size() != wantRows) malformed(path, 0, "last glyph is short");
    return table;
}

void stampGlyph(Canvas& c, int x, int y, const Glyph& g, const std::function<Rgba(int row)>& colour) {
    for (int row = 0; row < static_cast<int>(g.rows.size()); ++row)
        for (int col = 0; col < g.width; ++col)
            if (g.ink(col, row)) c.set(x + col, y + row, colour(row));
}

int labelWidth(const GlyphTable& t, const std::string& text) {
    int w = 0;
    for (char ch : text) w += (ch == ' ' ? 4 : t.at(static_cast<unsigned char>(ch)).width + 1);
    return w > 0 ? w - 1 : 0;
}

void drawLabel(Canvas& c, const GlyphTable& t, int x, int y, const std::string& text, Rgba colour,
               bool shadow) {
    Rgba dark = rgb(0, 0, 0, 0.85f);
    for (char ch : text) {
        if (ch == ' ') {
            x += 4;
            continue;
        }
        const Glyph& g = t.at(static_cast<unsigned char>(ch));
        if (shadow) stampGlyph(c, x + 1, y + 1, g, [&](int) { return dark; });
        stampGlyph(c, x, y, g, [&](int) { return colour; });
        x += g.width + 1;
    }
}

} // namespace assetgen
