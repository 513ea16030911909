#include "framework/graphics/graphics.h"

#include "framework/app/app.h"
#include "host/files.h"

#include <algorithm>
#include <climits>
#include <cmath>

VxRoot<gxtkGraphics*> vx_graphics_device;
VxRoot<c_GraphicsContext*> vx_graphics_context;
VxRoot<gxtkGraphics*> vx_graphics_renderDevice;

namespace {

constexpr int MatrixFloats = 6;
constexpr int InitialStackMatrices = 32;

c_GraphicsContext* Context() { return vx_graphics_context.get(); }
gxtkGraphics* RenderDevice() { return vx_graphics_renderDevice.get(); }

// Truncates toward zero; values no int can hold are clamped, where a plain conversion is undefined.
int TruncToInt(float value) {
    if (!(value > float(INT_MIN))) return value < 0 ? INT_MIN : 0;
    if (!(value < float(INT_MAX))) return INT_MAX;
    return int(value);
}

// The frame to draw, or null for an index outside the image.
c_Frame* FrameOf(c_Image* image, int frame) {
    if (frame < 0 || frame >= image->frames.Length()) return nullptr;
    return image->frames[frame];
}

// Draws one frame with its top-left corner at (x, y) in the current transform.
void DrawFrame(gxtkGraphics* device, c_Image* image, c_Frame* f, float x, float y) {
    if (image->flags & c_Image::WholeSurface) {
        device->DrawSurface(image->surface, x, y);
    } else {
        device->DrawSurface2(image->surface, x, y, f->x, f->y, image->width, image->height);
    }
}

} // namespace

c_GraphicsContext* c_GraphicsContext::m_new() {
    gc_assign(matrixStack, Array<float>(InitialStackMatrices * MatrixFloats));
    return this;
}

int c_GraphicsContext::p_SetMatrix(float ia, float ib, float ic, float id, float itx, float ity) {
    a = ia;
    b = ib;
    c = ic;
    d = id;
    tx = itx;
    ty = ity;
    transformed = !gxtkGraphics::IsIdentity(a, b, c, d, tx, ty);
    matrixDirty = 1;
    return 0;
}

int c_GraphicsContext::p_Validate() {
    if (matrixDirty) {
        RenderDevice()->SetMatrix(a, b, c, d, tx, ty);
        matrixDirty = 0;
    }
    return 0;
}

void c_GraphicsContext::mark() {
    gc_mark_q(defaultFont);
    gc_mark_q(font);
    gc_mark_q(matrixStack);
}

void vx_graphics_Init() {
    vx_graphics_device = nullptr;
    vx_graphics_context = (new c_GraphicsContext)->m_new();
    vx_graphics_renderDevice = nullptr;
    c_Image::m_DefaultFlags = 0;
}

int vx_graphics_SetGraphicsDevice(gxtkGraphics* device) {
    vx_graphics_device = device;
    return 0;
}

int vx_graphics_SetColor(float r, float g, float b) {
    c_GraphicsContext* context = Context();
    context->red = r;
    context->green = g;
    context->blue = b;
    if (gxtkGraphics* device = RenderDevice()) device->SetColor(r, g, b);
    return 0;
}

int vx_graphics_SetAlpha(float alpha) {
    Context()->alpha = alpha;
    if (gxtkGraphics* device = RenderDevice()) device->SetAlpha(alpha);
    return 0;
}

int vx_graphics_SetBlend(int blend) {
    Context()->blend = blend;
    if (gxtkGraphics* device = RenderDevice()) device->SetBlend(blend);
    return 0;
}

int vx_graphics_SetScissor(float x, float y, float w, float h) {
    c_GraphicsContext* context = Context();
    context->scissorX = x;
    context->scissorY = y;
    context->scissorW = w;
    context->scissorH = h;
    if (gxtkGraphics* device = RenderDevice()) {
        device->SetScissor(TruncToInt(x), TruncToInt(y), TruncToInt(w), TruncToInt(h));
    }
    return 0;
}

