// A page's memory only ever grows (WebAssembly cannot shrink it), so there is nothing to hand back.
#include "host/files.h"

void vxReleaseFreeMemory() {}

void vxKeepLargeBlocksOutOfTheHeap() {}

void vxRestartWithHugePages() {}
