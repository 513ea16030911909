// The framework's key codes, named where they are made: the window's key callback turns GLFW's keys
// into these (window.cpp), the input device keeps them, the game reads them.
//
// They are Windows virtual key codes (Vk, as Windows writes VK_SPACE); digits and letters are their
// characters ('0', 'Z') and have no names. The prefix keeps them apart from the host's KeyDown and
// KeyUp events and from the key constants of programs that include this header. The same space of
// 512 codes holds mouse buttons (1-3), joystick buttons (256 + 32 * unit + button) and touches
// (384 + index).
#pragma once

enum VxKey : int {
    VkBackspace = 8,
    VkTab = 9,
    VkEnter = 13,
    VkShift = 16,
    VkCtrl = 17,
    VkEscape = 27,
    VkSpace = 32,
    VkPageUp = 33,
    VkPageDown = 34,
    VkEnd = 35,
    VkHome = 36,
    VkLeft = 37,
    VkUp = 38,
    VkRight = 39,
    VkDown = 40,
    VkInsert = 45,
    VkDelete = 46,
    VkNumpad0 = 96,
    VkNumpad1 = 97,
    VkNumpad2 = 98,
    VkNumpad3 = 99,
    VkNumpad4 = 100,
    VkNumpad5 = 101,
    VkNumpad6 = 102,
    VkNumpad7 = 103,
    VkNumpad8 = 104,
    VkNumpad9 = 105,
    VkMultiply = 106,
    VkAdd = 107,
    VkSubtract = 109,
    VkDecimal = 110,
    VkDivide = 111,
    VkF1 = 112,
    VkF2 = 113,
    VkF3 = 114,
    VkF4 = 115,
    VkF5 = 116,
    VkF6 = 117,
    VkF7 = 118,
    VkF8 = 119,
    VkF9 = 120,
    VkF10 = 121,
    VkF11 = 122,
    VkF12 = 123,
    VkSemicolon = 186,
    VkEqual = 187,
    VkComma = 188,
    VkMinus = 189,
    VkPeriod = 190,
    VkSlash = 191,
    VkLeftOf1 = 192, // ` and ~ on a US keyboard
    VkLeftBracket = 219,
    VkBackslash = 220,
    VkRightBracket = 221,
    VkQuote = 222, // ' and "
};

// The window's close button, which has no key of its own.
inline constexpr int KEY_CLOSE = 432;