int vx_graphics_SetMatrix(float a, float b, float c, float d, float tx, float ty) {
    return Context()->p_SetMatrix(a, b, c, d, tx, ty);
}

int vx_graphics_SetMatrix2(Array<float> m) {
    if (m.Length() < MatrixFloats) return 0;
    return vx_graphics_SetMatrix(m[0], m[1], m[2], m[3], m[4], m[5]);
}

int vx_graphics_Transform(float ia, float ib, float ic, float id, float itx, float ity) {
    c_GraphicsContext* m = Context();
    return m->p_SetMatrix(m->a * ia + m->c * ib, m->b * ia + m->d * ib, m->a * ic + m->c * id,
                          m->b * ic + m->d * id, m->a * itx + m->c * ity + m->tx,
                          m->b * itx + m->d * ity + m->ty);
}

int vx_graphics_Transform2(Array<float> m) {
    if (m.Length() < MatrixFloats) return 0;
    return vx_graphics_Transform(m[0], m[1], m[2], m[3], m[4], m[5]);
}

int vx_graphics_Translate(float x, float y) { return vx_graphics_Transform(1, 0, 0, 1, x, y); }

int vx_graphics_Scale(float x, float y) { return vx_graphics_Transform(x, 0, 0, y, 0, 0); }

int vx_graphics_Rotate(float angle) {
    float r = angle * 0.017453292f;
    auto cosine = float(std::cos(double(r)));
    auto sine = float(std::sin(double(r)));
    return vx_graphics_Transform(cosine, -sine, sine, cosine, 0, 0);
}

int vx_graphics_PushMatrix() {
    c_GraphicsContext* context = Context();
    Array<float>& stack = context->matrixStack;
    if (context->matrixSp == stack.Length()) {
        gc_assign(stack, stack.Resize(std::max(stack.Length() * 2, MatrixFloats)));
    }
    float* top = &stack[context->matrixSp];
    top[0] = context->a;
    top[1] = context->b;
    top[2] = context->c;
    top[3] = context->d;
    top[4] = context->tx;
    top[5] = context->ty;
    context->matrixSp += MatrixFloats;
    return 0;
}

int vx_graphics_PopMatrix() {
    c_GraphicsContext* context = Context();
    if (context->matrixSp < MatrixFloats) return 0;
    context->matrixSp -= MatrixFloats;
    const float* top = &context->matrixStack[context->matrixSp];
    return context->p_SetMatrix(top[0], top[1], top[2], top[3], top[4], top[5]);
}

int vx_graphics_SetFont(c_Image* font, int firstChar) {
    c_GraphicsContext* context = Context();
    if (!font) {
        if (!context->defaultFont) {
            gc_assign(context->defaultFont,
                      vx_graphics_LoadImage(String(u"kiwi_font.png"), 96, c_Image::PadX));
        }
        font = context->defaultFont;
        firstChar = 32;
    }
    gc_assign(context->font, font);
    context->firstChar = firstChar;
    return 0;
}

int vx_graphics_BeginRender() {
    vx_graphics_renderDevice = vx_graphics_device.get();
    c_GraphicsContext* context = Context();
    context->matrixSp = 0;
    context->p_SetMatrix(1, 0, 0, 1, 0, 0);
    vx_graphics_SetColor(255, 255, 255);
    vx_graphics_SetAlpha(1);
    vx_graphics_SetBlend(0);
    vx_graphics_SetScissor(0, 0, float(vx_app_DeviceWidth()), float(vx_app_DeviceHeight()));
    return 0;
}

int vx_graphics_EndRender() {
    vx_graphics_renderDevice = nullptr;
    return 0;
}

int vx_graphics_DrawRect(float x, float y, float w, float h) {
    gxtkGraphics* device = RenderDevice();
    if (!device) return 0;
    Context()->p_Validate();
    return device->DrawRect(x, y, w, h);
}

