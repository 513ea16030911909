// The clock and the few window-library calls the frame loop makes. The host talks to GLFW through
// VxGlfwWindowSystem; tests put a fake clock and window here to drive the update schedule.
#pragma once

struct GLFWwindow;

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
};

class VxGlfwGame;

// The real clock and window of a host object.
class VxGlfwWindowSystem final : public VxWindowSystem {
  public:
    explicit VxGlfwWindowSystem(const VxGlfwGame& host) : game(host) {}

    double Time() override;
    void Sleep(double seconds) override;
    void PollEvents() override;
    void WaitEvents() override;
    bool WindowOpen() override;
    bool WindowActive() override;
    void SwapBuffers() override;

  private:
    const VxGlfwGame& game;
};
