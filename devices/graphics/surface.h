// gxtkSurface: one OpenGL texture with an optional copy of its pixels in memory.
//
// Pixels are premultiplied by alpha once, when they enter the surface. The copy in memory outlives
// the OpenGL context: a window re-opened for a display-mode change comes with a new context, and the
// first Bind after it builds the texture again from the kept pixels (texSeq against glfwGraphicsSeq).
#pragma once

#include "runtime/object.h"

#include <GL/gl.h>

class gxtkSurface : public Object {
  public:
    gxtkSurface() = default;
    ~gxtkSurface() override;

    virtual int Discard();
    virtual int Width();
    virtual int Height();
    virtual int Loaded();
    virtual void OnUnsafeLoadComplete();

    // Takes ownership of `pixels` (malloc'ed, `depth` bytes a pixel) and premultiplies them in place.
    void SetData(unsigned char* pixels, int w, int h, int d);
    // Writes 0xAARRGGBB pixels into an RGBA surface, premultiplied, and into its texture if current.
    void SetSubData(int x, int y, int w, int h, const int* src, int pitch);
    // Binds the texture, building it first when this context has none yet. Binding the texture
    // that is already bound makes no OpenGL call.
    void Bind();
    // Code outside the surfaces may have bound another texture: the next Bind binds for certain.
    static void ForgetBinding();

    unsigned char* data = nullptr;
    int width = 0;
    int height = 0;
    int depth = 0;
    GLenum format = 0;
    int texSeq = -1;
    GLuint texture = 0;
    float uscale = 0;
    float vscale = 0;

  private:
    bool TextureIsCurrent() const;
    void CreateTexture();
    void AllocateTextureStorage();
    void UploadRows(int x, int y, int w, int h);
    void ReleaseTexture();
    void ReleasePixels();
};
