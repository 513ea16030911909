#include "raster.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include <stb_image_write.h>

namespace assetgen {

namespace {
float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }
float smooth(float t) { return t * t * (3 - 2 * t); }
constexpr float kDeg = std::numbers::pi_v<float> / 180.0f;
} // namespace

Rgba rgb(int r, int g, int b, float a) { return {r / 255.0f, g / 255.0f, b / 255.0f, a}; }

Rgba mix(Rgba x, Rgba y, float t) {
    return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}

Rgba withAlpha(Rgba c, float a) { return {c.r, c.g, c.b, a}; }

Canvas::Canvas(int w, int h) : w_(w), h_(h), px_(static_cast<size_t>(w) * h * 4, 0.0f) {}

void Canvas::blend(int x, int y, Rgba c, float coverage) {
    if (!inside(x, y)) return;
    float a = clamp01(c.a * coverage);
    if (a <= 0) return;
    float* p = &px_[(static_cast<size_t>(y) * w_ + x) * 4];
    float keep = 1 - a;
    p[0] = c.r * a + p[0] * keep;
    p[1] = c.g * a + p[1] * keep;
    p[2] = c.b * a + p[2] * keep;
    p[3] = a + p[3] * keep;
}

void Canvas::set(int x, int y, Rgba c) {
    if (!inside(x, y)) return;
    float* p = &px_[(static_cast<size_t>(y) * w_ + x) * 4];
    p[0] = c.r * c.a;
    p[1] = c.g * c.a;
    p[2] = c.b * c.a;
    p[3] = c.a;
}

Rgba Canvas::at(int x, int y) const {
    if (!inside(x, y)) return {};
    const float* p = &px_[(static_cast<size_t>(y) * w_ + x) * 4];
    if (p[3] <= 0) return {};
    return {p[0] / p[3], p[1] / p[3], p[2] / p[3], p[3]};
}

float Canvas::alpha(int x, int y) const {
    return inside(x, y) ? px_[(static_cast<size_t>(y) * w_ + x) * 4 + 3] : 0.0f;
}

void Canvas::draw(const Canvas& src, int dx, int dy) {
    for (int y = 0; y < src.h_; ++y)
        for (int x = 0; x < src.w_; ++x) blend(x + dx, y + dy, src.at(x, y));
}

Canvas Canvas::enlarged(int factor) const {
    Canvas out(w_ * factor, h_ * factor);
    for (int y = 0; y < out.h_; ++y)
        for (int x = 0; x < out.w_; ++x) {
            const float* s = &px_[(static_cast<size_t>(y / factor) * w_ + x / factor) * 4];
            std::copy(s, s + 4, &out.px_[(static_cast<size_t>(y) * out.w_ + x) * 4]);
        }
    return out;
}

// Averaging premultiplied values weighs each colour by its coverage, so clear pixels add no dark fringe.
Canvas Canvas::reduced(int factor) const {
    Canvas out(w_ / factor, h_ / factor);
    const float share = 1.0f / static_cast<float>(factor * factor);
    for (int y = 0; y < out.h_ * factor; ++y)
        for (int x = 0; x < out.w_ * factor; ++x) {
            const float* s = &px_[(static_cast<size_t>(y) * w_ + x) * 4];
            float* d = &out.px_[(static_cast<size_t>(y / factor) * out.w_ + x / factor) * 4];
            for (int i = 0; i < 4; ++i) d[i] += s[i] * share;
        }
    return out;
}

std::vector<std::uint8_t> Canvas::rgba8() const {
    std::vector<std::uint8_t> out(px_.size());
    for (size_t i = 0; i < px_.size(); i += 4) {
        float a = clamp01(px_[i + 3]);
        // Fully transparent pixels keep black so the file compresses well and filters cleanly.
        for (int k = 0; k < 3; ++k) {
            float straight = a > 0 ? clamp01(px_[i + k] / a) : 0.0f;
            out[i + k] = static_cast<std::uint8_t>(std::lround(straight * 255));
        }
        out[i + 3] = static_cast<std::uint8_t>(std::lround(a * 255));
    }
    return out;
}

void Canvas::savePng(const std::string& path) const {
    std::vector<std::uint8_t> bytes = rgba8();
    if (!stbi_write_png(path.c_str(), w_, h_, 4, bytes.data(), w_ * 4))
        throw std::runtime_error("cannot write " + path);
}

