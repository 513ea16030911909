// Handing the heap's free pages back to the system: after loading, and at once for large blocks.
#include "host/files.h"

#include <malloc.h>

void vxReleaseFreeMemory() { malloc_trim(0); }

void vxKeepLargeBlocksOutOfTheHeap() { mallopt(M_MMAP_THRESHOLD, 256 * 1024); }
