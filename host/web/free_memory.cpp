// A page's memory only ever grows (WebAssembly cannot shrink it), so there is nothing to hand back,
// and a page has no allocator tunables to start again for.
#include "host/files.h"

void vxReleaseFreeMemory() {}

void vxSetUpProcessMemory(char**, bool) {}