namespace {
// Paints the cell in blocks, skipping every block that the shape's distance shows to lie wholly
// beyond `reach` (design units past the edge where coverage ends). The slack allows for the
// slanted and scaled shapes whose distance grows a little faster than true distance.
template <typename CoverageFn>
void paintCell(Canvas& c, const Cell& cell, const Sdf& shape, float reach, const Paint& paint,
               CoverageFn coverage) {
    constexpr int kBlock = 8;
    const float slack = kBlock * 0.7072f * 1.5f / cell.scale;
    for (int by = cell.y; by < cell.y + cell.h; by += kBlock)
        for (int bx = cell.x; bx < cell.x + cell.w; bx += kBlock) {
            int ex = std::min(bx + kBlock, cell.x + cell.w), ey = std::min(by + kBlock, cell.y + cell.h);
            V2 mid = cell.design(bx, by);
            mid.x += (ex - bx - 1) * 0.5f / cell.scale;
            mid.y += (ey - by - 1) * 0.5f / cell.scale;
            if (shape(mid) > reach + slack) continue;
            for (int py = by; py < ey; ++py)
                for (int px = bx; px < ex; ++px) {
                    V2 p = cell.design(px, py);
                    float cov = coverage(shape(p));
                    if (cov > 0) c.blend(px, py, paint(p), cov);
                }
        }
}
} // namespace

void fill(Canvas& c, const Cell& cell, const Sdf& shape, const Paint& paint) {
    paintCell(c, cell, shape, 0.5f / cell.scale, paint,
              [&](float d) { return clamp01(0.5f - d * cell.scale); });
}

void fillSoft(Canvas& c, const Cell& cell, const Sdf& shape, const Paint& paint, float soft) {
    paintCell(c, cell, shape, soft * 0.5f, paint, [&](float d) { return smooth(clamp01(0.5f - d / soft)); });
}

void fillHard(Canvas& c, const Cell& cell, const Sdf& shape, const Paint& paint) {
    paintCell(c, cell, shape, 0.0f, paint, [](float d) { return d <= 0 ? 1.0f : 0.0f; });
}

Paint solid(Rgba c) {
    return [c](V2) { return c; };
}

Paint vgrad(Rgba top, Rgba bottom, float y0, float y1) {
    return [=](V2 p) { return mix(top, bottom, clamp01((p.y - y0) / (y1 - y0))); };
}

Paint radial(Rgba centre, Rgba edge, V2 c, float r) {
    return [=](V2 p) { return mix(centre, edge, clamp01(std::hypot(p.x - c.x, p.y - c.y) / r)); };
}

void styled(Canvas& c, const Cell& cell, const Sdf& shape, const Paint& paint, const Style& style) {
    Sdf body = sdf::grow(shape, style.outlineWidth);
    if (style.shadowAlpha > 0)
        fillSoft(c, cell, sdf::shift(body, style.shadow.x, style.shadow.y),
                 solid(rgb(0, 4, 16, style.shadowAlpha)), style.shadowSoft);
    if (style.outlineWidth > 0) fill(c, cell, body, solid(style.outline));
    fill(c, cell, shape, paint);
}

namespace sdf {

Sdf circle(float cx, float cy, float r) {
    return [=](V2 p) { return std::hypot(p.x - cx, p.y - cy) - r; };
}

Sdf ellipse(float cx, float cy, float rx, float ry) {
    // Scaled-circle distance: exact enough for the small eccentricities used here.
    float k = std::min(rx, ry);
    return [=](V2 p) { return (std::hypot((p.x - cx) / rx, (p.y - cy) / ry) - 1) * k; };
}

Sdf box(float cx, float cy, float hw, float hh, float round) {
    return [=](V2 p) {
        float qx = std::abs(p.x - cx) - hw + round, qy = std::abs(p.y - cy) - hh + round;
        float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
        return outside + std::min(std::max(qx, qy), 0.0f) - round;
    };
}

Sdf segment(float ax, float ay, float bx, float by, float r) {
    return [=](V2 p) {
        float ex = bx - ax, ey = by - ay, wx = p.x - ax, wy = p.y - ay;
        float len2 = ex * ex + ey * ey;
        float t = len2 > 0 ? std::clamp((wx * ex + wy * ey) / len2, 0.0f, 1.0f) : 0.0f;
        return std::hypot(wx - ex * t, wy - ey * t) - r;
    };
}

Sdf arc(float cx, float cy, float radius, float a0, float a1, float r) {
    float span = a1 - a0;
    V2 e0{cx + radius * std::cos(a0 * kDeg), cy + radius * std::sin(a0 * kDeg)};
    V2 e1{cx + radius * std::cos(a1 * kDeg), cy + radius * std::sin(a1 * kDeg)};
    return [=](V2 p) {
        float a = std::atan2(p.y - cy, p.x - cx) / kDeg - a0;
        a = std::fmod(std::fmod(a, 360.0f) + 360.0f, 360.0f);
        if (a <= span) return std::abs(std::hypot(p.x - cx, p.y - cy) - radius) - r;
        return std::min(std::hypot(p.x - e0.x, p.y - e0.y), std::hypot(p.x - e1.x, p.y - e1.y)) - r;
    };
}

Sdf polygon(std::vector<V2> pts) {
    return [pts = std::move(pts)](V2 p) {
        size_t n = pts.size();
        float d = (p.x - pts[0].x) * (p.x - pts[0].x) + (p.y - pts[0].y) * (p.y - pts[0].y);
        float s = 1;
        for (size_t i = 0, j = n - 1; i < n; j = i, ++i) {
            float ex = pts[j].x - pts[i].x, ey = pts[j].y - pts[i].y;
            float wx = p.x - pts[i].x, wy = p.y - pts[i].y;
            float t = std::clamp((wx * ex + wy * ey) / (ex * ex + ey * ey), 0.0f, 1.0f);
            float bx = wx - ex * t, by = wy - ey * t;
            d = std::min(d, bx * bx + by * by);
            bool c1 = p.y >= pts[i].y, c2 = p.y<pts[j].y, c3 = ex * wy> ey * wx;
            if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) s = -s;
        }
        return s * std::sqrt(d);
    };
}

