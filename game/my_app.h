// The game: one application object whose methods are the whole game, split over one source file per
// concern (frame.cpp, draw.cpp, controls.cpp, playfield.cpp, effects.cpp, round.cpp, menu.cpp,
// pause.cpp, options.cpp, saved.cpp, sound.cpp, round_replay.cpp, replay_modes.cpp, checkin.cpp).
// Named identities (screens, actions, slots, settings, keys) are in ids.h.
//
// Game code never draws while rendering: every screen routine runs in p_OnUpdate and records
// drawing commands in a fixed virtual coordinate system into m_Draw; p_OnRender only clears the
// device and replays that list scaled to the device. All state lives in fields of the one object,
// records are flat float arrays of fixed stride, and methods take and return plain numbers and texts.
// Main thread only.
#pragma once

#include "framework/app/app.h"
#include "framework/audio/audio.h"
#include "framework/graphics/image.h"
#include "game/ids.h"
#include "game/replay.h"
#include "net/http.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <string>

// Every float-to-int conversion of the game truncates toward zero. Values that are not numbers or
// lie beyond the int range (a run-away fall, a scale of 0 before the first render) saturate
// instead of being undefined.
inline int TruncInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= double(INT_MAX)) return INT_MAX;
    if (v <= double(INT_MIN)) return INT_MIN;
    return int(v);
}
inline int FloorInt(double v) { return TruncInt(std::floor(v)); }

// Whether the input device's key code (a key, a pointer button, a touch) is down, or was pressed and
// released since the last update: a press shorter than a frame still counts, for one update.
bool KeyDownOrTapped(int code);
// Where a picture of an image tier lives: "-hd" files are twice, "-hd2" files four times the size.
String TierFile(const String& name, int tier);
// The input device's key code of the left pointer button.
inline constexpr int PointerButtonKey = 1;

// The shaft's grid, stored only as large as play uses it: columns 0 to 13 (13 is never written
// and reads as empty) and rows 0 to 32, 10 floats a cell.
inline constexpr int GridCols = 14;
inline constexpr int GridRows = 33;
inline constexpr int CellFloats = 10;
inline constexpr int GridFloats = GridCols * GridRows * CellFloats;
enum CellField { CellKind = 0, CellXShift = 1, CellYShift = 2 };
enum CellKindValue { CellEmpty = 0, CellWall = 1, CellFloor = 2, CellGap = 3 };

// Object (walkers and pickups), star and particle records: RecordFloats floats each, in pools of
// PoolFloats. Objects live in records 0 to ObjLast; the first float of a free object record is 0.
inline constexpr int RecordFloats = 10;
inline constexpr int ObjLast = 100;
enum ObjField { ObjState = 0, ObjX = 1, ObjY = 2, ObjDir = 3, ObjVY = 4, ObjSpeed = 5 };
// An object's state: a walker kills on touch; knocked from below, it becomes a pickup. (Plain ints:
// the records hold them as floats.)
inline constexpr int ObjFree = 0, ObjWalker = 1, ObjPickup = 2;
inline constexpr int PoolFloats = 5100;

// High scores in m_HiScore: the ten best of difficulty d (1 to 3) from (d - 1) x 10 on, best first,
// and the ten newest RecentScores places after them, newest first.
inline constexpr int ScoreTableEntries = 10;
inline constexpr int RecentScores = 30;
// m_HiScore's length: the saved text's eight tables fit within it.
inline constexpr int HiScoreSlots = 150;
// What the menu's high-score panels show: the table's first index, the number of lines, then up to
// ten best and ten newest scores.
using ScorePanelsShown = std::array<int, 2 + 2 * ScoreTableEntries>;
// 0, 1 or 2 for difficulty 1 (easy) to 3 (hard); other values are held to that range.
inline int DifficultyIndex(int difficulty) { return std::clamp(difficulty, 1, 3) - 1; }
// The first of the difficulty's best scores in m_HiScore.
inline int BestScoresBase(int difficulty) { return DifficultyIndex(difficulty) * ScoreTableEntries; }

