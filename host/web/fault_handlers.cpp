// A page gets no hardware signals: a fault in WebAssembly is a trap that stops the program, and the
// page says so.
#include "host/console.h"

void vxInstallFaultHandlers() {}
