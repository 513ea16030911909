// The records the window speaks in: what opening it asks for, and the display modes it reports.
// The framework and the game use them as they are, so a mode or a request is never copied from one
// layer's record into another's.
#pragma once

#include "runtime/object.h"

// One opening of the window: its size in screen units, the bits of its OpenGL context and whether it
// covers the screen. The defaults are the first window's (640 x 480, 8/8/8, no alpha, depth or
// stencil, windowed), so a request names only what it changes.
struct VxWindowRequest {
    int width = 640;
    int height = 480;
    int red = 8;
    int green = 8;
    int blue = 8;
    int alpha = 0;
    int depth = 0;
    int stencil = 0;
    bool fullscreen = false;
};

// A display mode: its size and colour bits (0 where they are not known). The host's desktop and
// video modes and the framework's display modes (c_DisplayMode) are this one record.
class VxDisplayMode : public Object {
  public:
    int width = 0;
    int height = 0;
    int redBits = 0;
    int greenBits = 0;
    int blueBits = 0;

    VxDisplayMode* m_new(int w, int h);
};

using VxGlfwVideoMode = VxDisplayMode;
