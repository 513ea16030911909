// The game font (text glyphs plus the game-pad and keyboard button pictures) and the
// framework's default font strip.
#include <stdexcept>

#include "sheets.h"

namespace assetgen {

namespace {

// Where a text glyph sits in its 16 x 16 frame: the text routine puts the frame's centre on the
// pen, and the glyph starts 6 pixels left of it so that a left-aligned text begins one pixel right
// of its x (the routine's leading space is one advance).
constexpr int kGlyphLeft = 2;
constexpr int kGlyphTop = 5;

const Rgba kInk = rgb(24, 34, 70);
const Rgba kEdge = rgb(10, 16, 38);
const Rgba kShadow = rgb(2, 6, 22, 0.85f);

Rgba faceColour(int row) {
    // White at the top cooling to ice blue at the baseline: reads well and still takes tints.
    float t = std::min(row, kCapRows - 1) / static_cast<float>(kCapRows - 1);
    return mix(rgb(255, 255, 255), rgb(188, 222, 255), t);
}

void paintTextGlyph(Canvas& c, const Cell& cell, const Glyph& g) {
    int x = cell.x + kGlyphLeft, y = cell.y + kGlyphTop;
    stampGlyph(c, x + 1, y + 1, g, [](int) { return kShadow; });
    stampGlyph(c, x, y, g, faceColour);
}

// Button pictures are drawn with hard pixel shapes in frame coordinates (pixel centres at +0.5).
void hard(Canvas& c, const Cell& cell, const Sdf& s, Rgba colour) { fillHard(c, cell, s, solid(colour)); }

void stampMini(Canvas& c, const Cell& cell, const GlyphTable& t, int code, int x, int y, Rgba colour) {
    stampGlyph(c, cell.x + x, cell.y + y, t.miniAt(code), [&](int) { return colour; });
}

struct FaceButton {
    char letter;
    Rgba colour;
    Rgba letterColour;
};

// A round face button, 9 pixels across, centred on pixel (6, 8).
void paintFaceButton(Canvas& c, const Cell& cell, const GlyphTable& t, const FaceButton& b, bool pressed) {
    float dy = pressed ? 1.0f : 0.0f;
    hard(c, cell, sdf::circle(6.5f, 8.5f + dy, 4.5f), kEdge);
    Rgba body = pressed ? mix(b.colour, rgb(20, 30, 60), 0.45f) : b.colour;
    fillHard(c, cell, sdf::circle(6.5f, 8.5f + dy, 3.5f),
             vgrad(mix(body, rgb(255, 255, 255), 0.35f), body, 5, 11));
    if (pressed) {
        hard(c, cell, sdf::ring(sdf::circle(6.5f, 9.5f, 2.0f), 0.5f), mix(body, rgb(255, 255, 255), 0.5f));
        return;
    }
    c.set(cell.x + 4, cell.y + 5, rgb(255, 255, 255, 0.9f));
    stampMini(c, cell, t, b.letter, 5, 6, b.letterColour);
    shadowPixels(c, cell, 1, 1, kShadow);
}

// A shoulder button, 11 x 7 with rounded top corners.
void paintShoulder(Canvas& c, const Cell& cell, const GlyphTable& t, char side, bool pressed) {
    int dy = pressed ? 1 : 0;
    hard(c, cell, sdf::box(7.5f, 8.5f + dy, 5.5f, 3.5f, 1.6f), kEdge);
    Rgba body = pressed ? rgb(96, 110, 146) : rgb(176, 192, 222);
    fillHard(c, cell, sdf::box(7.5f, 8.5f + dy, 4.5f, 2.5f, 0.8f), vgrad(rgb(238, 244, 255), body, 6, 10));
    if (pressed) return;
    stampMini(c, cell, t, side, 4, 6, kInk);
    stampMini(c, cell, t, 'B', 8, 6, kInk);
    shadowPixels(c, cell, 1, 1, kShadow);
}

// A small oval system button (back, start) with an arrow.
void paintSystemButton(Canvas& c, const Cell& cell, const GlyphTable& t, char arrow) {
    hard(c, cell, sdf::box(6.5f, 8.5f, 4.5f, 3.5f, 3.0f), kEdge);
    fillHard(c, cell, sdf::box(6.5f, 8.5f, 3.5f, 2.5f, 2.2f),
             vgrad(rgb(214, 224, 242), rgb(130, 146, 180), 6, 11));
    stampMini(c, cell, t, arrow, 5, 6, rgb(255, 255, 255));
    shadowPixels(c, cell, 1, 1, kShadow);
}

// The direction pad: a cross 9 pixels across; `lit` 0 none, 1 up, 2 down, 3 left, 4 right.
void paintDpad(Canvas& c, const Cell& cell, int lit) {
    Sdf across = sdf::box(6.5f, 8.5f, 3.5f, 1.5f), upright = sdf::box(6.5f, 8.5f, 1.5f, 3.5f);
    fillHard(c, cell, sdf::unite(across, upright), vgrad(rgb(200, 212, 236), rgb(120, 136, 172), 5, 12));
    const V2 arms[] = {{6.5f, 6.0f}, {6.5f, 11.0f}, {4.0f, 8.5f}, {9.0f, 8.5f}};
    if (lit > 0) {
        V2 a = arms[lit - 1];
        bool vertical = lit <= 2;
        hard(c, cell, sdf::box(a.x, a.y, vertical ? 1.5f : 1.0f, vertical ? 1.0f : 1.5f), rgb(120, 255, 250));
    }
    c.set(cell.x + 6, cell.y + 8, rgb(70, 84, 120));
    outlinePixels(c, cell, kEdge);
    shadowPixels(c, cell, 1, 1, kShadow);
}

// A keyboard key cap, 9 (or 11 for the shoulder keys) pixels wide, with its letter.
void paintKey(Canvas& c, const Cell& cell, const GlyphTable& t, char letter, bool wide, bool pressed) {
    float hw = wide ? 5.5f : 4.5f, cx = wide ? 7.5f : 6.5f;
    int dy = pressed ? 1 : 0;
    hard(c, cell, sdf::box(cx, 8.5f + dy * 0.5f, hw, 6.5f - dy * 0.5f, 1.2f), kEdge);
    hard(c, cell, sdf::box(cx, 9.0f + dy, hw - 1, 5.0f - dy, 0.6f), rgb(132, 148, 186));
    fillHard(c, cell, sdf::box(cx, 7.5f + dy, hw - 1, 4.5f, 0.6f),
             vgrad(rgb(248, 251, 255), rgb(206, 218, 240), 3, 12));
    if (!pressed) {
        const Glyph& g = t.at(letter);
        int x = static_cast<int>(cx) - g.width / 2;
        stampGlyph(c, cell.x + x, cell.y + 4, g, [](int) { return kInk; });
    }
    if (!pressed) shadowPixels(c, cell, 1, 1, kShadow);
}

// Button pictures in the order of the text routine's glyph escapes: J K L I (face buttons),
// U O (shoulders), Q E (back, start), F (the pad at rest), W S A D (the pad pressed that way).
constexpr char kEscapeLetters[] = "JKLIUOQEFWSAD";

void paintPadGlyph(Canvas& c, const Cell& cell, const GlyphTable& t, int index) {
    const FaceButton faces[] = {{'A', rgb(84, 204, 96), rgb(255, 255, 255)},
                                {'B', rgb(236, 74, 74), rgb(255, 255, 255)},
                                {'X', rgb(72, 136, 240), rgb(255, 255, 255)},
                                {'Y', rgb(246, 204, 60), rgb(60, 44, 10)}};
    if (index < 4) return paintFaceButton(c, cell, t, faces[index], false);
    if (index < 6) return paintShoulder(c, cell, t, index == 4 ? 'L' : 'R', false);
    if (index < 8) return paintSystemButton(c, cell, t, index == 6 ? '<' : '>');
    if (index < 13) return paintDpad(c, cell, index - 8);
    if (index == 13) return paintFaceButton(c, cell, t, faces[0], true);
    paintShoulder(c, cell, t, 'L', true);
}

void paintKeyGlyph(Canvas& c, const Cell& cell, const GlyphTable& t, int index) {
    if (index < 13) {
        char letter = kEscapeLetters[index];
        return paintKey(c, cell, t, letter, letter == 'U' || letter == 'O', false);
    }
    paintKey(c, cell, t, ' ', index == 14, true);
}

void paintGameFontFrame(Canvas& c, const Cell& cell, int frame, const GlyphTable& t) {
    if (frame >= 1 && frame <= 95) return paintTextGlyph(c, cell, t.at(frame + 32));
    if (frame >= 96 && frame <= 110) return paintPadGlyph(c, cell, t, frame - 96);
    if (frame >= 112 && frame <= 126) return paintKeyGlyph(c, cell, t, frame - 112);
}

// The framework's default font: 96 frames in one strip, characters 32 to 127, each frame with a
// clear padding column on its left and right (the framework strips them when it cuts frames).
void writeDefaultFont(const std::string& dataDir, const GlyphTable& t) {
    constexpr int kFrameW = 10, kFrameH = 12;
    Canvas strip(96 * kFrameW, kFrameH);
    for (int code = 33; code <= 127; ++code) {
        const Glyph& g = t.at(code);
        int x = (code - 32) * kFrameW + 1 + (8 - g.width) / 2;
        stampGlyph(strip, x, 1, g, [](int) { return rgb(255, 255, 255); });
    }
    strip.savePng(dataDir + "/kiwi_font.png");
}

} // namespace

void writeFonts(const std::string& dataDir, const GlyphTable& glyphs) {
    writePixelSheet(dataDir, "fonts/shadow_editundo", Grid{16, 16, 128, 16},
                    [&](Canvas& c, const Cell& cell, int f) { paintGameFontFrame(c, cell, f, glyphs); });
    writeDefaultFont(dataDir, glyphs);
}

} // namespace assetgen
