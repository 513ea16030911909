// The one home of the stb decoder implementations; every other unit includes their declarations
// only. Any target that links the host library gets them from here.
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include <stb_vorbis.h>
