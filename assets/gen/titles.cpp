// The start-up emblem ("common/ZOKULogo"), the title "Spindrift" ("logo") and the menu
// decorations ("menu").
#include <cmath>
#include <numbers>
#include <vector>

#include "sheets.h"

namespace assetgen {

namespace {

constexpr float kDegToRad = std::numbers::pi_v<float> / 180;

// ---- The title, written with round-ended strokes on a slight forward slant.
// Letter coordinates: x from the letter's left stroke centre, y up from the baseline's stroke
// centre line being 0 (negative is up); x-height centre line at -26, cap line at -42.
constexpr float kStroke = 5.0f;

struct Letter {
    float width; // between the outer stroke centres
    std::function<Sdf(float x, float y)> shape;
};

Sdf seg(float x, float y, float ax, float ay, float bx, float by) {
    return sdf::segment(x + ax, y + ay, x + bx, y + by, kStroke);
}
Sdf arcAt(float x, float y, float cx, float cy, float r, float a0, float a1) {
    return sdf::arc(x + cx, y + cy, r, a0, a1, kStroke);
}

std::vector<Letter> titleLetters() {
    Letter S{24, [](float x, float y) {
                 return sdf::unite(arcAt(x, y, 12, -31.5f, 10.5f, 90, 325),
                                   arcAt(x, y, 12, -10.5f, 10.5f, 270, 505));
             }};
    Letter p{22, [](float x, float y) {
                 return sdf::unite(seg(x, y, 0, -26, 0, 14),
                                   sdf::ring(sdf::circle(x + 11, y - 13, 11.5f), kStroke));
             }};
    Letter i{0, [](float x, float y) {
                 return sdf::unite(seg(x, y, 0, -26, 0, 0), sdf::circle(x, y - 40, 5.5f));
             }};
    Letter n{22, [](float x, float y) {
                 return sdf::unite(seg(x, y, 0, -26, 0, 0),
                                   sdf::unite(arcAt(x, y, 11, -15, 11, 180, 360), seg(x, y, 22, -15, 22, 0)));
             }};
    Letter d{22, [](float x, float y) {
                 return sdf::unite(seg(x, y, 22, -42, 22, 0),
                                   sdf::ring(sdf::circle(x + 11, y - 13, 11.5f), kStroke));
             }};
    Letter r{17, [](float x, float y) {
                 return sdf::unite(seg(x, y, 0, -26, 0, 0), arcAt(x, y, 13, -13, 13, 180, 285));
             }};
    Letter f{16, [](float x, float y) {
                 return sdf::unite(seg(x, y, 3, -32, 3, 0), sdf::unite(arcAt(x, y, 12, -32, 9, 180, 320),
                                                                       seg(x, y, -4, -24, 13, -24)));
             }};
    Letter t{14, [](float x, float y) {
                 return sdf::unite(seg(x, y, 2, -40, 2, -9),
                                   sdf::unite(arcAt(x, y, 11, -9, 9, 90, 180), seg(x, y, -4, -24, 14, -24)));
             }};
    return {S, p, i, n, d, r, i, f, t};
}

// The word's box in letter coordinates (strokes, slant and descender included).
struct WordBox {
    float left, right, top = -47, bottom = 19;
};

constexpr float kSlant = 0.18f;

Sdf naturalWord(WordBox& box) {
    const float gap = 6 + 2 * kStroke;
    Sdf word;
    float x = 0;
    for (const Letter& l : titleLetters()) {
        Sdf s = l.shape(x, 0);
        word = word ? sdf::unite(word, s) : s;
        x += l.width + gap;
    }
    box.left = -kStroke + box.bottom * -kSlant;
    box.right = x - gap + kStroke - box.top * kSlant;
    // Lean forward: the word drifts.
    return [word](V2 p) { return word({p.x + p.y * kSlant, p.y}); };
}

// The title fitted into a w x h box centred on (cx, cy); reports where its top and bottom land.
Sdf titleShape(float cx, float cy, float w, float h, float& top, float& bottom) {
    WordBox box{};
    Sdf word = naturalWord(box);
    float k = std::min(w / (box.right - box.left), h / (box.bottom - box.top));
    V2 mid{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
    top = cy + (box.top - mid.y) * k;
    bottom = cy + (box.bottom - mid.y) * k;
    return [=](V2 p) { return word({(p.x - cx) / k + mid.x, (p.y - cy) / k + mid.y}) * k; };
}

void paintLogo(Canvas& c, const Cell& cell, int) {
    float top = 0, bottom = 0;
    Sdf word = titleShape(128, 62, 232, 92, top, bottom);
    fillSoft(c, cell, sdf::grow(word, 6), solid(rgb(60, 200, 255, 0.35f)), 10); // cold glow
    fillSoft(c, cell, sdf::shift(sdf::grow(word, 3), 3, 4), solid(rgb(0, 4, 20, 0.7f)), 2.5f);
    fill(c, cell, sdf::grow(word, 3), solid(rgb(8, 16, 48)));
    fill(c, cell, word, [top, bottom](V2 p) {
        float t = (p.y - top) / (bottom - top);
        if (t < 0.4f) return mix(rgb(255, 255, 255), rgb(170, 236, 255), t / 0.4f);
        return mix(rgb(120, 210, 255), rgb(50, 110, 230), std::min(1.0f, (t - 0.4f) / 0.6f));
    });
    // A hard light line along the upper half of each stroke.
    fill(c, cell, sdf::intersect(sdf::grow(word, -2.5f), sdf::shift(word, 0, 2.5f)),
         solid(rgb(255, 255, 255, 0.35f)));
    // Snow sparkles drifting off the end of the word.
    const V2 sparks[] = {{232, 22}, {244, 38}, {222, 10}, {246, 14}, {16, 104}, {8, 92}};
    const float sizes[] = {6, 4, 3, 3.5f, 4, 2.5f};
    for (int i = 0; i < 6; ++i) {
        fillSoft(c, cell, sdf::circle(sparks[i].x, sparks[i].y, sizes[i] * 0.6f),
                 solid(rgb(150, 230, 255, 0.5f)), 3);
        fill(c, cell, sdf::star(sparks[i].x, sparks[i].y, sizes[i], sizes[i] * 0.2f, 4, 0),
             solid(rgb(255, 255, 255)));
    }
}

// ---- The start-up emblem: a night disc with a swirl of drifting snow round a snowflake.
Sdf snowflake(float cx, float cy, float r, float w) {
    Sdf arm =
        sdf::unite(sdf::segment(cx, cy, cx, cy - r, w),
                   sdf::unite(sdf::segment(cx, cy - r * 0.6f, cx - r * 0.25f, cy - r * 0.82f, w * 0.8f),
                              sdf::segment(cx, cy - r * 0.6f, cx + r * 0.25f, cy - r * 0.82f, w * 0.8f)));
    Sdf flake = arm;
    for (int i = 1; i < 6; ++i) flake = sdf::unite(flake, sdf::rotate(arm, cx, cy, i * 60.0f));
    return flake;
}

void paintEmblem(Canvas& c, const Cell& cell, int) {
    const float m = 128;
    Sdf disc = sdf::circle(m, m, 70);
    styled(c, cell, disc, radial(rgb(40, 90, 190), rgb(10, 22, 64), {m - 20, m - 24}, 100),
           Style{rgb(150, 230, 255), 3.0f, {3, 5}, 0.5f, 6});
    // Three swirl arms of snow spray.
    for (int i = 0; i < 3; ++i) {
        float base = i * 120.0f;
        Sdf swirl = sdf::arc(m, m, 50, base, base + 100, 5.0f);
        Sdf swirl2 = sdf::arc(m, m, 38, base + 30, base + 110, 3.0f);
        fill(c, cell, sdf::intersect(swirl, disc), solid(rgb(110, 200, 255, 0.85f)));
        fill(c, cell, sdf::intersect(swirl2, disc), solid(rgb(80, 160, 240, 0.7f)));
        float a = (base + 100) * kDegToRad;
        fill(c, cell, sdf::circle(m + 50 * std::cos(a), m + 50 * std::sin(a), 6.5f),
             solid(rgb(220, 246, 255)));
    }
    Sdf flake = snowflake(m, m, 26, 3.2f);
    fillSoft(c, cell, sdf::grow(flake, 3), solid(rgb(120, 220, 255, 0.6f)), 6);
    fill(c, cell, flake, solid(rgb(255, 255, 255)));
    fill(c, cell, sdf::circle(m, m, 6), solid(rgb(255, 170, 70)));
}

// ---- Menu decorations, 256 x 256: a frosted panel, a large snowflake, a swirl and a glow bar.
void paintMenu(Canvas& c, const Cell& cell, int frame) {
    const float m = 128;
    switch (frame) {
    case 0:
        styled(c, cell, sdf::box(m, m, 116, 116, 20),
               vgrad(rgb(30, 60, 130, 0.85f), rgb(10, 20, 60, 0.9f), 12, 244),
               Style{rgb(140, 220, 255), 2.5f, {3, 5}, 0.5f, 6});
        fill(c, cell, sdf::ring(sdf::box(m, m, 106, 106, 14), 1), solid(rgb(255, 255, 255, 0.25f)));
        break;
    case 1: {
        Sdf flake = snowflake(m, m, 110, 8);
        fillSoft(c, cell, sdf::grow(flake, 6), solid(rgb(120, 220, 255, 0.5f)), 12);
        fill(c, cell, flake, vgrad(rgb(255, 255, 255), rgb(160, 220, 255), 20, 236));
        break;
    }
    case 2:
        for (int i = 0; i < 4; ++i) {
            float base = i * 90.0f;
            fill(c, cell, sdf::arc(m, m, 100 - i * 18, base, base + 200, 6 - i),
                 solid(rgb(150, 220, 255, 0.9f - i * 0.15f)));
        }
        break;
    default:
        fillSoft(c, cell, sdf::box(m, m, 110, 18, 18), solid(rgb(120, 210, 255, 0.6f)), 20);
        fill(c, cell, sdf::box(m, m, 112, 10, 10),
             vgrad(rgb(255, 255, 255), rgb(140, 210, 255), m - 10, m + 10));
        break;
    }
}

} // namespace

void writeTitles(const std::string& dataDir) {
    writeVectorSheet(dataDir, "common/ZOKULogo", Grid{256, 256, 1, 1}, paintEmblem);
    writeVectorSheet(dataDir, "logo", Grid{256, 128, 1, 1}, paintLogo);
    writeVectorSheet(dataDir, "menu", Grid{256, 256, 4, 2}, paintMenu);
}

} // namespace assetgen
