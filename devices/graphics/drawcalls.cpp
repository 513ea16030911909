#include "devices/graphics/drawcalls.h"

long gxtkDrawCalls::count = 0;

void gxtkDrawCalls::Arrays(GLenum mode, GLint first, GLsizei n) {
    ++count;
    glDrawArrays(mode, first, n);
}

void gxtkDrawCalls::Elements(GLenum mode, GLsizei n, const GLushort* indices) {
    ++count;
    glDrawElements(mode, n, GL_UNSIGNED_SHORT, indices);
}

long gxtkDrawCalls::Count() { return count; }
