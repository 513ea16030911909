// The game's frame: start-up, the staged asset loader and its loading screen, the work every update
// shares (function keys, timing, pointer mapping, control-mode switch), the screen state machine,
// suspend and resume, and the render pass that replays the draw list at the device's resolution.
#include "framework/app/app.h"
#include "framework/audio/audio.h"
#include "framework/graphics/graphics.h"
#include "framework/input/input.h"
#include "game/my_app.h"
#include "host/files.h"
#include "host/game.h"
#include "net/asyncevent.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>
#include <vector>

namespace {

constexpr int ActiveUpdateRate = 60;
constexpr int SuspendedUpdateRate = 5;

constexpr int FontAdvance = 7, FontLineHeight = 10;
constexpr int BlankSize = 2048;

// Device pixels to virtual units. Before the first render the scale is still 0: the pointer then
// reads 0 rather than dividing by it.
int ToVirtual(float device, float border, float scale) {
    return scale > 0 ? TruncInt((device - border) / scale) : 0;
}

// One ring of the loading spinner: eleven dots brightening towards its head.
void DrawSpinnerRing(c_MyApp& app, float base, float reach, float dotRadius, float r, float g, float b) {
    const double cx = jscrw / 2, cy = jscrh / 2, radius = double(app.m_MenuR) * reach;
    for (int i = 0; i <= 10; ++i) {
        const double a = Radians(double(app.m_Spin + base + 4 * i));
        app.p_SetCol(r, g, b, float(i) / 10);
        app.p_Oval(float(cx + std::sin(a) * radius), float(cy - std::cos(a) * radius), dotRadius, dotRadius);
    }
}

// The menus are laid out for virtual screens at least 360 units high and 530 wide: every shape from
// 5:4 to 16:9, and portrait up to 3:4, fits that as it is.
constexpr float MinVirtualW = 530, MinVirtualH = 360;

// The virtual screen keeps the design size in the dimension that decides the scale (1.5 times it
// in portrait, where the design would be too small) and shows as much as fits in the other one.
// A screen longer than that (ultrawide, tall portrait) is held to the least width or height instead,
// and the long side shows more.
void FitVirtualScreen(c_MyApp& app, int devW, int devH) {
    const float k = devW >= devH ? 1.0f : 1.5f;
    const float sxo = (float(devW) - 2 * overscan) / (rawscrw * k);
    const float syo = (float(devH) - 2 * overscan) / (rawscrh * k);
    float s;
    if (syo > sxo) {
        app.m_FitMode = 2;
        app.m_ScaleX = app.m_ScaleY = syo;
        s = float(devH) / (rawscrh * k);
    } else {
        app.m_FitMode = 1;
        app.m_ScaleX = app.m_ScaleY = sxo;
        s = float(devW) / (rawscrw * k);
    }
    const float holdW = float(devW) / MinVirtualW, holdH = float(devH) / MinVirtualH;
    if (const float hold = std::min(holdW, holdH); hold < s) {
        app.m_FitMode = hold == holdW ? 1 : 2;
        app.m_ScaleX = app.m_ScaleY = app.m_ScaleX * hold / s;
        s = hold;
    }
    jscrw = float(devW) / s;
    jscrh = float(devH) / s;
    app.m_FittedW = devW;
    app.m_FittedH = devH;
    app.m_Landscape = jscrh <= jscrw ? 1 : 0;
}

// What a load replaces is drawn and played no more: its textures and sound buffers go at once. The
// collector would destroy the old objects only as later allocations pay for them, and steady frames
// allocate nothing, so a whole tier of textures could stay resident after a reload.
class ReplacedAssets {
  public:
    explicit ReplacedAssets(c_MyApp& game) : app(game) {
        std::copy(app.m_Img.begin(), app.m_Img.end(), images.begin());
        std::copy(app.m_Sfx.begin(), app.m_Sfx.end(), sounds.begin());
    }
    ReplacedAssets(const ReplacedAssets&) = delete;
    ReplacedAssets& operator=(const ReplacedAssets&) = delete;

    ~ReplacedAssets() {
        for (c_Image* old : images) {
            if (old && old->surface && Replaced(app.m_Img, old)) old->surface->Discard();
        }
        for (c_Sound* old : sounds) {
            if (old && old->m_sample && Replaced(app.m_Sfx, old)) old->m_sample->Discard();
        }
    }

