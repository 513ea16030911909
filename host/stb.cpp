// The one home of the stb_image implementation; every other unit includes its declarations only.
// Any target that links the host library gets it from here.
#include <cstring>

// stb_image copies zero bytes into a null buffer for an empty IDAT chunk: harmless, but undefined.
static void* stbi_copy(void* to, const void* from, size_t n) { return n ? std::memcpy(to, from, n) : to; }
#define memcpy stbi_copy
// PNG is the game's only image format, and the only decoder of this stb_image that holds up to
// hostile files: fuzzing found its JPEG decoder writing past a table and its PNM reader
// overflowing, so the others are left out.
#define STBI_ONLY_PNG
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
#undef memcpy
