// Linked into every test program.
//
// Mesa's software driver keeps a few hundred strdup'ed strings from context creation for the life
// of the process, and it is unloaded at exit, so LeakSanitizer sees them without a usable stack.
// Our own code never calls strdup, so these are the only strdup leaks there can be.
#include <dlfcn.h>

extern "C" const char* __lsan_default_suppressions() { return "leak:__interceptor_strdup\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }

namespace {

// glfwTerminate unloads the software driver while a block it reallocated is still held by its
// globals; kept loaded, as it stays in a real run, the block remains reachable. Where the driver is
// not installed this does nothing.
[[gnu::constructor]] void KeepSoftwareGlDriverLoaded() {
    dlopen(SPINDRIFT_DRI_DIR "/swrast_dri.so", RTLD_LAZY | RTLD_NODELETE);
}

} // namespace
