#include "devices/graphics/graphics.h"

#include "devices/graphics/decode_ahead.h"
#include "devices/graphics/drawcalls.h"
#include "host/game.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

// One colour byte from a channel already multiplied by alpha, truncated. Out-of-range values are
// clamped in floating point, where converting them to an integer would be undefined.
std::uint32_t ColourByte(float value) {
    if (!(value > 0)) return 0;
    if (value >= 255) return 255;
    return std::uint32_t(value);
}

// Whether the rows of a w x h rectangle stored at `offset` with `pitch` lie inside an array.
bool RectFitsArray(int length, int offset, int w, int h, int pitch) {
    if (w <= 0 || h <= 0) return true;
    long first = offset;
    long last = offset + long(h - 1) * pitch;
    long lowest = std::min(first, last);
    long highest = std::max(first, last) + w - 1;
    return lowest >= 0 && highest < length;
}

} // namespace

gxtkGraphics::gxtkGraphics() {
    ReadWindowSize();
    for (int q = 0; q < MAX_BATCH_VERTICES / 4; ++q) {
        auto k = GLushort(q * 4);
        GLushort* out = &quadIndices[q * 6];
        out[0] = k;
        out[1] = GLushort(k + 1);
        out[2] = GLushort(k + 2);
        out[3] = k;
        out[4] = GLushort(k + 2);
        out[5] = GLushort(k + 3);
    }
}

int gxtkGraphics::Width() { return width; }
int gxtkGraphics::Height() { return height; }

// The size in pixels of the window we draw into, as the host keeps it from the window system's
// callbacks: asking the window system would be a round trip to the display server every frame.
void gxtkGraphics::ReadWindowSize() {
    VxGame* host = VxGame::_game;
    width = host ? host->GetDeviceWidth() : 0;
    height = host ? host->GetDeviceHeight() : 0;
}

int gxtkGraphics::BeginRender() {
    ReadWindowSize();
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, sizeof(Vertex), &vertices[0].x);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, sizeof(Vertex), &vertices[0].u);
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(Vertex), &vertices[0].colour);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    blendMode = 0;
    glDisable(GL_TEXTURE_2D);
    texturing = 0;
    // Between frames anyone may have scissored or bound a texture behind the device's back.
    scissorKnown = false;
    gxtkSurface::NextFrame();
    batchCount = 0;
    return 1;
}

// Texturing stays on from one textured batch to the next; it is off again when the frame ends.
int gxtkGraphics::EndRender() {
    Flush();
    EnableTexturing(false);
    return 0;
}

int gxtkGraphics::DiscardGraphics() { return 0; }

gxtkSurface* gxtkGraphics::LoadSurface(String path) {
    gxtkSurface* surface = TakePrepared(path);
    if (!surface) {
        surface = new gxtkSurface;
        if (!LoadSurface__UNSAFE__(surface, path)) return nullptr;
    }
    surface->Bind();
    return surface;
}

gxtkSurface* gxtkGraphics::CreateSurface(int w, int h) {
    auto* surface = new gxtkSurface;
    surface->width = w;
    surface->height = h;
    surface->depth = 4;
    surface->format = GL_RGBA;
    return surface;
}

// No OpenGL here: this may run where no context is current.
bool gxtkGraphics::LoadSurface__UNSAFE__(gxtkSurface* surface, String path) {
    return surface->LoadData(path);
}

void gxtkGraphics::DecodeAhead(Array<String> paths) {
    std::vector<std::string> files;
    for (const String& path : paths) files.push_back(vxFileNameOf(path));
    vxPicturesAhead().Start(std::move(files));
    DropPrepared();
}

void gxtkGraphics::PrepareSurfaces(Array<String> paths) {
    DropPrepared();
    for (const String& path : paths) {
        if (!vxPicturesAhead().Ready(vxFileNameOf(path))) continue;
        auto* surface = new gxtkSurface;
        if (!surface->LoadData(path)) continue;
        if (glfwGraphicsSeq != 0) surface->MakeTextureStorage();
        // Stored as gc_assign stores: the device may be marked already in this cycle.
        gc_mark_q(surface);
        prepared.push_back(surface);
    }
}

gxtkSurface* gxtkGraphics::TakePrepared(const String& path) {
    for (auto it = prepared.begin(); it != prepared.end(); ++it) {
        gxtkSurface* surface = *it;
        if (surface->path == path) {
            prepared.erase(it);
            return surface;
        }
    }
    return nullptr;
}

void gxtkGraphics::DropPrepared() {
    for (gxtkSurface* surface : prepared) surface->Discard();
    prepared.clear();
}