Sdf star(float cx, float cy, float outer, float inner, int points, float rotDeg) {
    std::vector<V2> pts;
    for (int i = 0; i < points * 2; ++i) {
        float a = (rotDeg - 90 + i * 180.0f / points) * kDeg;
        float r = i % 2 ? inner : outer;
        pts.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    return polygon(std::move(pts));
}

Sdf ring(Sdf s, float halfWidth) {
    return [=](V2 p) { return std::abs(s(p)) - halfWidth; };
}

Sdf grow(Sdf s, float by) {
    return [=](V2 p) { return s(p) - by; };
}

Sdf shift(Sdf s, float dx, float dy) {
    return [=](V2 p) { return s({p.x - dx, p.y - dy}); };
}

Sdf rotate(Sdf s, float cx, float cy, float deg) {
    float c = std::cos(-deg * kDeg), n = std::sin(-deg * kDeg);
    return [=](V2 p) {
        float x = p.x - cx, y = p.y - cy;
        return s({cx + x * c - y * n, cy + x * n + y * c});
    };
}

Sdf unite(Sdf a, Sdf b) {
    return [=](V2 p) { return std::min(a(p), b(p)); };
}

Sdf intersect(Sdf a, Sdf b) {
    return [=](V2 p) { return std::max(a(p), b(p)); };
}

Sdf subtract(Sdf a, Sdf b) {
    return [=](V2 p) { return std::max(a(p), -b(p)); };
}

} // namespace sdf

void outlinePixels(Canvas& c, const Cell& cell, Rgba colour) {
    auto solidAt = [&](int x, int y) {
        return x >= cell.x && y >= cell.y && x < cell.x + cell.w && y < cell.y + cell.h &&
               c.alpha(x, y) >= 0.5f;
    };
    std::vector<std::pair<int, int>> edge;
    for (int y = cell.y; y < cell.y + cell.h; ++y)
        for (int x = cell.x; x < cell.x + cell.w; ++x)
            if (!solidAt(x, y) &&
                (solidAt(x - 1, y) || solidAt(x + 1, y) || solidAt(x, y - 1) || solidAt(x, y + 1)))
                edge.emplace_back(x, y);
    for (auto [x, y] : edge) c.set(x, y, colour);
}

void shadowPixels(Canvas& c, const Cell& cell, int dx, int dy, Rgba colour) {
    std::vector<std::pair<int, int>> cast;
    for (int y = cell.y; y < cell.y + cell.h; ++y)
        for (int x = cell.x; x < cell.x + cell.w; ++x) {
            int sx = x - dx, sy = y - dy;
            bool fromCell = sx >= cell.x && sy >= cell.y && sx < cell.x + cell.w && sy < cell.y + cell.h;
            if (fromCell && c.alpha(sx, sy) >= 0.5f && c.alpha(x, y) < 1.0f) cast.emplace_back(x, y);
        }
    // The shadow goes under what is already there.
    for (auto [x, y] : cast) {
        Rgba top = c.at(x, y);
        c.set(x, y, colour);
        c.blend(x, y, top);
    }
}

} // namespace assetgen
