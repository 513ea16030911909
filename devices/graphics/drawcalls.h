// The device's OpenGL draw calls, counted. Every batch reaches OpenGL through these wrappers, so
// tests and benchmarks can check how many draws a frame costs without looking inside the device.
#pragma once

#include <GL/gl.h>

class gxtkDrawCalls {
  public:
    static void Arrays(GLenum mode, GLint first, GLsizei count);
    static void Elements(GLenum mode, GLsizei count, const GLushort* indices);
    // Draw calls issued since the program started.
    static long Count();
    // Whether a draw call is inside OpenGL now: the driver's own heap blocks are not the frame's.
    static bool InDriver();

  private:
    static long count;
    static bool inDriver;
};
