#include "framework/input/input.h"
#include "host/game.h"

namespace {

constexpr int leftButtonKey = 1;

bool in_range(int index, int count) { return index >= 0 && index < count; }

// Codes the event arrays can hold; the host only sends these, but a stray code must not write
// outside them.
bool is_key(int code) { return in_range(code, vx_input_keyCount); }

// Code 0 means "no key", so readers answer false for it.
bool is_readable_key(int code) { return code >= 1 && code < vx_input_keyCount; }

bool is_touch(int index) { return in_range(index, vx_input_touchCount); }

// The left mouse button and the first touch are one pointer: each goes down and up with the other.
int mirror_of(int code) {
    if (code == leftButtonKey) return vx_input_firstTouchKey;
    if (code == vx_input_firstTouchKey) return leftButtonKey;
    return 0;
}

} // namespace

c_JoyState* c_JoyState::m_new() {
    gc_assign(joyx, Array<float>(2));
    gc_assign(joyy, Array<float>(2));
    gc_assign(joyz, Array<float>(2));
    gc_assign(buttons, Array<bool>(vx_input_joyButtons));
    return this;
}

void c_JoyState::mark() {
    gc_mark_q(joyx);
    gc_mark_q(joyy);
    gc_mark_q(joyz);
    gc_mark_q(buttons);
}

c_InputDevice* c_InputDevice::m_new() {
    gc_assign(joyStates, Array<c_JoyState*>(vx_input_joyUnits));
    for (c_JoyState*& state : joyStates) gc_assign(state, (new c_JoyState)->m_new());
    gc_assign(keyDown, Array<bool>(vx_input_keyCount));
    gc_assign(keyHitQueue, Array<int>(vx_input_hitQueueLength));
    gc_assign(keyHit, Array<int>(vx_input_keyCount));
    gc_assign(charQueue, Array<int>(vx_input_charQueueLength));
    gc_assign(touchX, Array<float>(vx_input_touchCount));
    gc_assign(touchY, Array<float>(vx_input_touchCount));
    return this;
}

void c_InputDevice::p_PutKeyHit(int code) {
    if (keyHitCount == keyHitQueue.Length() || !is_key(code)) return;
    keyHit[code] += 1;
    keyHitQueue[keyHitCount++] = code;
}

// A key already down is not pressed again: the host's auto-repeat gives no extra hits.
void c_InputDevice::press(int code) {
    if (keyDown[code]) return;
    keyDown[code] = true;
    p_PutKeyHit(code);
    if (int other = mirror_of(code)) {
        keyDown[other] = true;
        p_PutKeyHit(other);
    }
}

void c_InputDevice::release(int code) {
    if (!keyDown[code]) return;
    keyDown[code] = false;
    if (int other = mirror_of(code)) keyDown[other] = false;
}

void c_InputDevice::setPointer(float x, float y) {
    mouseX = x;
    mouseY = y;
    touchX[0] = x;
    touchY[0] = y;
}

void c_InputDevice::setTouch(int index, float x, float y) {
    if (index == 0) return setPointer(x, y);
    touchX[index] = x;
    touchY[index] = y;
}

void c_InputDevice::p_KeyEvent(int event, int data) {
    switch (event) {
    case KeyDown:
        if (is_key(data)) press(data);
        break;
    case KeyUp:
        if (is_key(data)) release(data);
        break;
    case KeyChar:
        if (charPut < charQueue.Length()) charQueue[charPut++] = data;
        break;
    }
}

void c_InputDevice::p_MouseEvent(int event, int data, float x, float y) {
    int code = in_range(data, vx_input_keyCount - 1) ? data + 1 : -1;
    switch (event) {
    case MouseDown:
        if (code > 0) press(code);
        setPointer(x, y);
        break;
    case MouseUp:
        if (code > 0) release(code);
        break;
    case MouseMove:
        setPointer(x, y);
        break;
    }
}