int vx_graphics_DrawLine(float x0, float y0, float x1, float y1) {
    gxtkGraphics* device = RenderDevice();
    if (!device) return 0;
    Context()->p_Validate();
    return device->DrawLine(x0, y0, x1, y1);
}

int vx_graphics_DrawEllipse(float x, float y, float xr, float yr) {
    gxtkGraphics* device = RenderDevice();
    if (!device) return 0;
    Context()->p_Validate();
    return device->DrawOval(x - xr, y - yr, xr * 2, yr * 2);
}

int vx_graphics_DrawPoly(Array<float> xy) {
    gxtkGraphics* device = RenderDevice();
    if (!device) return 0;
    Context()->p_Validate();
    return device->DrawPoly(xy);
}

int vx_graphics_DrawPoly2(Array<float> xyuv, c_Image* image, int frame) {
    gxtkGraphics* device = RenderDevice();
    c_Frame* f = FrameOf(image, frame);
    if (!device || !f) return 0;
    Context()->p_Validate();
    return device->DrawPoly2(xyuv, image->surface, f->x, f->y);
}

int vx_graphics_DrawImage(c_Image* image, float x, float y, int frame) {
    gxtkGraphics* device = RenderDevice();
    c_Frame* f = FrameOf(image, frame);
    if (!device || !f) return 0;
    Context()->p_Validate();
    DrawFrame(device, image, f, x - image->handleX, y - image->handleY);
    return 0;
}

int vx_graphics_DrawImage2(c_Image* image, float x, float y, float rotation, float scaleX, float scaleY,
                           int frame) {
    gxtkGraphics* device = RenderDevice();
    c_Frame* f = FrameOf(image, frame);
    if (!device || !f) return 0;
    vx_graphics_PushMatrix();
    vx_graphics_Translate(x, y);
    vx_graphics_Rotate(rotation);
    vx_graphics_Scale(scaleX, scaleY);
    vx_graphics_Translate(-image->handleX, -image->handleY);
    Context()->p_Validate();
    DrawFrame(device, image, f, 0, 0);
    vx_graphics_PopMatrix();
    return 0;
}

namespace {

// A program without a graphics device (the headless verifier) loads no pictures: every load gives
// no image, and the decoders are never asked.
gxtkSurface* LoadSurface(const String& path) {
    gxtkGraphics* device = vx_graphics_device.get();
    return device ? device->LoadSurface(vx_data_FixDataPath(path)) : nullptr;
}

} // namespace

c_Image* vx_graphics_LoadImage(String path, int frameCount, int flags) {
    gxtkSurface* surface = LoadSurface(path);
    if (!surface) return nullptr;
    return (new c_Image)->m_new()->p_Init(surface, frameCount, flags);
}

c_Image* vx_graphics_LoadImage2(String path, int frameWidth, int frameHeight, int frameCount, int flags) {
    gxtkSurface* surface = LoadSurface(path);
    if (!surface) return nullptr;
    return (new c_Image)
        ->m_new()
        ->p_Init2(surface, 0, 0, frameWidth, frameHeight, frameCount, flags, nullptr, 0, 0, surface->Width(),
                  surface->Height());
}

namespace {

Array<String> DataPaths(const Array<String>& paths) {
    Array<String> files(paths.Length());
    for (int i = 0; i < paths.Length(); ++i) files[i] = vx_data_FixDataPath(paths[i]);
    return files;
}

} // namespace

void vx_graphics_DecodeAhead(Array<String> paths) {
    if (vx_graphics_device) vx_graphics_device->DecodeAhead(DataPaths(paths));
}

void vx_graphics_PrepareImages(Array<String> paths) {
    if (vx_graphics_device) vx_graphics_device->PrepareSurfaces(DataPaths(paths));
}

c_Image* vx_graphics_CreateImage(int width, int height, int frameCount, int flags) {
    if (!vx_graphics_device) return nullptr;
    gxtkSurface* surface = vx_graphics_device->CreateSurface(width * frameCount, height);
    if (!surface) return nullptr;
    return (new c_Image)->m_new()->p_Init(surface, frameCount, flags);
}
