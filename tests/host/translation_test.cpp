// The pure translations of input: GLFW keys to framework codes, keys to typed characters, and
// game pads to ports, sticks and buttons.
#include "host/game.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

TEST(TransKey, MapsGlfwKeysToFrameworkCodes) {
    const std::pair<int, int> cases[] = {
        {GLFW_KEY_0, 48},
        {GLFW_KEY_9, 57},
        {GLFW_KEY_A, 65},
        {GLFW_KEY_Z, 90},
        {GLFW_KEY_SPACE, 32},
        {GLFW_KEY_APOSTROPHE, 222},
        {GLFW_KEY_COMMA, 188},
        {GLFW_KEY_MINUS, 189},
        {GLFW_KEY_PERIOD, 190},
        {GLFW_KEY_SLASH, 191},
        {GLFW_KEY_SEMICOLON, 186},
        {GLFW_KEY_EQUAL, 187},
        {GLFW_KEY_LEFT_BRACKET, 219},
        {GLFW_KEY_BACKSLASH, 220},
        {GLFW_KEY_RIGHT_BRACKET, 221},
        {GLFW_KEY_GRAVE_ACCENT, 192},
        {GLFW_KEY_ESCAPE, 27},
        {GLFW_KEY_F1, 112},
        {GLFW_KEY_F12, 123},
        {GLFW_KEY_UP, 38},
        {GLFW_KEY_DOWN, 40},
        {GLFW_KEY_LEFT, 37},
        {GLFW_KEY_RIGHT, 39},
        {GLFW_KEY_LEFT_SHIFT, 16},
        {GLFW_KEY_RIGHT_SHIFT, 16},
        {GLFW_KEY_LEFT_CONTROL, 17},
        {GLFW_KEY_RIGHT_CONTROL, 17},
        {GLFW_KEY_TAB, 9},
        {GLFW_KEY_ENTER, 13},
        {GLFW_KEY_BACKSPACE, 8},
        {GLFW_KEY_INSERT, 45},
        {GLFW_KEY_DELETE, 46},
        {GLFW_KEY_PAGE_UP, 33},
        {GLFW_KEY_PAGE_DOWN, 34},
        {GLFW_KEY_HOME, 36},
        {GLFW_KEY_END, 35},
        {GLFW_KEY_KP_0, 96},
        {GLFW_KEY_KP_9, 105},
        {GLFW_KEY_KP_DIVIDE, 111},
        {GLFW_KEY_KP_MULTIPLY, 106},
        {GLFW_KEY_KP_SUBTRACT, 109},
        {GLFW_KEY_KP_ADD, 107},
        {GLFW_KEY_KP_DECIMAL, 110},
        // Dropped: keys the framework does not know, and codes outside GLFW's range.
        {GLFW_KEY_F13, 0},
        {GLFW_KEY_F25, 0},
        {GLFW_KEY_LEFT_ALT, 0},
        {GLFW_KEY_KP_EQUAL, 0},
        {GLFW_KEY_KP_ENTER, 0},
        {GLFW_KEY_CAPS_LOCK, 0},
        {GLFW_KEY_PAUSE, 0},
        {GLFW_KEY_LEFT_SUPER, 0},
        {GLFW_KEY_MENU, 0},
        {GLFW_KEY_WORLD_1, 0},
        {GLFW_KEY_UNKNOWN, 0},
        {31, 0},
        {400, 0},
    };
    for (auto [key, code] : cases) EXPECT_EQ(TransKey(key), code) << "GLFW key " << key;
}