// Fields of the player record (indices into m_Player).
enum PlayerField {
    PlX = 1,
    PlY = 2,
    PlVX = 3,
    PlVY = 4,
    PlGroundTimer = 7,
    PlTilt = 11,
    PlPrevTilt = 12,
    PlFacing = 15,
    PlAnimPhase = 17,
    PlScreenX = 18,
    PlScreenY = 19,
    PlMenuHold = 21,
    PlYCopy = 22,
    PlYMod = 23,
    PlXMod = 24,
    PlAddLatch = 30,
    PlScroll = 32,
    PlScrollSpeed = 33,
    PlScrollSpeedMax = 34,
    PlGX = 41,
    PlGY = 42,
    PlJumpLatch = 50,
    PlCollapseTimer = 55,
    PlCollapseSide = 56,
    PlWalkFrame = 58,
    PlFloors = 66,
};
inline constexpr int PlayerFloats = 512;

// Fields of star and particle records.
enum StarField { StarFrame = 0, StarX = 1, StarY = 2, StarDepth = 3, StarRot = 5, StarSpin = 6 };
enum PartField {
    PartKind = 0,
    PartX = 1,
    PartY = 2,
    PartVX = 3,
    PartVY = 4,
    PartRot = 5,
    PartSpin = 6,
    PartLife = 7,
    PartColour = 8,
    PartFrame = 9,
};
// A particle's kind: how it moves and ages, and what it draws. Kinds 1 to 9 are sparks of the parts
// sheet; those not named here drift in a straight line. (Plain ints: the records hold them as floats.)
inline constexpr int PartFree = 0;
inline constexpr int PartFaller = 2;  // falls with strong drag
inline constexpr int PartBouncer = 3; // falls with light drag, hopping back up at its bounce height
inline constexpr int PartLasting = 4; // drifts and ages slowly
inline constexpr int PartSquare = 16; // a 16-pixel square
inline constexpr int PartScore = 99;  // a floating number

// Module globals of the game, set by vx_game_Init.
extern float rawscrw, rawscrh;
extern float jscrw, jscrh;
extern float overscan;
// The console build (isOuya), the on-screen pad (OnScreenControls), the tilt controls
// (AccelerometerControls) and the check-in (J_On_Allow) never run on the desktop: their flags are
// always 0 here. They are part of the game's design, kept whole and tested by setting the flag.
extern int isOuya;
extern int UseHDImages;
extern int DebugMode;
extern int HasMusicStream;
extern int iCadeControls;
extern int OnScreenControls, AccelerometerControls;
extern int FadeOutStyle;
extern int GameNum;
extern int J_On_Allow, J_On_Able;
extern VxRoot<Array<String>> MenuSet;
extern VxRoot<Array<String>> CreditText;
// Where the check-in goes: a name reserved for documentation, so that nothing real is contacted.
extern String CheckInServer;

// The game's part of the program's global initialisation.
void vx_game_Init();

