// The graphics module: the drawing interface the game calls.
//
// The drawing state (matrix and matrix stack, colour, alpha, blend, scissor, font) lives in the one
// c_GraphicsContext. Colour, alpha, blend and scissor go to the render device at once; the matrix is
// composed here on the CPU and handed over lazily, just before something is drawn and only when it
// changed since the last draw, so a run of draws under one transform costs one SetMatrix.
//
// Drawing works only between vx_graphics_BeginRender and vx_graphics_EndRender; outside them, like
// an unbalanced PopMatrix or a frame index outside the image, a call is ignored.
#pragma once

#include "devices/graphics/graphics.h"
#include "framework/graphics/image.h"
#include "runtime/object.h"

class c_GraphicsContext : public Object {
  public:
    c_Image* defaultFont = nullptr;
    c_Image* font = nullptr;
    int firstChar = 0;
    int matrixSp = 0;
    float a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
    int transformed = 0;
    int matrixDirty = 0;
    float red = 0, green = 0, blue = 0;
    float alpha = 0;
    int blend = 0;
    float scissorX = 0, scissorY = 0, scissorW = 0, scissorH = 0;
    Array<float> matrixStack;

    c_GraphicsContext* m_new();
    // Replaces the matrix; the device gets it at the next draw.
    int p_SetMatrix(float ia, float ib, float ic, float id, float itx, float ity);
    // Hands the matrix to the render device if it changed since the last draw.
    int p_Validate();

    void mark() override;
};

extern VxRoot<gxtkGraphics*> vx_graphics_device;
extern VxRoot<c_GraphicsContext*> vx_graphics_context;
extern VxRoot<gxtkGraphics*> vx_graphics_renderDevice;

// The module's part of the program's global initialisation: the one context, no device yet.
void vx_graphics_Init();

int vx_graphics_SetGraphicsDevice(gxtkGraphics* device);

int vx_graphics_SetColor(float r, float g, float b);
int vx_graphics_SetAlpha(float alpha);
int vx_graphics_SetBlend(int blend);
int vx_graphics_SetScissor(float x, float y, float w, float h);
int vx_graphics_SetMatrix(float a, float b, float c, float d, float tx, float ty);
int vx_graphics_SetMatrix2(Array<float> m);
// Multiplies the current matrix by the given one: the given transform applies first.
int vx_graphics_Transform(float a, float b, float c, float d, float tx, float ty);
int vx_graphics_Transform2(Array<float> m);
int vx_graphics_Translate(float x, float y);
int vx_graphics_Scale(float x, float y);
// Degrees, counter-clockwise on screen.
int vx_graphics_Rotate(float angle);
int vx_graphics_PushMatrix();
int vx_graphics_PopMatrix();
// A null font selects the default font ("kiwi_font.png", loaded on first need) with first char 32.
int vx_graphics_SetFont(c_Image* font, int firstChar);

// Resets the context's state on the device and makes it the render device for one frame.
int vx_graphics_BeginRender();
int vx_graphics_EndRender();

int vx_graphics_DrawRect(float x, float y, float w, float h);
int vx_graphics_DrawLine(float x0, float y0, float x1, float y1);
// Centre and radii.
int vx_graphics_DrawEllipse(float x, float y, float xr, float yr);
int vx_graphics_DrawPoly(Array<float> xy);
// u and v in the array are pixel offsets inside the frame.
int vx_graphics_DrawPoly2(Array<float> xyuv, c_Image* image, int frame);
int vx_graphics_DrawImage(c_Image* image, float x, float y, int frame);
// Turns and scales the image about its handle.
int vx_graphics_DrawImage2(c_Image* image, float x, float y, float rotation, float scaleX, float scaleY,
                           int frame);

// Each returns null when the file cannot be loaded (or the surface not created).
c_Image* vx_graphics_LoadImage(String path, int frameCount, int flags);
c_Image* vx_graphics_LoadImage2(String path, int frameWidth, int frameHeight, int frameCount, int flags);
c_Image* vx_graphics_CreateImage(int width, int height, int frameCount, int flags);
// Starts decoding the image files on worker threads, in the order given, so that loading them
// later costs only their upload; replaces the list of any earlier call.
void vx_graphics_DecodeAhead(Array<String> paths);
// Makes the textures of image files the next loads will ask for, without their pixels, when they
// are decoded already: the load a frame later only fills them. Replaces the ones made before.
void vx_graphics_PrepareImages(Array<String> paths);
