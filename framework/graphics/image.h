// Images: a device surface cut into equal frames (one strip or a grid read left to right, top to
// bottom), with a handle (the point drawn at the given position) and padding flags.
#pragma once

#include "devices/graphics/surface.h"
#include "runtime/object.h"

// The top-left pixel of one frame in its image's surface.
class c_Frame : public Object {
  public:
    int x = 0;
    int y = 0;

    c_Frame* m_new(int ix, int iy);
};

class c_Image : public Object {
  public:
    // Put the handle at the centre of the frame; the bit is cleared once applied.
    static constexpr int HandleCentre = 1;
    // Every frame has a one-pixel padding column on its left and right.
    static constexpr int PadX = 2;
    // Every frame has a one-pixel padding row above and below.
    static constexpr int PadY = 4;
    // Set by the framework only: one frame covering the whole surface, drawn as the surface itself.
    static constexpr int WholeSurface = 65536;

    static int m_DefaultFlags;

    gxtkSurface* surface = nullptr;
    int width = 0;
    int height = 0;
    Array<c_Frame*> frames;
    int flags = 0;
    float handleX = 0;
    float handleY = 0;
    c_Image* source = nullptr;

    c_Image* m_new();
    // A horizontal strip of frameCount frames filling the surface.
    c_Image* p_Init(gxtkSurface* isurface, int frameCount, int iflags);
    // A grid of frameCount frames of width x height inside the rectangle srcX, srcY, srcW, srcH of
    // the surface, starting at (x, y) of that rectangle.
    c_Image* p_Init2(gxtkSurface* isurface, int x, int y, int iwidth, int iheight, int frameCount, int iflags,
                     c_Image* isource, int srcX, int srcY, int srcW, int srcH);
    int p_SetHandle(float x, float y);
    int p_ApplyFlags(int iflags);

    void mark() override;

  private:
    void TakeSurface(gxtkSurface* isurface);
    bool CoversWholeSurface() const;
};
