// The input device, fed through the host's event fan-out (guards and a collector step after every
// call). A small delegate stands in for the application's, which needs a window and sound; the host
// answers joystick polls from scripted pads, as no pad is plugged into a test machine.
#include "framework/input/input.h"
#include "host/game.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

struct Pad {
    float x0 = 0, y0 = 0, z0 = 0, x1 = 0, y1 = 0, z1 = 0;
    std::vector<int> pressed;
};

class PadHost : public VxGame {
  public:
    std::vector<Pad> pads; // pads[unit]; units past the end are absent
    std::vector<int> polled;

    bool PollJoystick(int port, Array<float> joyx, Array<float> joyy, Array<float> joyz,
                      Array<bool> buttons) override {
        polled.push_back(port);
        if (port >= int(pads.size())) return false;
        const Pad& pad = pads[port];
        joyx[0] = pad.x0, joyy[0] = pad.y0, joyz[0] = pad.z0;
        joyx[1] = pad.x1, joyy[1] = pad.y1, joyz[1] = pad.z1;
        for (bool& b : buttons) b = false;
        for (int b : pad.pressed) buttons[b] = true;
        return true;
    }
};

// Forwards events to the input device and brackets each update as the application's delegate does.
class InputDelegate : public VxGameDelegate {
  public:
    std::function<void()> onUpdate;

    void StartGame() override { vx_input_SetInputDevice((new c_InputDevice)->m_new()); }
    void UpdateGame() override {
        vx_input_device->p_BeginUpdate();
        if (onUpdate) onUpdate();
        vx_input_device->p_EndUpdate();
    }
    void KeyEvent(int event, int data) override { vx_input_device->p_KeyEvent(event, data); }
    void MouseEvent(int event, int data, float x, float y) override {
        vx_input_device->p_MouseEvent(event, data, x, y);
    }
    void TouchEvent(int event, int data, float x, float y) override {
        vx_input_device->p_TouchEvent(event, data, x, y);
    }
    void MotionEvent(int event, int data, float x, float y, float z) override {
        vx_input_device->p_MotionEvent(event, data, x, y, z);
    }
};

class Input : public ::testing::Test {
  protected:
    PadHost host;
    InputDelegate* delegate = new InputDelegate;

    void SetUp() override {
        VxGame::_game = &host;
        host.SetDelegate(delegate);
        host.StartGame();
    }
    void TearDown() override {
        vx_input_device = nullptr;
        VxGame::_game = nullptr;
    }

    // Runs one update; `read` sees the input as the game's update would.
    void update(std::function<void()> read = {}) {
        delegate->onUpdate = std::move(read);
        host.UpdateGame();
    }
    void key(int event, int code) { host.KeyEvent(event, code); }
    void tap(int code) {
        key(KeyDown, code);
        key(KeyUp, code);
    }
};

TEST_F(Input, HitsCountPressesSinceTheLastUpdateAndLastOneUpdate) {
    tap(65);
    tap(65);
    update([] {
        EXPECT_EQ(vx_input_KeyHit(65), 2);
        EXPECT_FALSE(vx_input_KeyDown(65));
    });
    update([] { EXPECT_EQ(vx_input_KeyHit(65), 0); });
}

TEST_F(Input, AutoRepeatHitsOnceAndKeepsTheKeyDown) {
    for (int i = 0; i < 3; ++i) key(KeyDown, 38);
    update([] {
        EXPECT_EQ(vx_input_KeyHit(38), 1);
        EXPECT_TRUE(vx_input_KeyDown(38));
    });
    key(KeyDown, 38);
    update([] {
        EXPECT_EQ(vx_input_KeyHit(38), 0);
        EXPECT_TRUE(vx_input_KeyDown(38));
    });
}