// What GLFW names keys in other layouts: German swaps Y and Z, French has AZERTY letters and
// symbols over its digits.
TEST(LayoutKey, KeysFollowWhatTheyPrintElseTheirPosition) {
    struct Case {
        int key;
        const char* printed;
        int code;
    };
    const Case cases[] = {
        {GLFW_KEY_Z, "y", 89},
        {GLFW_KEY_Y, "z", 90},
        {GLFW_KEY_Q, "a", 65},
        {GLFW_KEY_SEMICOLON, "m", 77},
        {GLFW_KEY_M, ",", 188},
        {GLFW_KEY_SLASH, "-", 189},
        {GLFW_KEY_A, "A", 65},
        {GLFW_KEY_A, "a", 65},
        {GLFW_KEY_5, "5", 53},
        // Signs that GLFW has no key for: French prints the quote on the 3, Portuguese the tilde
        // beside the Enter key.
        {GLFW_KEY_3, "\"", 222},
        {GLFW_KEY_BACKSLASH, "~", 192},
        // No code for what they print: the position's code.
        {GLFW_KEY_1, "&", 49},
        {GLFW_KEY_SEMICOLON, "\xc3\xb6", 186},
        {GLFW_KEY_MINUS, "\xc3\x9f", 189},
        {GLFW_KEY_GRAVE_ACCENT, nullptr, 192},
        {GLFW_KEY_E, "", 69},
        {GLFW_KEY_WORLD_1, "<", 0},
        // Keys outside the main block keep their codes whatever they print.
        {GLFW_KEY_KP_1, "1", 97},
        {GLFW_KEY_UP, "x", 38},
        {GLFW_KEY_UNKNOWN, "a", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LayoutKey(c.key, c.printed), c.code)
            << "GLFW key " << c.key << " printing " << (c.printed ? c.printed : "nothing");
}

TEST(KeyToChar, EditingAndNavigationKeysType) {
    const std::pair<int, int> cases[] = {{8, 8},        {9, 9},        {13, 13},      {27, 27},
                                         {33, 0x10021}, {36, 0x10024}, {38, 0x10026}, {40, 0x10028},
                                         {45, 0x1002D}, {46, 127},     {32, 0},       {41, 0},
                                         {65, 0},       {112, 0},      {432, 0}};
    for (auto [key, character] : cases) EXPECT_EQ(KeyToChar(key), character) << "key " << key;
}

TEST(JoystickPorts, FirstFourPresentJoysticksServeThePorts) {
    struct Case {
        std::vector<int> present;
        std::vector<int> ports;
    };
    const Case cases[] = {{{2, 5}, {2, 5, -1, -1}},
                          {{}, {-1, -1, -1, -1}},
                          {{0, 3, 7, 9, 15}, {0, 3, 7, 9}},
                          {{15}, {15, -1, -1, -1}}};
    for (const Case& c : cases) {
        bool present[16] = {};
        for (int j : c.present) present[j] = true;
        int ports[4] = {0, 0, 0, 0};
        vxAssignJoystickPorts(present, ports);
        EXPECT_EQ(std::vector<int>(ports, ports + 4), c.ports);
    }
}

struct Pad {
    Array<float> x{2}, y{2}, z{2};
    Array<bool> buttons{32};

    void Map(const std::vector<float>& axes, std::vector<unsigned char> states) {
        vxMapJoystick(axes.data(), int(axes.size()), states.data(), int(states.size()), x, y, z, buttons);
    }
    // The entries set when only GLFW button `pressed` of `count` is down.
    std::vector<int> EntriesFor(int pressed, int count, const std::vector<float>& axes) {
        std::vector<unsigned char> states(std::size_t(count), GLFW_RELEASE);
        states[std::size_t(pressed)] = GLFW_PRESS;
        Map(axes, states);
        std::vector<int> entries;
        for (int i = 0; i < 32; ++i)
            if (buttons[i]) entries.push_back(i);
        return entries;
    }
};

const std::vector<float> kFiveAxes = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f};
const std::vector<float> kSixAxes = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};

TEST(JoystickMapping, FiveAxesAndFourteenButtonsShareTheTriggerAxis) {
    Pad pad;
    pad.Map(kFiveAxes, std::vector<unsigned char>(14, GLFW_PRESS));
    EXPECT_EQ(pad.x[0], 0.1f);
    EXPECT_EQ(pad.y[0], -0.2f);
    EXPECT_EQ(pad.z[0], 0.3f);
    EXPECT_EQ(pad.x[1], 0.5f);
    EXPECT_EQ(pad.y[1], -0.4f);
    EXPECT_EQ(pad.z[1], -0.3f);
    // Entry for each GLFW button; the last four are the hat's up, right, down and left.
    const std::vector<std::vector<int>> expected = {{0}, {1},  {2},  {3}, {4},  {5},  {6},
                                                    {7}, {12}, {13}, {9}, {10}, {11}, {8}};
    for (int b = 0; b < 14; ++b) EXPECT_EQ(pad.EntriesFor(b, 14, kFiveAxes), expected[std::size_t(b)]) << b;
}

TEST(JoystickMapping, OtherPadsTakeTriggersFromButtons) {
    Pad pad;
    std::vector<unsigned char> states(16, GLFW_RELEASE);
    states[7] = GLFW_PRESS;
    pad.Map(kSixAxes, states);
    EXPECT_EQ(pad.x[0], 0.1f);
    EXPECT_EQ(pad.y[0], -0.2f);
    EXPECT_EQ(pad.z[0], 0.0f);
    EXPECT_EQ(pad.x[1], 0.3f);
    EXPECT_EQ(pad.y[1], -0.4f);
    EXPECT_EQ(pad.z[1], 1.0f);
    const std::vector<std::vector<int>> expected = {{2}, {0}, {1},  {3},  {4}, {5},  {},   {},
                                                    {6}, {7}, {12}, {13}, {9}, {10}, {11}, {8}};
    for (int b = 0; b < 16; ++b) EXPECT_EQ(pad.EntriesFor(b, 16, kSixAxes), expected[std::size_t(b)]) << b;
}

TEST(JoystickMapping, ShapeOtherThanFiveByFourteenUsesTheGenericLayout) {
    Pad pad;
    pad.Map({0.1f, 0.2f, 0.3f, 0.4f}, std::vector<unsigned char>(14, GLFW_RELEASE));
    EXPECT_EQ(pad.x[1], 0.3f);
    pad.Map(kFiveAxes, std::vector<unsigned char>(13, GLFW_RELEASE));
    EXPECT_EQ(pad.x[1], 0.3f);
}

TEST(JoystickMapping, SmallPadsReadMissingAxesAndButtonsAsRest) {
    Pad pad;
    for (int i = 0; i < 32; ++i) pad.buttons[i] = true;
    pad.Map({0.7f}, {GLFW_PRESS, GLFW_PRESS});
    EXPECT_EQ(pad.x[0], 0.7f);
    EXPECT_EQ(pad.y[0], 0.0f);
    EXPECT_EQ(pad.y[1], -0.0f);
    std::vector<int> entries;
    for (int i = 0; i < 32; ++i)
        if (pad.buttons[i]) entries.push_back(i);
    // Counting back from two buttons: the hat's down and left reach them again, its up and right
    // nothing.
    EXPECT_EQ(entries, (std::vector<int>{0, 2, 8, 11}));
}

} // namespace