  private:
    template <class T> static bool Replaced(const Array<T*>& slots, T* old) {
        return std::find(slots.begin(), slots.end(), old) == slots.end();
    }

    c_MyApp& app;
    std::array<c_Image*, ImageSlots> images{};
    std::array<c_Sound*, SoundSlots> sounds{};
};

} // namespace

int c_MyApp::p_OnCreate() {
    // A replay named on the command line is read and checked first: a file that is none is refused
    // before anything else is made or said.
    p_ReplayOptions();
    if (isOuya == 1) {
        m_ControlStyle = StylePad;
        p_SetOverscan(64);
    }
    m_Fullscreen = 0;
    m_FirstLoadDone = 0;
    m_MenuRow = 1;
    m_MenuRowY = -32;
    if (J_On_Allow == 1)
        p_GetURL(CheckInServer + u"/housecall.php", String(u"hello=1&gameID=") + String(GameNum));
    m_Screen = ScreenMenu;
    vx_app_SetUpdateRate(ActiveUpdateRate);
    m_DevW = vx_app_DeviceWidth();
    m_DevH = vx_app_DeviceHeight();
    m_AccelZeroX = 0;
    m_AccelZeroY = 0;
    p_Reload();
    m_Difficulty = 2;
    m_MenuSlide = -32;
    m_Paused = 0;
    m_PauseSel = -1;
    m_PauseY = -64;
    for (int i = 0; i < BadgeQueueLength; ++i) m_BadgeQueue[i] = m_BadgeQueueT[i] = 0;
    // The first half of the badges, and the best scores with the first of the newest: the object is
    // new, so the rest hold nothing either.
    for (int i = 0; i < BadgeCount / 2; ++i) m_Badge[i] = false;
    p_ClearActionVKeys();
    p_DefaultSettings();
    for (int i = 0; i <= RecentScores; ++i) m_HiScore[i] = 0;
    // The verifier plays the round from the replay alone: the player's saves are none of its business.
    if (m_Replay.mode != ReplayMode::Verify) p_Load();
    p_ResetChannels();
    return 0;
}

namespace {

// The image tier for a device of w x h.
int TierFor(int w, int h) {
    if (UseHDImages == 0) return 1;
    if (w >= 1231 || h >= 1231) return 4;
    if (w >= 631 || h >= 631) return 2;
    return 1;
}

} // namespace

int c_MyApp::p_ChooseTier() {
    m_ImgRes = TierFor(vx_app_DeviceWidth(), vx_app_DeviceHeight());
    m_ImgScale = 1.0f / float(m_ImgRes);
    return 0;
}

int c_MyApp::p_SetOverscan(float border) {
    overscan = border;
    return 0;
}

namespace {

// A picture a loader step loads: a strip or grid of frames, or (no frames) the font. The reload
// loads the logo and the font too, so that the loading screen shows them from its first frame; their
// steps load them again at the tier the loader has chosen.
struct StepPicture {
    int step;
    int slot;
    std::u16string_view name;
    int w, h, frames;

    String Name() const { return String(name.data(), int(name.size())); }
};

constexpr int LogoStep = 4, FontStep = 5;
constexpr StepPicture LoaderPictures[] = {
    {1, ImgIcons, u"common/icons", 32, 32, 16},
    {2, ImgButtons, u"common/Buttons", 64, 64, 16},
    {3, ImgDpad, u"common/dpad", 32, 32, 16},
    {LogoStep, ImgLogo, u"common/ZOKULogo", 256, 256, 1},
    {FontStep, ImgFont, u"fonts/shadow_editundo", 0, 0, 0},
    {6, ImgMenu, u"menu", 256, 256, 4},
    {6, ImgTitle, u"logo", 256, 128, 1},
    {7, ImgBadges, u"BadgesA", 64, 64, 64},
    {7, ImgParts, u"parts", 8, 8, 256},
    {8, ImgCircle, u"common/circle", 256, 256, 4},
    {8, ImgLight, u"common/light", 32, 32, 4},
    {9, ImgGfx, u"gfx", 36, 36, 49},
};

void LoadPicture(c_MyApp& app, const StepPicture& p) {
    if (p.frames == 0) {
        app.p_LoadFont(p.slot, p.Name(), FontAdvance, FontLineHeight);
    } else {
        app.p_LoadImg(p.slot, p.Name(), p.w, p.h, p.frames, 1);
    }
}

void LoadStepPictures(c_MyApp& app, int step) {
    for (const StepPicture& p : LoaderPictures) {
        if (p.step == step) LoadPicture(app, p);
    }
}

constexpr int EveryStep = 0;

// The files of the loader's pictures at this tier, in the order of their loads: those of one step,
// or of every step.
Array<String> LoaderFiles(int tier, int step) {
    std::vector<String> files;
    for (const StepPicture& p : LoaderPictures) {
        if (step == EveryStep || p.step == step) files.push_back(TierFile(p.Name(), tier));
    }
    return Array<String>(files.data(), int(files.size()));
}

// The textures of the step's pictures that the workers have decoded already, made now without
// their pixels: making a texture's storage is most of its cost, and a step that pays for the next
// one's keeps the largest tier's steps within a frame. The step's loads then only fill them.
void PrepareStepPictures(const c_MyApp& app, int step) {
    vx_graphics_PrepareImages(LoaderFiles(app.m_ImgRes, step));
}

// Every picture of the steps at this tier, in the order of their loads, decoded on worker threads
// while the steps before it run: a step then only waits for what the workers have not finished,
// and still ends with its pictures in their slots. Asking again for the list in progress keeps it.
void DecodePicturesAhead(int tier) { vx_graphics_DecodeAhead(LoaderFiles(tier, EveryStep)); }

} // namespace

