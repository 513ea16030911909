#include "devices/graphics/drawcalls.h"

long gxtkDrawCalls::count = 0;
bool gxtkDrawCalls::inDriver = false;

void gxtkDrawCalls::Arrays(GLenum mode, GLint first, GLsizei n) {
    ++count;
    inDriver = true;
    glDrawArrays(mode, first, n);
    inDriver = false;
}

void gxtkDrawCalls::Elements(GLenum mode, GLsizei n, const GLushort* indices) {
    ++count;
    inDriver = true;
    glDrawElements(mode, n, GL_UNSIGNED_SHORT, indices);
    inDriver = false;
}

long gxtkDrawCalls::Count() { return count; }
bool gxtkDrawCalls::InDriver() { return inDriver; }
