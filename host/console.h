// Console output, runtime errors and the debugger stop.
#pragma once

#include "runtime/string.h"

// One line of UTF-8 on standard output, flushed.
void vxPrint(const String& text);
void vxDebugLog(const String& text);
// The empty text ends the process with status 0; any other text is a runtime error (no return).
[[noreturn]] void vxError(const String& text);
void vxDebugStop();

[[noreturn]] void dbg_error(const char* message);
void dbg_stop();
String dbg_stacktrace();
void dbg_print(const String& text);

// The fault handler for SIGSEGV, SIGILL and SIGFPE: a runtime error naming the fault, reported and
// handled with async-signal-safe calls only.
[[noreturn]] void sighandler(int signal);
// Installs sighandler for the three faults, on a stack of its own.
void vxInstallFaultHandlers();
