// "BadgesA": 64 badge medals in 64 x 64 frames: four medal shapes, four metals and sixteen
// emblems, combined so that every frame differs.
#include <cmath>
#include <numbers>

#include "sheets.h"

namespace assetgen {

namespace {

constexpr float kCx = 32, kCy = 32;

Sdf medalShape(int shape) {
    switch (shape) {
    case 0:
        return sdf::circle(kCx, kCy, 26);
    case 1: // shield
        return sdf::unite(sdf::box(kCx, kCy - 8, 22, 16, 5),
                          sdf::polygon({{kCx - 22, kCy - 2}, {kCx + 22, kCy - 2}, {kCx, kCy + 28}}));
    case 2: { // hexagon
        std::vector<V2> pts;
        for (int i = 0; i < 6; ++i) {
            float a = (30 + 60 * i) * std::numbers::pi_v<float> / 180;
            pts.push_back({kCx + 27 * std::cos(a), kCy + 27 * std::sin(a)});
        }
        return sdf::grow(sdf::polygon(pts), -1);
    }
    default:
        return sdf::grow(sdf::star(kCx, kCy, 28, 22, 12, 0), 0); // sunburst
    }
}

struct Metal {
    Rgba light, dark, deep;
};

const Metal kMetals[] = {{rgb(255, 196, 140), rgb(176, 96, 44), rgb(70, 34, 20)},    // bronze
                         {rgb(240, 248, 255), rgb(140, 156, 186), rgb(38, 48, 78)},  // silver
                         {rgb(255, 240, 140), rgb(214, 146, 30), rgb(86, 46, 10)},   // gold
                         {rgb(190, 250, 255), rgb(60, 150, 230), rgb(14, 40, 100)}}; // ice

Sdf emblem(int kind) {
    const float c = kCx, y = kCy;
    switch (kind) {
    case 0:
        return sdf::star(c, y + 1, 13, 5.5f, 5, 0);
    case 1:
        return sdf::unite(sdf::polygon({{c, y - 14}, {c + 11, y - 1}, {c - 11, y - 1}}),
                          sdf::box(c, y + 5, 4, 8));
    case 2:
        return sdf::unite(sdf::segment(c - 9, y + 1, c, y - 8, 3),
                          sdf::unite(sdf::segment(c, y - 8, c + 9, y + 1, 3),
                                     sdf::unite(sdf::segment(c - 9, y + 11, c, y + 2, 3),
                                                sdf::segment(c, y + 2, c + 9, y + 11, 3))));
    case 3: {
        Sdf flake = sdf::segment(c - 13, y, c + 13, y, 2);
        for (float a : {60.0f, 120.0f})
            flake = sdf::unite(flake, sdf::rotate(sdf::segment(c - 13, y, c + 13, y, 2), c, y, a));
        return sdf::unite(flake, sdf::circle(c, y, 4));
    }
    case 4:
        return sdf::polygon({{c - 13, y + 9},
                             {c - 13, y - 7},
                             {c - 6, y},
                             {c, y - 11},
                             {c + 6, y},
                             {c + 13, y - 7},
                             {c + 13, y + 9}});
    case 5:
        return sdf::polygon({{c + 3, y - 15},
                             {c - 9, y + 2},
                             {c - 1, y + 2},
                             {c - 4, y + 15},
                             {c + 9, y - 3},
                             {c + 1, y - 3}});
    case 6:
        return sdf::unite(sdf::unite(sdf::circle(c - 6, y - 4, 7), sdf::circle(c + 6, y - 4, 7)),
                          sdf::polygon({{c - 12.5f, y}, {c + 12.5f, y}, {c, y + 13}}));
    case 7:
        return sdf::polygon(
            {{c - 12, y - 4}, {c - 6, y - 11}, {c + 6, y - 11}, {c + 12, y - 4}, {c, y + 13}});
    case 8:
        return sdf::subtract(sdf::circle(c, y, 13), sdf::circle(c + 7, y - 5, 11));
    case 9:
        return sdf::unite(sdf::ring(sdf::circle(c, y, 11), 2.2f), sdf::circle(c, y, 4));
    case 10:
        return sdf::unite(sdf::segment(c - 10, y, c - 3, y + 8, 3.2f),
                          sdf::segment(c - 3, y + 8, c + 11, y - 9, 3.2f));
    case 11:
        return sdf::unite(sdf::arc(c, y, 11, 180, 450, 2.5f), sdf::arc(c + 2, y, 5, 0, 270, 2.2f));
    case 12:
        return sdf::unite(sdf::box(c, y + 8, 11, 3, 2.5f),
                          sdf::unite(sdf::box(c, y + 1, 11, 3, 2.5f), sdf::box(c, y - 6, 11, 3, 2.5f)));
    case 13:
        return sdf::polygon(
            {{c - 15, y + 10}, {c - 5, y - 8}, {c, y - 1}, {c + 5, y - 12}, {c + 15, y + 10}});
    case 14:
        return sdf::unite(sdf::circle(c, y, 7),
                          sdf::subtract(sdf::star(c, y, 15, 8, 8, 0), sdf::circle(c, y, 9)));
    default:
        return sdf::star(c, y, 15, 4, 8, 22.5f);
    }
}

void paintBadge(Canvas& canvas, const Cell& cell, int frame) {
    int shape = frame % 4, emblemKind = frame / 4, metalKind = (frame + frame / 4) % 4;
    const Metal& m = kMetals[metalKind];
    Sdf body = medalShape(shape);
    styled(canvas, cell, body, vgrad(m.light, m.dark, 6, 58),
           Style{rgb(8, 12, 30), 1.5f, {1.5f, 2.5f}, 0.5f, 2.0f});
    // Inner field, darker, with a rim highlight.
    Sdf field = sdf::grow(body, -5);
    fill(canvas, cell, field, vgrad(mix(m.deep, m.dark, 0.35f), m.deep, 10, 54));
    fill(canvas, cell, sdf::intersect(sdf::ring(field, 0.8f), sdf::box(kCx, kCy - 18, 30, 14)),
         solid(withAlpha(m.light, 0.5f)));
    // Emblem with its own shadow.
    Sdf e = emblem(emblemKind);
    fillSoft(canvas, cell, sdf::shift(e, 1.2f, 1.8f), solid(rgb(0, 0, 10, 0.55f)), 1.5f);
    fill(canvas, cell, e, vgrad(rgb(255, 255, 255), m.light, kCy - 14, kCy + 14));
    // A glint across the top left.
    fill(canvas, cell, sdf::intersect(body, sdf::segment(kCx - 20, kCy - 8, kCx - 8, kCy - 20, 1.3f)),
         solid(rgb(255, 255, 255, 0.55f)));
}

} // namespace

void writeBadges(const std::string& dataDir) {
    writeVectorSheet(dataDir, "BadgesA", Grid{64, 64, 64, 8}, paintBadge);
}

} // namespace assetgen
