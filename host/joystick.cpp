// Game pads: which GLFW joystick serves each of the four ports, and how a pad's axes and buttons
// become the framework's two sticks, two triggers and fourteen buttons.
#include "host/game.h"

#include <GLFW/glfw3.h>

#include <algorithm>

namespace {

constexpr int kMaxAxes = 6;
constexpr int kMaxButtons = 32;
constexpr int kMappedButtons = 14;

// Layout P: the pad with exactly 5 axes and 14 buttons, whose triggers share axis 2.
constexpr int kPadButtons[kMappedButtons] = {0, 1, 2, 3, 4, 5, 6, 7, -4, -3, -2, -1, 8, 9};
// Layout G: every other pad, with its triggers as buttons 6 and 7.
constexpr int kGenericButtons[kMappedButtons] = {1, 2, 0, 3, 4, 5, 8, 9, -4, -3, -2, -1, 10, 11};

// A negative button number counts back from the last button reported.
bool buttonPressed(const unsigned char* states, int count, int button) {
    if (button < 0) button += count;
    return button >= 0 && button < count && states[button] == GLFW_PRESS;
}

float buttonValue(const unsigned char* states, int count, int button) {
    return buttonPressed(states, count, button) ? 1.0f : 0.0f;
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
    joyx[0] = axis[0];
    joyy[0] = axis[1];
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
        for (int j = 0; j < 16; ++j) present[j] = glfwJoystickPresent(GLFW_JOYSTICK_1 + j);
        vxAssignJoystickPorts(present, pjoys);
    }
    int joystick = pjoys[port];
    if (joystick < 0) return false;
    int axisCount = 0, buttonCount = 0;
    const float* axes = glfwGetJoystickAxes(joystick, &axisCount);
    const unsigned char* states = glfwGetJoystickButtons(joystick, &buttonCount);
    if (!axes) axisCount = 0;
    if (!states) buttonCount = 0;
    vxMapJoystick(axes, std::min(axisCount, kMaxAxes), states, std::min(buttonCount, kMaxButtons), joyx, joyy,
                  joyz, buttons);
    return true;
}
