#include "object.h"

#include <functional>

int Object::Compare(Object* other) {
    // The sign of the address difference; the difference itself does not fit an int.
    if (std::less<Object*>()(this, other)) return -1;
    return this == other ? 0 : 1;
}

String Object::debug() { return String(u"+Object\n"); }