void c_InputDevice::p_TouchEvent(int event, int data, float x, float y) {
    if (!is_touch(data)) return;
    switch (event) {
    case TouchDown:
        press(vx_input_firstTouchKey + data);
        setTouch(data, x, y);
        break;
    case TouchUp:
        release(vx_input_firstTouchKey + data);
        break;
    case TouchMove:
        setTouch(data, x, y);
        break;
    }
}

void c_InputDevice::p_MotionEvent(int event, int data, float x, float y, float z) {
    if (event != MotionAccel) return;
    accelX = x;
    accelY = y;
    accelZ = z;
}

// Units are handed out in order, so the first absent unit ends the poll; later units keep their
// last state.
void c_InputDevice::pollJoysticks() {
    for (int unit = 0; unit < vx_input_joyUnits; ++unit) {
        c_JoyState* joy = joyStates[unit];
        if (!VxGame::_game->PollJoystick(unit, joy->joyx, joy->joyy, joy->joyz, joy->buttons)) return;
        for (int button = 0; button < vx_input_joyButtons; ++button) {
            int code = vx_input_firstJoyKey + vx_input_joyButtons * unit + button;
            if (joy->buttons[button])
                press(code);
            else
                keyDown[code] = false;
        }
    }
}

void c_InputDevice::p_BeginUpdate() { pollJoysticks(); }

// Only the codes in the hit queue can have a count, so clearing them costs nothing per idle key.
void c_InputDevice::p_EndUpdate() {
    for (int i = 0; i < keyHitCount; ++i) keyHit[keyHitQueue[i]] = 0;
    keyHitCount = 0;
    charGet = 0;
    charPut = 0;
}

int c_InputDevice::p_SetKeyboardEnabled(bool enabled) {
    VxGame::_game->SetKeyboardEnabled(enabled);
    return 1;
}

bool c_InputDevice::p_KeyDown(int code) { return is_readable_key(code) && keyDown[code]; }

int c_InputDevice::p_KeyHit(int code) { return is_readable_key(code) ? keyHit[code] : 0; }

int c_InputDevice::p_GetChar() { return charGet == charPut ? 0 : charQueue[charGet++]; }

float c_InputDevice::p_MouseX() { return mouseX; }

float c_InputDevice::p_MouseY() { return mouseY; }

bool c_InputDevice::p_MouseDown(int button) {
    return in_range(button, vx_input_keyCount - 1) && p_KeyDown(button + 1);
}

int c_InputDevice::p_MouseHit(int button) {
    return in_range(button, vx_input_keyCount - 1) ? p_KeyHit(button + 1) : 0;
}

bool c_InputDevice::p_TouchDown(int index) {
    return is_touch(index) && p_KeyDown(vx_input_firstTouchKey + index);
}

float c_InputDevice::p_TouchX(int index) { return is_touch(index) ? touchX[index] : 0; }

float c_InputDevice::p_TouchY(int index) { return is_touch(index) ? touchY[index] : 0; }

bool c_InputDevice::p_JoyDown(int button, int unit) {
    return p_KeyDown(button | vx_input_firstJoyKey | unit << 5);
}

int c_InputDevice::p_JoyHit(int button, int unit) {
    return p_KeyHit(button | vx_input_firstJoyKey | unit << 5);
}

float c_InputDevice::p_JoyX(int index, int unit) {
    return in_range(unit, vx_input_joyUnits) && in_range(index, 2) ? joyStates[unit]->joyx[index] : 0;
}

float c_InputDevice::p_JoyY(int index, int unit) {
    return in_range(unit, vx_input_joyUnits) && in_range(index, 2) ? joyStates[unit]->joyy[index] : 0;
}

float c_InputDevice::p_AccelX() { return accelX; }

float c_InputDevice::p_AccelY() { return accelY; }

void c_InputDevice::mark() {
    gc_mark_q(joyStates);
    gc_mark_q(keyDown);
    gc_mark_q(keyHitQueue);
    gc_mark_q(keyHit);
    gc_mark_q(charQueue);
    gc_mark_q(touchX);
    gc_mark_q(touchY);
}
