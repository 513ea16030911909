// Controls: the one question "is action a active for player p?" over keys, pads, sticks and the
// virtual buttons that the iCade letters, the on-screen pad and the menus' touch buttons fill; the
// analogue steering of a round; the touch hit tests; and the touch pad and tilt overlays.
#include "framework/input/input.h"
#include "game/my_app.h"

#include <array>
#include <cstdlib>
#include <initializer_list>

// The game maps no more touch points than the device keeps.
static_assert(TouchPoints <= vx_input_touchCount);
// A replay frame holds what a round reads of the input device in one update: the device's queues
// whole, the touch points the game maps and every pad.
static_assert(ReplayFrame::Hits == vx_input_hitQueueLength && ReplayFrame::Chars == vx_input_charQueueLength);
static_assert(ReplayFrame::Touches == TouchPoints && ReplayFrame::Pads == vx_input_joyUnits);

namespace {

enum StickTest { NoStick, StickUp, StickLeft, StickRight, StickDown };

constexpr unsigned Bits(std::initializer_list<int> numbers) {
    unsigned bits = 0;
    for (int n : numbers) bits |= 1u << n;
    return bits;
}

// One row of an action table: any of its sources being down makes the action active.
struct ActionRow {
    int action;
    std::array<int, 4> keys; // 0 ends the list
    unsigned buttons;        // bit b: pad button b of the asking player
    unsigned slots;          // bit s: virtual slot s
    StickTest stick;
    // Asked for the keyboard alone (player -1), the slot's own value is the answer, so that a
    // held iCade slot (2) can be told from a one-update touch (1).
    bool rawSlot;
};

constexpr unsigned BackButtons = Bits({PadBack, PadStart, PadMenu});
constexpr unsigned BackSlots = Bits({VKeyBack1, VKeyBack2, VKeyMenu});

// An action's own virtual slot has the action's number.
constexpr ActionRow StandardRows[] = {
    {ActionUp, {VkUp, 'W'}, Bits({PadUp}), Bits({ActionUp}), StickUp, false},
    {ActionLeft, {VkLeft, 'A'}, Bits({PadLeft}), Bits({ActionLeft}), StickLeft, false},
    {ActionRight, {VkRight, 'D'}, Bits({PadRight}), Bits({ActionRight}), StickRight, false},
    {ActionDown, {VkDown, 'S'}, Bits({PadDown}), Bits({ActionDown}), StickDown, false},
    {ActionA, {'Z', 'J', VkSpace, VkEnter}, Bits({PadA}), Bits({ActionA}), NoStick, false},
    {ActionB, {'X', 'K', VkCtrl}, Bits({PadB}), Bits({ActionB}), NoStick, false},
    {ActionX, {'C', 'L', VkShift}, Bits({PadX}), Bits({ActionX}), NoStick, false},
    {ActionY, {'V', 'I'}, Bits({PadY}), Bits({ActionY}), NoStick, false},
    {ActionLeftShoulder, {'B', 'U'}, Bits({PadLeftShoulder}), Bits({ActionLeftShoulder}), NoStick, false},
    {ActionRightShoulder, {'N', 'O'}, Bits({PadRightShoulder}), Bits({ActionRightShoulder}), NoStick, false},
    {ActionBack, {VkEscape, VkLeftOf1, VkDelete, VkBackspace}, BackButtons, BackSlots, NoStick, false},
    {ActionPause, {VkEscape, VkLeftOf1, VkDelete, VkBackspace}, BackButtons, BackSlots, NoStick, false},
};

// The console has one back key and reports its menu button through the menu slot.
constexpr ActionRow ConsoleBackRows[] = {
    {ActionBack, {VkEscape}, Bits({PadBack}), Bits({VKeyMenu}), NoStick, false},
    {ActionPause, {VkEscape}, Bits({PadBack, PadStart}), Bits({VKeyMenu}), NoStick, true},
};

// With an iCade attached its letters arrive as typed characters, so no letter key counts.
constexpr ActionRow ICadeRows[] = {
    {ActionUp, {VkUp}, Bits({PadUp}), Bits({ActionUp}), NoStick, false},
    {ActionLeft, {VkLeft}, Bits({PadLeft}), Bits({ActionLeft}), NoStick, false},
    {ActionRight, {VkRight}, Bits({PadRight}), Bits({ActionRight}), NoStick, false},
    {ActionDown, {VkDown}, Bits({PadDown}), Bits({ActionDown}), NoStick, false},
    {ActionA, {VkSpace, VkEnter}, Bits({PadA}), Bits({ActionA}), NoStick, false},
    {ActionB, {VkCtrl}, Bits({PadB}), Bits({ActionB}), NoStick, false},
    {ActionX, {VkShift}, Bits({PadX}), Bits({ActionX}), NoStick, false},
    {ActionY, {}, Bits({PadY}), Bits({ActionY}), NoStick, true},
    {ActionLeftShoulder, {}, Bits({PadLeftShoulder}), Bits({ActionLeftShoulder}), NoStick, true},
    {ActionRightShoulder, {}, Bits({PadRightShoulder}), Bits({ActionRightShoulder}), NoStick, true},
    {ActionPause, {VkEscape, VkDelete, VkBackspace}, BackButtons, BackSlots, NoStick, false},
};

template <std::size_t N> const ActionRow* FindRow(const ActionRow (&rows)[N], int action) {
    for (const ActionRow& row : rows)
        if (row.action == action) return &row;
    return nullptr;
}

const ActionRow* ActionRowOf(int action) {
    if (iCadeControls == 1) return FindRow(ICadeRows, action);
    if (isOuya == 1 && (action == ActionBack || action == ActionPause))
        return FindRow(ConsoleBackRows, action);
    return FindRow(StandardRows, action);
}

bool AnyKeyDown(const ActionRow& row) {
    for (int key : row.keys)
        if (key != 0 && KeyDownOrTapped(key)) return true;
    return false;
}

bool AnyButtonDown(const ActionRow& row, int player) {
    for (int button = 0; button < vx_input_joyButtons; ++button)
        if ((row.buttons >> button & 1) && vx_input_KeyDown(PadButtonKey(player, button))) return true;
    return false;
}

constexpr float StickThreshold = 0.4f;

bool StickPushed(StickTest test, float x, float y) {
    switch (test) {
    case StickUp:
        return y < -StickThreshold;
    case StickDown:
        return y > StickThreshold;
    case StickLeft:
        return x < -StickThreshold;
    case StickRight:
        return x > StickThreshold;
    case NoStick:
        break;
    }
    return false;
}

// The anchor of the drag stick trails a pointer further away than this, 4 units an update.
constexpr int DragReach = 64;
constexpr int DragFollow = 4;
constexpr float DragRange = 72;
constexpr float DeadZone = 0.1f;
constexpr float PadDeadZone = 0.2f;
constexpr float RampUp = 0.15f;
constexpr float RampDown = 0.2f;

float Clamp1(float v) { return v < -1 ? -1 : v > 1 ? 1 : v; }

// One axis of key steering: the held key pushes the ramp by RampUp an update; once no key pushes
// it, it returns to 0 by RampDown an update. While it moves, it is the axis' value.
void RampAxis(float& ramp, float& axis, bool negative, bool positive) {
    if (negative) {
        ramp -= RampUp;
        axis = ramp;
    } else if (ramp < 0) {
        ramp = ramp + RampDown > 0 ? 0 : ramp + RampDown;
        axis = ramp;
    }
    if (positive) {
        ramp += RampUp;
        axis = ramp;
    } else if (ramp > 0) {
        ramp = ramp - RampDown < 0 ? 0 : ramp - RampDown;
        axis = ramp;
    }
}

int FollowAnchor(int anchor, int pointer) {
    if (pointer - anchor > DragReach) return anchor + DragFollow;
    if (anchor - pointer > DragReach) return anchor - DragFollow;
    return anchor;
}

// The iCade's letters: a press letter holds its slot (2) until its release letter arrives.
struct ICadeLetter {
    char press, release;
    int slot;
};
constexpr ICadeLetter ICadeLetters[] = {
    {'W', 'E', ActionUp},
    {'X', 'Z', ActionDown},
    {'A', 'Q', ActionLeft},
    {'D', 'C', ActionRight},
    {'Y', 'T', ActionY},
    {'U', 'F', ActionLeftShoulder},
    {'I', 'M', ActionRightShoulder},
    {'O', 'G', VKeyBack1},
    {'H', 'R', ActionA},
    {'J', 'N', ActionB},
    {'K', 'P', ActionX},
    {'L', 'V', VKeyBack2},
};

int UpperCase(int c) { return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c; }

} // namespace

