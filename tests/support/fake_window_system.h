// Fakes for the host's window-system seam: joysticks answered as GLFW answers for real ones (each
// one's own axes and buttons, and the gamepad state of those GLFW's mapping database knows), and a
// clock that moves only when a test says so.
#pragma once

#include "host/window_system.h"

#include <GLFW/glfw3.h>

#include <map>
#include <optional>
#include <vector>

struct FakeJoystick {
    std::vector<float> axes;
    std::vector<unsigned char> buttons;
    // Set for a joystick GLFW would know as a gamepad.
    std::optional<GLFWgamepadstate> gamepad;
};

// A gamepad nobody touches: sticks centred, buttons up, triggers at GLFW's rest of -1.
inline GLFWgamepadstate GamepadAtRest() {
    GLFWgamepadstate state{};
    state.axes[GLFW_GAMEPAD_AXIS_LEFT_TRIGGER] = -1;
    state.axes[GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER] = -1;
    return state;
}

// The joystick queries; the clock and window are left to the test.
class FakeJoysticks : public VxWindowSystem {
  public:
    // The joysticks plugged in, by GLFW number.
    std::map<int, FakeJoystick> plugged;

    bool JoystickPresent(int joystick) override { return plugged.contains(joystick); }
    const float* JoystickAxes(int joystick, int* count) override {
        const FakeJoystick* j = Find(joystick);
        *count = j ? int(j->axes.size()) : 0;
        return j ? j->axes.data() : nullptr;
    }
    const unsigned char* JoystickButtons(int joystick, int* count) override {
        const FakeJoystick* j = Find(joystick);
        *count = j ? int(j->buttons.size()) : 0;
        return j ? j->buttons.data() : nullptr;
    }
    bool GamepadState(int joystick, GLFWgamepadstate* state) override {
        const FakeJoystick* j = Find(joystick);
        if (!j || !j->gamepad) return false;
        *state = *j->gamepad;
        return true;
    }

  private:
    const FakeJoystick* Find(int joystick) const {
        auto it = plugged.find(joystick);
        return it == plugged.end() ? nullptr : &it->second;
    }
};

// The clock the host reads for Millisecs, moved only by the test and by sleeps. The window calls
// do nothing: tests call the host's UpdateGame and RenderGame themselves. No joystick is plugged
// in unless the test plugs one.
class FakeClock : public FakeJoysticks {
  public:
    double now = 100;

    double Time() override { return now; }
    void Sleep(double seconds) override { now += seconds; }
    void PollEvents() override {}
    void WaitEvents() override {}
    bool WindowOpen() override { return true; }
    bool WindowActive() override { return true; }
    void SwapBuffers() override {}
};
