// Object: the root of every collected class, with identity equality and order.
#pragma once

#include "array.h"
#include "gc.h"
#include "string.h"

class Object : public gc_object {
  public:
    virtual bool Equals(Object* other) { return this == other; }
    // Identity order: objects never move, so their addresses order them for their whole life.
    virtual int Compare(Object* other);
    // What the debugger prints for an object.
    virtual String debug();
};

// The base of everything the program throws.
class ThrowableObject : public Object {};