TEST_F(Input, LeftClickIsAlsoTheFirstTouch) {
    host.MouseEvent(MouseMove, -1, 5, 6);
    host.MouseEvent(MouseDown, 0, 10, 20);
    host.MouseEvent(MouseUp, 0, 99, 99);
    host.MouseEvent(MouseDown, 0, 10, 20);
    update([] {
        EXPECT_TRUE(vx_input_MouseDown(0));
        EXPECT_TRUE(vx_input_KeyDown(1));
        EXPECT_TRUE(vx_input_TouchDown(0));
        EXPECT_EQ(vx_input_MouseHit(0), 2);
        EXPECT_EQ(vx_input_KeyHit(384), 2);
        EXPECT_EQ(vx_input_MouseX(), 10);
        EXPECT_EQ(vx_input_MouseY(), 20) << "a release does not move the pointer";
        EXPECT_EQ(vx_input_TouchX(0), 10);
        EXPECT_EQ(vx_input_TouchY(0), 20);
    });
    host.MouseEvent(MouseUp, 0, 10, 20);
    update([] {
        EXPECT_FALSE(vx_input_MouseDown(0));
        EXPECT_FALSE(vx_input_TouchDown(0));
    });
}

TEST_F(Input, FirstTouchMovesThePointerOtherTouchesDoNot) {
    host.TouchEvent(TouchDown, 0, 1, 2);
    host.TouchEvent(TouchDown, 3, 7, 8);
    host.TouchEvent(TouchMove, 3, 9, 10);
    update([] {
        EXPECT_TRUE(vx_input_MouseDown(0));
        EXPECT_EQ(vx_input_MouseHit(0), 1);
        EXPECT_TRUE(vx_input_TouchDown(3));
        EXPECT_EQ(vx_input_KeyHit(387), 1);
        EXPECT_EQ(vx_input_MouseX(), 1);
        EXPECT_EQ(vx_input_MouseY(), 2);
        EXPECT_EQ(vx_input_TouchX(3), 9);
        EXPECT_EQ(vx_input_TouchY(3), 10);
    });
    host.TouchEvent(TouchMove, 0, 4, 5);
    host.TouchEvent(TouchUp, 0, 0, 0);
    update([] {
        EXPECT_FALSE(vx_input_KeyDown(1));
        EXPECT_EQ(vx_input_MouseX(), 4);
        EXPECT_EQ(vx_input_TouchY(0), 5);
    });
}

TEST_F(Input, ReadsOutsideTheCodeSpaceAnswerNothing) {
    for (int code : {0, 1, 65, 384, 511}) host.KeyEvent(KeyDown, code);
    host.MouseEvent(MouseDown, 510, 1, 1); // code 511, already down
    host.TouchEvent(TouchDown, 31, 3, 4);
    host.KeyEvent(KeyDown, 512); // codes the arrays cannot hold are dropped
    host.KeyEvent(KeyDown, -1);
    host.TouchEvent(TouchDown, 32, 1, 1);
    update([] {
        EXPECT_FALSE(vx_input_KeyDown(0));
        EXPECT_EQ(vx_input_KeyHit(0), 0);
        EXPECT_EQ(vx_input_KeyHit(512), 0);
        EXPECT_FALSE(vx_input_KeyDown(-1));
        EXPECT_EQ(vx_input_KeyHit(511), 1);
        EXPECT_TRUE(vx_input_MouseDown(510));
        EXPECT_FALSE(vx_input_MouseDown(511));
        EXPECT_FALSE(vx_input_MouseDown(-1));
        EXPECT_EQ(vx_input_MouseHit(511), 0);
        EXPECT_TRUE(vx_input_TouchDown(31));
        EXPECT_FALSE(vx_input_TouchDown(32));
        EXPECT_EQ(vx_input_TouchX(31), 3);
        EXPECT_EQ(vx_input_TouchX(32), 0);
        EXPECT_EQ(vx_input_TouchY(-1), 0);
        EXPECT_EQ(vx_input_JoyX(2, 0), 0);
        EXPECT_EQ(vx_input_JoyY(0, 4), 0);
    });
}

TEST_F(Input, TheThirtyFourthHitOfATickIsLostButItsKeyGoesDown) {
    for (int code = 100; code < 134; ++code) key(KeyDown, code);
    update([] {
        EXPECT_EQ(vx_input_KeyHit(132), 1);
        EXPECT_EQ(vx_input_KeyHit(133), 0);
        EXPECT_TRUE(vx_input_KeyDown(133));
    });
    key(KeyUp, 100);
    tap(100);
    update([] {
        for (int code = 101; code < 134; ++code) EXPECT_EQ(vx_input_KeyHit(code), 0) << code;
        EXPECT_EQ(vx_input_KeyHit(100), 1);
    });
}

