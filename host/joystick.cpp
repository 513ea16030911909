// Game pads: which GLFW joystick serves each of the four ports, and how a pad's axes and buttons
// become the framework's two sticks, two triggers and fourteen buttons.
#include "host/game.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <utility>

namespace {

constexpr int kMaxAxes = 6;
constexpr int kMaxButtons = 32;
// ORDER PAD: entry n of every layout below is the game's pad button n (game/ids.h, PadButton).
constexpr int kMappedButtons = 14;

// Entries 8 to 11 are the pad's left, up, right and down: its hat, whose four buttons GLFW puts
// after all the others, in the order up, right, down, left.
// Layout P: the pad with exactly 5 axes and 14 buttons, whose triggers share axis 2.
constexpr int kPadButtons[kMappedButtons] = {0, 1, 2, 3, 4, 5, 6, 7, -1, -4, -3, -2, 8, 9};
// Layout G: every other pad, with its triggers as buttons 6 and 7.
constexpr int kGenericButtons[kMappedButtons] = {1, 2, 0, 3, 4, 5, 8, 9, -1, -4, -3, -2, 10, 11};

// A negative button number counts back from the last button reported.
bool buttonPressed(const unsigned char* states, int count, int button) {
    if (button < 0) button += count;
    return button >= 0 && button < count && states[button] == GLFW_PRESS;
}

float buttonValue(const unsigned char* states, int count, int button) {
    return buttonPressed(states, count, button) ? 1.0f : 0.0f;
}

// A pad GLFW knows as a gamepad arrives as layout P, the console-style pad as its own platform
// reported it, whatever its maker and driver number its controls. The signs are the ones the game
// reads: a stick's y has up at +1 on both sticks (the game negates y unless the player inverts it;
// GLFW's up is -1). Both triggers share one axis, 0 at rest, pushed to +1 by the left trigger and
// to -1 by the right; the first stick gets it as is and the second negated, so each reads its own
// trigger from 0 to 1. GLFW gives each trigger an axis of its own resting at -1, so half their
// difference is the shared axis. The guide button has no entry in the layout.
struct GamepadLayout {
    // joyx, joyy, joyz of stick 0, then of stick 1, each a weighted sum of GLFW's six axes.
    float sticks[6][GLFW_GAMEPAD_AXIS_LAST + 1];
    // Entries 0 to 13: the GLFW gamepad button behind each.
    int buttons[kMappedButtons];
};
constexpr GamepadLayout kGamepadLayout = {
    {
        // left x, left y, right x, right y, left trigger, right trigger
        {1, 0, 0, 0, 0, 0},        // joyx[0]: right is +1
        {0, -1, 0, 0, 0, 0},       // joyy[0]: up is +1
        {0, 0, 0, 0, 0.5f, -0.5f}, // joyz[0]: the shared trigger axis
        {0, 0, 1, 0, 0, 0},        // joyx[1]: right is +1
        {0, 0, 0, -1, 0, 0},       // joyy[1]: up is +1
        {0, 0, 0, 0, -0.5f, 0.5f}, // joyz[1]: the shared axis negated
    },
    {
        GLFW_GAMEPAD_BUTTON_A,
        GLFW_GAMEPAD_BUTTON_B,
        GLFW_GAMEPAD_BUTTON_X,
        GLFW_GAMEPAD_BUTTON_Y,
        GLFW_GAMEPAD_BUTTON_LEFT_BUMPER,
        GLFW_GAMEPAD_BUTTON_RIGHT_BUMPER,
        GLFW_GAMEPAD_BUTTON_BACK,
        GLFW_GAMEPAD_BUTTON_START,
        // The pad's directions, the last four buttons of layout P.
        GLFW_GAMEPAD_BUTTON_DPAD_LEFT,
        GLFW_GAMEPAD_BUTTON_DPAD_UP,
        GLFW_GAMEPAD_BUTTON_DPAD_RIGHT,
        GLFW_GAMEPAD_BUTTON_DPAD_DOWN,
        // The stick clicks.
        GLFW_GAMEPAD_BUTTON_LEFT_THUMB,
        GLFW_GAMEPAD_BUTTON_RIGHT_THUMB,
    },
};

float stickValue(const GLFWgamepadstate& state, int output) {
    float sum = 0;
    for (int axis = 0; axis <= GLFW_GAMEPAD_AXIS_LAST; ++axis)
        sum += kGamepadLayout.sticks[output][axis] * state.axes[axis];
    return sum;
}

void mapGamepad(const GLFWgamepadstate& state, Array<float> joyx, Array<float> joyy, Array<float> joyz,
                Array<bool> buttons) {
    for (int stick = 0; stick < 2; ++stick) {
        joyx[stick] = stickValue(state, 3 * stick);
        joyy[stick] = stickValue(state, 3 * stick + 1);
        joyz[stick] = stickValue(state, 3 * stick + 2);
    }
    std::fill(buttons.begin(), buttons.end(), false);
    for (int i = 0; i < std::min(kMappedButtons, buttons.Length()); ++i)
        buttons[i] = state.buttons[kGamepadLayout.buttons[i]] == GLFW_PRESS;
}

} // namespace

