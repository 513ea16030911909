// Pictures as code: an RGBA canvas and a painter that fills signed-distance shapes.
//
// Every picture is described in "design units" (the game's virtual pixels at tier 1) and painted
// into a cell of a sheet at a given scale, so the same description yields the plain, "-hd" and
// "-hd2" files. Edges are antialiased analytically from the distance, which keeps the painter free
// of supersampling loops. Pixel-art pictures are painted at scale 1 with hard edges and enlarged
// with nearest-neighbour sampling instead, so their pixels stay crisp blocks at every tier.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "random.h"

namespace assetgen {

// Straight (not premultiplied) colour, each channel 0..1.
struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;
};

Rgba rgb(int r, int g, int b, float a = 1.0f);
Rgba mix(Rgba x, Rgba y, float t);
Rgba withAlpha(Rgba c, float a);

class Canvas {
  public:
    Canvas(int w, int h);
    int width() const { return w_; }
    int height() const { return h_; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < w_ && y < h_; }
    // Source-over with the colour's alpha scaled by coverage.
    void blend(int x, int y, Rgba c, float coverage = 1.0f);
    void set(int x, int y, Rgba c);
    Rgba at(int x, int y) const;
    float alpha(int x, int y) const;
    void draw(const Canvas& src, int dx, int dy);
    Canvas enlarged(int factor) const;
    // Each factor x factor block averaged into one pixel.
    Canvas reduced(int factor) const;
    std::vector<std::uint8_t> rgba8() const;
    void savePng(const std::string& path) const;

  private:
    int w_, h_;
    std::vector<float> px_; // premultiplied RGBA
};

struct V2 {
    float x = 0, y = 0;
};

using Sdf = std::function<float(V2)>;  // negative inside, in design units
using Paint = std::function<Rgba(V2)>; // colour at a design point

// One frame of a sheet: pixel rectangle plus design-unit scale (pixels per unit).
struct Cell {
    int x = 0, y = 0, w = 0, h = 0;
    float scale = 1;
    V2 design(int px, int py) const { return {(px - x + 0.5f) / scale, (py - y + 0.5f) / scale}; }
};

// Antialiased fill of a shape clipped to the cell.
void fill(Canvas& c, const Cell& cell, const Sdf& shape, const Paint& paint);
// Fill whose edge fades over `soft` design units (shadows, glows).
void fillSoft(Canvas& c, const Cell& cell, const Sdf& shape, const Paint& paint, float soft);
// Hard-edged fill sampled at pixel centres: pixel art at scale 1.
void fillHard(Canvas& c, const Cell& cell, const Sdf& shape, const Paint& paint);

Paint solid(Rgba c);
Paint vgrad(Rgba top, Rgba bottom, float y0, float y1);
Paint radial(Rgba centre, Rgba edge, V2 c, float r);

// The house style for icons and badges: soft drop shadow, dark outline, then the fill.
struct Style {
    Rgba outline = rgb(8, 14, 34);
    float outlineWidth = 1.0f;
    V2 shadow = {1.0f, 1.5f};
    float shadowAlpha = 0.45f;
    float shadowSoft = 1.0f;
};
void styled(Canvas& c, const Cell& cell, const Sdf& shape, const Paint& paint, const Style& style = {});

namespace sdf {
Sdf circle(float cx, float cy, float r);
Sdf ellipse(float cx, float cy, float rx, float ry);
Sdf box(float cx, float cy, float hw, float hh, float round = 0);
Sdf segment(float ax, float ay, float bx, float by, float r);
// Stroke of a circular arc from angle a0 to a1 (degrees, clockwise from east, y down).
Sdf arc(float cx, float cy, float radius, float a0, float a1, float r);
Sdf polygon(std::vector<V2> pts);
Sdf star(float cx, float cy, float outer, float inner, int points, float rotDeg);
Sdf ring(Sdf s, float halfWidth);
Sdf grow(Sdf s, float by);
Sdf shift(Sdf s, float dx, float dy);
Sdf rotate(Sdf s, float cx, float cy, float deg);
Sdf unite(Sdf a, Sdf b);
Sdf intersect(Sdf a, Sdf b);
Sdf subtract(Sdf a, Sdf b);
} // namespace sdf

// Pixel-art finishing passes on a region of a scale-1 canvas.
void outlinePixels(Canvas& c, const Cell& cell, Rgba colour);
void shadowPixels(Canvas& c, const Cell& cell, int dx, int dy, Rgba colour);

} // namespace assetgen
