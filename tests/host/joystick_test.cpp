// The pad poll through the window-system seam, with joysticks plugged into a fake: pads GLFW knows
// as gamepads arrive as layout P whatever they report of their own, other joysticks take layout P
// or G by their shape, and a pad pulled out is let go of.
#include "host/game.h"
#include "tests/support/fake_window_system.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The arrays of one port as the input device holds them.
struct Port {
    Array<float> x{2}, y{2}, z{2};
    Array<bool> buttons{32};

    std::vector<float> Sticks() const { return {x[0], y[0], z[0], x[1], y[1], z[1]}; }
    std::vector<int> Entries() const {
        std::vector<int> entries;
        for (int i = 0; i < 32; ++i)
            if (buttons[i]) entries.push_back(i);
        return entries;
    }
};

class Joysticks : public ::testing::Test {
  protected:
    void SetUp() override { host.SetWindowSystem(&fake); }

    // One update's poll: ports in order until one answers false, as the input device polls them.
    int PollAll() {
        int port = 0;
        while (port < 4 &&
               host.PollJoystick(port, ports[port].x, ports[port].y, ports[port].z, ports[port].buttons))
            ++port;
        return port;
    }

    FakeClock fake;
    VxGlfwGame host;
    Port ports[4];
};

// What the pad reports of its own when GLFW has no mapping: every axis and button pushed, so that
// reading them instead of the gamepad state shows.
FakeJoystick Raw(int axes, int buttons) {
    return {std::vector<float>(std::size_t(axes), 0.9f),
            std::vector<unsigned char>(std::size_t(buttons), GLFW_PRESS), std::nullopt};
}

TEST_F(Joysticks, GamepadsArriveAsLayoutPWhateverTheyReportOfTheirOwn) {
    GLFWgamepadstate state = GamepadAtRest();
    state.axes[GLFW_GAMEPAD_AXIS_LEFT_X] = 0.25f;
    state.axes[GLFW_GAMEPAD_AXIS_LEFT_Y] = -0.5f;
    state.axes[GLFW_GAMEPAD_AXIS_RIGHT_X] = 0.75f;
    state.axes[GLFW_GAMEPAD_AXIS_RIGHT_Y] = 0.5f;
    state.axes[GLFW_GAMEPAD_AXIS_LEFT_TRIGGER] = 0; // half way in
    state.buttons[GLFW_GAMEPAD_BUTTON_A] = GLFW_PRESS;
    state.buttons[GLFW_GAMEPAD_BUTTON_DPAD_UP] = GLFW_PRESS;
    state.buttons[GLFW_GAMEPAD_BUTTON_GUIDE] = GLFW_PRESS; // layout P has no place for it
    // The same pad through three drivers: layout P's own shape, a common Linux shape, another.
    for (auto [axes, buttons] : {std::pair{5, 14}, {6, 15}, {8, 13}}) {
        SCOPED_TRACE(testing::Message() << axes << " axes, " << buttons << " buttons");
        FakeJoystick pad = Raw(axes, buttons);
        pad.gamepad = state;
        fake.plugged = {{3, pad}};
        EXPECT_EQ(PollAll(), 1);
        // Up reads +1 on both sticks; the left trigger half in puts the shared axis at +0.5.
        EXPECT_EQ(ports[0].Sticks(), (std::vector<float>{0.25f, 0.5f, 0.5f, 0.75f, -0.5f, -0.5f}));
        EXPECT_EQ(ports[0].Entries(), (std::vector<int>{0, 9}));
    }
}

TEST_F(Joysticks, OtherJoysticksTakeLayoutPOrGByTheirShape) {
    const std::vector<float> axes = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
    std::vector<unsigned char> buttons(16, GLFW_RELEASE);
    buttons[6] = GLFW_PRESS;
    fake.plugged[2] = {
        {axes.begin(), axes.begin() + 5}, {buttons.begin(), buttons.begin() + 14}, std::nullopt};
    fake.plugged[5] = {axes, buttons, std::nullopt};
    EXPECT_EQ(PollAll(), 2) << "GLFW joysticks 2 and 5 serve ports 0 and 1";
    // Layout P: triggers on axis 2, second stick from axes 4 and 3, button 6 is back.
    EXPECT_EQ(ports[0].Sticks(), (std::vector<float>{0.1f, -0.2f, 0.3f, 0.5f, -0.4f, -0.3f}));
    EXPECT_EQ(ports[0].Entries(), (std::vector<int>{6}));
    // Layout G: button 6 is the left trigger, second stick from axes 2 and 3.
    EXPECT_EQ(ports[1].Sticks(), (std::vector<float>{0.1f, -0.2f, 1.0f, 0.3f, -0.4f, 0.0f}));
    EXPECT_EQ(ports[1].Entries(), std::vector<int>{});
}

TEST_F(Joysticks, APadPulledOutIsReportedOnceAtRestThenAbsent) {
    GLFWgamepadstate held = GamepadAtRest();
    held.buttons[GLFW_GAMEPAD_BUTTON_A] = GLFW_PRESS;
    held.axes[GLFW_GAMEPAD_AXIS_LEFT_X] = -1;
    held.axes[GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER] = 1;
    fake.plugged = {{0, {{}, {}, held}}, {1, {{}, {}, held}}};
    ASSERT_EQ(PollAll(), 2);
    const std::vector<float> heldSticks = {-1, 0, -1, 0, 0, 1};
    const std::vector<float> atRest = {0, 0, 0, 0, 0, 0};

    fake.plugged.erase(0);
    EXPECT_EQ(PollAll(), 2);
    EXPECT_EQ(ports[0].Sticks(), heldSticks) << "the other pad moves up to port 0";
    EXPECT_EQ(ports[0].Entries(), (std::vector<int>{0}));
    EXPECT_EQ(ports[1].Sticks(), atRest);
    EXPECT_EQ(ports[1].Entries(), std::vector<int>{});

    ports[1].buttons[3] = true;
    EXPECT_EQ(PollAll(), 1) << "from then on the port is empty";
    EXPECT_TRUE(ports[1].buttons[3]) << "and leaves the arrays alone";

    fake.plugged.clear();
    EXPECT_EQ(PollAll(), 1);
    EXPECT_EQ(ports[0].Sticks(), atRest);
    EXPECT_EQ(ports[0].Entries(), std::vector<int>{});
    EXPECT_EQ(PollAll(), 0);
}

} // namespace