TEST_F(Input, CharactersAreReadInOrderDuringOneUpdateOnly) {
    for (int c = 1; c <= 33; ++c) key(KeyChar, 1000 + c);
    update([] {
        for (int c = 1; c <= 32; ++c) EXPECT_EQ(vx_input_GetChar(), 1000 + c);
        EXPECT_EQ(vx_input_GetChar(), 0) << "the 33rd character was dropped";
    });
    key(KeyChar, 'a');
    key(KeyChar, 'b');
    update([] { EXPECT_EQ(vx_input_GetChar(), 'a'); });
    update([] { EXPECT_EQ(vx_input_GetChar(), 0) << "characters left unread are lost"; });
}

TEST_F(Input, PadButtonsHitOncePerPressLikeKeys) {
    host.pads = {Pad{.x0 = 0.5f, .y1 = -0.25f, .pressed = {0, 13}}, Pad{.pressed = {5}}};
    update([] {
        EXPECT_TRUE(vx_input_JoyDown(0, 0));
        EXPECT_EQ(vx_input_JoyHit(13, 0), 1);
        EXPECT_TRUE(vx_input_KeyDown(293)) << "button 5 of unit 1";
        EXPECT_TRUE(vx_input_JoyDown(5, 1));
        EXPECT_EQ(vx_input_JoyX(0, 0), 0.5f);
        EXPECT_EQ(vx_input_JoyY(1, 0), -0.25f);
    });
    host.pads[0].pressed = {13};
    update([] {
        EXPECT_FALSE(vx_input_JoyDown(0, 0));
        EXPECT_TRUE(vx_input_JoyDown(13, 0));
        EXPECT_EQ(vx_input_JoyHit(13, 0), 0) << "held, not pressed again";
    });
}

TEST_F(Input, PollingStopsAtTheFirstAbsentUnitWhichKeepsItsLastState) {
    host.pads = {Pad{}, Pad{.x0 = 0.75f, .pressed = {2}}};
    update();
    host.pads.resize(1);
    host.polled.clear();
    update([] {
        EXPECT_EQ(vx_input_JoyX(0, 1), 0.75f);
        EXPECT_TRUE(vx_input_JoyDown(2, 1));
        EXPECT_EQ(vx_input_JoyX(0, 2), 0);
        EXPECT_FALSE(vx_input_JoyDown(2, 2));
    });
    EXPECT_EQ(host.polled, (std::vector<int>{0, 1}));
}

TEST_F(Input, AccelerometerTakesOnlyMotionEvents) {
    host.MotionEvent(MotionAccel, -1, 0.25f, -0.5f, 1);
    host.MotionEvent(KeyDown, 65, 9, 9, 9);
    update([] {
        EXPECT_EQ(vx_input_AccelX(), 0.25f);
        EXPECT_EQ(vx_input_AccelY(), -0.5f);
        EXPECT_EQ(vx_input_device->accelZ, 1);
        EXPECT_FALSE(vx_input_KeyDown(65));
    });
}

TEST_F(Input, KeyboardSwitchSetsTheHostFlag) {
    EXPECT_EQ(vx_input_EnableKeyboard(), 1);
    EXPECT_TRUE(host.KeyboardEnabled());
    EXPECT_EQ(vx_input_DisableKeyboard(), 1);
    EXPECT_FALSE(host.KeyboardEnabled());
}

// A field the device forgot to mark would be destroyed here and read after its end.
TEST_F(Input, StateSurvivesCollection) {
    key(KeyDown, 70);
    host.TouchEvent(TouchDown, 2, 3, 4);
    host.pads = {Pad{.x0 = 1, .pressed = {}}};
    update();
    for (int i = 0; i < 2; ++i) {
        gc_ext_malloced(gc_cycle_bytes + 1);
        host.UpdateGame();
    }
    Array<int> big(gc_cycle_bytes / 4); // its allocation destroys every dead object
    key(KeyChar, 'z');
    update([] {
        EXPECT_TRUE(vx_input_KeyDown(70));
        EXPECT_EQ(vx_input_TouchX(2), 3);
        EXPECT_EQ(vx_input_JoyX(0, 0), 1);
        EXPECT_EQ(vx_input_GetChar(), 'z');
    });
}

} // namespace