bool KeyDownOrTapped(int code) { return vx_input_KeyDown(code) || vx_input_KeyHit(code) > 0; }

int c_MyApp::p_PlayKey(int action, int allowStick, int player) {
    if (player < -1) return 0;
    const ActionRow* row = ActionRowOf(action);
    // Asked for the keyboard alone, the back action never counts: only the pause action does.
    if (!row || (player == -1 && action == ActionBack)) return 0;
    if (AnyKeyDown(*row)) return 1;
    // Only four pads exist; a higher player number would name touch codes instead of buttons.
    if (player >= 0 && player < vx_input_joyUnits) {
        if (AnyButtonDown(*row, player)) return 1;
        if (allowStick == 1 && StickPushed(row->stick, p_StickX(0, player), p_StickY(0, player))) return 1;
    }
    for (int slot = 0; slot < m_VKey.Length(); ++slot) {
        if (!(row->slots >> slot & 1) || m_VKey[slot] == 0) continue;
        return player == -1 && row->rawSlot ? m_VKey[slot] : 1;
    }
    return 0;
}

int c_MyApp::p_PlayKeyAll(int action, int allowStick) {
    int count = 0;
    for (int player = 0; player < vx_input_joyUnits; ++player) count += p_PlayKey(action, allowStick, player);
    return count;
}