// The application. Sections name the file that implements them.
class c_MyApp : public c_App, public c_IOnHttpRequestComplete {
  public:
    // ---- frame.cpp: state, start-up, dispatch, render
    int m_ControlStyle = StyleKeyboard;
    int m_Fullscreen = 0;
    int m_FirstLoadDone = 0;
    int m_MenuRow = 0;
    float m_MenuRowY = 0;
    String m_HouseCallText{u"N/A"};
    c_HttpRequest* m_Http = nullptr;
    int m_HttpState = 0;
    int m_Screen = ScreenNone;
    int m_DevW = 0, m_DevH = 0;
    float m_AccelZeroX = 0, m_AccelZeroY = 0;
    float m_BgR = 0, m_BgG = 0, m_BgB = 0, m_BgA = 0;
    int m_ImgRes = 1;
    float m_ImgScale = 1;
    Array<c_Image*> m_Img;
    Array<int> m_ImgInfo;
    int m_Font = 0;
    int m_Loading = 0;
    int m_Difficulty = 0;
    int m_MenuSlide = 0;
    int m_Paused = 0;
    int m_PauseSel = 0, m_PauseY = 0;
    int m_i = 0;
    Array<int> m_BadgeQueue, m_BadgeQueueT;
    Array<bool> m_Badge;
    Array<int> m_VKey;
    Array<int> m_Setting;
    Array<int> m_HiScore;
    Array<int> m_SfxChan;
    int m_RenderMs = 0, m_RenderFpsNow = 0, m_RenderFps = 0;
    float m_ScaleX = 0, m_ScaleY = 0;
    // The device size the virtual screen was last fitted to: the update maps the pointer through it,
    // and a replay puts the recorded one in its place.
    int m_FittedW = 0, m_FittedH = 0;
    int m_FitMode = 0;
    int m_Landscape = 0; // kept by the design for layouts that ask; this game's layouts do not
    int m_DrawN = 0;
    Array<float> m_Draw;
    int m_ICadeChar = 0;
    int m_PadDrag = 0;
    int m_CleanView = 0;
    int m_TunePlaying = 0;
    int m_UpdateMs = 0, m_UpdateFpsNow = 0, m_UpdateFps = 0;
    int m_MouseX = 0, m_MouseOldX = 0, m_MouseY = 0, m_MouseOldY = 0;
    // m_MouseHit is the design's count of clicks; the menus here go by m_MouseDown and the latches.
    int m_MouseWasDown = 0, m_MouseDown = 0, m_MouseHit = 0;
    Array<int> m_TouchDown, m_TouchX, m_TouchY;
    int m_PointerLock = 0;
    int m_ClickDelay = 0;
    int m_KeyNav = 0;
    // m_Panel1 is the design's first menu panel, which this game's menu never opens: only the pause
    // key's closing of the panels and the demo's idle test read it.
    int m_Panel1 = 0, m_OptionOpen = 0, m_SidePanel = 0;
    float m_BgParam0 = 0, m_BgParam1 = 0, m_BgParam2 = 0, m_BgParam3 = 0, m_BgParam4 = 0, m_BgParam5 = 0;
    // The view rectangle, set at every clear; the design keeps it, though nothing here reads it back.
    float m_ViewX = 0, m_ViewY = 0, m_ViewW = 0, m_ViewH = 0;
    float m_SizeX = 1, m_SizeY = 1, m_Rot = 0, m_ColR = 255, m_ColG = 255, m_ColB = 255, m_Alpha = 1;
    int m_Blend = 1;
    int m_OptionSlide = 0;
    int m_PadX = 0, m_PadY = 0;
    float m_PadScale = 0;
    float m_TiltX = 0, m_TiltY = 0, m_TiltShowX = 0, m_TiltShowY = 0;
    // Loading screen: its spinner angle and the ring radius (the smaller virtual dimension).
    float m_Spin = 0;
    int m_MenuR = 0;

    c_MyApp* m_new();
    int p_OnCreate() override;
    int p_OnSuspend() override;
    int p_OnResume() override;
    int p_OnUpdate() override;
    int p_OnRender() override;
    int p_Reload();
    int p_Loader();
    int p_WaitStart(int mode);
    int p_FullscreenFlip();
    // Chooses the image tier from the device size.
    int p_ChooseTier();
    // The border the render keeps free on every side, in device pixels.
    int p_SetOverscan(float border);
    // The screen state machine of one update, with the options box and side panel slides.
    int p_Dispatch();
    // Pointer and touch positions in virtual units.
    int p_MapPointer();
    // Whether keys or the pointer drive the menus: the latches m_KeyNav and m_PointerLock.
    int p_ControlModeSwitch();
    // Suspend and resume share the pause rule.
    int p_PauseOnFocusChange();
    // Updates a smoothed rate from the clock (update and render timing).
    static void p_MeasureRate(int& lastMs, int& fpsNow, int& fps);
    // The debug line (render rate and scale), and the values it was last built of.
    String p_DebugText();
    String m_DebugText;
    int m_DebugTextFps = 0;
    float m_DebugTextScaleX = 0, m_DebugTextScaleY = 0;

    // ---- draw.cpp: drawing kit, draw list, text, image slots
    int p_ResetDraw();
    int p_SetSize(float x, float y = Omitted);
    int p_SetRot(float a);
    int p_SetCol(float r, float g, float b, float a = Omitted);
    int p_Alpha(float a);
    int p_Ink(int index, float brightness);
    int p_CLS2D(float r, float g, float b, float a);
    int p_DoBG(int r, int g, int b, float a);
    int p_DrawImg(int slot, float x, float y, float frame);
    int p_Rect(float x, float y, float w, float h);
    int p_Oval(float x, float y, float rx, float ry);
    int p_Line(float x1, float y1, float x2, float y2); // part of the kit; no screen draws a line
    int p_Tri(float x1, float y1, float x2, float y2, float x3, float y3);
    int p_Tilt(float a);
    int p_TiltOff();
    int p_Text(float x, float y, String text, float ax, float ay, int slotOffset);
    String p_rstr(int value, int width, String pad);
    int p_LoadImg(int slot, String name, int w, int h, int frames, int flags);
    int p_LoadFont(int slot, String name, int advance, int lineHeight);
    int p_ReserveImg(int slot, int w, int h);
    int p_FreeObj(int limit);
    // Replays the draw list on the graphics context, scaled to the device.
    int p_ReplayDrawList();
    // The three device points of the triangle being replayed, kept so that replay allocates nothing.
    Array<float> m_TriPoints;
    // The overscan border's height in device pixels: the border keeps the device's aspect ratio.
    float p_OverscanY();