// The logo and the font come at once, so that the loading screen can show them from its first frame.
int c_MyApp::p_Reload() {
    ReplacedAssets replaced(*this);
    m_BgR = m_BgG = m_BgB = 0;
    m_BgA = 1;
    p_ChooseTier();
    LoadStepPictures(*this, LogoStep);
    LoadStepPictures(*this, FontStep);
    m_Loading = 1;
    return 0;
}

namespace {

constexpr int LastStep = 13;

// The step numbered m_Loading; past the last, loading is over.
void LoaderStep(c_MyApp& app) {
    if (app.m_Loading > LastStep) {
        app.m_Loading = 0;
        return;
    }
    ReplacedAssets replaced(app);
    LoadStepPictures(app, app.m_Loading);
    switch (app.m_Loading) {
    case 1:
        app.p_LoadSFX(SfxJingle);
        app.p_ReserveImg(ImgBlank, BlankSize, BlankSize);
        app.m_ImgInfo[ImgInfoStride * ImgBlank + ImgInfoW] = BlankSize;
        app.m_ImgInfo[ImgInfoStride * ImgBlank + ImgInfoH] = BlankSize;
        app.m_ImgInfo[ImgInfoStride * ImgBlank + ImgInfoFrames] = 1;
        break;
    case 2:
        app.p_LoadSFX(SfxBonus);
        break;
    case 3:
        app.p_LoadSFX(SfxConfirm);
        break;
    case 4:
        if (app.m_FirstLoadDone == 0) {
            app.p_PlaySFX(SfxJingle, 1, 1, 0);
            app.m_FirstLoadDone = 1;
        }
        break;
    case 5:
        app.p_LoadSFX(SfxMove);
        break;
    case 6:
        app.p_LoadSFX(SfxBack);
        break;
    case 10:
        // The pictures are decoded by now: the workers' cores are free for the track that the
        // last step prepares.
        app.p_DecodeTuneAhead(c_MyApp::RoundTune);
        app.p_LoadSFX(SfxJump);
        app.p_LoadSFX(SfxPickup);
        break;
    case 11:
        app.p_LoadSFX(SfxBump);
        app.p_LoadSFX(SfxLand);
        break;
    case 12:
        app.p_LoadSFX(SfxKnock);
        app.p_LoadSFX(SfxTip);
        break;
    case 13:
        app.p_LoadSFX(SfxEnd);
        app.p_PrepareTune(c_MyApp::RoundTune);
        break;
    }
}

} // namespace

// One step per update, so that the loading screen keeps turning while the assets arrive.
int c_MyApp::p_Loader() {
    p_ChooseTier();
    // A load starts at the first step, from a reload or from a new window size (whose render has
    // asked for the same list already, and keeps it).
    if (m_Loading == 1) DecodePicturesAhead(m_ImgRes);
    LoaderStep(*this);
    if (m_Loading > 0) {
        PrepareStepPictures(*this, m_Loading + 1);
        ++m_Loading;
    } else {
        vxReleaseFreeMemory();
    }
    p_WaitStart(1);
    return 0;
}

