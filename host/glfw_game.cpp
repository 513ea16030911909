// The GLFW host: the frame loop with its fixed-rate update schedule, and the clock.
#include "host/files.h"
#include "host/game.h"

#include <GLFW/glfw3.h>

#include <chrono>
#include <climits>
#include <thread>

VxGlfwGame* VxGlfwGame::_glfwGame = nullptr;

VxGlfwGame::VxGlfwGame() = default;

void VxGlfwGame::Install() {
    VxGame::_game = this;
    _glfwGame = this;
    // Programs that make a host without the program entry (tests, benchmarks) allocate as the game
    // does; after the entry's own call this does nothing.
    vxSetUpProcessMemory(nullptr, false);
}

void VxGlfwGame::SetUpdateRate(int hertz) {
    updateRate = hertz;
    if (hertz != 0) updatePeriod = 1.0 / hertz;
    nextUpdate = 0;
}

int VxGlfwGame::Millisecs() {
    double ms = windowSystem->Time() * 1000.0;
    // The clock runs for weeks; saturate rather than wrap into undefined behaviour.
    if (!(ms < double(INT_MAX))) return INT_MAX;
    return ms > 0 ? int(ms) : 0;
}

void VxGlfwGame::Run() {
    AddGamepadMappings();
    SetGlfwWindow(VxWindowRequest{});
    StartGame();
    while (windowSystem->WindowOpen()) RunFrame();
}

// One pass of the loop: render, wait for the next update, take the window's events, follow the
// focus, then update.
void VxGlfwGame::RunFrame() {
    RenderGame();
    windowSystem->SwapBuffers();
    if (nextUpdate != 0) {
        double wait = nextUpdate - windowSystem->Time();
        if (wait > 0) windowSystem->Sleep(wait);
    }
    if (suspended) {
        windowSystem->WaitEvents();
    } else {
        windowSystem->PollEvents();
    }
    // Every change of focus restarts the schedule, so no catch-up burst follows a resume.
    if (windowSystem->WindowActive()) {
        if (suspended) {
            ResumeGame();
            nextUpdate = 0;
        }
    } else if (!suspended) {
        SuspendGame();
        nextUpdate = 0;
    }
    if (suspended) return;
    if (updateRate == 0) {
        UpdateGame();
        return;
    }
    RunUpdates();
}

// One to four updates on the fixed schedule; a longer backlog is dropped so that a slow machine
// runs the game slower rather than spiralling.
void VxGlfwGame::RunUpdates() {
    if (nextUpdate == 0) nextUpdate = windowSystem->Time();
    for (int i = 0; i < 4; ++i) {
        UpdateGame();
        // The update changed the rate: its new schedule starts next frame.
        if (nextUpdate == 0) return;
        nextUpdate += updatePeriod;
        if (nextUpdate > windowSystem->Time()) return;
    }
    nextUpdate = 0;
}

double VxGlfwWindowSystem::Time() { return glfwGetTime(); }

void VxGlfwWindowSystem::Sleep(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

void VxGlfwWindowSystem::PollEvents() { glfwPollEvents(); }

void VxGlfwWindowSystem::WaitEvents() { glfwWaitEvents(); }

bool VxGlfwWindowSystem::WindowOpen() { return game.Window() && !glfwWindowShouldClose(game.Window()); }

bool VxGlfwWindowSystem::WindowActive() { return game.WindowActive(); }

void VxGlfwWindowSystem::SwapBuffers() {
    if (game.Window()) glfwSwapBuffers(game.Window());
}

bool VxGlfwWindowSystem::JoystickPresent(int joystick) { return glfwJoystickPresent(joystick); }

const float* VxGlfwWindowSystem::JoystickAxes(int joystick, int* count) {
    return glfwGetJoystickAxes(joystick, count);
}

const unsigned char* VxGlfwWindowSystem::JoystickButtons(int joystick, int* count) {
    return glfwGetJoystickButtons(joystick, count);
}

bool VxGlfwWindowSystem::GamepadState(int joystick, GLFWgamepadstate* state) {
    return glfwGetGamepadState(joystick, state);
}