float c_MyApp::p_StickX(int stick, int player) {
    if (player < 0) return 0;
    return vx_input_JoyX(stick, player);
}

// Pads deliver y growing downwards on some systems and upwards on others; the player chooses.
float c_MyApp::p_StickY(int stick, int player) {
    if (player < 0 || stick < 0 || stick > 1) return 0;
    float y = vx_input_JoyY(stick, player);
    return m_Setting[SetLeftStickY + stick] != 0 ? y : -y;
}

int c_MyApp::p_AnalogueControl() {
    m_AnalogX = 0;
    m_AnalogY = 0;

    // The pointer is a stick whose centre is where the drag began.
    if (m_MouseDown == 0) {
        m_DragX0 = -1;
    } else if (m_DragX0 < 0) {
        m_DragX0 = m_MouseX;
        m_DragY0 = m_MouseY;
    } else {
        m_AnalogX = float(m_MouseX - m_DragX0) / DragRange;
        m_AnalogY = float(m_MouseY - m_DragY0) / DragRange;
        if (std::abs(m_AnalogX) < DeadZone && std::abs(m_AnalogY) < DeadZone) m_AnalogX = m_AnalogY = 0;
        m_DragX0 = FollowAnchor(m_DragX0, m_MouseX);
        m_DragY0 = FollowAnchor(m_DragY0, m_MouseY);
    }
    if (m_MouseDown != 0) {
        p_SetCol(0, 100, 250, 0.25f);
        p_Oval(float(m_DragX0), float(m_DragY0), 12, 12);
        p_Oval(float(m_MouseX), float(m_MouseY), 8, 8);
    }

    float padX = p_StickX(0, 0), padY = p_StickY(0, 0);
    if (std::abs(padX) > PadDeadZone || std::abs(padY) > PadDeadZone) {
        m_AnalogX = padX;
        m_AnalogY = padY;
    }

    RampAxis(m_KeyRampY, m_AnalogY, p_PlayKey(ActionUp, 0, 0) != 0, p_PlayKey(ActionDown, 0, 0) != 0);
    RampAxis(m_KeyRampX, m_AnalogX, p_PlayKey(ActionLeft, 0, 0) != 0, p_PlayKey(ActionRight, 0, 0) != 0);

    m_AnalogX = Clamp1(m_AnalogX);
    m_AnalogY = Clamp1(m_AnalogY);
    m_KeyRampX = Clamp1(m_KeyRampX);
    m_KeyRampY = Clamp1(m_KeyRampY);

    if (DebugMode == 1 && (std::abs(m_AnalogX) > 0.05f || std::abs(m_AnalogY) > 0.05f)) {
        float x = jscrw - 64, y = jscrh - 64;
        p_SetCol(0, 180, 250, 0.5f);
        p_Oval(x, y, 12, 12);
        p_Oval(x + 52 * m_AnalogX, y + 52 * m_AnalogY, 8, 8);
    }
    p_ResetDraw();
    return 0;
}