int gxtkGraphics::Cls(float r, float g, float bl) {
    batchCount = 0;
    glClearColor(r / 255.0f, g / 255.0f, bl / 255.0f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    return 0;
}

int gxtkGraphics::SetAlpha(float value) {
    alpha = value;
    PackColor();
    return 0;
}

int gxtkGraphics::SetColor(float r, float g, float bl) {
    red = r;
    green = g;
    blue = bl;
    PackColor();
    return 0;
}

void gxtkGraphics::PackColor() {
    packedColor = ColourByte(red * alpha) | ColourByte(green * alpha) << 8 | ColourByte(blue * alpha) << 16 |
                  ColourByte(255 * alpha) << 24;
}

int gxtkGraphics::SetBlend(int blend) {
    // Every mode but additive is alpha blending.
    const int mode = blend == 1 ? 1 : 0;
    if (mode == blendMode) return 0;
    Flush();
    blendMode = mode;
    if (mode == 1) {
        glBlendFunc(GL_ONE, GL_ONE);
    } else {
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    }
    return 0;
}

int gxtkGraphics::SetScissor(int x, int y, int w, int h) {
    if (scissorKnown && x == scissorX && y == scissorY && w == scissorW && h == scissorH) return 0;
    Flush();
    scissorKnown = true;
    scissorX = x;
    scissorY = y;
    scissorW = w;
    scissorH = h;
    if (x == 0 && y == 0 && w == width && h == height) {
        glDisable(GL_SCISSOR_TEST);
    } else {
        glEnable(GL_SCISSOR_TEST);
        glScissor(x, height - y - h, w, h);
    }
    return 0;
}

int gxtkGraphics::SetMatrix(float ia, float ib, float ic, float id, float itx, float ity) {
    a = ia;
    b = ib;
    c = ic;
    d = id;
    tx = itx;
    ty = ity;
    transformed = !IsIdentity(a, b, c, d, tx, ty);
    return 0;
}

gxtkGraphics::Vertex* gxtkGraphics::Reserve(int type, int count, gxtkSurface* surface) {
    if (type != batchType || surface != batchSurface || batchCount + count > MAX_BATCH_VERTICES) {
        Flush();
        batchType = type;
        gc_assign(batchSurface, surface);
    }
    Vertex* first = &vertices[batchCount];
    batchCount += count;
    return first;
}

gxtkGraphics::Vertex* gxtkGraphics::AddVertex(Vertex* v, float x, float y) {
    if (transformed) {
        v->x = a * x + c * y + tx;
        v->y = b * x + d * y + ty;
    } else {
        v->x = x;
        v->y = y;
    }
    v->colour = packedColor;
    return v;
}

// Points and lines are offset by half a pixel after the transform, onto pixel centres, so that a
// point lands on exactly one pixel and a line on whole pixels. Areas are not: their edges sit on
// pixel edges, so a w x h rectangle covers exactly w x h pixels.
void gxtkGraphics::OffsetToPixelCentres(Vertex* v, int count) {
    for (Vertex* end = v + count; v != end; ++v) {
        v->x += 0.5f;
        v->y += 0.5f;
    }
}

int gxtkGraphics::DrawPoint(float x, float y) {
    OffsetToPixelCentres(AddVertex(Reserve(1, 1, nullptr), x, y), 1);
    return 0;
}

int gxtkGraphics::DrawLine(float x0, float y0, float x1, float y1) {
    Vertex* v = Reserve(2, 2, nullptr);
    AddVertex(v, x0, y0);
    AddVertex(v + 1, x1, y1);
    OffsetToPixelCentres(v, 2);
    return 0;
}

// The corners in order round the quad, as the shared index list expects them.
gxtkGraphics::Vertex* gxtkGraphics::AddRect(float x, float y, float w, float h, gxtkSurface* surface) {
    Vertex* v = Reserve(4, 4, surface);
    AddVertex(v, x, y);
    AddVertex(v + 1, x + w, y);
    AddVertex(v + 2, x + w, y + h);
    AddVertex(v + 3, x, y + h);
    return v;
}

int gxtkGraphics::DrawRect(float x, float y, float w, float h) {
    AddRect(x, y, w, h, nullptr);
    return 0;
}

void gxtkGraphics::AddQuad(float x, float y, float w, float h, gxtkSurface* surface, float u0, float v0,
                           float u1, float v1) {
    Vertex* v = AddRect(x, y, w, h, surface);
    v[0].u = u0;
    v[0].v = v0;
    v[1].u = u1;
    v[1].v = v0;
    v[2].u = u1;
    v[2].v = v1;
    v[3].u = u0;
    v[3].v = v1;
}

// A surface with no texture to draw with yet (its pixels on their way back for a new context) is
// left out of the frame.
int gxtkGraphics::DrawSurface(gxtkSurface* surface, float x, float y) {
    if (!surface->EnsureTexture()) return 0;
    auto w = float(surface->Width());
    auto h = float(surface->Height());
    AddQuad(x, y, w, h, surface, 0, 0, w * surface->uscale, h * surface->vscale);
    return 0;
}

int gxtkGraphics::DrawSurface2(gxtkSurface* surface, float x, float y, int srcx, int srcy, int srcw,
                               int srch) {
    if (!surface->EnsureTexture()) return 0;
    AddQuad(x, y, float(srcw), float(srch), surface, float(srcx) * surface->uscale,
            float(srcy) * surface->vscale, float(srcx + srcw) * surface->uscale,
            float(srcy + srch) * surface->vscale);
    return 0;
}

int gxtkGraphics::DrawPoly(Array<float> xy) {
    int n = xy.Length() / 2;
    if (n < 1 || n > MAX_BATCH_VERTICES) return 0;
    Vertex* v = Reserve(n, n, nullptr);
    for (int i = 0; i < n; ++i) AddVertex(v + i, xy[i * 2], xy[i * 2 + 1]);
    return 0;
}

int gxtkGraphics::DrawPoly2(Array<float> xyuv, gxtkSurface* surface, int srcx, int srcy) {
    int n = xyuv.Length() / 4;
    if (n < 1 || n > MAX_BATCH_VERTICES || !surface->EnsureTexture()) return 0;
    Vertex* v = Reserve(n, n, surface);
    for (int i = 0; i < n; ++i) {
        const float* in = &xyuv[i * 4];
        AddVertex(v + i, in[0], in[1]);
        v[i].u = (in[2] + float(srcx)) * surface->uscale;
        v[i].v = (in[3] + float(srcy)) * surface->vscale;
    }
    return 0;
}

// Enough segments to look round at the oval's size on screen: about one per pixel of the two radii,
// a multiple of 4 so the outline is symmetric, at least 12 and at most one full batch.
int gxtkGraphics::OvalSegments(float xr, float yr) const {
    float n;
    if (transformed) {
        n = std::trunc(std::sqrt((a * xr) * (a * xr) + (b * xr) * (b * xr)) +
                       std::sqrt((c * yr) * (c * yr) + (d * yr) * (d * yr)));
    } else {
        n = std::abs(std::trunc(xr)) + std::abs(std::trunc(yr));
    }
    // Decided in floating point: a huge or invalid radius never reaches an integer conversion.
    if (!(n >= 12)) return 12;
    if (n > MAX_BATCH_VERTICES) return MAX_BATCH_VERTICES;
    return int(n) & ~3;
}

int gxtkGraphics::DrawOval(float x, float y, float w, float h) {
    float xr = w * 0.5f;
    float yr = h * 0.5f;
    int n = OvalSegments(xr, yr);
    Vertex* v = Reserve(n, n, nullptr);
    for (int i = 0; i < n; ++i) {
        float theta = float(i) * 6.2831855f / float(n);
        AddVertex(v + i, x + xr + std::cos(theta) * xr, y + yr - std::sin(theta) * yr);
    }
    return 0;
}

void gxtkGraphics::Flush() {
    if (batchCount == 0) return;
    EnableTexturing(batchSurface != nullptr);
    if (batchSurface) batchSurface->Bind();
    DrawBatch();
    batchCount = 0;
}

void gxtkGraphics::EnableTexturing(bool on) {
    if (texturing == int(on)) return;
    texturing = int(on);
    if (on) {
        glEnable(GL_TEXTURE_2D);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
}

void gxtkGraphics::DrawBatch() {
    switch (batchType) {
    case 1:
        gxtkDrawCalls::Arrays(GL_POINTS, 0, batchCount);
        break;
    case 2:
        gxtkDrawCalls::Arrays(GL_LINES, 0, batchCount);
        break;
    case 3:
        gxtkDrawCalls::Arrays(GL_TRIANGLES, 0, batchCount);
        break;
    case 4:
        gxtkDrawCalls::Elements(GL_TRIANGLES, batchCount / 4 * 6, quadIndices);
        break;
    default:
        for (int first = 0; first < batchCount; first += batchType) {
            gxtkDrawCalls::Arrays(GL_TRIANGLE_FAN, first, batchType);
        }
    }
}

int gxtkGraphics::ReadPixels(Array<int> pixels, int x, int y, int w, int h, int offset, int pitch) {
    Flush();
    // Rows that would land outside the array are refused rather than written past its end.
    if (w <= 0 || h <= 0 || !RectFitsArray(pixels.Length(), offset, w, h, pitch)) return 0;
    auto* block = static_cast<std::uint32_t*>(std::malloc(std::size_t(w) * h * 4));
    glReadPixels(x, height - y - h, w, h, GL_BGRA, GL_UNSIGNED_BYTE, block);
    // OpenGL's rows run bottom up; the array's run top down.
    for (int r = 0; r < h; ++r) {
        std::memcpy(&pixels[offset + r * pitch], block + std::size_t(h - 1 - r) * w, std::size_t(w) * 4);
    }
    std::free(block);
    return 0;
}

int gxtkGraphics::WritePixels2(gxtkSurface* surface, Array<int> pixels, int x, int y, int w, int h,
                               int offset, int pitch) {
    if (w <= 0 || h <= 0 || !RectFitsArray(pixels.Length(), offset, w, h, pitch)) return 0;
    surface->SetSubData(x, y, w, h, &pixels[offset], pitch);
    return 0;
}

void gxtkGraphics::mark() {
    gc_mark_q(batchSurface);
    for (gxtkSurface* surface : prepared) gc_mark_q(surface);
}
