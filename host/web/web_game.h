// The host in a browser page: the same GLFW host, with the frame loop turned into one pass per
// animation frame, the canvas following the page's size, the browser's full screen, focus and
// visibility, and the saved state kept in IndexedDB.
#pragma once

#include "host/game.h"

// The clock, joysticks and window of GLFW, but a frame never sleeps or waits for events: the page
// gives the browser back its thread between animation frames, and events arrive then.
class VxWebWindowSystem final : public VxGlfwWindowSystem {
  public:
    using VxGlfwWindowSystem::VxGlfwWindowSystem;

    void Sleep(double seconds) override {}
    void PollEvents() override {}
    void WaitEvents() override {}
    // The browser shows what was drawn once the animation frame returns.
    void SwapBuffers() override {}
};

class VxWebGame final : public VxCobaltGame {
  public:
    VxWebGame();

    // Opens the window on the page's canvas and hands the loop to the browser; never returns.
    void Run() override;
    // The first call opens the window; later ones, the full-screen key's, switch the browser's full
    // screen for the canvas on or off, and the canvas keeps its context and textures.
    void SetGlfwWindow(const VxWindowRequest& request) override;
    // Writes the state file, then copies the working directory to IndexedDB.
    int SaveState(String state) override;

  private:
    static void AnimationFrame();
    // Gives the canvas as many pixels as it covers on the page; true when that changed its size.
    bool FollowCanvasSize();
    // Whether this animation frame has work: the next update is nearer than half a period (the
    // browser's frames take the place of the desktop's sleep), or the page came back.
    bool FrameDue();
    void WatchFocus();

    VxWebWindowSystem webSystem{*this};
};