    // ---- controls.cpp: actions, sticks, steering, touch tests, iCade, overlays
    float m_AnalogX = 0, m_AnalogY = 0;
    float m_KeyRampX = 0, m_KeyRampY = 0;
    int m_DragX0 = -1, m_DragY0 = 0;
    int m_PadSpread = 0;
    int m_PauseHit = 0;

    int p_PlayKey(int action, int allowStick, int player);
    int p_PlayKeyAll(int action, int allowStick);
    float p_StickX(int stick, int player);
    float p_StickY(int stick, int player);
    int p_AnalogueControl();
    int p_iCade(int on);
    int p_ReadICade();
    int p_Button(int slot, float x, float y, int frame);
    int p_Button(float x, float y, int frame);
    bool p_Button0(int slot, float x, float y, int frame);
    // Touch rectangles of the design's touch menus, which the desktop's menus do not use.
    int p_Touch(float x, float y, float w, float h);
    int p_Touch(float y, float w);
    int p_MouseIn(float x, float y, float w, float h);
    int p_MouseIn_Centered(float x, float y, float w, float h);
    int p_MouseIn_Radius(float x, float y, float w, float h);
    // The on-screen pad and the accelerometer overlay, drawn over the screen routines.
    int p_TouchPad();
    int p_TiltOverlay();
    // Virtual buttons 0..18 let go (the menu key's slot is kept).
    int p_ClearActionVKeys();

    // ---- playfield.cpp: random draws, the shaft of floors, cell queries
    int m_c = 0;
    Array<float> m_Grid;
    Array<float> m_Obj;

    int p_Rand(float lo, float hi);
    int p_SeedRnd(int seed);
    int p_AddFloor(int d);
    bool p_isFloor(float gx, float gy);
    bool p_isSolid(float gx, float gy);
    bool p_isBump(float gx, float gy);
    int p_BumpFloor(float gx, float gy);
    int p_ResetGrid();
    int p_ResetObj();
    int p_FlushGame();
    // m_c has three uses in turn, as the design keeps one field for them (the replays hash it):
    // 1 while the next row added is a round's first, which needs no gap of its own;
    int& p_FirstRowLatch() { return m_c; }
    // while a row is added, the range of each spawn roll;
    int& p_SpawnRange() { return m_c; }
    // and, once an object is placed, its float index in m_Obj, which the next roll then reads.
    int& p_SpawnedObj() { return m_c; }
    // The per-frame cell pass: animation and drawing of the shaft.
    int p_DoCells();

    // ---- effects.cpp: stars and particles
    int m_StarCount = 100;
    Array<float> m_Stars;
    int m_PartMax = 250;
    Array<float> m_Part;

    int p_ResetStars(int n);
    int p_DoStars(float dx, float dy);
    int p_ResetParticles(int n);
    int p_FreeParticle();
    float* p_PlaceParticle(int kind, float x, float y);
    int p_AddParticle(int kind, float x, float y, float vx, float vy, int frame, int colour, int life);
    int p_ThrowParticle(float x, float y, int kind, int colour, float angle, float speed);
    int p_DoParticles(float scale);

    // ---- round.cpp: the round, scoring, end-of-round overlay
    Array<float> m_Player;
    int m_Score = 0;
    int m_ShownScore = 0;
    int m_RoundOver = 0;
    int m_OverTimer = 0;
    int m_QuitRound = 0;
    int m_PauseAnim = 0;
    // The score and rank lines as last built, so that a steady play step allocates no text.
    String m_ScoreText, m_RankText;
    int m_ScoreTextOf = 0, m_RankTextOf = 0, m_RankTargetOf = 0;

    int p_LoadGame();
    int p_ResetPlayers();
    int p_Game();
    int p_InGame();
    int p_Gimme(int amount, float x, float y);
    int p_ScoreDisplay();
    String p_Nth(int n);
    String p_MyNth();
    int p_GameOver();

