// The game's controls on a real window and input device: the action table over keys, pads, sticks
// and virtual slots, iCade letters, analogue steering, the touch hit tests, the on-screen pad and the
// tilt overlay.
#include "game_harness.h"

namespace {

using gametest::Command;
using gametest::CommandAt;
using gametest::CommandCount;
using gametest::FinishLoading;
using gametest::Host;
using gametest::PressKey;
using gametest::ReleaseKey;
using gametest::Update;

void TypeChar(int c) { Host()->KeyEvent(KeyChar, c); }

c_JoyState* Pad(int unit) { return vx_input_device->joyStates[unit]; }

// Touch point i down at (x, y) in virtual units, as the frame maps it.
void Touch(c_MyApp* app, int i, int x, int y) {
    app->m_TouchDown[i] = 1;
    app->m_TouchX[i] = x;
    app->m_TouchY[i] = y;
    app->m_MouseDown = 1;
}

void LiftTouches(c_MyApp* app) {
    for (int i = 0; i < TouchPoints; ++i) {
        app->m_TouchDown[i] = 0;
        app->m_TouchX[i] = app->m_TouchY[i] = Omitted;
    }
    app->m_MouseDown = 0;
}

int OvalsColoured(float r, float g, float b) {
    int n = 0;
    for (int i = 0; i < CommandCount(); ++i)
        if (CommandAt(i)[CmdCode] == float(DrawOval) && CommandAt(i)[CmdRed] == r &&
            CommandAt(i)[CmdGreen] == g && CommandAt(i)[CmdBlue] == b)
            ++n;
    return n;
}

using Controls = gametest::GameTest;

TEST_F(Controls, KeysAndPadButtonsAnswerForTheirActionsAndPlayers) {
    struct Case {
        bool console;
        int key, action, player, expected;
    } cases[] = {
        // A key counts for every player, a pad button for its own player only.
        {false, VkSpace, ActionA, -1, 1},
        {false, VkSpace, ActionA, 3, 1},
        {false, PadButtonKey(2, PadA), ActionA, 2, 1},
        {false, PadButtonKey(2, PadA), ActionA, 1, 0},
        {false, PadButtonKey(2, PadA), ActionA, -1, 0},
        {false, 'W', ActionUp, 0, 1},
        {false, 'I', ActionY, 0, 1},
        {false, VkLeftOf1, ActionPause, 1, 1},
        {false, PadButtonKey(0, PadMenu), ActionBack, 0, 1},
        {false, VkEscape, ActionBack, -1, 0},
        {false, VkEscape, ActionPause, -1, 1},
        {false, VkSpace, VKeyBack1, 0, 0}, // a virtual slot's number, but no action
        {false, VkSpace, ActionA, -2, 0},
        // The console's back row: Escape and its pad's back button; start only for pause.
        {true, VkEscape, ActionBack, 0, 1},
        {true, VkLeftOf1, ActionPause, 0, 0},
        {true, PadButtonKey(1, PadStart), ActionPause, 1, 1},
        {true, PadButtonKey(1, PadStart), ActionBack, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "key " << c.key << " action " << c.action << " player " << c.player);
        isOuya = c.console ? 1 : 0;
        PressKey(c.key);
        EXPECT_EQ(app->p_PlayKey(c.action, 0, c.player), c.expected);
        ReleaseKey(c.key);
        gametest::EndUpdate(); // an update has seen the press
        EXPECT_EQ(app->p_PlayKey(c.action, 0, c.player), 0);
    }
    isOuya = 0;
    PressKey(VkSpace);
    EXPECT_EQ(app->p_PlayKeyAll(ActionA, 1), 4) << "the key counts once for each of the four players";
    PressKey(PadButtonKey(3, PadA));
    EXPECT_EQ(app->p_PlayKeyAll(ActionA, 1), 4);
    gametest::EndUpdate();
    ReleaseKey(VkSpace);
    EXPECT_EQ(app->p_PlayKeyAll(ActionA, 1), 1);
}

// Real key presses can be shorter than a frame (and generated ones always are): press and release
// arrive between two updates, yet the press must act during the next one.
TEST_F(Controls, AKeyTappedBetweenUpdatesActsForOneUpdate) {
    FinishLoading();
    PressKey(VkEnter);
    ReleaseKey(VkEnter);
    Update();
    EXPECT_NE(app->m_Screen, ScreenMenu) << "the tap confirmed the dial: a round is starting";
    EXPECT_EQ(app->p_PlayKeyAll(ActionA, 0), 0) << "and counts no longer";
}

TEST_F(Controls, VirtualSlotsCountForEveryPlayerAndTheConsoleMenuSlotKeepsItsValue) {
    app->m_VKey[ActionX] = VKeyTapped;
    EXPECT_EQ(app->p_PlayKeyAll(ActionX, 0), 4);
    EXPECT_EQ(app->p_PlayKey(ActionX, 0, -1), 1);
    app->m_VKey[VKeyMenu] = VKeyHeld;
    EXPECT_EQ(app->p_PlayKey(ActionPause, 0, -1), 1);
    EXPECT_EQ(app->p_PlayKey(ActionBack, 0, -1), 0);
    isOuya = 1;
    EXPECT_EQ(app->p_PlayKey(ActionPause, 0, -1), VKeyHeld);
    EXPECT_EQ(app->p_PlayKey(ActionPause, 0, 0), 1);
}

TEST_F(Controls, TheStickSteersThroughTheInversionSettingWhenAllowed) {
    Update(); // the joystick poll of an update leaves absent pads alone
    Pad(1)->joyy[0] = 0.5f;
    EXPECT_FLOAT_EQ(app->p_StickY(0, 1), -0.5f) << "delivered y is negated by default";
    EXPECT_EQ(app->p_StickY(0, -1), 0);
    EXPECT_EQ(app->p_PlayKey(ActionUp, 1, 1), 1);
    EXPECT_EQ(app->p_PlayKey(ActionDown, 1, 1), 0);
    EXPECT_EQ(app->p_PlayKey(ActionUp, 0, 1), 0) << "sticks count only when allowed";
    EXPECT_EQ(app->p_PlayKey(ActionUp, 1, 0), 0) << "another player's stick";
    EXPECT_EQ(app->p_PlayKey(ActionUp, 1, -1), 0);

    app->m_Setting[SetLeftStickY] = 2;
    EXPECT_FLOAT_EQ(app->p_StickY(0, 1), 0.5f) << "any value but 0 keeps it as delivered";
    app->m_Setting[SetLeftStickY] = 1;
    EXPECT_FLOAT_EQ(app->p_StickY(0, 1), 0.5f);
    EXPECT_EQ(app->p_PlayKey(ActionDown, 1, 1), 1);
    EXPECT_EQ(app->p_PlayKey(ActionUp, 1, 1), 0);
    EXPECT_EQ(app->p_StickY(1, 1), 0) << "the right stick has its own setting and its own axis";

    Pad(1)->joyx[0] = -0.41f;
    EXPECT_FLOAT_EQ(app->p_StickX(0, 1), -0.41f);
    EXPECT_EQ(app->p_PlayKey(ActionLeft, 1, 1), 1);
    Pad(1)->joyx[0] = -0.4f;
    EXPECT_EQ(app->p_PlayKey(ActionLeft, 1, 1), 0) << "the threshold itself is not past it";
}

TEST_F(Controls, ICadeLettersHoldTheirSlotUntilTheirReleaseLetter) {
    TypeChar('a'); // typed before the cabinet is switched on: dropped
    app->p_iCade(1);
    EXPECT_TRUE(Host()->KeyboardEnabled());
    Update();
    EXPECT_EQ(app->p_PlayKey(ActionLeft, 0, 0), 0);

    TypeChar('a');
    Update();
    EXPECT_EQ(app->m_VKey[ActionLeft], VKeyHeld);
    for (int i = 0; i < 3; ++i) {
        Update();
        EXPECT_EQ(app->p_PlayKey(ActionLeft, 0, 0), 1) << "a held letter lasts from update to update";
    }
    TypeChar('b'); // not an iCade letter
    TypeChar('H');
    Update();
    EXPECT_EQ(app->m_VKey[ActionLeft], VKeyHeld);
    EXPECT_EQ(app->m_VKey[ActionA], VKeyHeld) << "upper case counts as well";
    TypeChar('q');
    Update();
    EXPECT_EQ(app->p_PlayKey(ActionLeft, 0, 0), 0);
    EXPECT_EQ(app->m_ICadeChar, 0) << "the queue was read until empty";

    PressKey('W');
    EXPECT_EQ(app->p_PlayKey(ActionUp, 0, 0), 0) << "letter keys are the cabinet's, not the player's";
    PressKey(VkUp);
    EXPECT_EQ(app->p_PlayKey(ActionUp, 0, 0), 1) << "arrow keys still count";
    app->m_VKey[ActionLeftShoulder] = VKeyHeld;
    EXPECT_EQ(app->p_PlayKey(ActionLeftShoulder, 0, -1), VKeyHeld);

    app->p_iCade(0);
    EXPECT_FALSE(Host()->KeyboardEnabled());
    EXPECT_EQ(app->m_VKey[ActionA], VKeyUp);
    EXPECT_EQ(app->m_VKey[ActionLeftShoulder], VKeyUp);
    EXPECT_EQ(app->p_PlayKey(ActionUp, 0, 0), 1);
    ReleaseKey(VkUp);
    EXPECT_EQ(app->p_PlayKey(ActionUp, 0, 0), 1) << "W counts again";
}

void SteerOneUpdate(c_MyApp* app) {
    app->p_AnalogueControl();
    gametest::EndUpdate();
}

TEST_F(Controls, HeldKeysRampTheSteeringUpAndLetItFallBack) {
    PressKey(VkRight);
    for (int update = 1; update <= 7; ++update) {
        SteerOneUpdate(app);
        EXPECT_NEAR(app->m_AnalogX, update < 7 ? 0.15f * float(update) : 1.0f, 1e-5f);
    }
    SteerOneUpdate(app);
    EXPECT_EQ(app->m_AnalogX, 1.0f) << "clamped";
    ReleaseKey(VkRight);
    for (float expected : {0.8f, 0.6f, 0.4f, 0.2f}) {
        SteerOneUpdate(app);
        EXPECT_NEAR(app->m_AnalogX, expected, 1e-5f);
    }
    SteerOneUpdate(app);
    SteerOneUpdate(app);
    EXPECT_EQ(app->m_KeyRampX, 0.0f) << "the ramp stops at 0";
    EXPECT_EQ(app->m_AnalogX, 0.0f);
    EXPECT_EQ(app->m_AnalogY, 0.0f);
}

TEST_F(Controls, PadSteeringHasADeadZone) {
    Update();
    Pad(0)->joyx[0] = 0.2f;
    app->p_AnalogueControl();
    EXPECT_EQ(app->m_AnalogX, 0.0f);
    Pad(0)->joyx[0] = 0.5f;
    Pad(0)->joyy[0] = 0.1f;
    app->p_AnalogueControl();
    EXPECT_FLOAT_EQ(app->m_AnalogX, 0.5f);
    EXPECT_FLOAT_EQ(app->m_AnalogY, -0.1f) << "both axes come from the pad, y through the setting";
}

TEST_F(Controls, ThePointerDragsAStickAroundItsAnchor) {
    app->m_MouseDown = 1;
    app->m_MouseX = app->m_MouseY = 100;
    app->p_AnalogueControl();
    EXPECT_EQ(app->m_DragX0, 100) << "the press sets the anchor";
    EXPECT_EQ(app->m_AnalogX, 0.0f);

    app->m_DrawN = 0;
    app->m_MouseX = 136;
    app->p_AnalogueControl();
    EXPECT_FLOAT_EQ(app->m_AnalogX, 0.5f);
    EXPECT_EQ(app->m_AnalogY, 0.0f);
    EXPECT_EQ(OvalsColoured(0, 100, 250), 2) << "anchor and pointer discs";

    app->m_MouseX = 105;
    app->m_MouseY = 105;
    app->p_AnalogueControl();
    EXPECT_EQ(app->m_AnalogX, 0.0f) << "inside the dead zone on both axes";
    EXPECT_EQ(app->m_AnalogY, 0.0f);

    app->m_MouseX = 300;
    app->m_MouseY = 30;
    app->p_AnalogueControl();
    EXPECT_EQ(app->m_AnalogX, 1.0f) << "clamped";
    EXPECT_EQ(app->m_DragX0, 104) << "a far pointer pulls the anchor after it";
    EXPECT_EQ(app->m_DragY0, 96);

    app->m_MouseDown = 0;
    app->m_DrawN = 0;
    app->p_AnalogueControl();
    EXPECT_EQ(app->m_DragX0, -1);
    EXPECT_EQ(app->m_AnalogX, 0.0f);
    EXPECT_EQ(OvalsColoured(0, 100, 250), 0);
}

TEST_F(Controls, TheDebugIndicatorShowsTheSteering) {
    app->m_MouseDown = 1;
    app->p_AnalogueControl();
    app->m_MouseX = 36;
    DebugMode = 1;
    app->m_DrawN = 0;
    app->p_AnalogueControl();
    ASSERT_EQ(OvalsColoured(0, 180, 250), 2);
    Command knob = CommandAt(CommandCount() - 1);
    EXPECT_FLOAT_EQ(knob[CmdX], jscrw - 64 + 26);
    EXPECT_FLOAT_EQ(knob[CmdScaleX], 8) << "the knob's radius";
}

TEST_F(Controls, TouchHitTestsUseStrictBoundsAndIgnoreLiftedTouches) {
    struct Case {
        const char* test;
        int x, y;
        int expected;
    } cases[] = {
        {"touch", 5, 5, 1},     {"touch", 41, 41, 1},   {"touch", 4, 20, 0},   {"touch", 42, 20, 0},
        {"in", 11, 11, 1},      {"in", 10, 20, 0},      {"in", 30, 20, 0},     {"centred", 11, 11, 1},
        {"centred", 29, 29, 1}, {"centred", 30, 20, 0}, {"radius", 30, 30, 1}, {"radius", 31, 30, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.test << " at " << c.x << ", " << c.y);
        LiftTouches(app);
        Touch(app, 3, c.x, c.y);
        std::string test = c.test;
        int hit = test == "touch"     ? app->p_Touch(10, 10, 20, 20)
                  : test == "in"      ? app->p_MouseIn(10, 10, 20, 20)
                  : test == "centred" ? app->p_MouseIn_Centered(20, 20, 20, 20)
                                      : app->p_MouseIn_Radius(20, 20, 20, 20);
        EXPECT_EQ(hit, c.expected);
    }
    LiftTouches(app);
    EXPECT_EQ(app->p_Touch(-100, -100, 200, 200), 0) << "lifted touches lie far outside";

    app->m_DrawN = 0;
    app->p_Touch(50, 60);
    ASSERT_EQ(CommandCount(), 1);
    EXPECT_EQ(CommandAt(0)[CmdCode], float(DrawRect));
    EXPECT_EQ(CommandAt(0)[CmdX], 84);
    EXPECT_EQ(CommandAt(0)[CmdY], 50);
    EXPECT_EQ(CommandAt(0)[CmdScaleX], 60) << "width";
    EXPECT_EQ(CommandAt(0)[CmdScaleY], 24) << "height";
}

TEST_F(Controls, ButtonsAreHitWithinHalfTheirDrawnSizeWhileThePointerIsDown) {
    FinishLoading();
    app->p_SetSize(2);
    Touch(app, 0, 131, 100);
    app->m_DrawN = 0;
    EXPECT_EQ(app->p_Button(100, 100, 3), 1) << "icons are 32 units, 64 at scale 2";
    EXPECT_EQ(app->m_PauseHit, 1);
    EXPECT_EQ(CommandAt(0)[CmdCode], ImgIcons);
    EXPECT_EQ(CommandAt(0)[CmdFrame], 3);
    Touch(app, 0, 132, 100);
    EXPECT_EQ(app->p_Button(100, 100, 3), 0);
    EXPECT_EQ(app->m_PauseHit, 0);

    Touch(app, 0, 100, 100);
    app->m_MouseDown = 0;
    EXPECT_EQ(app->p_Button(100, 100, 3), 0) << "no press, no hit";

    LiftTouches(app);
    Touch(app, 1, 100, 100);
    EXPECT_EQ(app->p_Button(100, 100, 3), 1);
    EXPECT_FALSE(app->p_Button0(ImgIcons, 100, 100, 3)) << "only the first touch counts";
    Touch(app, 0, 110, 90);
    EXPECT_TRUE(app->p_Button0(ImgIcons, 100, 100, 3));
}

TEST_F(Controls, TheOnScreenPadSetsItsSlotsAndMovesAndResizesWhilePaused) {
    FinishLoading();
    app->m_Setting[SetPadX] = 0;
    app->m_Setting[SetPadFromBottom] = 5000;
    app->m_Setting[SetPadSize] = 99;
    app->p_TouchPad();
    EXPECT_EQ(app->m_Setting[SetPadX], 32);
    EXPECT_EQ(app->m_Setting[SetPadFromBottom], 448);
    EXPECT_EQ(app->m_Setting[SetPadSize], 25);

    app->m_Setting[SetPadX] = 100;
    app->m_Setting[SetPadFromBottom] = 100;
    app->m_Setting[SetPadSize] = 10;
    Touch(app, 0, 68, 380); // the left arrow, one pad unit left of the centre (100, 380)
    app->p_TouchPad();
    EXPECT_EQ(app->m_PadY, 380);
    EXPECT_EQ(app->m_VKey[ActionLeft], VKeyTapped);
    EXPECT_EQ(app->p_PlayKey(ActionLeft, 0, -1), 1);
    app->m_VKey[ActionLeft] = VKeyUp;

    Touch(app, 0, 564, 356); // the first action button, mirrored on the right
    app->m_Paused = 1;
    app->p_TouchPad();
    EXPECT_EQ(app->m_VKey[ActionA], VKeyTapped) << "action buttons work while paused";
    Touch(app, 0, 68, 380);
    app->p_TouchPad();
    EXPECT_EQ(app->m_VKey[ActionLeft], VKeyUp) << "arrows do not";
    EXPECT_EQ(app->m_Setting[SetPadX], 68) << "one finger on the pad drags it instead";
    EXPECT_EQ(app->m_Setting[SetPadFromBottom], 100);
    Touch(app, 0, 90, 400);
    app->p_TouchPad();
    EXPECT_EQ(app->m_PadX, 68);
    EXPECT_EQ(app->m_Setting[SetPadX], 90);
    EXPECT_EQ(app->m_Setting[SetPadFromBottom], 80);

    Touch(app, 0, 100, 300);
    Touch(app, 1, 196, 300);
    app->p_TouchPad();
    EXPECT_EQ(app->m_PadDrag, 1);
    EXPECT_EQ(app->m_Setting[SetPadSize], 10) << "the first spread only sets the reference";
    Touch(app, 1, 260, 300);
    app->p_TouchPad();
    EXPECT_EQ(app->m_Setting[SetPadSize], 14) << "fingers apart by 64 units grow the pad by 4";
    Touch(app, 1, 132, 300);
    app->p_TouchPad();
    EXPECT_EQ(app->m_Setting[SetPadSize], 6);
    app->p_TouchPad();
    EXPECT_EQ(app->m_Setting[SetPadSize], 8) << "kept within its limits";
    app->m_TouchDown[1] = 0;
    app->m_TouchX[1] = app->m_TouchY[1] = Omitted;
    app->p_TouchPad();
    EXPECT_EQ(app->m_PadDrag, 0);
    EXPECT_EQ(app->m_PadSpread, 0);
}

TEST_F(Controls, TheTiltOverlayEasesTowardsTheReadingAndCalibrates) {
    FinishLoading();
    vx_input_device->accelX = 0.4f;
    vx_input_device->accelY = -0.2f;
    app->p_TiltOverlay();
    EXPECT_FLOAT_EQ(app->m_TiltX, 0.4f);
    EXPECT_FLOAT_EQ(app->m_TiltShowX, 0.1f);
    EXPECT_FLOAT_EQ(app->m_TiltShowY, -0.05f);
    for (int i = 0; i < 20; ++i) app->p_TiltOverlay();
    EXPECT_EQ(app->m_TiltShowX, 0.4f) << "snaps once close";

    Touch(app, 0, 24, TruncInt(jscrh) - 24);
    app->p_TiltOverlay();
    EXPECT_FLOAT_EQ(app->m_AccelZeroX, 0.4f);
    EXPECT_FLOAT_EQ(app->m_AccelZeroY, -0.2f);
    LiftTouches(app);
    app->p_TiltOverlay();
    EXPECT_EQ(app->m_TiltX, 0.0f);

    iCadeControls = 1;
    app->p_TiltOverlay();
    EXPECT_EQ(app->m_TiltShowX, 0.0f);
    EXPECT_EQ(app->m_TiltShowY, 0.0f);
}

} // namespace