int c_MyApp::p_iCade(int on) {
    if (on == 1) {
        vx_input_EnableKeyboard();
        iCadeControls = 1;
        // Letters typed before the cabinet was switched on mean nothing to it.
        do m_ICadeChar = vx_input_GetChar();
        while (m_ICadeChar != 0);
    } else {
        vx_input_DisableKeyboard();
        iCadeControls = 0;
        p_ClearActionVKeys();
    }
    return 0;
}

int c_MyApp::p_ClearActionVKeys() {
    for (int slot = 0; slot < VKeyActions; ++slot) m_VKey[slot] = VKeyUp;
    return 0;
}

int c_MyApp::p_ReadICade() {
    if (iCadeControls != 1) return 0;
    while ((m_ICadeChar = vx_input_GetChar()) != 0) {
        if (m_ICadeChar < 0) continue;
        int c = UpperCase(m_ICadeChar);
        for (const ICadeLetter& letter : ICadeLetters) {
            if (c == letter.press) {
                m_VKey[letter.slot] = VKeyHeld;
                break;
            }
            if (c == letter.release) {
                m_VKey[letter.slot] = VKeyUp;
                break;
            }
        }
    }
    return 0;
}

// Hit when one of the first `touches` touch points lies within the drawn image's half size.
static bool TouchOnImage(c_MyApp* app, int slot, float x, float y, int touches) {
    const int info = slot * ImgInfoStride;
    if (slot < 0 || info + ImgInfoH >= app->m_ImgInfo.Length() || app->m_MouseDown <= 0) return false;
    float halfW = std::abs(float(app->m_ImgInfo[info + ImgInfoW]) * app->m_ImgScale * app->m_SizeX / 2);
    float halfH = std::abs(float(app->m_ImgInfo[info + ImgInfoH]) * app->m_ImgScale * app->m_SizeY / 2);
    for (int i = 0; i < touches; ++i)
        if (std::abs(float(app->m_TouchX[i]) - x) < halfW && std::abs(float(app->m_TouchY[i]) - y) < halfH)
            return true;
    return false;
}

int c_MyApp::p_Button(int slot, float x, float y, int frame) {
    p_DrawImg(slot, x, y, float(frame));
    m_PauseHit = TouchOnImage(this, slot, x, y, TouchPoints) ? 1 : 0;
    return m_PauseHit;
}

int c_MyApp::p_Button(float x, float y, int frame) { return p_Button(ImgIcons, x, y, frame); }

bool c_MyApp::p_Button0(int slot, float x, float y, int frame) {
    p_DrawImg(slot, x, y, float(frame));
    m_PauseHit = TouchOnImage(this, slot, x, y, 1) ? 1 : 0;
    return m_PauseHit == 1;
}

// A finger is broader than the rectangle it aims at: the area grows by a margin.
int c_MyApp::p_Touch(float x, float y, float w, float h) {
    p_Rect(x, y, w, h);
    return p_MouseIn(x - 6, y - 6, w + 18, h + 18);
}

int c_MyApp::p_Touch(float y, float w) { return p_Touch(84, y, w, 24); }

int c_MyApp::p_MouseIn(float x, float y, float w, float h) {
    for (int i = 0; i < TouchPoints; ++i) {
        float tx = float(m_TouchX[i]), ty = float(m_TouchY[i]);
        if (tx > x && tx < x + w && ty > y && ty < y + h) return 1;
    }
    return 0;
}

int c_MyApp::p_MouseIn_Centered(float x, float y, float w, float h) {
    return p_MouseIn(x - w / 2, y - h / 2, w, h);
}

int c_MyApp::p_MouseIn_Radius(float x, float y, float w, float h) {
    float reach = (w / 2) * (w / 2) + (h / 2) * (h / 2);
    for (int i = 0; i < TouchPoints; ++i) {
        float dx = float(m_TouchX[i]) - x, dy = float(m_TouchY[i]) - y;
        if (dx * dx + dy * dy <= reach) return 1;
    }
    return 0;
}

