#include "devices/graphics/surface.h"

#include "devices/graphics/decode_ahead.h"
#include "host/game.h"

#include <cstdlib>
#include <cstring>

namespace {

GLenum FormatOfDepth(int depth) {
    switch (depth) {
    case 1:
        return GL_LUMINANCE;
    case 2:
        return GL_LUMINANCE_ALPHA;
    case 3:
        return GL_RGB;
    default:
        return GL_RGBA;
    }
}

unsigned char Premultiply(unsigned char channel, unsigned char alpha) { return channel * alpha / 255; }

void PremultiplyPixels(unsigned char* p, long pixels, int depth) {
    if (depth == 2) {
        for (long i = 0; i < pixels; ++i, p += 2) p[0] = Premultiply(p[0], p[1]);
    } else if (depth == 4) {
        for (long i = 0; i < pixels; ++i, p += 4) {
            p[0] = Premultiply(p[0], p[3]);
            p[1] = Premultiply(p[1], p[3]);
            p[2] = Premultiply(p[2], p[3]);
        }
    }
}

// WebGL has no intensity textures: a page keeps white pictures in RGBA.
#ifdef __EMSCRIPTEN__
constexpr bool IntensityTextures = false;
#else
constexpr bool IntensityTextures = true;
#endif

// Premultiplied RGBA pixels that all read (a, a, a, a): white wherever they show.
bool WhiteThroughout(const unsigned char* p, long pixels) {
    for (long i = 0; i < pixels; ++i, p += 4) {
        if (p[0] != p[3] || p[1] != p[3] || p[2] != p[3]) return false;
    }
    return true;
}

// Keeps the alpha byte of each RGBA pixel, in place; the block shrinks to a quarter.
unsigned char* AlphaOnly(unsigned char* p, long pixels) {
    for (long i = 0; i < pixels; ++i) p[i] = p[4 * i + 3];
    auto* shrunk = static_cast<unsigned char*>(std::realloc(p, std::size_t(pixels)));
    return shrunk ? shrunk : p;
}

// The texture bound in the current context, as far as the surfaces know. Every surface binds
// through here, so binding the texture that is already bound costs no OpenGL call.
struct BoundTexture {
    int seq = -1;
    GLuint name = 0;
} bound;

void BindTexture(GLuint name) {
    if (bound.seq == glfwGraphicsSeq && bound.name == name) return;
    glBindTexture(GL_TEXTURE_2D, name);
    bound = {glfwGraphicsSeq, name};
}

// Pixels back from the restore worker are taken one picture a frame: each costs a texture made and
// filled, and a screen's worth coming back at once would stall the frame that takes them.
bool restoredThisFrame = false;

int PowerOfTwoAtLeast(int n) {
    int pot = 1;
    while (pot < n) pot *= 2;
    return pot;
}

} // namespace

gxtkPixels PreparePixels(unsigned char* data, int width, int height, int depth) {
    const long count = long(width) * height;
    PremultiplyPixels(data, count, depth);
    // An intensity texel modulates colour and alpha alike, exactly as (a, a, a, a) does.
    if (IntensityTextures && depth == 4 && WhiteThroughout(data, count))
        return {AlphaOnly(data, count), width, height, depth, GL_INTENSITY};
    return {data, width, height, depth, FormatOfDepth(depth)};
}

gxtkSurface::~gxtkSurface() { Discard(); }

int gxtkSurface::Discard() {
    ForgetRestore();
    ReleaseTexture();
    ReleasePixels();
    return 0;
}

int gxtkSurface::Width() { return width; }
int gxtkSurface::Height() { return height; }
int gxtkSurface::Loaded() { return 1; }
void gxtkSurface::OnUnsafeLoadComplete() { Bind(); }

void gxtkSurface::Keep(const gxtkPixels& pixels) {
    ReleasePixels();
    data = pixels.data;
    width = pixels.width;
    height = pixels.height;
    depth = pixels.depth;
    format = pixels.format;
}

