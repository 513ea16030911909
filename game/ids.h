// The game's identities by name: screens, menu focus, control styles, control actions, pad buttons,
// virtual buttons, image and sound slots, settings and sound modes, key codes, the sizes of the
// tables they index, and the draw command's layout. Shared by the game, its tests and benchmarks, so
// that a number means the same thing wherever it is written.
#pragma once

#include "framework/input/input.h"

#include <numbers>

// ---- screens: the values of c_MyApp::m_Screen (the dispatch in frame.cpp says how they follow)
enum GameScreen : int {
    ScreenNone = 0,       // before start-up
    ScreenMenu = 1,       // the main menu
    ScreenBackToMenu = 2, // a round is over: file its score, then the menu
    ScreenQuitDialog = 4, // the console's dialog for a quit through its own menu
    ScreenWaitStart = 5,  // the loading screen without its spinner, then the menu
    ScreenRound = 10,     // a round runs; this and every later value belong to a round
    ScreenStartRound = 11,
};

// ---- the main menu's focus (c_MyApp::m_Focus): the area its keys act on. Left and right step
// through them in this order.
enum MenuFocus : int { FocusCog = 0, FocusDial = 1, FocusPanel = 2 };

// ---- control styles (c_MyApp::m_ControlStyle): how a round is played, which also decides whether
// texts show key caps (keyboard) or pad buttons (pad and pointer).
enum ControlStyle : int { StyleKeyboard = 0, StylePad = 1, StylePointer = 2 };

// ---- control actions: what p_PlayKey is asked about
enum GameAction : int {
    ActionUp = 0,
    ActionLeft = 3,
    ActionRight = 5,
    ActionDown = 8,
    ActionA = 10, // jump, confirm
    ActionB = 11,
    ActionX = 12,             // add a row
    ActionY = 13,             // the console's pause
    ActionLeftShoulder = 14,  // overscan smaller
    ActionRightShoulder = 15, // overscan larger
    ActionBack = 98,          // the console's quit dialog
    ActionPause = 99,         // pause, back, quit from the menu
};

// ---- pad buttons: a button's offset within its pad's block of key codes.
// ORDER PAD: the host's pad layouts (host/joystick.cpp) deliver the buttons in this order.
enum PadButton : int {
    PadA = 0,
    PadB = 1,
    PadX = 2,
    PadY = 3,
    PadLeftShoulder = 4,
    PadRightShoulder = 5,
    PadBack = 6,
    PadStart = 7,
    PadLeft = 8,
    PadUp = 9,
    PadRight = 10,
    PadDown = 11,
    PadLeftStick = 12, // the stick clicks, which no action reads
    PadRightStick = 13,
    PadMenu = 14, // the console pad's menu button
};
// The input device's key code of a button of pad 0 to 3.
constexpr int PadButtonKey(int pad, int button) {
    return vx_input_firstJoyKey + vx_input_joyButtons * pad + button;
}

// ---- virtual buttons: slots of c_MyApp::m_VKey. Slots 0 to 15 are the actions of the same number;
// 16 and 17 are the iCade's two back buttons; 19 is the menu key of this update.
inline constexpr int VKeyBack1 = 16, VKeyBack2 = 17;
inline constexpr int VKeyActions = 19; // slots 0..18 hold actions
inline constexpr int VKeyMenu = 19;
inline constexpr int VKeyCount = 20;

// A virtual button's values: up, pressed for this update only (touch), held (iCade).
inline constexpr int VKeyUp = 0, VKeyTapped = 1, VKeyHeld = 2;

// ---- image slots of c_MyApp::m_Img (plain ints: draw commands hold them as floats)
inline constexpr int ImgGfx = 1;      // the playfield sheet: tiles, player, walkers, pickups
inline constexpr int ImgBadges = 80;  // badge pictures
inline constexpr int ImgBlank = 81;   // a blank 2048 x 2048 image, never drawn
inline constexpr int ImgCircle = 85;  // "common/circle"
inline constexpr int ImgLight = 86;   // "common/light"
inline constexpr int ImgFont = 90;    // the font
inline constexpr int ImgLogo = 93;    // the studio logo of the loading screen
inline constexpr int ImgDpad = 94;    // the on-screen pad
inline constexpr int ImgButtons = 95; // menu buttons and the options cog
inline constexpr int ImgParts = 96;   // sparks and stars, 8 x 8
inline constexpr int ImgIcons = 97;   // quit, start, pause and calibrate icons
inline constexpr int ImgTitle = 98;   // the game's title ("logo")
inline constexpr int ImgMenu = 99;    // "menu"
inline constexpr int ImageSlots = 100;
// Frames of the icons (ImgIcons).
inline constexpr int IconPause = 0, IconQuit = 1, IconStart = 3, IconCalibrate = 7;
// m_ImgInfo holds three ints per image slot.
inline constexpr int ImgInfoW = 0, ImgInfoH = 1, ImgInfoFrames = 2, ImgInfoStride = 3;