// Keeps an int setting within [lo, hi]; the bounds come from the screen, so hi may fall below lo.
static int ClampSetting(int value, float lo, float hi) {
    if (float(value) > hi) value = TruncInt(hi);
    if (float(value) < lo) value = TruncInt(lo);
    return value;
}

int c_MyApp::p_TouchPad() {
    m_Setting[SetPadX] = ClampSetting(m_Setting[SetPadX], 32, jscrw - 32);
    m_Setting[SetPadFromBottom] = ClampSetting(m_Setting[SetPadFromBottom], 32, jscrh - 32);
    m_Setting[SetPadSize] = ClampSetting(m_Setting[SetPadSize], 8, 25);
    m_PadX = m_Setting[SetPadX];
    m_PadY = TruncInt(jscrh - float(m_Setting[SetPadFromBottom]));
    m_PadScale = float(m_Setting[SetPadSize]) / 10;

    p_ResetDraw();
    p_Alpha(0.6f);
    p_SetSize(m_PadScale);
    float x = float(m_PadX), y = float(m_PadY), s = m_PadScale * 32;
    struct Arrow {
        float dx, dy;
        int frame, slot;
    };
    for (Arrow arrow : {Arrow{-s, 0, 4, ActionLeft}, Arrow{0, -s, 1, ActionUp}, Arrow{0, s, 9, ActionDown},
                        Arrow{s, 0, 6, ActionRight}})
        if (p_Button(ImgDpad, x + arrow.dx, y + arrow.dy, arrow.frame) && m_Paused == 0)
            m_VKey[arrow.slot] = VKeyTapped;
    p_DrawImg(ImgDpad, x, y, 5);

    // While paused the pad itself can be dragged by one finger and resized by two.
    if (m_Paused == 1) {
        p_SetSize(3);
        bool secondUp = m_TouchDown[1] == 0;
        if (p_Button0(ImgDpad, x, y, 0) && secondUp) {
            m_Setting[SetPadX] = m_TouchX[0];
            m_Setting[SetPadFromBottom] = TruncInt(jscrh - float(m_TouchY[0]));
        }
        if (secondUp) {
            m_PadDrag = 0;
            m_PadSpread = 0;
        } else if (m_TouchDown[0] != 0) {
            int spread = std::abs(m_TouchX[0] - m_TouchX[1]) / 16;
            if (m_PadDrag == 1) m_Setting[SetPadSize] += spread - m_PadSpread;
            m_PadSpread = spread;
            m_PadDrag = 1;
        }
    }

    p_SetSize(m_PadScale * 1.5f);
    float k = m_PadScale * 24;
    if (p_Button(ImgDpad, jscrw - (x - k), y - k, 0)) m_VKey[ActionA] = VKeyTapped;
    if (p_Button(ImgDpad, jscrw - (x + k), y + k, 0)) m_VKey[ActionB] = VKeyTapped;
    p_ResetDraw();
    return 0;
}

int c_MyApp::p_TiltOverlay() {
    if (iCadeControls == 1) {
        m_TiltX = m_TiltY = m_TiltShowX = m_TiltShowY = 0;
        return 0;
    }
    float ax = vx_input_AccelX(), ay = vx_input_AccelY();
    m_TiltX = ax - m_AccelZeroX;
    m_TiltY = ay - m_AccelZeroY;
    m_TiltShowX += (m_TiltX - m_TiltShowX) / 4;
    m_TiltShowY += (m_TiltY - m_TiltShowY) / 4;
    if (std::abs(m_TiltX - m_TiltShowX) < 0.005f) m_TiltShowX = m_TiltX;
    if (std::abs(m_TiltY - m_TiltShowY) < 0.005f) m_TiltShowY = m_TiltY;

    p_ResetDraw();
    p_SetSize(1.5f);
    p_Alpha(0.8f);
    if (p_Button(24, jscrh - 24, IconCalibrate)) {
        m_AccelZeroX = ax;
        m_AccelZeroY = ay;
    }
    p_SetSize(1);
    p_SetCol(100, 255, 100, 0.6f);
    p_Oval(24 + 20 * m_TiltShowX, jscrh - 24 + 20 * m_TiltShowY, 4, 4);
    p_ResetDraw();
    return 0;
}
