// What Emscripten's GLFW lacks or leaves unimplemented. GLFW 3.3's gamepad calls come from the
// browser's Gamepad API: a pad whose mapping is "standard" has the buttons and sticks of GLFW's
// gamepad layout, only numbered otherwise.
#include <GLFW/glfw3.h>

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cmath>
#include <cstring>
#include <utility>

namespace {

int lastError = GLFW_NO_ERROR;

// The standard layout's buttons in GLFW's gamepad order.
constexpr int standardButton[GLFW_GAMEPAD_BUTTON_LAST + 1] = {0,  1,  2,  3,  4,  5,  8, 9,
                                                              16, 10, 11, 12, 15, 13, 14};
constexpr int standardLeftTrigger = 6, standardRightTrigger = 7;

// A trigger runs 0 to 1 in the browser and -1 to 1 in GLFW.
float triggerAxis(const EmscriptenGamepadEvent& pad, int button) {
    return button < pad.numButtons ? float(pad.analogButton[button]) * 2.0f - 1.0f : -1.0f;
}

} // namespace

extern "C" int glfwGetError(const char** description) {
    if (description) *description = nullptr;
    return std::exchange(lastError, GLFW_NO_ERROR);
}

extern "C" int glfwUpdateGamepadMappings(const char* string) {
    lastError = GLFW_INVALID_VALUE;
    return GLFW_FALSE;
}

extern "C" int glfwGetGamepadState(int jid, GLFWgamepadstate* state) {
    EmscriptenGamepadEvent pad;
    if (emscripten_sample_gamepad_data() != EMSCRIPTEN_RESULT_SUCCESS) return GLFW_FALSE;
    if (emscripten_get_gamepad_status(jid, &pad) != EMSCRIPTEN_RESULT_SUCCESS) return GLFW_FALSE;
    if (!pad.connected || std::strcmp(pad.mapping, "standard") != 0) return GLFW_FALSE;
    for (int i = 0; i <= GLFW_GAMEPAD_BUTTON_LAST; ++i) {
        int button = standardButton[i];
        state->buttons[i] = button < pad.numButtons && pad.digitalButton[button] ? GLFW_PRESS : GLFW_RELEASE;
    }
    for (int axis = 0; axis < 4; ++axis)
        state->axes[axis] = axis < pad.numAxes ? float(pad.axis[axis]) : 0.0f;
    state->axes[GLFW_GAMEPAD_AXIS_LEFT_TRIGGER] = triggerAxis(pad, standardLeftTrigger);
    state->axes[GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER] = triggerAxis(pad, standardRightTrigger);
    return GLFW_TRUE;
}

// The browser's key codes already follow what the player's layout prints on a letter key, so the
// keys need no names to find their letters.
extern "C" const char* glfwGetKeyName(int key, int scancode) { return nullptr; }

// The screen's size in device pixels: what the canvas has in the browser's full screen.
extern "C" const GLFWvidmode* glfwGetVideoMode(GLFWmonitor* monitor) {
    static GLFWvidmode mode;
    int width = 0, height = 0;
    emscripten_get_screen_size(&width, &height);
    const double ratio = emscripten_get_device_pixel_ratio();
    mode = {int(std::lround(width * ratio)), int(std::lround(height * ratio)), 8, 8, 8, 60};
    return &mode;
}
