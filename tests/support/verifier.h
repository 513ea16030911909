// The game's own verifier run as a separate process, as a player or a score board runs it:
// `spindrift --verify-replay FILE` with no display, its exit status and everything it printed.
#pragma once

#include "tests/support/child_process.h"

#include <cstdlib>
#include <string>

struct VerifierRun {
    int status = -1;
    std::string output; // standard output, then standard error
};

inline VerifierRun RunVerifier(const std::string& path) {
    const ChildResult child = RunInChild([&] {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        execl(SPINDRIFT_EXE, SPINDRIFT_EXE, "--verify-replay", path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    });
    return {child.status, child.out + child.err};
}
