// "gfx": the playfield sheet, pixel art in 36 x 36 frames: the shaft's cells (wall, floor, gap),
// the player running and in the air, the walker's three steps and the spinning coin.
//
// Cells are drawn centred on their 32-pixel grid square, so a tile's 32 x 32 body sits at pixels
// 2..33 of its frame. Rows are 32 pixels apart and each is a floor, so the floor is a slab along
// the top of its square with open air below it; the player and walkers stand on the slab of the
// row below theirs, which puts their feet near the bottom of their frames.
#include <cmath>

#include "sheets.h"

namespace assetgen {

namespace {

constexpr int kCore = 2, kCoreEnd = 33; // first and last pixel of a tile's body

const Rgba kOutline = rgb(10, 14, 36);

void px(Canvas& c, const Cell& cell, int x, int y, Rgba colour) { c.set(cell.x + x, cell.y + y, colour); }

// Night-blue stone in courses of 8 rows, bricks 16 wide and staggered, lit from the top left.
void paintWall(Canvas& c, const Cell& cell) {
    const Rgba mortar = rgb(12, 18, 44), stone = rgb(36, 54, 106), light = rgb(74, 104, 172),
               shade = rgb(24, 34, 74), frost = rgb(176, 232, 255);
    Rng rng(7);
    for (int y = kCore; y <= kCoreEnd; ++y)
        for (int x = kCore; x <= kCoreEnd; ++x) {
            int ty = y - kCore, tx = x - kCore;
            int course = ty / 8, by = ty % 8;
            int bx = (tx + (course % 2) * 8) % 16;
            Rgba colour = stone;
            if (by == 7 || bx == 15)
                colour = mortar;
            else if (by == 0 || bx == 0)
                colour = light;
            else if (by == 6 || bx == 14)
                colour = shade;
            else if (rng.unit() < 0.08f)
                colour = mix(stone, light, 0.45f);
            px(c, cell, x, y, colour);
        }
    // Frost gathers on the top of each course.
    for (int course = 0; course < 4; ++course)
        for (int x = kCore; x <= kCoreEnd; ++x)
            if (rng.unit() < 0.3f) px(c, cell, x, kCore + course * 8, mix(light, frost, 0.7f));
}

// An ice slab along the top of the square, with icicles hanging under it.
void paintFloor(Canvas& c, const Cell& cell) {
    const Rgba rows[] = {rgb(214, 250, 255), rgb(130, 218, 248), rgb(86, 176, 236),
                         rgb(70, 150, 222),  rgb(60, 128, 206),  rgb(52, 108, 190),
                         rgb(44, 88, 168),   rgb(26, 50, 112),   kOutline};
    Rng rng(11);
    for (int i = 0; i < 9; ++i)
        for (int x = kCore; x <= kCoreEnd; ++x) {
            Rgba colour = rows[i];
            if (i >= 2 && i <= 6 && (x + i * 3) % 11 == 0) colour = mix(colour, rows[0], 0.35f); // glints
            px(c, cell, x, kCore + i, colour);
        }
    for (int x = kCore; x <= kCoreEnd; ++x)
        if (rng.unit() < 0.25f) px(c, cell, x, kCore, rgb(255, 255, 255));
    // Icicles: a few thin drips under the slab, lighter at the root.
    const int drips[][2] = {{6, 4}, {13, 2}, {19, 5}, {27, 3}};
    for (auto [x, len] : drips)
        for (int i = 0; i < len; ++i) {
            px(c, cell, x, kCore + 9 + i, mix(rgb(150, 220, 250), rgb(70, 130, 210), i / 5.0f));
            if (i < len - 2) px(c, cell, x + 1, kCore + 9 + i, rgb(60, 110, 190));
        }
}

// A hole in a floor: only a faint dashed trace of the ice that is not there.
void paintGap(Canvas& c, const Cell& cell) {
    const Rgba trace = rgb(120, 200, 255, 0.35f), haze = rgb(40, 90, 170, 0.14f);
    for (int y = kCore + 1; y <= kCore + 7; ++y)
        for (int x = kCore; x <= kCoreEnd; ++x) px(c, cell, x, y, haze);
    for (int x = kCore; x <= kCoreEnd; ++x)
        if ((x / 3) % 2 == 0) {
            px(c, cell, x, kCore, trace);
            px(c, cell, x, kCore + 8, trace);
        }
}

// The player: a small climber in an orange parka and cyan scarf, facing right.
// pose 0..2 are the running steps, 3 is the jump.
void paintPlayer(Canvas& c, const Cell& cell, int pose) {
    const Rgba parka = rgb(250, 138, 44), parkaDark = rgb(206, 88, 30), fur = rgb(255, 240, 214),
               skin = rgb(255, 206, 168), scarf = rgb(64, 226, 240), scarfDark = rgb(30, 160, 200),
               trousers = rgb(52, 66, 128), boot = rgb(96, 52, 34), eye = rgb(20, 24, 50),
               sleeve = rgb(178, 66, 24);
    bool air = pose == 3;
    float bob = pose == 1 ? -1.0f : 0.0f;
    // Legs: hip to foot per pose (front leg, back leg).
    struct Leg {
        float hx, fx, fy;
    };
    const Leg poses[4][2] = {{{19.5f, 23.0f, 31.5f}, {16.5f, 12.5f, 30.5f}},
                             {{18.5f, 19.5f, 31.5f}, {17.5f, 16.0f, 30.5f}},
                             {{17.5f, 13.5f, 31.5f}, {19.5f, 22.0f, 30.5f}},
                             {{19.5f, 23.5f, 28.0f}, {16.5f, 13.0f, 29.5f}}};
    for (const Leg& leg : poses[pose]) {
        fillHard(c, cell, sdf::segment(leg.hx, 26.0f + bob, leg.fx, leg.fy - 1.5f, 1.6f), solid(trousers));
        fillHard(c, cell, sdf::box(leg.fx + 0.5f, leg.fy, 2.2f, 1.3f, 0.8f), solid(boot));
    }
    // Scarf tail streams back and down from the neck; it flaps between poses and flies up in a jump.
    float tail = air ? -4.0f : (pose == 1 ? 1.0f : 0.0f);
    fillHard(c, cell,
             sdf::polygon({{15.5f, 19.0f + bob},
                           {9.5f, 20.5f + tail + bob},
                           {9.0f, 23.0f + tail + bob},
                           {15.5f, 21.5f + bob}}),
             solid(scarfDark));
    // Body, short enough to show the legs.
    fillHard(c, cell, sdf::box(18.5f, 23.0f + bob, 5.0f, 4.5f, 2.5f), vgrad(parka, parkaDark, 19, 27));
    // Hood with a fur rim round the face, which looks right.
    fillHard(c, cell, sdf::circle(18.5f, 13.5f + bob, 6.5f), vgrad(parka, parkaDark, 7, 20));
    fillHard(c, cell, sdf::circle(20.5f, 14.5f + bob, 4.6f), solid(fur));
    fillHard(c, cell, sdf::circle(21.0f, 14.5f + bob, 3.4f), solid(skin));
    int by = static_cast<int>(std::floor(bob));
    px(c, cell, 22, 13 + by, eye);
    px(c, cell, 22, 14 + by, eye);
    px(c, cell, 23, 16 + by, rgb(236, 150, 130)); // cheek
    fillHard(c, cell, sdf::box(18.5f, 19.5f + bob, 5.5f, 1.2f, 0.8f), solid(scarf));
    // Arm in front: swings against the front leg, and reaches up in a jump; cyan mitten.
    V2 hand = air ? V2{25.0f, 15.0f}
                  : (pose == 0   ? V2{14.5f, 25.0f}
                     : pose == 2 ? V2{23.5f, 24.5f}
                                 : V2{19.5f, 26.0f});
    fillHard(c, cell, sdf::segment(18.5f, 21.5f + bob, hand.x, hand.y + bob, 1.5f), solid(sleeve));
    fillHard(c, cell, sdf::circle(hand.x, hand.y + bob, 1.6f), solid(scarf));
    outlinePixels(c, cell, kOutline);
}

// The walker: a round ember-red imp with stubby horns, facing left. step 0..2 waddles.
void paintWalker(Canvas& c, const Cell& cell, int step) {
    const Rgba body = rgb(242, 76, 104), bodyDark = rgb(168, 34, 88), belly = rgb(255, 170, 150),
               horn = rgb(255, 206, 84), foot = rgb(110, 26, 66), white = rgb(255, 255, 255),
               pupil = rgb(24, 16, 44);
    const float lift[3][2] = {{0.0f, -2.0f}, {-1.0f, -1.0f}, {-2.0f, 0.0f}};
    float bob = step == 1 ? -1.0f : 0.0f;
    fillHard(c, cell, sdf::ellipse(13.0f, 28.8f + lift[step][0], 3.8f, 2.2f), solid(foot));
    fillHard(c, cell, sdf::ellipse(23.0f, 28.8f + lift[step][1], 3.8f, 2.2f), solid(foot));
    for (float hx : {12.5f, 23.5f})
        fillHard(c, cell,
                 sdf::polygon({{hx - 2.5f, 14.5f + bob},
                               {hx + 1.0f - (hx < 18 ? 2.0f : 0.0f), 8.5f + bob},
                               {hx + 2.5f, 14.5f + bob}}),
                 solid(horn));
    fillHard(c, cell, sdf::circle(18.0f, 19.5f + bob, 8.5f), vgrad(body, bodyDark, 12, 28));
    fillHard(c, cell, sdf::ellipse(22.0f, 14.5f + bob, 2.2f, 1.4f), solid(mix(body, white, 0.55f))); // shine
    fillHard(c, cell, sdf::ellipse(17.0f, 24.5f + bob, 5.0f, 3.6f), solid(mix(belly, body, 0.35f)));
    // Eyes look the way it walks, under a cross brow.
    for (float ex : {13.5f, 19.5f}) {
        fillHard(c, cell, sdf::ellipse(ex, 18.5f + bob, 2.4f, 2.9f), solid(white));
        fillHard(c, cell, sdf::box(ex - 1.0f, 19.0f + bob, 1.0f, 1.5f), solid(pupil));
    }
    fillHard(c, cell, sdf::segment(11.0f, 14.8f + bob, 16.0f, 16.3f + bob, 0.7f), solid(bodyDark));
    fillHard(c, cell, sdf::segment(17.0f, 16.3f + bob, 22.0f, 14.8f + bob, 0.7f), solid(bodyDark));
    // A toothy grin.
    fillHard(c, cell, sdf::box(15.5f, 24.0f + bob, 3.0f, 0.9f), solid(pupil));
    px(c, cell, 14, 23 + static_cast<int>(bob), white);
    px(c, cell, 17, 23 + static_cast<int>(bob), white);
    outlinePixels(c, cell, kOutline);
}

// The pickup: a gold coin with a star, drawn large because the game shows it at half size.
void paintCoin(Canvas& c, const Cell& cell) {
    fillHard(c, cell, sdf::circle(18.0f, 18.0f, 14.0f), solid(rgb(176, 104, 24)));
    fillHard(c, cell, sdf::circle(18.0f, 17.5f, 13.0f), vgrad(rgb(255, 238, 120), rgb(232, 156, 36), 5, 31));
    fillHard(c, cell, sdf::ring(sdf::circle(18.0f, 18.0f, 9.5f), 0.8f), solid(rgb(204, 124, 30)));
    fillHard(c, cell, sdf::star(18.0f, 18.5f, 7.0f, 3.0f, 5, 0),
             vgrad(rgb(255, 252, 220), rgb(255, 214, 90), 11, 25));
    fillHard(c, cell, sdf::arc(18.0f, 18.0f, 11.0f, 200, 250, 1.0f), solid(rgb(255, 255, 240)));
    outlinePixels(c, cell, kOutline);
}

void paintPlayfieldFrame(Canvas& c, const Cell& cell, int frame) {
    switch (frame) {
    case 0:
        return paintWall(c, cell);
    case 1:
        return paintFloor(c, cell);
    case 2:
        return paintGap(c, cell);
    case 7:
    case 8:
    case 9:
        return paintPlayer(c, cell, frame - 7);
    case 10:
        return paintPlayer(c, cell, 3);
    case 14:
    case 15:
    case 16:
        return paintWalker(c, cell, frame - 14);
    case 17:
        return paintCoin(c, cell);
    default:
        return; // frames the game does not draw stay clear
    }
}

} // namespace

constexpr Grid kPlayfield{36, 36, 49, 7};

void writePlayfield(const std::string& dataDir) {
    writePixelSheet(dataDir, "gfx", kPlayfield, paintPlayfieldFrame);
}

Canvas playfieldFrame(int frame) {
    Canvas canvas(kPlayfield.cellW, kPlayfield.cellH);
    paintPlayfieldFrame(canvas, kPlayfield.cell(0, 1), frame);
    return canvas;
}

} // namespace assetgen
