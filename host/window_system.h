// The clock, the few window-library calls the frame loop makes and the joystick queries of the
// pad poll. The host talks to GLFW through VxGlfwWindowSystem; tests put a fake clock and window
// here to drive the update schedule, and fake joysticks where no device exists.
#pragma once

struct GLFWwindow;
struct GLFWgamepadstate;

class VxWindowSystem {
  public:
    virtual ~VxWindowSystem() = default;

    // Seconds on the window library's clock.
    virtual double Time() = 0;
    virtual void Sleep(double seconds) = 0;
    virtual void PollEvents() = 0;
    // Blocks until at least one window event has been handled.
    virtual void WaitEvents() = 0;
    // The window exists and nobody asked to close it.
    virtual bool WindowOpen() = 0;
    // The window has the focus and is not iconified.
    virtual bool WindowActive() = 0;
    virtual void SwapBuffers() = 0;

    // Joysticks by GLFW's number, 0 to 15.
    virtual bool JoystickPresent(int joystick) = 0;
    // The joystick's own axes and buttons (a hat counts as four buttons after them); null with a
    // count of 0 once it is gone.
    virtual const float* JoystickAxes(int joystick, int* count) = 0;
    virtual const unsigned char* JoystickButtons(int joystick, int* count) = 0;
    // The standard pad's buttons and axes, for a joystick GLFW's mapping database knows as a
    // gamepad; false for any other.
    virtual bool GamepadState(int joystick, GLFWgamepadstate* state) = 0;
};

class VxGlfwGame;

// The real clock and window of a host object.
class VxGlfwWindowSystem : public VxWindowSystem {
  public:
    explicit VxGlfwWindowSystem(const VxGlfwGame& host) : game(host) {}

    double Time() override;
    void Sleep(double seconds) override;
    void PollEvents() override;
    void WaitEvents() override;
    bool WindowOpen() override;
    bool WindowActive() override;
    void SwapBuffers() override;
    bool JoystickPresent(int joystick) override;
    const float* JoystickAxes(int joystick, int* count) override;
    const unsigned char* JoystickButtons(int joystick, int* count) override;
    bool GamepadState(int joystick, GLFWgamepadstate* state) override;

  private:
    const VxGlfwGame& game;
};
