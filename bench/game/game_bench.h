// What the game benchmarks share: the game itself on the host's real window, loaded and waiting
// in the menu, and a count of the heap blocks the program takes.
#pragma once

#include "game/my_app.h"

class VxGlfwGame;

namespace gamebench {

inline constexpr double kFrameSeconds = 1.0 / 60;

// The game with its devices and window, made once; swapping does not wait for the display.
c_MyApp* Game();
VxGlfwGame* Host();

// Heap blocks the calling thread takes, from any library, between StartCounting and
// StopCounting, leaving out the OpenGL driver's own inside a draw call.
void StartCounting();
long StopCounting();
// The driver's heap blocks inside draw calls over the same span.
long DriverAllocations();

// Requests sent to the display server since the program started: each window-size query of the
// window library is one that waits for its answer.
unsigned long DisplayRequests();

} // namespace gamebench