int c_MyApp::p_WaitStart(int mode) {
    m_BgParam3 *= 0.875f;
    m_BgParam4 *= 0.875f;
    m_BgParam5 *= 0.875f;
    m_BgParam0 = m_BgParam1 = m_BgParam2 = 0;
    p_CLS2D(m_BgParam3, m_BgParam4, m_BgParam5, 1);
    m_MenuR = TruncInt(std::min(jscrw, jscrh));
    m_Spin = std::fmod(m_Spin + 3, 360.0f);
    if (mode == 1) DrawSpinnerRing(*this, 0, 0.45f, 16, 0, 125, 255);
    p_SetSize(2);
    p_SetCol(255, 255, 255, 1);
    p_DrawImg(ImgLogo, jscrw / 2, jscrh * 0.48f, 0);
    if (mode == 1) {
        DrawSpinnerRing(*this, 120, 0.40f, 12, 255, 125, 0);
        DrawSpinnerRing(*this, 240, 0.35f, 8, 255, 125, 0);
    }
    p_ResetDraw();
    p_Text(jscrw / 2, jscrh - 32, u"Loading...", 1, 1, 0);
    if (mode == 0) {
        m_PointerLock = 1;
        m_Screen = ScreenMenu;
        p_Reload();
        vx_app_SetUpdateRate(ActiveUpdateRate);
    }
    return 0;
}

int c_MyApp::p_OnUpdate() {
    // The window's and the program's keys act on every screen, a played round's too: they are read
    // from the live device before a replay puts its own in place. Switching the window lets go of
    // the held keys, so it comes before the update's input is taken for a replay.
    if (vx_input_KeyHit(VkF11)) p_FullscreenFlip();
    // Quitting is the runtime's error path with an empty message: it ends the process at once, from
    // wherever it is called, without a report and without unwinding the frame.
    if (vx_input_KeyHit(VkF4) || vx_input_KeyHit(KEY_CLOSE)) vx_app_EndApp();
    if (p_ReplayUpdateStart() == 1) return 0;
    m_VKey[VKeyMenu] = isOuya == 0 ? vx_input_KeyHit(KEY_BACK) : (vx_input_KeyHit(VkPadMenu) > 0 ? 1 : 0);
    if (vx_input_KeyHit(VkF1)) DebugMode = DebugMode == 0 ? 1 : 0;
    if (vx_input_KeyHit(VkF2)) m_CleanView = m_CleanView == 0 ? 1 : 0;

    vx_asyncevent_UpdateAsyncEvents();
    p_MusicFollowsPause();
    p_MeasureRate(m_UpdateMs, m_UpdateFpsNow, m_UpdateFps);
    p_MapPointer();
    p_ControlModeSwitch();

    // While loading, the loader owns the frame.
    if (!p_LoaderHoldsScreens()) p_Dispatch();
    if (m_Loading > 0) p_Loader();

    if (iCadeControls == 1) p_ReadICade();
    // A touch button's press lasts exactly one update; iCade holds (2) last until released.
    for (int i = 0; i < VKeyActions; ++i) {
        if (m_VKey[i] == VKeyTapped) m_VKey[i] = VKeyUp;
    }
    const bool tiltShown = AccelerometerControls == 1 && iCadeControls == 0;
    if (iCadeControls == 1) {
        m_TiltX = m_TiltY = m_TiltShowX = m_TiltShowY = 0;
    } else {
        if (OnScreenControls == 1 && m_Screen > ScreenWaitStart) p_TouchPad();
        if (tiltShown) p_TiltOverlay();
    }

    if (DebugMode == 1 && m_Screen != ScreenWaitStart) {
        p_ResetDraw();
        p_Text(16, tiltShown ? jscrh / 2 : jscrh - 16, p_DebugText(), 0, 1, 0);
    }
    p_ShowBadges();
    p_ReplayUpdateEnd();
    return 0;
}

// Rebuilt only when a value changes, so that a steady frame allocates no text.
String c_MyApp::p_DebugText() {
    if (m_DebugText.Length() == 0 || m_DebugTextFps != m_RenderFps || m_DebugTextScaleX != m_ScaleX ||
        m_DebugTextScaleY != m_ScaleY) {
        m_DebugText = String(m_RenderFps) + u":" + String(m_ScaleX) + u"," + String(m_ScaleY);
        m_DebugTextFps = m_RenderFps;
        m_DebugTextScaleX = m_ScaleX;
        m_DebugTextScaleY = m_ScaleY;
    }
    return m_DebugText;
}

