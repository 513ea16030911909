// Handing the heap's free pages back to the system, after loading.
#include "host/files.h"

#include <malloc.h>

void vxReleaseFreeMemory() { malloc_trim(0); }