void vxAssignJoystickPorts(const bool (&present)[16], int (&ports)[4]) {
    std::fill(std::begin(ports), std::end(ports), -1);
    int port = 0;
    for (int joystick = 0; joystick < 16 && port < 4; ++joystick) {
        if (present[joystick]) ports[port++] = joystick;
    }
}

void vxMapJoystick(const float* axes, int axisCount, const unsigned char* buttonStates, int buttonCount,
                   Array<float> joyx, Array<float> joyy, Array<float> joyz, Array<bool> buttons) {
    float axis[kMaxAxes] = {};
    std::copy_n(axes, std::clamp(axisCount, 0, kMaxAxes), axis);
    int n = std::clamp(buttonCount, 0, kMaxButtons);
    bool padLayout = axisCount == 5 && buttonCount == 14;
    // A stick's up is +1 here, as on a mapped pad; GLFW gives it as -1.
    joyx[0] = axis[0];
    joyy[0] = -axis[1];
    joyx[1] = padLayout ? axis[4] : axis[2];
    joyy[1] = -axis[3];
    joyz[0] = padLayout ? axis[2] : buttonValue(buttonStates, n, 6);
    joyz[1] = padLayout ? -axis[2] : buttonValue(buttonStates, n, 7);
    const int(&table)[kMappedButtons] = padLayout ? kPadButtons : kGenericButtons;
    std::fill(buttons.begin(), buttons.end(), false);
    for (int i = 0; i < std::min(kMappedButtons, buttons.Length()); ++i)
        buttons[i] = buttonPressed(buttonStates, n, table[i]);
}

bool VxGlfwGame::PollJoystick(int port, Array<float> joyx, Array<float> joyy, Array<float> joyz,
                              Array<bool> buttons) {
    if (port < 0 || port > 3) return false;
    // Rebuilt at every poll of the first port, so pads plugged in or out are picked up next update.
    if (port == 0) {
        bool present[16];
        for (int j = 0; j < 16; ++j) present[j] = windowSystem->JoystickPresent(GLFW_JOYSTICK_1 + j);
        vxAssignJoystickPorts(present, pjoys);
    }
    int joystick = pjoys[port];
    bool served = std::exchange(portServed[port], joystick >= 0);
    if (joystick < 0) {
        // A pad pulled out while held would otherwise stay held: its port reports it once at rest.
        if (served) vxMapJoystick(nullptr, 0, nullptr, 0, joyx, joyy, joyz, buttons);
        return served;
    }
    GLFWgamepadstate state;
    if (windowSystem->GamepadState(joystick, &state)) {
        mapGamepad(state, joyx, joyy, joyz, buttons);
        return true;
    }
    int axisCount = 0, buttonCount = 0;
    const float* axes = windowSystem->JoystickAxes(joystick, &axisCount);
    const unsigned char* states = windowSystem->JoystickButtons(joystick, &buttonCount);
    if (!axes) axisCount = 0;
    if (!states) buttonCount = 0;
    vxMapJoystick(axes, std::min(axisCount, kMaxAxes), states, std::min(buttonCount, kMaxButtons), joyx, joyy,
                  joyz, buttons);
    return true;
}
