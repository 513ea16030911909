// gxtkSurface: one OpenGL texture with an optional copy of its pixels in memory.
//
// Pixels are premultiplied by alpha once, when they enter the surface. A window re-opened for a
// display-mode change comes with a new context, and the first use after it builds the texture again
// (texSeq against glfwGraphicsSeq) from the pixels in memory. A surface loaded from a file keeps no
// copy once its texture holds the pixels, only the file's path: a copy of every picture would double
// what the game's images take, for a change of mode that is rare and that makes the game load its
// pictures again at the new size anyway. Its first draw in a new context hands the file to the
// restore worker instead (decode_ahead.h) and draws nothing, nor do the draws after it until the
// pixels are back, one picture a frame: the main thread never decodes them, and only a suspended
// game's frame waits for them. A surface made empty gets its texture only when it is first drawn or
// written, so that a reserved picture nobody uses costs no texture memory.
#pragma once

#include "runtime/object.h"

#include <GL/gl.h>

// Decoded pixels as a surface keeps them: premultiplied by alpha, and a picture that is white
// throughout (all its colour in its alpha, as glows and masks are) as one intensity byte a pixel,
// which draws the same pixels from a quarter of the texture memory.
struct gxtkPixels {
    unsigned char* data = nullptr; // malloc'ed
    int width = 0;
    int height = 0;
    int depth = 0; // the decoded picture's bytes a pixel
    GLenum format = 0;
};

// Takes ownership of `data` (malloc'ed, `depth` bytes a pixel) and prepares it in place. Touches no
// runtime object or OpenGL, so a worker thread may call it.
gxtkPixels PreparePixels(unsigned char* data, int width, int height, int depth);

class gxtkSurface : public Object {
  public:
    gxtkSurface() = default;
    ~gxtkSurface() override;

    virtual int Discard();
    virtual int Width();
    virtual int Height();
    virtual int Loaded();
    virtual void OnUnsafeLoadComplete();

    // Takes ownership of prepared pixels.
    void Keep(const gxtkPixels& pixels);
    // Decodes the image file at `file` into the surface (no OpenGL call); false when it cannot.
    bool LoadData(const String& file);
    // Writes 0xAARRGGBB pixels into an RGBA surface, premultiplied, and into its texture if current.
    void SetSubData(int x, int y, int w, int h, const int* src, int pitch);
    // Binds the texture, building it first when this context has none yet. Binding the texture
    // that is already bound makes no OpenGL call.
    void Bind();
    // Makes the texture when this context has none yet (or fills one made without its pixels),
    // without binding one that is complete: draws call it before they read uscale and vscale. False
    // when there is no texture to draw with yet: no context, or the pixels are still on their way
    // back for a new context's texture.
    bool EnsureTexture();
    // Code outside the surfaces may have bound another texture: the next Bind binds for certain.
    static void ForgetBinding();
    // A frame starts: anything may have been bound since the last, and another picture may come
    // back from the restore worker.
    static void NextFrame();
    // Makes the texture with its storage but not its pixels, which the next Bind or EnsureTexture
    // puts in: making the storage is the costly part (the driver clears it), so a loader can pay
    // for it a frame before the load.
    void MakeTextureStorage();

    unsigned char* data = nullptr;
    int width = 0;
    int height = 0;
    int depth = 0;
    // The texture's format.
    GLenum format = 0;
    int texSeq = -1;
    GLuint texture = 0;
    float uscale = 0;
    float vscale = 0;
    // The file the pixels were decoded from, while they are that file's own (no write since); its
    // surface lets the pixels go once they are in the texture.
    String path;

  private:
    bool TextureIsCurrent() const;
    GLenum PixelFormat() const;
    void CreateTexture();
    void AllocateTextureStorage();
    // Puts the pixels into a texture made without them.
    void FillTexture();
    void UploadRows(int x, int y, int w, int h);
    // Decodes the file again, here and now, for a write that needs the pixels.
    void RestorePixels();
    // Takes the file's pixels back from the restore worker, handing the file to it first; true once
    // they are back (or where there is no worker and they were decoded here). Never waits for the
    // worker but in a suspended game.
    bool PixelsBack();
    // Keeps pixels decoded again from the file, if they are the size the surface was loaded at.
    void KeepRestored(const gxtkPixels& pixels);
    void ForgetRestore();
    // Pixel writes go to RGBA: an intensity picture is widened first, its texture made anew.
    void WidenToRgba();
    void ReleaseTexture();
    void ReleasePixels();

    // The current texture still waits for its pixels.
    bool unfilled = false;
    // The file is with the restore worker, and its pixels not taken yet.
    bool restoring = false;
};
