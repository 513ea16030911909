#include "devices/audio/quiet.h"

#include <dlfcn.h>

#include <cstdlib>

namespace {

bool PlayerSet(const char* variable) { return std::getenv(variable) != nullptr; }

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

using AlsaErrorHandler = void (*)(const char*, int, const char*, int, const char*, ...);

// OpenAL Soft loads libasound itself, at run time, and a process holds one copy of a library: the
// handler set on the copy loaded here is the one OpenAL Soft's copy uses. The library stays loaded
// so the handler stays in place; a system without ALSA has nothing to silence.
void QuietAlsa() {
    if (PlayerSet("LIBASOUND_DEBUG")) return;
    void* alsa = dlopen("libasound.so.2", RTLD_LAZY | RTLD_LOCAL);
    if (!alsa) return;
    auto setHandler = reinterpret_cast<int (*)(AlsaErrorHandler)>(dlsym(alsa, "snd_lib_error_set_handler"));
    if (setHandler) setHandler(IgnoreAlsaError);
}

void QuietOpenAlSoft() {
    if (PlayerSet("ALSOFT_LOGLEVEL") || PlayerSet("ALSOFT_LOGFILE")) return;
    setenv("ALSOFT_LOGLEVEL", "0", 1); // 0: no log at all
}

} // namespace

void QuietSoundLibraries() {
    QuietAlsa();
    QuietOpenAlSoft();
}