// ---- sound slots of c_MyApp::m_Sfx. The loader fills the bonus, bump, landing and back slots with
// the rest, though no screen of this game plays them.
inline constexpr int SfxBonus = 1;
inline constexpr int SfxJump = 2;
inline constexpr int SfxPickup = 3;
inline constexpr int SfxBump = 4;
inline constexpr int SfxLand = 5;
inline constexpr int SfxKnock = 6;
inline constexpr int SfxTip = 7;
inline constexpr int SfxEnd = 8;
inline constexpr int SfxBack = 95;
inline constexpr int SfxJingle = 96;  // the logo's first showing, and a round giving way to the menu
inline constexpr int SfxConfirm = 98; // a choice confirmed, the pause entered
inline constexpr int SfxMove = 99;    // moving, opening and closing
inline constexpr int SoundSlots = 100;
// Effects take turns on this many channels, so a burst cuts off only the oldest of the last ones;
// the channels above stay free.
inline constexpr int SfxRotation = 24;

// ---- settings: indices into c_MyApp::m_Setting, the saved settings
enum SettingIndex : int {
    SetSoundMode = 5,      // a SoundMode
    SetPadX = 10,          // on-screen pad centre x
    SetPadFromBottom = 11, // on-screen pad centre's distance from the bottom edge
    SetPadSize = 12,       // on-screen pad size x 10
    SetOverscan = 14,      // the console's overscan border
    SetLeftStickY = 15,    // 1 keeps the left stick's y as delivered, 0 negates it
    SetRightStickY = 16,   // the same for the right stick
};
inline constexpr int SettingCount = 25;

// ---- sound modes: the values of setting SetSoundMode. Without a music stream the options box
// offers only SoundOff and SoundEffectsAndMusic, shown as off and on.
enum SoundMode : int { SoundOff = 0, SoundEffectsAndMusic = 1, SoundEffectsOnly = 2, SoundMusicOnly = 3 };
inline constexpr int SoundModes = 4;
inline constexpr int DefaultSoundMode = SoundEffectsAndMusic;
inline bool SoundModeHasEffects(int mode) { return mode == SoundEffectsAndMusic || mode == SoundEffectsOnly; }
inline bool SoundModeHasMusic(int mode) { return mode == SoundEffectsAndMusic || mode == SoundMusicOnly; }

// ---- sizes of the tables these index
// Touch points the game maps and tests each update; the input device keeps more.
inline constexpr int TouchPoints = 10;
// Badge flags (c_MyApp::m_Badge), saved as words of 32.
inline constexpr int BadgeCount = 256;
// Badges waiting to be announced and their banners' timers (c_MyApp::m_BadgeQueue, m_BadgeQueueT).
inline constexpr int BadgeQueueLength = 15;

// ---- key codes of the input device: the host names them (host/keys.h: VkSpace, letters as their
// capitals 'Z'); the game adds its name for the one pad button it reads by code
inline constexpr int VkPadMenu = PadButtonKey(0, PadMenu); // the console pad's menu button

// ---- the draw list: commands of DrawStride floats in c_MyApp::m_Draw
// Index 0 of a command: an image command holds its slot, the others one of these codes.
enum DrawCode : int {
    DrawRect = -3717,
    DrawOval = -3716,
    DrawLine = -3715,
    DrawTri = -3714,
    DrawTilt = -3712,
    DrawTiltOff = -3711,
};
// Where a command keeps what: entries 1 to 6 are the shape's own (x, y, rotation, scale or size,
// frame; a line's or triangle's points); 7 and 10 to 13 the style it was recorded with.
enum DrawField : int {
    CmdCode = 0,
    CmdX = 1,
    CmdAngle = 1, // a screen rotation's angle
    CmdY = 2,
    CmdRot = 3,
    CmdScaleX = 4, // or width, radius x, x2
    CmdScaleY = 5, // or height, radius y, y2
    CmdFrame = 6,
    CmdAlpha = 7,
    CmdRed = 10,
    CmdGreen = 11,
    CmdBlue = 12,
    CmdBlend = 13,
};
inline constexpr int DrawStride = 15;
inline constexpr int DrawFloats = 37500;
// A command is recorded only while m_DrawN is at most this: 2,499 commands per update.
inline constexpr int DrawLimit = 37484;
// Blend codes of the drawing state.
inline constexpr int BlendNormal = 1, BlendAdditive = 3;

// Stands for an argument left out of a drawing-kit call and for a touch that is up.
inline constexpr int Omitted = -3717;
// Given to p_DoBG for a colour channel: keep the previous target; for the alpha: opaque.
inline constexpr int KeepBackground = -123;

// Angles are in degrees everywhere in the game.
inline constexpr double DegToRad = std::numbers::pi / 180;
inline double Radians(double degrees) { return degrees * DegToRad; }
// Particles and menus compute in single precision.
inline float Radians(float degrees) { return degrees * float(DegToRad); }