bool gxtkSurface::LoadData(const String& file) {
    VxGame* host = VxGame::_game;
    if (!host) return false;
    gxtkPixels pixels = TakeDecodedAhead(file);
    if (!pixels.data) {
        int w = 0, h = 0, d = 0;
        unsigned char* decoded = host->LoadImageData(file, &w, &h, &d);
        if (!decoded) return false;
        pixels = PreparePixels(decoded, w, h, d);
    }
    Keep(pixels);
    path = file;
    return true;
}

// On this thread, with the host's decoder: a pixel write needs the pixels at once, and so does a
// new context's texture where there is no worker thread (a page).
void gxtkSurface::RestorePixels() {
    if (data || path.Length() == 0) return;
    ForgetRestore();
    int w = 0, h = 0, d = 0;
    if (unsigned char* decoded = VxGame::_game ? VxGame::_game->LoadImageData(path, &w, &h, &d) : nullptr)
        KeepRestored(PreparePixels(decoded, w, h, d));
}

// A suspended game draws again only when its window has an event, which may be long after the
// pixels are back: its frame waits for them instead, with nothing moving and no player watching.
bool gxtkSurface::PixelsBack() {
    const std::string file = vxFileNameOf(path);
    const bool suspended = VxGame::_game && VxGame::_game->Suspended();
    if (!restoring) {
        restoring = vxPictureRestores().Add(file);
        if (!restoring) {
            RestorePixels();
            return true;
        }
        if (!suspended) return false;
    }
    if (!suspended && (restoredThisFrame || !vxPictureRestores().Ready(file))) return false;
    restoredThisFrame = true;
    restoring = false;
    KeepRestored(TakeRestored(file));
    return true;
}

// A file changed since it was loaded must not resize the texture under the images cut from it:
// pixels of another size are dropped and the texture stays blank.
void gxtkSurface::KeepRestored(const gxtkPixels& pixels) {
    if (pixels.width == width && pixels.height == height && pixels.depth == depth &&
        pixels.format == format) {
        data = pixels.data;
    } else {
        std::free(pixels.data);
    }
}

void gxtkSurface::ForgetRestore() {
    if (!restoring) return;
    restoring = false;
    vxPictureRestores().Drop(vxFileNameOf(path));
}

void gxtkSurface::WidenToRgba() {
    if (format != GL_INTENSITY) return;
    const long count = long(width) * height;
    unsigned char* wide = nullptr;
    if (data) {
        wide = static_cast<unsigned char*>(std::malloc(std::size_t(count) * 4));
        if (!wide) return;
        for (long i = 0; i < count; ++i) std::memset(wide + 4 * i, data[i], 4);
    }
    ReleasePixels();
    data = wide;
    format = GL_RGBA;
    ReleaseTexture();
}

