// Pictures decoded on worker threads (VxDecodeAhead), in two lists. The loader's: two workers
// decode its pictures ahead of the loads that will ask for them; two, because the main thread mostly
// sleeps between its updates while a load runs. The restores: a worker of their own decodes again
// the pictures whose textures went with an old OpenGL context, so that the render after a
// display-mode change decodes nothing and the loader's list stays as it was. The workers prepare
// the pixels as a surface keeps them; the main thread takes them when the load or the draw comes,
// reporting their size to the collector then.
#pragma once

#include "devices/graphics/surface.h"
#include "host/decode_ahead.h"

class gxtkDecodeAhead : public VxDecodeAhead<gxtkPixels> {
  public:
    gxtkDecodeAhead();
};

class gxtkPictureRestores : public VxDecodeAhead<gxtkPixels> {
  public:
    gxtkPictureRestores();
};

// The file decoded and prepared as the worker does it, on the calling thread; no pixels when it
// cannot be read or decoded.
gxtkPixels DecodePictureFile(const std::string& file);
// The one list of the process, which the graphics device fills; a fork waits for it.
gxtkDecodeAhead& vxPicturesAhead();
// The prepared pixels of a load that was decoded ahead, or no pixels.
gxtkPixels TakeDecodedAhead(const String& path);
// The one list of pictures decoded again for a new context.
gxtkPictureRestores& vxPictureRestores();
// The pixels of a restore that is Ready, or no pixels.
gxtkPixels TakeRestored(const std::string& file);
