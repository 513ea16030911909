// The input module: the game reads the one input device through these.
#include "framework/input/input.h"

VxRoot<c_InputDevice*> vx_input_device;

int vx_input_SetInputDevice(c_InputDevice* device) {
    vx_input_device = device;
    return 0;
}

bool vx_input_KeyDown(int code) { return vx_input_device->p_KeyDown(code); }
int vx_input_KeyHit(int code) { return vx_input_device->p_KeyHit(code); }
int vx_input_GetChar() { return vx_input_device->p_GetChar(); }
float vx_input_MouseX() { return vx_input_device->p_MouseX(); }
float vx_input_MouseY() { return vx_input_device->p_MouseY(); }
bool vx_input_MouseDown(int button) { return vx_input_device->p_MouseDown(button); }
int vx_input_MouseHit(int button) { return vx_input_device->p_MouseHit(button); }
bool vx_input_TouchDown(int index) { return vx_input_device->p_TouchDown(index); }
float vx_input_TouchX(int index) { return vx_input_device->p_TouchX(index); }
float vx_input_TouchY(int index) { return vx_input_device->p_TouchY(index); }
bool vx_input_JoyDown(int button, int unit) { return vx_input_device->p_JoyDown(button, unit); }
int vx_input_JoyHit(int button, int unit) { return vx_input_device->p_JoyHit(button, unit); }
float vx_input_JoyX(int index, int unit) { return vx_input_device->p_JoyX(index, unit); }
float vx_input_JoyY(int index, int unit) { return vx_input_device->p_JoyY(index, unit); }
float vx_input_AccelX() { return vx_input_device->p_AccelX(); }
float vx_input_AccelY() { return vx_input_device->p_AccelY(); }
int vx_input_EnableKeyboard() { return vx_input_device->p_SetKeyboardEnabled(true); }
int vx_input_DisableKeyboard() { return vx_input_device->p_SetKeyboardEnabled(false); }
