// Emscripten's GLFW is version 3.2; the host also uses 3.3's gamepad state and error query. The
// browser itself maps known pads to its standard layout, which is GLFW's gamepad layout, so
// glfw_compat.cpp answers these from the browser's Gamepad API.
#pragma once

#include_next <GLFW/glfw3.h>

#define GLFW_NO_ERROR 0

#define GLFW_GAMEPAD_BUTTON_A 0
#define GLFW_GAMEPAD_BUTTON_B 1
#define GLFW_GAMEPAD_BUTTON_X 2
#define GLFW_GAMEPAD_BUTTON_Y 3
#define GLFW_GAMEPAD_BUTTON_LEFT_BUMPER 4
#define GLFW_GAMEPAD_BUTTON_RIGHT_BUMPER 5
#define GLFW_GAMEPAD_BUTTON_BACK 6
#define GLFW_GAMEPAD_BUTTON_START 7
#define GLFW_GAMEPAD_BUTTON_GUIDE 8
#define GLFW_GAMEPAD_BUTTON_LEFT_THUMB 9
#define GLFW_GAMEPAD_BUTTON_RIGHT_THUMB 10
#define GLFW_GAMEPAD_BUTTON_DPAD_UP 11
#define GLFW_GAMEPAD_BUTTON_DPAD_RIGHT 12
#define GLFW_GAMEPAD_BUTTON_DPAD_DOWN 13
#define GLFW_GAMEPAD_BUTTON_DPAD_LEFT 14
#define GLFW_GAMEPAD_BUTTON_LAST GLFW_GAMEPAD_BUTTON_DPAD_LEFT

#define GLFW_GAMEPAD_AXIS_LEFT_X 0
#define GLFW_GAMEPAD_AXIS_LEFT_Y 1
#define GLFW_GAMEPAD_AXIS_RIGHT_X 2
#define GLFW_GAMEPAD_AXIS_RIGHT_Y 3
#define GLFW_GAMEPAD_AXIS_LEFT_TRIGGER 4
#define GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER 5
#define GLFW_GAMEPAD_AXIS_LAST GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER

#ifdef __cplusplus
extern "C" {
#endif

typedef struct GLFWgamepadstate {
    unsigned char buttons[15];
    float axes[6];
} GLFWgamepadstate;

// The error of the last gamepad call here (GLFW_NO_ERROR or GLFW_INVALID_VALUE); cleared by asking.
int glfwGetError(const char** description);
// The browser maps pads itself and takes no mapping lines: always GLFW_FALSE, with the error set.
int glfwUpdateGamepadMappings(const char* string);
// GLFW_TRUE with the pad's state when the browser gives the pad its standard layout.
int glfwGetGamepadState(int jid, GLFWgamepadstate* state);

#ifdef __cplusplus
}
#endif
