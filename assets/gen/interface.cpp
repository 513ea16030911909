// The shared interface pictures in "common/": soft circles and lights (white, for tinting), the
// icons, the menu's buttons and cog, and the on-screen direction pad.
#include <cmath>
#include <numbers>

#include "sheets.h"

namespace assetgen {

namespace {

const Rgba kWhite = rgb(255, 255, 255);
const Rgba kIce = rgb(200, 236, 255);

Paint iconPaint() { return vgrad(kWhite, kIce, 4, 28); }

// ---- common/circle: 256 x 256, white discs and rings the game tints.
void paintCircle(Canvas& c, const Cell& cell, int frame) {
    const float m = 128;
    switch (frame) {
    case 0:
        return fill(c, cell, sdf::circle(m, m, 124), solid(kWhite));
    case 1:
        return fill(c, cell, sdf::ring(sdf::circle(m, m, 118), 6), solid(kWhite));
    case 2:
        return fill(c, cell, sdf::circle(m, m, 126), [m](V2 p) {
            float t = std::hypot(p.x - m, p.y - m) / 126;
            return rgb(255, 255, 255, std::pow(std::max(0.0f, 1 - t), 2.2f));
        });
    default:
        fillSoft(c, cell, sdf::ring(sdf::circle(m, m, 110), 2), solid(withAlpha(kWhite, 0.5f)), 14);
        return fill(c, cell, sdf::ring(sdf::circle(m, m, 110), 2.5f), solid(kWhite));
    }
}

// ---- common/light: 32 x 32 glows.
void paintLight(Canvas& c, const Cell& cell, int frame) {
    const float m = 16;
    auto glow = [m](float reach, float power) {
        return [=](V2 p) {
            float t = std::hypot(p.x - m, p.y - m) / reach;
            return rgb(255, 255, 255, std::pow(std::max(0.0f, 1 - t), power));
        };
    };
    switch (frame) {
    case 0:
        return fill(c, cell, sdf::circle(m, m, 15.5f), glow(15.5f, 2.0f));
    case 1:
        fill(c, cell, sdf::circle(m, m, 15.5f), glow(15.5f, 3.5f));
        return fill(c, cell, sdf::circle(m, m, 3.5f), solid(kWhite));
    case 2:
        fill(c, cell, sdf::circle(m, m, 15.5f), glow(15.5f, 4.0f));
        return fillSoft(c, cell, sdf::star(m, m, 15, 1.5f, 4, 0), solid(kWhite), 1.0f);
    default:
        fillSoft(c, cell, sdf::ring(sdf::circle(m, m, 10), 1.5f), solid(withAlpha(kWhite, 0.6f)), 4);
        return fill(c, cell, sdf::ring(sdf::circle(m, m, 10), 1.2f), solid(kWhite));
    }
}

// ---- common/icons: 32 x 32, white with a dark outline and drop shadow.
Sdf gear(float cx, float cy, float r, int teeth, float toothDepth, float hole) {
    float step = 360.0f / teeth;
    Sdf body = sdf::circle(cx, cy, r - toothDepth);
    for (int i = 0; i < teeth; ++i)
        body = sdf::unite(body, sdf::rotate(sdf::box(cx, cy - r + toothDepth * 0.5f, r * 0.16f + 0.5f,
                                                     toothDepth * 0.5f + 0.5f, 0.6f),
                                            cx, cy, i * step));
    return hole > 0 ? sdf::subtract(body, sdf::circle(cx, cy, hole)) : body;
}

Sdf arrow(float deg) {
    return sdf::rotate(sdf::polygon({{16, 6}, {26, 17}, {20, 17}, {20, 26}, {12, 26}, {12, 17}, {6, 17}}), 16,
                       16, deg);
}

Sdf speaker() { return sdf::polygon({{5, 12}, {10, 12}, {16, 6}, {16, 26}, {10, 20}, {5, 20}}); }

Sdf iconShape(int frame) {
    switch (frame) {
    case 0:
        return sdf::unite(sdf::box(11, 16, 3.5f, 10, 1), sdf::box(21, 16, 3.5f, 10, 1)); // pause
    case 1:
        return sdf::unite(sdf::arc(16, 17, 9, 300, 600, 2.2f), sdf::segment(16, 5, 16, 15, 2.2f)); // quit
    case 2:
        return sdf::unite(sdf::arc(17, 17, 8, 180, 450, 2.2f),
                          sdf::polygon({{3, 17}, {14, 17}, {8.5f, 24}})); // back
    case 3:
        return sdf::grow(sdf::polygon({{10, 6}, {26, 16}, {10, 26}}), 0.5f); // start
    case 4:
        return sdf::unite(
            speaker(), sdf::unite(sdf::arc(16, 16, 6, 300, 420, 1.5f), sdf::arc(16, 16, 11, 300, 420, 1.5f)));
    case 5:
        return sdf::unite(speaker(),
                          sdf::unite(sdf::segment(20, 12, 27, 20, 1.6f), sdf::segment(27, 12, 20, 20, 1.6f)));
    case 6:
        return sdf::unite(sdf::unite(sdf::ellipse(11, 23, 4.5f, 3.5f), sdf::segment(15, 23, 15, 6, 1.3f)),
                          sdf::polygon({{14, 5}, {24, 9}, {24, 13}, {14, 9}}));
    case 7: { // calibrate: a level's bubble inside cross hairs
        Sdf s = sdf::ring(sdf::circle(16, 16, 10), 1.5f);
        s = sdf::unite(s, sdf::unite(sdf::segment(16, 2, 16, 9, 1.3f), sdf::segment(16, 23, 16, 30, 1.3f)));
        s = sdf::unite(s, sdf::unite(sdf::segment(2, 16, 9, 16, 1.3f), sdf::segment(23, 16, 30, 16, 1.3f)));
        return sdf::unite(s, sdf::circle(16, 16, 3.5f));
    }
    case 8:
        return gear(16, 16, 12, 8, 3.5f, 4);
    case 9: { // full screen: four corners
        Sdf corner = sdf::unite(sdf::segment(5, 5, 12, 5, 1.6f), sdf::segment(5, 5, 5, 12, 1.6f));
        Sdf s = corner;
        for (int i = 1; i < 4; ++i) s = sdf::unite(s, sdf::rotate(corner, 16, 16, i * 90.0f));
        return s;
    }
    case 10: { // trophy
        Sdf cup = sdf::intersect(sdf::circle(16, 7, 9), sdf::box(16, 11, 9, 6));
        Sdf handles =
            sdf::unite(sdf::arc(8, 10, 3.5f, 90, 270, 1.2f), sdf::arc(24, 10, 3.5f, 270, 450, 1.2f));
        return sdf::unite(sdf::unite(cup, handles),
                          sdf::unite(sdf::box(16, 19, 1.8f, 3), sdf::box(16, 24, 6, 2, 1)));
    }
    case 11:
        return sdf::unite(sdf::circle(16, 8, 2.5f),
                          sdf::unite(sdf::box(16, 19, 2.2f, 7, 1), sdf::box(14, 13, 3.5f, 1.2f))); // info
    case 12:
        return arrow(-90);
    case 13:
        return arrow(90);
    case 14:
        return arrow(0);
    default:
        return arrow(180);
    }
}

void paintIcon(Canvas& c, const Cell& cell, int frame) {
    styled(c, cell, iconShape(frame), iconPaint(), Style{rgb(8, 14, 34), 1.3f, {1.0f, 1.5f}, 0.45f, 1.2f});
}

// ---- common/Buttons: 64 x 64. 0-5 the dial's row plates, 6-7 a round button, 8-10 the layers
// of the spinning cog (10 alone is the options cog), 11-15 spare controls.
const Rgba kPlates[6][2] = {{rgb(96, 214, 120), rgb(24, 110, 66)},   {rgb(90, 190, 250), rgb(26, 78, 170)},
                            {rgb(255, 146, 84), rgb(170, 44, 52)},   {rgb(190, 130, 255), rgb(86, 40, 170)},
                            {rgb(255, 222, 100), rgb(176, 116, 20)}, {rgb(186, 198, 222), rgb(70, 84, 120)}};

void paintPlate(Canvas& c, const Cell& cell, int frame) {
    Sdf plate = sdf::box(32, 32, 29, 17, 9);
    styled(c, cell, plate, vgrad(kPlates[frame][0], kPlates[frame][1], 15, 49),
           Style{rgb(6, 12, 32), 1.5f, {1.5f, 2.5f}, 0.5f, 2.0f});
    fill(c, cell, sdf::ring(sdf::grow(plate, -3), 0.8f), solid(rgb(255, 255, 255, 0.25f)));
    fill(c, cell, sdf::intersect(sdf::grow(plate, -2), sdf::box(32, 22, 28, 6, 0)),
         solid(rgb(255, 255, 255, 0.18f)));
}

void paintCogLayer(Canvas& c, const Cell& cell, int layer) {
    Style style{rgb(6, 12, 32), 1.2f, {1.0f, 1.5f}, 0.4f, 1.5f};
    if (layer == 0)
        return styled(c, cell, gear(32, 32, 30, 16, 4, 22), vgrad(rgb(92, 124, 190), rgb(40, 60, 120), 2, 62),
                      style);
    if (layer == 1) {
        Sdf wheel = gear(32, 32, 20, 10, 3.5f, 12);
        for (int i = 0; i < 3; ++i)
            wheel = sdf::unite(wheel, sdf::rotate(sdf::box(32, 22, 2, 8), 32, 32, i * 120.0f));
        return styled(c, cell, wheel, vgrad(rgb(150, 220, 250), rgb(60, 140, 210), 12, 52), style);
    }
    styled(c, cell, gear(32, 32, 12, 8, 3, 4), vgrad(rgb(255, 255, 255), rgb(180, 220, 250), 20, 44), style);
}

void paintButton(Canvas& c, const Cell& cell, int frame) {
    if (frame < 6) return paintPlate(c, cell, frame);
    if (frame >= 8 && frame <= 10) return paintCogLayer(c, cell, frame - 8);
    Style style{rgb(6, 12, 32), 1.5f, {1.5f, 2.5f}, 0.5f, 2.0f};
    bool pressed = frame == 7 || frame == 12;
    Paint face = pressed ? vgrad(rgb(60, 120, 200), rgb(120, 200, 250), 8, 56)
                         : vgrad(rgb(140, 220, 255), rgb(40, 100, 190), 8, 56);
    switch (frame) {
    case 6:
    case 7:
        styled(c, cell, sdf::circle(32, 32, 26), face, style);
        break;
    case 11:
    case 12:
        styled(c, cell, sdf::box(32, 32, 26, 26, 7), face, style);
        break;
    case 13:
        styled(c, cell, sdf::box(32, 32, 28, 20, 4),
               vgrad(rgb(30, 50, 100, 0.9f), rgb(10, 20, 50, 0.9f), 12, 52), style);
        break;
    case 14:
    case 15:
        styled(c, cell, sdf::ring(sdf::box(32, 32, 18, 18, 4), 2.5f), iconPaint(), style);
        if (frame == 15)
            styled(c, cell,
                   sdf::unite(sdf::segment(22, 32, 29, 40, 3.5f), sdf::segment(29, 40, 44, 22, 3.5f)),
                   solid(rgb(130, 255, 150)), style);
        break;
    default:
        break;
    }
}

// ---- common/dpad: 32 x 32. 0 the action button; 1, 4, 6, 9 up, left, right, down; 5 the hub;
// 3 the action button held down. The pad lays its frames out as a cross in this 4-wide grid.
void paintDpad(Canvas& c, const Cell& cell, int frame) {
    Style style{rgb(4, 10, 30), 1.3f, {1.0f, 1.5f}, 0.45f, 1.5f};
    Paint pad = vgrad(rgb(70, 120, 200, 0.95f), rgb(24, 48, 110, 0.95f), 2, 30);
    auto arrowKey = [&](float deg) {
        styled(c, cell, sdf::box(16, 16, 13, 13, 5), pad, style);
        fill(c, cell, sdf::rotate(sdf::polygon({{16, 8}, {24, 19}, {8, 19}}), 16, 16, deg), iconPaint());
    };
    switch (frame) {
    case 0:
    case 3: {
        bool held = frame == 3;
        styled(c, cell, sdf::circle(16, 16, 14),
               held ? vgrad(rgb(200, 90, 40), rgb(255, 170, 90), 2, 30)
                    : vgrad(rgb(255, 190, 100), rgb(220, 90, 40), 2, 30),
               style);
        fill(c, cell, sdf::ring(sdf::circle(16, 16, 10), 1.2f),
             solid(rgb(255, 255, 255, held ? 0.3f : 0.6f)));
        break;
    }
    case 1:
        arrowKey(0);
        break;
    case 4:
        arrowKey(-90);
        break;
    case 6:
        arrowKey(90);
        break;
    case 9:
        arrowKey(180);
        break;
    case 5:
        styled(c, cell, sdf::box(16, 16, 13, 13, 5), pad, style);
        fill(c, cell, sdf::circle(16, 16, 5), radial(rgb(200, 240, 255), rgb(90, 150, 230), {15, 14}, 6));
        break;
    default:
        break;
    }
}

} // namespace

void writeInterface(const std::string& dataDir) {
    writeVectorSheet(dataDir, "common/circle", Grid{256, 256, 4, 2}, paintCircle);
    writeVectorSheet(dataDir, "common/light", Grid{32, 32, 4, 4}, paintLight);
    writeVectorSheet(dataDir, "common/icons", Grid{32, 32, 16, 4}, paintIcon);
    writeVectorSheet(dataDir, "common/Buttons", Grid{64, 64, 16, 4}, paintButton);
    writeVectorSheet(dataDir, "common/dpad", Grid{32, 32, 16, 4}, paintDpad);
}

} // namespace assetgen
