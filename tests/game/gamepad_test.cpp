// A pad GLFW knows as a gamepad, plugged into the host's window-system seam, played end to end: each
// of its controls reaches its entry of layout P and the game's action, and in the menu and a round
// the pad does what the player expects of it.
#include "game_harness.h"

#include <tuple>
#include <vector>

namespace {

using gametest::App;
using gametest::Clock;
using gametest::FinishLoading;
using gametest::Update;
using gametest::Updates;

// The game's actions: up, left, right, down, the six buttons, back, pause.
constexpr int kActions[] = {ActionUp,   ActionLeft, ActionRight, ActionDown,         ActionA,
                            ActionB,    ActionX,    ActionY,     ActionLeftShoulder, ActionRightShoulder,
                            ActionBack, ActionPause};

// One control of the pad: a button pressed, or an axis pushed to a value.
struct Control {
    int button = -1;
    int axis = -1;
    float value = 0;
};
Control Button(int button) { return {button}; }
Control Axis(int axis, float value) { return {-1, axis, value}; }

class Gamepad : public gametest::GameTest {
  protected:
    void SetUp() override {
        GameTest::SetUp();
        // The raw shape of a common pad under Linux, nothing pressed: only its mapping makes sense of it.
        Clock().plugged[0] = {std::vector<float>(6), std::vector<unsigned char>(15), GamepadAtRest()};
    }
    void TearDown() override {
        Clock().plugged.clear();
        GameTest::TearDown();
    }