// Smoothed over about ten calls; the truncation at every step makes a steady 60 read 51.
void c_MyApp::p_MeasureRate(int& lastMs, int& fpsNow, int& fps) {
    const int t = vx_app_Millisecs();
    if (t > lastMs) fpsNow = TruncInt(1000.0 / (double(t) - double(lastMs)));
    fps = (fpsNow + 9 * fps) / 10;
    lastMs = t;
}

int c_MyApp::p_MapPointer() {
    const float oy = p_OverscanY();
    m_MouseOldX = m_MouseX;
    m_MouseOldY = m_MouseY;
    m_MouseX = ToVirtual(vx_input_MouseX(), overscan, m_ScaleX);
    m_MouseY = ToVirtual(vx_input_MouseY(), oy, m_ScaleY);
    const bool down = KeyDownOrTapped(PointerButtonKey);
    // A fresh press has no drag.
    if (down && m_MouseWasDown == 0) {
        m_MouseOldX = m_MouseX;
        m_MouseOldY = m_MouseY;
    }
    m_MouseDown = down ? 1 : 0;
    m_MouseHit = vx_input_MouseHit(0);
    for (int i = 0; i < TouchPoints; ++i) {
        m_TouchDown[i] = 0;
        m_TouchX[i] = m_TouchY[i] = Omitted;
        if (isOuya == 1 || !KeyDownOrTapped(vx_input_firstTouchKey + i)) continue;
        m_TouchDown[i] = 1;
        m_TouchX[i] = ToVirtual(vx_input_TouchX(i), overscan, m_ScaleX);
        m_TouchY[i] = ToVirtual(vx_input_TouchY(i), oy, m_ScaleY);
        m_MouseDown = 1;
    }
    m_MouseWasDown = down ? 1 : 0;
    if (m_MouseDown == 0) m_PointerLock = 0;
    if (m_ClickDelay > 0) --m_ClickDelay;
    if (isOuya == 1) {
        m_MouseWasDown = m_MouseDown = m_PointerLock = m_ClickDelay = 0;
        m_ControlStyle = StylePad;
    }
    return 0;
}

// Keys or pad in use switch the menus to keyboard navigation; the pause key closes the menu's
// panels; an open options box always navigates by keys.
int c_MyApp::p_ControlModeSwitch() {
    static constexpr int Actions[] = {
        ActionUp, ActionLeft,         ActionRight,         ActionDown, ActionA,   ActionB,    ActionX,
        ActionY,  ActionLeftShoulder, ActionRightShoulder, VKeyBack1,  VKeyBack2, ActionPause};
    const bool active = std::any_of(std::begin(Actions), std::end(Actions),
                                    [this](int action) { return p_PlayKeyAll(action, 1) != 0; });
    if (!active) m_KeyNav = 0;
    const bool settled = (active && m_KeyNav == 1) || m_PointerLock == 1;
    const bool panelOpen = m_Panel1 == 1 || m_OptionOpen == 1 || m_SidePanel == 1;
    if (!settled && m_Screen == ScreenMenu && panelOpen && p_PlayKeyAll(ActionPause, 1) != 0) {
        m_Panel1 = 0;
        m_SidePanel = 0;
        m_KeyNav = m_PointerLock = 1;
    }
    if (m_OptionOpen == 1) m_KeyNav = m_PointerLock = 1;
    return 0;
}

