// "parts": 256 small sparks and stars in 8 x 8 frames. The game picks frames at random for the
// star field and for particles, tints them with its colour table and turns them, so they are
// near-white shapes of many kinds and sizes on a clear ground.
#include <cmath>

#include "sheets.h"

namespace assetgen {

namespace {

Sdf sparkShape(int kind, float r, float turn) {
    const float c = 4.0f; // frame centre
    switch (kind) {
    case 0:
        return sdf::circle(c, c, r * 0.45f);
    case 1:
        return sdf::star(c, c, r, r * 0.22f, 4, turn);
    case 2:
        return sdf::star(c, c, r, r * 0.45f, 5, turn);
    case 3: { // snowflake: three crossed bars
        Sdf flake = sdf::segment(c - r, c, c + r, c, 0.35f);
        for (float a : {60.0f, 120.0f})
            flake = sdf::unite(flake, sdf::rotate(sdf::segment(c - r, c, c + r, c, 0.35f), c, c, a));
        return sdf::rotate(flake, c, c, turn);
    }
    case 4:
        return sdf::rotate(sdf::polygon({{c, c - r}, {c + r * 0.45f, c}, {c, c + r}, {c - r * 0.45f, c}}), c,
                           c, turn);
    case 5:
        return sdf::rotate(sdf::unite(sdf::box(c, c, r, 0.45f), sdf::box(c, c, 0.45f, r)), c, c, turn);
    case 6:
        return sdf::ring(sdf::circle(c, c, r * 0.6f), 0.45f);
    default: // a shard of ice or debris
        return sdf::rotate(
            sdf::polygon({{c - r * 0.8f, c + r * 0.5f}, {c + r * 0.2f, c - r}, {c + r * 0.7f, c + r * 0.6f}}),
            c, c, turn);
    }
}

void paintSpark(Canvas& canvas, const Cell& cell, int frame) {
    Rng rng(1000 + frame);
    int kind = frame % 8;
    float r = 1.8f + (frame / 8 % 4) * 0.7f; // four sizes, 1.8 to 3.9 units
    float turn = rng.range(0, 90);
    Rgba core = mix(rgb(255, 255, 255), rgb(170, 228, 255), rng.unit() * 0.5f);
    Sdf shape = sparkShape(kind, r, turn);
    // A faint halo, then the crisp shape with a hot white centre.
    fillSoft(canvas, cell, sdf::grow(shape, 0.6f), solid(withAlpha(core, 0.35f)), 1.2f);
    fill(canvas, cell, shape, radial(rgb(255, 255, 255), core, {4, 4}, r));
}

} // namespace

void writeParts(const std::string& dataDir) {
    writeVectorSheet(dataDir, "parts", Grid{8, 8, 256, 16}, paintSpark);
}

} // namespace assetgen