    GLFWgamepadstate& State() { return *Clock().plugged[0].gamepad; }
    void Hold(Control c) {
        State() = GamepadAtRest();
        if (c.button >= 0) State().buttons[c.button] = GLFW_PRESS;
        if (c.axis >= 0) State().axes[c.axis] = c.value;
    }
    void LetGo() { State() = GamepadAtRest(); }
    // Held for one update, then one update at rest, so that the next press is a new edge.
    void Press(Control c) {
        Hold(c);
        Update();
        LetGo();
        Update();
    }
    void GoToRound() {
        FinishLoading();
        app->m_Screen = ScreenStartRound;
        Update();
        ASSERT_EQ(app->m_Screen, ScreenRound);
    }
};

std::vector<float> Sticks(const c_JoyState* pad) {
    return {pad->joyx[0], pad->joyy[0], pad->joyz[0], pad->joyx[1], pad->joyy[1], pad->joyz[1]};
}

std::vector<int> EntriesDown() {
    std::vector<int> entries;
    for (int b = 0; b < vx_input_joyButtons; ++b)
        if (vx_input_JoyDown(b, 0)) entries.push_back(b);
    return entries;
}

std::vector<int> ActionsActive(c_MyApp* app) {
    std::vector<int> actions;
    for (int action : kActions)
        if (app->p_PlayKey(action, 1, 0) > 0) actions.push_back(action);
    return actions;
}

TEST_F(Gamepad, EachControlReachesItsLayoutPEntryAndTheGamesAction) {
    using S = std::vector<float>;
    const S rest = {0, 0, 0, 0, 0, 0};
    struct Row {
        const char* name;
        Control control;
        std::vector<int> entries;
        S sticks; // joyx, joyy, joyz of stick 0, then of stick 1
        std::vector<int> actions;
    };
    const Row rows[] = {
        {"A", Button(GLFW_GAMEPAD_BUTTON_A), {PadA}, rest, {ActionA}},
        {"B", Button(GLFW_GAMEPAD_BUTTON_B), {PadB}, rest, {ActionB}},
        {"X", Button(GLFW_GAMEPAD_BUTTON_X), {PadX}, rest, {ActionX}},
        {"Y", Button(GLFW_GAMEPAD_BUTTON_Y), {PadY}, rest, {ActionY}},
        {"left shoulder",
         Button(GLFW_GAMEPAD_BUTTON_LEFT_BUMPER),
         {PadLeftShoulder},
         rest,
         {ActionLeftShoulder}},
        {"right shoulder",
         Button(GLFW_GAMEPAD_BUTTON_RIGHT_BUMPER),
         {PadRightShoulder},
         rest,
         {ActionRightShoulder}},
        {"back", Button(GLFW_GAMEPAD_BUTTON_BACK), {PadBack}, rest, {ActionBack, ActionPause}},
        {"start", Button(GLFW_GAMEPAD_BUTTON_START), {PadStart}, rest, {ActionBack, ActionPause}},
        {"pad left", Button(GLFW_GAMEPAD_BUTTON_DPAD_LEFT), {PadLeft}, rest, {ActionLeft}},
        {"pad up", Button(GLFW_GAMEPAD_BUTTON_DPAD_UP), {PadUp}, rest, {ActionUp}},
        {"pad right", Button(GLFW_GAMEPAD_BUTTON_DPAD_RIGHT), {PadRight}, rest, {ActionRight}},
        {"pad down", Button(GLFW_GAMEPAD_BUTTON_DPAD_DOWN), {PadDown}, rest, {ActionDown}},
        {"left stick click", Button(GLFW_GAMEPAD_BUTTON_LEFT_THUMB), {PadLeftStick}, rest, {}},
        {"right stick click", Button(GLFW_GAMEPAD_BUTTON_RIGHT_THUMB), {PadRightStick}, rest, {}},
        {"guide", Button(GLFW_GAMEPAD_BUTTON_GUIDE), {}, rest, {}},
        {"left stick left", Axis(GLFW_GAMEPAD_AXIS_LEFT_X, -1), {}, {-1, 0, 0, 0, 0, 0}, {ActionLeft}},
        {"left stick right", Axis(GLFW_GAMEPAD_AXIS_LEFT_X, 1), {}, {1, 0, 0, 0, 0, 0}, {ActionRight}},
        {"left stick up", Axis(GLFW_GAMEPAD_AXIS_LEFT_Y, -1), {}, {0, 1, 0, 0, 0, 0}, {ActionUp}},
        {"left stick down", Axis(GLFW_GAMEPAD_AXIS_LEFT_Y, 1), {}, {0, -1, 0, 0, 0, 0}, {ActionDown}},
        {"right stick right", Axis(GLFW_GAMEPAD_AXIS_RIGHT_X, 1), {}, {0, 0, 0, 1, 0, 0}, {}},
        {"right stick up", Axis(GLFW_GAMEPAD_AXIS_RIGHT_Y, -1), {}, {0, 0, 0, 0, 1, 0}, {}},
        {"left trigger", Axis(GLFW_GAMEPAD_AXIS_LEFT_TRIGGER, 1), {}, {0, 0, 1, 0, 0, -1}, {}},
        {"right trigger", Axis(GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER, 1), {}, {0, 0, -1, 0, 0, 1}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Hold(row.control);
        vx_input_device->p_BeginUpdate();
        EXPECT_EQ(EntriesDown(), row.entries);
        EXPECT_EQ(Sticks(vx_input_device->joyStates[0]), row.sticks);
        EXPECT_EQ(ActionsActive(app), row.actions);
        gametest::EndUpdate();
    }
}

// A pad GLFW's database does not know is read by its numbers, as a pad of the generic layout's kind
// numbers its controls: 0 the left face button, 1 the lower, 2 the right, 3 the top, 4 and 5 the
// shoulders, 6 and 7 the triggers, 8 back, 9 start, 10 and 11 the stick clicks, then the four of
// its hat, which GLFW puts after the rest as up, right, down, left; axes 0 and 1 the left stick, 2
// and 3 the right one.
TEST_F(Gamepad, APadWithoutAMappingDoesWhatTheSamePadDoesWithOne) {
    struct Row {
        const char* name;
        Control mapped; // the control in GLFW's gamepad state
        Control raw;    // the same control as the pad numbers it
        std::vector<int> actions;
    };
    const Row rows[] = {
        {"A", Button(GLFW_GAMEPAD_BUTTON_A), Button(1), {ActionA}},
        {"B", Button(GLFW_GAMEPAD_BUTTON_B), Button(2), {ActionB}},
        {"X", Button(GLFW_GAMEPAD_BUTTON_X), Button(0), {ActionX}},
        {"Y", Button(GLFW_GAMEPAD_BUTTON_Y), Button(3), {ActionY}},
        {"left shoulder", Button(GLFW_GAMEPAD_BUTTON_LEFT_BUMPER), Button(4), {ActionLeftShoulder}},
        {"right shoulder", Button(GLFW_GAMEPAD_BUTTON_RIGHT_BUMPER), Button(5), {ActionRightShoulder}},
        {"back", Button(GLFW_GAMEPAD_BUTTON_BACK), Button(8), {ActionBack, ActionPause}},
        {"start", Button(GLFW_GAMEPAD_BUTTON_START), Button(9), {ActionBack, ActionPause}},
        {"pad up", Button(GLFW_GAMEPAD_BUTTON_DPAD_UP), Button(12), {ActionUp}},
        {"pad right", Button(GLFW_GAMEPAD_BUTTON_DPAD_RIGHT), Button(13), {ActionRight}},
        {"pad down", Button(GLFW_GAMEPAD_BUTTON_DPAD_DOWN), Button(14), {ActionDown}},
        {"pad left", Button(GLFW_GAMEPAD_BUTTON_DPAD_LEFT), Button(15), {ActionLeft}},
        {"stick up", Axis(GLFW_GAMEPAD_AXIS_LEFT_Y, -1), Axis(1, -1), {ActionUp}},
        {"stick down", Axis(GLFW_GAMEPAD_AXIS_LEFT_Y, 1), Axis(1, 1), {ActionDown}},
        {"stick left", Axis(GLFW_GAMEPAD_AXIS_LEFT_X, -1), Axis(0, -1), {ActionLeft}},
        {"stick right", Axis(GLFW_GAMEPAD_AXIS_LEFT_X, 1), Axis(0, 1), {ActionRight}},
    };
    // What the game gets of the pad: its entries down, its left stick, its actions.
    using Seen = std::tuple<std::vector<int>, float, float, std::vector<int>>;
    const auto seen = [&](const FakeJoystick& pad) {
        Clock().plugged[0] = pad;
        vx_input_device->p_BeginUpdate();
        const c_JoyState* state = vx_input_device->joyStates[0];
        Seen what{EntriesDown(), state->joyx[0], state->joyy[0], ActionsActive(app)};
        gametest::EndUpdate();
        return what;
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeJoystick raw{std::vector<float>(4), std::vector<unsigned char>(16, GLFW_RELEASE), std::nullopt};
        FakeJoystick mapped = raw;
        mapped.gamepad = GamepadAtRest();
        if (row.raw.button >= 0) raw.buttons[std::size_t(row.raw.button)] = GLFW_PRESS;
        if (row.raw.axis >= 0) raw.axes[std::size_t(row.raw.axis)] = row.raw.value;
        if (row.mapped.button >= 0) mapped.gamepad->buttons[row.mapped.button] = GLFW_PRESS;
        if (row.mapped.axis >= 0) mapped.gamepad->axes[row.mapped.axis] = row.mapped.value;
        const Seen withMapping = seen(mapped);
        EXPECT_EQ(std::get<3>(withMapping), row.actions);
        EXPECT_EQ(seen(raw), withMapping);
    }
}

TEST_F(Gamepad, TheGameReadsBothSticksPushedUpAsUp) {
    State().axes[GLFW_GAMEPAD_AXIS_LEFT_Y] = -1;
    State().axes[GLFW_GAMEPAD_AXIS_RIGHT_Y] = -1;
    Update();
    EXPECT_EQ(app->p_StickY(0, 0), -1.0f);
    EXPECT_EQ(app->p_StickY(1, 0), -1.0f);
}

TEST_F(Gamepad, InTheMenuTheStickAndPadChooseAndAConfirms) {
    FinishLoading();
    app->m_MenuRow = 1;
    Press(Axis(GLFW_GAMEPAD_AXIS_LEFT_Y, -1));
    EXPECT_EQ(app->m_MenuRow, 0) << "stick up";
    Press(Button(GLFW_GAMEPAD_BUTTON_DPAD_DOWN));
    Press(Button(GLFW_GAMEPAD_BUTTON_DPAD_DOWN));
    EXPECT_EQ(app->m_MenuRow, 2) << "pad down";
    Press(Button(GLFW_GAMEPAD_BUTTON_A));
    Updates(60);
    EXPECT_EQ(app->m_Screen, ScreenRound);
    EXPECT_EQ(app->m_Difficulty, 3);
}

TEST_F(Gamepad, InARoundTheStickRunsAJumpsAndStartPauses) {
    GoToRound();
    float* player = &app->m_Player[0];
    for (int i = 0; i < 200 && player[PlGroundTimer] == 0; ++i) Update();
    ASSERT_GT(player[PlGroundTimer], 0) << "landed";

    float x = player[PlX];
    Hold(Axis(GLFW_GAMEPAD_AXIS_LEFT_X, -1));
    Updates(5);
    EXPECT_LT(player[PlVX], 0);
    EXPECT_LT(player[PlX], x) << "ran left";
    LetGo();
    Update();

    Hold(Button(GLFW_GAMEPAD_BUTTON_A));
    Update();
    EXPECT_EQ(player[PlJumpLatch], 1);
    EXPECT_LT(player[PlVY], 0) << "jumped";
    LetGo();
    Update();

    Press(Button(GLFW_GAMEPAD_BUTTON_START));
    EXPECT_EQ(app->m_Paused, 1);
}

TEST_F(Gamepad, APadPulledOutInARoundLetsGoOfItsButtonsAndStick) {
    GoToRound();
    State().buttons[GLFW_GAMEPAD_BUTTON_RIGHT_BUMPER] = GLFW_PRESS;
    State().axes[GLFW_GAMEPAD_AXIS_LEFT_X] = -1;
    Update();
    ASSERT_EQ(ActionsActive(app), (std::vector<int>{ActionLeft, ActionRightShoulder}));
    ASSERT_EQ(app->m_AnalogX, -1.0f);

    Clock().plugged.clear();
    Update();
    EXPECT_EQ(ActionsActive(app), std::vector<int>{});
    EXPECT_EQ(app->m_AnalogX, 0.0f);
    Update();
    EXPECT_EQ(ActionsActive(app), std::vector<int>{}) << "and stays let go";
}

} // namespace
