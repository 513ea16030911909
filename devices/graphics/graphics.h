// gxtkGraphics: the graphics device, the only code that talks to OpenGL.
//
// OpenGL 1.1 fixed function: client vertex arrays, an orthographic projection with one unit a pixel
// and y down, GL_TEXTURE_2D only while a textured batch is drawn; no shaders, no buffer objects.
//
// Every primitive goes into one 1024-vertex batch held in this object. A primitive joins the batch
// when its type (the vertex count per primitive) and its surface match and it fits; otherwise the
// batch is flushed first. Besides that, only blend and scissor changes, ReadPixels and EndRender
// flush; Cls throws the batch away. Colour and matrix changes never flush: vertices are transformed
// and coloured on the CPU as they are added, and the OpenGL model-view matrix stays the identity.
//
// The device remembers the blend mode, scissor rectangle and texturing it last gave OpenGL during
// a frame: asking for the state it already has neither flushes nor calls OpenGL, so a frame costs
// one draw call per change of texture, blend, scissor or primitive kind, plus one per full batch.
#pragma once

#include "devices/graphics/surface.h"
#include "runtime/object.h"

#include <GL/gl.h>

#include <bit>
#include <cstdint>
#include <vector>

class gxtkGraphics : public Object {
  public:
    static constexpr int MAX_BATCH_VERTICES = 1024;

    // One batch vertex; the three client arrays share its 20-byte stride.
    struct Vertex {
        float x, y, u, v;
        // Bytes R, G, B, A in memory order, premultiplied.
        std::uint32_t colour;
    };
    static_assert(sizeof(Vertex) == 20);
    static_assert(std::endian::native == std::endian::little, "colour words are packed as R, G, B, A bytes");

    // Needs the window open: its OpenGL context must be current.
    gxtkGraphics();

    virtual int Width();
    virtual int Height();
    virtual int BeginRender();
    virtual int EndRender();
    virtual int DiscardGraphics();
    virtual gxtkSurface* LoadSurface(String path);
    virtual gxtkSurface* CreateSurface(int w, int h);
    virtual bool LoadSurface__UNSAFE__(gxtkSurface* surface, String path);
    // Starts decoding the files on worker threads, in order, for the LoadSurface calls to come
    // (see decode_ahead.h); replaces the files asked for before, and drops the surfaces prepared.
    virtual void DecodeAhead(Array<String> paths);
    // Makes the surfaces of files the next LoadSurface calls will ask for, with their textures'
    // storage but not their pixels, when the workers have decoded them already (it never waits),
    // in place of those made before: a loader that spreads its loads over frames pays for the
    // storage, the costly part of a texture, a frame before its load, which only fills it.
    virtual void PrepareSurfaces(Array<String> paths);
    virtual int Cls(float r, float g, float bl);
    virtual int SetAlpha(float alpha);
    virtual int SetColor(float r, float g, float bl);
    virtual int SetBlend(int blend);
    virtual int SetScissor(int x, int y, int w, int h);
    virtual int SetMatrix(float ia, float ib, float ic, float id, float itx, float ity);
    virtual int DrawPoint(float x, float y);
    virtual int DrawRect(float x, float y, float w, float h);
    virtual int DrawLine(float x0, float y0, float x1, float y1);
    virtual int DrawOval(float x, float y, float w, float h);
    virtual int DrawPoly(Array<float> xy);
    virtual int DrawPoly2(Array<float> xyuv, gxtkSurface* surface, int srcx, int srcy);
    virtual int DrawSurface(gxtkSurface* surface, float x, float y);
    virtual int DrawSurface2(gxtkSurface* surface, float x, float y, int srcx, int srcy, int srcw, int srch);
    virtual int ReadPixels(Array<int> pixels, int x, int y, int w, int h, int offset, int pitch);
    virtual int WritePixels2(gxtkSurface* surface, Array<int> pixels, int x, int y, int w, int h, int offset,
                             int pitch);

    // Draws the pending batch, if any.
    void Flush();

    // The identity matrix lets vertices skip the transform.
    static bool IsIdentity(float a, float b, float c, float d, float tx, float ty) {
        return a == 1 && b == 0 && c == 0 && d == 1 && tx == 0 && ty == 0;
    }

    void mark() override;

    int width = 0;
    int height = 0;
    std::uint32_t packedColor = 0;
    float red = 0, green = 0, blue = 0;
    float alpha = 0;
    float a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
    bool transformed = false;
    Vertex vertices[MAX_BATCH_VERTICES]{};
    GLushort quadIndices[MAX_BATCH_VERTICES / 4 * 6];
    int batchType = 0;
    int batchCount = 0;
    gxtkSurface* batchSurface = nullptr;

  private:
    std::vector<gxtkSurface*> prepared;
    // The prepared surface of the file, taken off the list; null when there is none.
    gxtkSurface* TakePrepared(const String& path);
    void DropPrepared();

    // OpenGL state as last set by this device in the current frame, -1 or false while unknown;
    // BeginRender sets or forgets it.
    int blendMode = -1;
    int texturing = -1;
    bool scissorKnown = false;
    int scissorX = 0, scissorY = 0, scissorW = 0, scissorH = 0;

    void ReadWindowSize();
    void EnableTexturing(bool on);
    void PackColor();
    // Room for `count` vertices of primitive `type` on `surface`, flushing first when they cannot join.
    Vertex* Reserve(int type, int count, gxtkSurface* surface);
    Vertex* AddVertex(Vertex* v, float x, float y);
    static void OffsetToPixelCentres(Vertex* v, int count);
    Vertex* AddRect(float x, float y, float w, float h, gxtkSurface* surface);
    void AddQuad(float x, float y, float w, float h, gxtkSurface* surface, float u0, float v0, float u1,
                 float v1);
    int OvalSegments(float xr, float yr) const;
    void DrawBatch();
};
