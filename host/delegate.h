// The receiver of every host event. The framework's game delegate derives from it; the host calls
// it only through its fan-out, which adds the guards, the exception handler and a collector step.
#pragma once

#include "runtime/object.h"

class VxGameDelegate : public Object {
  public:
    virtual void StartGame() {}
    virtual void SuspendGame() {}
    virtual void ResumeGame() {}
    virtual void UpdateGame() {}
    virtual void RenderGame() {}
    virtual void KeyEvent(int event, int data) {}
    virtual void MouseEvent(int event, int data, float x, float y) {}
    virtual void TouchEvent(int event, int data, float x, float y) {}
    virtual void MotionEvent(int event, int data, float x, float y, float z) {}
    virtual void DiscardGraphics() {}
};
