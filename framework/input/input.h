// The input device: keys, characters, pointer, touches, accelerometer and joysticks, turned from the
// host's event stream into state the game reads during its update.
//
// Every button shares one space of 512 key codes: keyboard keys (named by the host, which makes them:
// host/keys.h), mouse buttons (1-3), joystick buttons (256 + 32 * unit + button) and touches
// (384 + index). Hits are counted between two updates and forgotten after the update that saw them;
// so are typed characters. Nothing here allocates after construction. Main thread only.
#pragma once

#include "host/keys.h"
#include "runtime/object.h"

inline constexpr int vx_input_keyCount = 512;
inline constexpr int vx_input_hitQueueLength = 33;
inline constexpr int vx_input_charQueueLength = 32;
inline constexpr int vx_input_touchCount = 32;
inline constexpr int vx_input_joyUnits = 4;
inline constexpr int vx_input_joyButtons = 32;
inline constexpr int vx_input_firstJoyKey = 256;
inline constexpr int vx_input_firstTouchKey = 384;

// The last state the host reported for one joystick unit.
class c_JoyState : public Object {
  public:
    Array<float> joyx; // x, y and trigger of stick 0 and stick 1
    Array<float> joyy;
    Array<float> joyz;
    Array<bool> buttons;

    c_JoyState* m_new();
    void mark() override;
};

class c_InputDevice : public Object {
  public:
    Array<c_JoyState*> joyStates;
    Array<bool> keyDown;
    int keyHitCount = 0;
    Array<int> keyHitQueue;
    Array<int> keyHit;
    int charGet = 0;
    int charPut = 0;
    Array<int> charQueue;
    float mouseX = 0;
    float mouseY = 0;
    Array<float> touchX;
    Array<float> touchY;
    float accelX = 0;
    float accelY = 0;
    float accelZ = 0;

    c_InputDevice* m_new();

    // Host events, as forwarded by the game delegate.
    void p_KeyEvent(int event, int data);
    void p_MouseEvent(int event, int data, float x, float y);
    void p_TouchEvent(int event, int data, float x, float y);
    void p_MotionEvent(int event, int data, float x, float y, float z);

    // The update bracket: joysticks are polled before the game's update, hits and characters are
    // forgotten after it.
    void p_BeginUpdate();
    void p_EndUpdate();

    void p_PutKeyHit(int code);
    int p_SetKeyboardEnabled(bool enabled);

    bool p_KeyDown(int code);
    int p_KeyHit(int code);
    int p_GetChar();
    float p_MouseX();
    float p_MouseY();
    bool p_MouseDown(int button);
    int p_MouseHit(int button);
    bool p_TouchDown(int index);
    float p_TouchX(int index);
    float p_TouchY(int index);
    bool p_JoyDown(int button, int unit);
    int p_JoyHit(int button, int unit);
    float p_JoyX(int index, int unit);
    float p_JoyY(int index, int unit);
    float p_AccelX();
    float p_AccelY();

    void mark() override;

  private:
    void press(int code);
    void release(int code);
    void pollJoysticks();
    void setPointer(float x, float y);
    void setTouch(int index, float x, float y);
};

extern VxRoot<c_InputDevice*> vx_input_device;

int vx_input_SetInputDevice(c_InputDevice* device);

bool vx_input_KeyDown(int code);
int vx_input_KeyHit(int code);
int vx_input_GetChar();
float vx_input_MouseX();
float vx_input_MouseY();
bool vx_input_MouseDown(int button);
int vx_input_MouseHit(int button);
bool vx_input_TouchDown(int index);
float vx_input_TouchX(int index);
float vx_input_TouchY(int index);
bool vx_input_JoyDown(int button, int unit);
int vx_input_JoyHit(int button, int unit);
float vx_input_JoyX(int index, int unit);
float vx_input_JoyY(int index, int unit);
float vx_input_AccelX();
float vx_input_AccelY();
int vx_input_EnableKeyboard();
int vx_input_DisableKeyboard();
