#include "framework/graphics/image.h"

#include "host/console.h"

int c_Image::m_DefaultFlags = 0;

c_Frame* c_Frame::m_new(int ix, int iy) {
    x = ix;
    y = iy;
    return this;
}

c_Image* c_Image::m_new() { return this; }

void c_Image::TakeSurface(gxtkSurface* isurface) {
    if (surface) vxError(String(u"Image already initialized"));
    gc_assign(surface, isurface);
}

c_Image* c_Image::p_Init(gxtkSurface* isurface, int frameCount, int iflags) {
    TakeSurface(isurface);
    // No frames at all rather than a division by zero.
    if (frameCount < 0) frameCount = 0;
    width = frameCount > 0 ? surface->Width() / frameCount : 0;
    height = surface->Height();
    gc_assign(frames, Array<c_Frame*>(frameCount));
    for (int i = 0; i < frameCount; ++i) gc_assign(frames[i], (new c_Frame)->m_new(i * width, 0));
    p_ApplyFlags(iflags);
    return this;
}

c_Image* c_Image::p_Init2(gxtkSurface* isurface, int x, int y, int iwidth, int iheight, int frameCount,
                          int iflags, c_Image* isource, int srcX, int srcY, int srcW, int srcH) {
    TakeSurface(isurface);
    gc_assign(source, isource);
    width = iwidth;
    height = iheight;
    gc_assign(frames, Array<c_Frame*>(frameCount));
    for (int i = 0; i < frames.Length(); ++i) {
        if (x + width > srcW) {
            y += height;
            if (width > srcW) vxError(String(u"Image frame outside surface"));
            x = 0;
        }
        if (y + height > srcH) vxError(String(u"Image frame outside surface"));
        gc_assign(frames[i], (new c_Frame)->m_new(x + srcX, y + srcY));
        x += width;
    }
    p_ApplyFlags(iflags);
    return this;
}

int c_Image::p_SetHandle(float x, float y) {
    handleX = x;
    handleY = y;
    flags &= ~HandleCentre;
    return 0;
}

int c_Image::p_ApplyFlags(int iflags) {
    flags = iflags;
    if (flags & PadX) {
        for (c_Frame* f : frames) f->x += 1;
        width -= 2;
    }
    if (flags & PadY) {
        for (c_Frame* f : frames) f->y += 1;
        height -= 2;
    }
    if (flags & HandleCentre) p_SetHandle(float(width) * 0.5f, float(height) * 0.5f);
    if (CoversWholeSurface()) flags |= WholeSurface;
    return 0;
}

bool c_Image::CoversWholeSurface() const {
    return frames.Length() == 1 && frames[0]->x == 0 && frames[0]->y == 0 && width == surface->Width() &&
           height == surface->Height();
}

void c_Image::mark() {
    gc_mark_q(surface);
    gc_mark_q(frames);
    gc_mark_q(source);
}