// The screens and how they follow one another (m_Screen; values from ScreenRound on belong to a
// round, which decides the pause rule of suspend and resume):
//
//   ScreenMenu        p_Menu             -> ScreenStartRound (a difficulty chosen),
//                                           ScreenQuitDialog (console back key), or the program ends
//   ScreenStartRound  p_LoadGame         -> ScreenRound
//   ScreenRound       p_Game (unless paused), p_InGame
//                                        -> ScreenBackToMenu once p_GameOver's overlay has run out
//   ScreenBackToMenu  p_LoadMenu files the score, the jingle plays -> ScreenMenu at once
//   ScreenQuitDialog  p_OuyaQuit         -> ScreenMenu, or the program ends
//   ScreenWaitStart   p_WaitStart(0)     -> ScreenMenu at once, with a reload
//
// None of them runs while the loader holds the frame (m_Loading > 0). After the screen's routine,
// p_GameOver runs in a round that is over and in the menu, where its overlay fades out; then the
// options box and the side panel slide, whatever the screen.
int c_MyApp::p_Dispatch() {
    bool endOfRoutine = true;
    switch (m_Screen) {
    case ScreenMenu:
        p_Menu();
        break;
    case ScreenBackToMenu:
        p_LoadMenu();
        p_PlaySFX(SfxJingle, 1, 1, 0);
        m_Screen = ScreenMenu;
        p_GameOver();
        endOfRoutine = false;
        break;
    case ScreenQuitDialog:
        p_OuyaQuit();
        break;
    case ScreenWaitStart:
        p_WaitStart(0);
        break;
    case ScreenRound:
        if (m_Paused == 0) p_Game();
        p_InGame();
        break;
    case ScreenStartRound:
        p_LoadGame();
        break;
    default:
        break;
    }
    // The end-of-round overlay stays over the menu, so it advances there too. Each test reads the
    // state afresh: a routine that changes it changes what follows.
    if (endOfRoutine) {
        if (m_Screen == ScreenRound && m_RoundOver > 0) p_GameOver();
        if (m_Screen == ScreenMenu || m_Screen == ScreenBackToMenu) p_GameOver();
    }

    if (m_OptionOpen == 1 || m_OptionSlide > 0) p_OptionBox();
    p_SlideOptionBox();
    p_SlideSidePanel();
    return 0;
}

int c_MyApp::p_OnRender() {
    p_MeasureRate(m_RenderMs, m_RenderFpsNow, m_RenderFps);
    const int devW = vx_app_DeviceWidth(), devH = vx_app_DeviceHeight();
    vx_graphics_SetColor(m_BgR, m_BgG, m_BgB);
    vx_graphics_SetAlpha(m_BgA);
    vx_graphics_DrawRect(-1, -1, float(devW + 2), float(devH + 2));
    vx_graphics_SetColor(255, 255, 255);
    vx_graphics_SetAlpha(1);

    // The render is where the device size is first seen, so it is the render that restarts the
    // loader: every asset is reloaded at the tier that fits the new size.
    if (devW != m_DevW || devH != m_DevH) {
        m_DevW = devW;
        m_DevH = devH;
        m_Loading = 1;
        // The workers start now rather than at the first step: the larger tiers' pictures need
        // every frame of decoding they can get.
        DecodePicturesAhead(TierFor(devW, devH));
    }
    // A window without area (minimised) has nothing to fit the virtual screen into.
    // The virtual screen (jscrw, jscrh) follows the device here rather than in the update, so that
    // the picture replayed below is laid out for the size it is drawn at.
    if (devW > 0 && devH > 0) {
        FitVirtualScreen(*this, devW, devH);
        vx_graphics_PushMatrix();
        p_ReplayDrawList();
        vx_graphics_PopMatrix();
    }
    vx_graphics_SetAlpha(0.5f);
    vx_graphics_SetColor(255, 255, 255);
    return 0;
}

// A round that was running comes back paused in its pause menu.
int c_MyApp::p_PauseOnFocusChange() {
    vx_input_DisableKeyboard();
    iCadeControls = 0;
    p_ClearActionVKeys();
    if (m_Screen < ScreenRound) {
        m_Paused = m_PauseSel = m_PauseY = 0;
    } else {
        m_Paused = 1;
        m_PauseSel = 1;
        m_PauseY = TruncInt(jscrh * 0.5f);
    }
    return 0;
}

int c_MyApp::p_OnSuspend() {
    if (p_ReplayFocusChange(1) == 1) return 0;
    p_PauseOnFocusChange();
    vx_app_SetUpdateRate(SuspendedUpdateRate);
    p_Save();
    return 0;
}

int c_MyApp::p_OnResume() {
    if (p_ReplayFocusChange(0) == 1) return 0;
    p_PauseOnFocusChange();
    vx_app_SetUpdateRate(ActiveUpdateRate);
    return 0;
}

// Without a known desktop mode there is nothing to go full screen at; the window stays.
int c_MyApp::p_FullscreenFlip() {
    const int flipped = m_Fullscreen == 0 ? 1 : 0;
    if (vx_app_SetFullscreen(flipped == 1)) m_Fullscreen = flipped;
    return 0;
}