    // ---- menu.cpp: main menu, filing scores, badge banners, console quit dialog; pause.cpp: the
    // pause screen; options.cpp: the options box
    int m_Focus = FocusDial;
    float m_DialSpin = 0, m_DialPos = 0, m_DialAngle = 0;
    int m_SidePanelX = 0;
    float m_CreditScroll = 0;
    int m_CreditLine = 0;
    int m_OptSel = 0;
    int m_OptLatch = 0;
    float m_ToyR = 0, m_ToyV = 0, m_ToyAngle = 0;
    int m_OverscanLatch = 0;
    // While paused no play step clears the draw list: the last play picture stays under the pause
    // screen, which is redrawn over it. Its length in floats, as the last play step left it before
    // any overlay; -1 before this round's first.
    int m_PauseFrameN = -1;
    // The high-score panels' texts as last built, and what they show, so that a steady menu builds
    // no text.
    String m_TopText, m_LastText;
    ScorePanelsShown m_ScorePanelsShown{};

    int p_Menu();
    int p_LoadMenu();
    int p_PauseMenu();
    int p_OptionBox();
    int p_ShowBadges();
    int p_OuyaQuit();
    // One step of the slides, on every screen: the options box in or out, the side panel open or shut.
    int p_SlideOptionBox();
    int p_SlideSidePanel();
    // The pause screen's overscan slider, which the console's options box shows too.
    int p_OverscanSlider(float centreX, float y);
    // The menu keeps its key repeat in two player fields that no round reads while the menu shows:
    // the updates left until the next step, and what the step after starts that count at.
    float& p_MenuRepeatHold() { return m_Player[PlMenuHold]; }
    float& p_MenuRepeatDelay() { return m_Player[PlYCopy]; }

    // ---- saved.cpp: settings, badges and high scores
    int p_Save();
    int p_Load();
    int p_DefaultSettings();
    String p_BadgeID(int id);
    String p_BadgeName(int id);
    // The design's badge kit: the detail line and the score-service hooks have no caller on the
    // desktop, which has no score service; the hooks do nothing.
    String p_BadgeDetail(int id);
    int p_GC_PostScore(int score, int board);
    int p_GC_Badges();

    // ---- sound.cpp: effects and music
    Array<c_Sound*> m_Sfx;
    int m_SfxSlot = 0;
    String m_LastTune;

    int p_LoadSFX(int n);
    int p_PlaySFX(int n, float rate, float volume, float pan);
    int p_PlayTune(String name, int loop);
    int p_StopTune();
    // Decodes a track ahead of its first play, so that starting a round costs no decoding.
    int p_PrepareTune(String name);
    // Starts decoding a track on a worker thread, for its p_PrepareTune to take.
    int p_DecodeTuneAhead(String name);
    int p_ResetChannels();
    // While a track plays, it pauses with the round and resumes with it.
    int p_MusicFollowsPause();
    // The round's music.
    static constexpr char16_t RoundTune[] = u"spindrift";

    // ---- round_replay.cpp: the round's hooks into recording and playback; replay_modes.cpp:
    // watching and verifying from the command line, the demo
    ReplaySession m_Replay;

    // The millisecond clock as a round reads it: recorded while recording, answered from the
    // replay while one plays.
    int p_Millisecs();
    // Around every update: the recorder takes the update's frame, the player puts its frame in
    // place of the live input (1: the update ends here, its input spent on the replay).
    int p_ReplayUpdateStart();
    int p_ReplayUpdateEnd();
    // A round starts: recording begins, or the played round takes its recorded start.
    int p_ReplayRoundStart();
    // 1 when a replay took the focus change, so the round's own pause rule must not run.
    int p_ReplayFocusChange(int lost);
    // Loads a replay to play once the menu shows; 0 with m_Replay.failure and status set when it
    // cannot.
    int p_LoadReplay(ReplayMode mode, const std::string& path);
    // Whether the loader holds the screens back this update: live, while it loads; in a played
    // round, exactly when it held the recorded one, whatever the viewer's own window loads.
    bool p_LoaderHoldsScreens() const;
    int p_ReplayOptions();
    int p_AttractMode();
    void p_BeginPlayback();
    void p_FinishPlayback();
    [[noreturn]] void p_EndCommandLinePlayback();
    void p_EndRecording();
    void p_EndDemo();
    void p_ViewerPause();
    void p_ViewerResume();

    // ---- checkin.cpp: the online check-in
    int p_GetURL(String url, String query);
    void p_OnHttpRequestComplete(c_HttpRequest* request) override;

    void mark() override;
};
