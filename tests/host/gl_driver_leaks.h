// The OpenGL driver keeps strings it allocates while a context is created for the life of the
// process; LeakSanitizer would report them at exit. The driver has no frame pointers, so the stacks
// are unwound the slow way to reach the frame named here. Include in exactly one file of a program.
#pragma once

extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
extern "C" const char* __lsan_default_suppressions() { return "leak:glfwCreateWindow\n"; }
