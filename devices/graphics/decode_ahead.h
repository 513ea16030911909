// Pictures decoded on two worker threads ahead of the loads that will ask for them (VxDecodeAhead).
// Two, because the main thread mostly sleeps between its updates while a load runs. The workers
// prepare the pixels as a surface keeps them; the main thread takes them when the load comes,
// reporting their size to the collector then.
#pragma once

#include "devices/graphics/surface.h"
#include "host/decode_ahead.h"

class gxtkDecodeAhead : public VxDecodeAhead<gxtkPixels> {
  public:
    gxtkDecodeAhead();
};

// The file decoded and prepared as the worker does it, on the calling thread; no pixels when it
// cannot be read or decoded.
gxtkPixels DecodePictureFile(const std::string& file);
// The one list of the process, which the graphics device fills; a fork waits for it.
gxtkDecodeAhead& vxPicturesAhead();
// The prepared pixels of a load that was decoded ahead, or no pixels.
gxtkPixels TakeDecodedAhead(const String& path);