void gxtkSurface::SetSubData(int x, int y, int w, int h, const int* src, int pitch) {
    if (depth != 4) return;
    // A rectangle reaching outside the surface would write past the pixel block.
    if (x < 0 || y < 0 || w < 0 || h < 0 || w > width - x || h > height - y) return;
    // The pixels written are no longer the file's: they are kept from now on.
    RestorePixels();
    path = String();
    WidenToRgba();
    if (format != GL_RGBA) return;
    // Pixels never written stay clear, so a rebuilt texture shows nothing stray.
    if (!data) data = static_cast<unsigned char*>(std::calloc(std::size_t(width) * height, 4));
    for (int r = 0; r < h; ++r) {
        unsigned char* out = data + (std::size_t(y + r) * width + x) * 4;
        for (int i = 0; i < w; ++i, out += 4) {
            auto p = unsigned(src[r * pitch + i]);
            auto a = static_cast<unsigned char>(p >> 24);
            out[0] = Premultiply(static_cast<unsigned char>(p >> 16), a);
            out[1] = Premultiply(static_cast<unsigned char>(p >> 8), a);
            out[2] = Premultiply(static_cast<unsigned char>(p), a);
            out[3] = a;
        }
    }
    if (glfwGraphicsSeq == 0) return;
    // A texture made now takes all the pixels, the ones just written with them.
    if (!TextureIsCurrent()) {
        CreateTexture();
        return;
    }
    BindTexture(texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    UploadRows(x, y, w, h);
}

void gxtkSurface::Bind() {
    if (EnsureTexture()) BindTexture(texture);
}

bool gxtkSurface::EnsureTexture() {
    if (glfwGraphicsSeq == 0) return false;
    if (TextureIsCurrent()) {
        FillTexture();
        return true;
    }
    // Pixels given back to the file once its texture held them come back from the file.
    if (!data && path.Length() > 0 && !PixelsBack()) return false;
    CreateTexture();
    return true;
}

void gxtkSurface::ForgetBinding() { bound = {}; }

void gxtkSurface::NextFrame() {
    ForgetBinding();
    restoredThisFrame = false;
}

// Intensity is a texture's format only; its pixels travel as luminance, which it takes whole.
GLenum gxtkSurface::PixelFormat() const { return format == GL_INTENSITY ? GL_LUMINANCE : format; }

bool gxtkSurface::TextureIsCurrent() const { return texSeq == glfwGraphicsSeq; }

void gxtkSurface::CreateTexture() {
    MakeTextureStorage();
    FillTexture();
}

void gxtkSurface::MakeTextureStorage() {
    texSeq = glfwGraphicsSeq;
    glGenTextures(1, &texture);
    BindTexture(texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    AllocateTextureStorage();
    unfilled = data != nullptr;
}

void gxtkSurface::FillTexture() {
    if (!unfilled) return;
    unfilled = false;
    if (!data) return;
    BindTexture(texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, PixelFormat(), GL_UNSIGNED_BYTE, data);
    // The file can give them again.
    if (path.Length() > 0) ReleasePixels();
}

// Drivers without non-power-of-two textures refuse the image's own size; the image then sits in the
// top-left corner of a power-of-two texture, and uscale/vscale keep texture coordinates in pixels.
void gxtkSurface::AllocateTextureStorage() {
    // Only the refusal of this call may trigger the retry, not an error left over from earlier.
    while (glGetError() != GL_NO_ERROR) {
    }
    int texWidth = width;
    int texHeight = height;
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(format), texWidth, texHeight, 0, PixelFormat(), GL_UNSIGNED_BYTE,
                 nullptr);
    if (glGetError() != GL_NO_ERROR) {
        texWidth = PowerOfTwoAtLeast(width);
        texHeight = PowerOfTwoAtLeast(height);
        glTexImage2D(GL_TEXTURE_2D, 0, GLint(format), texWidth, texHeight, 0, PixelFormat(), GL_UNSIGNED_BYTE,
                     nullptr);
    }
    uscale = 1.0f / float(texWidth);
    vscale = 1.0f / float(texHeight);
}

void gxtkSurface::UploadRows(int x, int y, int w, int h) {
    auto rowStart = [&](int row) { return data + (std::size_t(row) * width + x) * 4; };
    if (w == width) {
        glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, w, h, format, GL_UNSIGNED_BYTE, rowStart(y));
        return;
    }
    for (int r = 0; r < h; ++r) {
        glTexSubImage2D(GL_TEXTURE_2D, 0, x, y + r, w, 1, format, GL_UNSIGNED_BYTE, rowStart(y + r));
    }
}

// A texture of an older context went away with that context: there is nothing left to delete.
void gxtkSurface::ReleaseTexture() {
    if (!TextureIsCurrent()) return;
    glDeleteTextures(1, &texture);
    // Deleting the bound texture binds none.
    if (bound.name == texture) ForgetBinding();
    texSeq = -1;
}

void gxtkSurface::ReleasePixels() {
    std::free(data);
    data = nullptr;
}
