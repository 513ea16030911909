// Everything outside play itself: the main menu with its difficulty dial, score panels, credits
// and options cog; filing a finished round's score; the pause screen; the options box; the badge
// banners; and the console's dialog for a quit through its own menu.
//
// Menus move on edges, not on held keys: an action is taken only while both latches (m_KeyNav for
// keys, m_PointerLock for the pointer) are clear, and taking one sets both. The frame clears them
// once the key or the pointer is let go. The options box keeps its own latch, because the frame
// holds both shut while the box is open.
#include "framework/app/app.h"
#include "framework/input/input.h"
#include "game/my_app.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int KeyEscape = 27;

// Sound slots: 99 for moving, opening and closing; 98 for confirming a choice.
constexpr int SfxMove = 99;
constexpr int SfxConfirm = 98;

constexpr int BadgeSlot = 80;
constexpr int ButtonSlot = 95;
constexpr int IconSlot = 97;
constexpr int TitleSlot = 98;
constexpr int IconQuit = 1;
constexpr int IconStart = 3;
constexpr int CogFrame = 10;

constexpr float Pi = 3.14159265f;
float Radians(float degrees) { return degrees * Pi / 180; }

int Wrap(int value, int count) { return (value % count + count) % count; }

bool LatchesFree(const c_MyApp& app) { return app.m_KeyNav == 0 && app.m_PointerLock == 0; }

void TakeAction(c_MyApp& app) {
    app.m_KeyNav = 1;
    app.m_PointerLock = 1;
}

// A press of the pointer (or a touch) that no other action has claimed yet.
bool Clicked(const c_MyApp& app) { return app.m_MouseDown > 0 && LatchesFree(app); }

bool PointerMoved(const c_MyApp& app) {
    return app.m_MouseX != app.m_MouseOldX || app.m_MouseY != app.m_MouseOldY;
}

// Where the pointer rests, pressed or not (touch points exist only while down).
bool PointerOver(const c_MyApp& app, float cx, float cy, float w, float h) {
    float x = float(app.m_MouseX), y = float(app.m_MouseY);
    return x > cx - w / 2 && x < cx + w / 2 && y > cy - h / 2 && y < cy + h / 2;
}

bool PanelOpen(const c_MyApp& app) {
    return app.m_Panel1 == 1 || app.m_OptionOpen == 1 || app.m_SidePanel == 1;
}

bool AnyActive(c_MyApp& app, std::initializer_list<int> actions) {
    for (int action : actions)
        if (app.p_PlayKeyAll(action, 1) > 0) return true;
    return false;
}

void PlaySound(c_MyApp& app, int slot) { app.p_PlaySFX(slot, 1, 1, 0); }

// The font's line height; at least 1, so that layouts made before the font is loaded stay finite.
int LineHeight(const c_MyApp& app) { return std::max(app.m_ImgInfo[app.m_Font * 3 + 1], 1); }

// A confirmation found by the keys, the start button or a touch on the dial, carried out once the
// difficulty of this update is known.
struct Confirmation {
    bool wanted = false;
    bool byPointer = false;
};

// ---- main menu

void QuitKeys(c_MyApp& app) {
    if (!LatchesFree(app)) return;
    if (isOuya == 0) {
        if (app.p_PlayKeyAll(99, 0) > 0) vx_app_EndApp();
    } else if (app.p_PlayKeyAll(98, 0) > 0 || vx_input_KeyDown(KeyEscape)) {
        app.m_Screen = 4;
        TakeAction(app);
    }
}

// On screens shorter than the design the title shrinks towards the top, clear of the dial.
void DrawTitle(c_MyApp& app, float panelW) {
    float fit = std::min(1.0f, jscrh / rawscrh);
    app.p_ResetDraw();
    app.p_SetSize(1.5f * fit);
    app.p_DrawImg(TitleSlot, (jscrw - panelW) / 2, float(app.m_MenuSlide * 12) + 96 * fit, 0);
}

// The right-hand panel: score tables while narrow, the credits once opened across the screen.
void SidePanel(c_MyApp& app, float panelW, Confirmation& confirm) {
    bool focused = app.m_Focus == 2;
    float x = jscrw - panelW - float(app.m_MenuSlide * 8) - 2;
    app.p_ResetDraw();
    app.p_SetCol(0, 0, 0, focused ? 0.75f : 0.45f);
    app.p_Rect(x, -128, jscrw - x, jscrh + 128);
    app.p_SetCol(255, 255, 255, focused ? 1 : 0.2f);
    app.p_Rect(x, -128, 3, jscrh + 128);
    if (!focused && app.m_PointerLock == 0 && PointerMoved(app) && float(app.m_MouseX) > x) {
        app.m_Focus = 2;
        PlaySound(app, SfxMove);
    }

    float startX = jscrw - panelW / 2, startY = jscrh - 48;
    app.p_ResetDraw();
    app.p_SetCol(100, 255, 100);
    app.p_SetSize(3);
    app.p_DrawImg(IconSlot, startX, startY, IconStart);
    app.p_ResetDraw();
    if (Clicked(app) && !PanelOpen(app) && app.p_MouseIn_Centered(startX, startY, 128, 128)) {
        app.m_Focus = 1;
        confirm = {true, true};
    }
}

String ScoreList(c_MyApp& app, String heading, int first, int lines) {
    String text = heading;
    for (int i = 0; i < lines; ++i) text += String(u"\\n") + app.p_rstr(app.m_HiScore[first + i], 8, u" ");
    return text;
}

// Everything the panels show: which table, how many lines, and the scores listed in each.
ScorePanelsShown ShownOnScorePanels(const c_MyApp& app, int base, int lines) {
    ScorePanelsShown shown{base, lines};
    for (int i = 0; i < lines; ++i) {
        shown[2 + i] = app.m_HiScore[base + i];
        shown[12 + i] = app.m_HiScore[base + 30 + i];
    }
    return shown;
}

void ScorePanels(c_MyApp& app, float panelW) {
    int base = (std::clamp(app.m_Difficulty, 1, 3) - 1) * 10;
    int lines = FloorInt((jscrh - 90 - jscrh / 2) / (1.5f * float(LineHeight(app))));
    lines = std::clamp(lines, 1, 10);
    ScorePanelsShown shown = ShownOnScorePanels(app, base, lines);
    if (shown != app.m_ScorePanelsShown || app.m_TopText.Length() == 0) {
        String top = lines == 1 ? String(u"Highscore") : String(u"Top ") + String(lines);
        String last = lines == 1 ? String(u"Last") : String(u"Last ") + String(lines);
        app.m_TopText = ScoreList(app, top, base, lines);
        app.m_LastText = ScoreList(app, last, base + 30, lines);
        app.m_ScorePanelsShown = shown;
    }
    float x = jscrw - panelW - float(4 * app.m_MenuSlide) + 20;
    // The second list follows the first closely, which keeps it clear of the start button.
    float lineStep = 1.5f * float(LineHeight(app)), lastY = 70 + float(lines + 1) * lineStep;
    app.p_ResetDraw();
    app.p_SetSize(1.5f);
    app.p_SetCol(255, 200, 100);
    app.p_Text(x, 60, app.m_TopText, 0, 0, 0);
    app.p_Text(x, lastY, app.m_LastText, 0, 0, 0);
    app.p_ResetDraw();
}

// The angle of dial row r, in degrees counter-clockwise from the right of the dial's centre.
float RowAngleAt(int row, float dialOffset) { return float(32 * row + 48) + dialOffset; }
float RowAngle(const c_MyApp& app, int row) { return RowAngleAt(row, app.m_DialPos); }

// Rows bulge outwards around 45 degrees, where the selected one sits.
float RowRadius(float angle) {
    float off = std::abs(angle - 45);
    return off <= 45 ? 116 + (45 - off) * 1.5f : 116;
}

int LowestRow() { return isOuya == 1 ? -1 : 0; }

bool InSelectionWindow(float angle) { return angle >= 30 && angle <= 60; }

// A spinning dial selects the row passing through 30-60 degrees. Both end rows push the spin back,
// so that the dial never runs past them.
void SelectPassingRow(c_MyApp& app) {
    for (int row = LowestRow(); row <= 2; ++row) {
        if (InSelectionWindow(RowAngle(app, row)) && row != app.m_MenuRow) {
            app.m_MenuRow = row;
            PlaySound(app, SfxMove);
        }
    }
    if (float t = RowAngle(app, 2); t < 30 || t > 200) app.m_DialSpin = 4;
    if (float t = RowAngle(app, 0); t > 60 && t < 200) app.m_DialSpin = -4;
}

// A dial let go may rest anywhere that keeps the selected row in the selection window; one that
// came to rest with the row outside it turns the row back into place.
void SettleOutOfPlace(c_MyApp& app) {
    if (app.m_DialSpin != 0 || app.m_MouseDown != 0) return;
    if (!InSelectionWindow(RowAngleAt(app.m_MenuRow, app.m_MenuRowY)))
        app.m_MenuRowY = float(-32 * app.m_MenuRow);
}

// Dragging spins the dial; the spin turns it and decays, and the rows are tested where the dial
// then shows them.
void SpinDial(c_MyApp& app, float cx, float cy) {
    if (app.m_MouseDown > 0 && app.p_MouseIn_Centered(cx, cy, 500, 500) &&
        !app.p_MouseIn_Centered(cx, cy, 64, 64)) {
        int move = (app.m_MouseOldX - app.m_MouseX) + (app.m_MouseOldY - app.m_MouseY);
        app.m_DialSpin = std::clamp(app.m_DialSpin - float(move) / 4, -40.0f, 40.0f);
        if (std::abs(move) > 1) {
            app.m_KeyNav = -1;
            app.m_PointerLock = -1;
            app.m_Focus = 1;
        }
    }
    app.m_MenuRowY += app.m_DialSpin;
    app.m_DialSpin *= 0.75f;
    if (std::abs(app.m_DialSpin) < 1) app.m_DialSpin = 0;
    app.m_DialPos += (app.m_MenuRowY - app.m_DialPos) / 8;
    if (std::abs(app.m_MenuRowY - app.m_DialPos) < 0.5f) app.m_DialPos = app.m_MenuRowY;
    if (std::abs(app.m_DialSpin) > 0.05f) SelectPassingRow(app);
    SettleOutOfPlace(app);
}

void DrawDialRow(c_MyApp& app, int row, float x, float y, float angle) {
    bool selected = row == app.m_MenuRow;
    app.p_ResetDraw();
    app.p_SetSize(selected ? 1.75f : 0.75f);
    app.p_SetRot(-(angle - 55) / 2);
    app.p_Alpha(app.m_Focus == 1 ? 1 : 0.3f);
    if (row < 0) {
        app.p_SetCol(255, 180, 180);
        app.p_DrawImg(IconSlot, x, y, IconQuit);
        return;
    }
    app.p_DrawImg(ButtonSlot, x, y, float(Wrap(row, 6)));
    app.p_Text(x, y, MenuSet.get()[2 * Wrap(row, 3)], 1, 1, 0);
}

// A touch on the selected row confirms it; a touch on another row selects it.
void TouchDialRow(c_MyApp& app, int row, float x, float y, Confirmation& confirm) {
    if (!Clicked(app) || confirm.wanted) return;
    if (row == app.m_MenuRow) {
        if (app.p_MouseIn_Radius(x, y, 64, 64)) {
            app.m_Focus = 1;
            confirm = {true, true};
        }
    } else if (app.p_MouseIn_Radius(x, y, 52, 52)) {
        app.m_MenuRow = row;
        app.m_MenuRowY = float(-32 * row);
        app.m_Focus = 1;
        TakeAction(app);
        PlaySound(app, SfxMove);
    }
}

void Dial(c_MyApp& app, Confirmation& confirm) {
    float cx = float(38 + 12 * app.m_MenuSlide), cy = jscrh - 64 - float(8 * app.m_MenuSlide);
    if (app.m_Focus == 0) app.m_DialAngle = std::fmod(app.m_DialAngle + 0.3f, 360.0f);
    if (Clicked(app) && app.p_MouseIn_Centered(cx, cy, 64, 64)) {
        app.m_OptionOpen = 1;
        app.m_OptLatch = 1;
        app.m_Focus = 0;
        TakeAction(app);
        PlaySound(app, SfxMove);
    }
    SpinDial(app, cx, cy);

    for (int row = app.m_MenuRow - 3; row <= app.m_MenuRow + 3; ++row) {
        if (row < LowestRow() || row > 2) continue;
        float t = RowAngle(app, row), radius = RowRadius(t);
        float x = cx + std::cos(Radians(t)) * radius, y = cy - std::sin(Radians(t)) * radius;
        DrawDialRow(app, row, x, y, t);
        TouchDialRow(app, row, x, y, confirm);
    }

    app.p_ResetDraw();
    for (int layer = 0; layer < 3; ++layer) {
        app.p_SetRot(app.m_DialAngle * float(1 << layer));
        app.p_DrawImg(ButtonSlot, cx, cy, float(8 + layer));
    }
    app.p_ResetDraw();
}

// Up and down step at once, again after 31 updates, then after 19 and 7, then every 4: field 21
// counts down to the next step, field 22 holds the delay that the next step starts.
void KeyRepeat(c_MyApp& app) {
    bool up = app.p_PlayKey(0, 1, 0) > 0, down = app.p_PlayKey(8, 1, 0) > 0;
    float& hold = app.m_Player[PlMenuHold];
    float& delay = app.m_Player[PlYCopy];
    if (!up && !down) {
        hold = 0;
        delay = 30;
        return;
    }
    hold -= 1;
    if (hold < 0) app.m_KeyNav = 0;
}

void StepRow(c_MyApp& app, int row) {
    float& delay = app.m_Player[PlYCopy];
    app.m_Player[PlMenuHold] = delay;
    delay = std::max(delay - 12, 3.0f);
    TakeAction(app);
    if (row == app.m_MenuRow) return;
    app.m_MenuRow = row;
    app.m_MenuRowY = float(-32 * row);
    PlaySound(app, SfxMove);
}

void MenuKeys(c_MyApp& app, Confirmation& confirm) {
    if (!LatchesFree(app) || PanelOpen(app)) return;
    if (app.p_PlayKeyAll(0, 1) > 0 && app.m_Player[PlMenuHold] < 1) {
        StepRow(app, std::max(app.m_MenuRow - 1, LowestRow()));
    } else if (app.p_PlayKeyAll(8, 1) > 0) {
        StepRow(app, std::min(app.m_MenuRow + 1, 2));
    } else if (int step = (app.p_PlayKeyAll(5, 1) > 0) - (app.p_PlayKeyAll(3, 1) > 0); step != 0) {
        app.m_Focus = std::clamp(app.m_Focus + step, 0, 2);
        TakeAction(app);
        PlaySound(app, SfxMove);
    } else if (AnyActive(app, {10, 11, 12})) {
        confirm = {true, false};
    }
}

// The control style of the round: the pointer, else the keyboard when a button key is down, else
// a pad.
int ConfirmStyle(c_MyApp& app, const Confirmation& confirm) {
    if (confirm.byPointer) return 2;
    for (int action = 10; action <= 15; ++action)
        if (app.p_PlayKey(action, 0, -1) > 0) return 0;
    return 1;
}

// Every confirmation sounds; opening the options box or the side panel adds the opening sound.
void CarryOut(c_MyApp& app, const Confirmation& confirm) {
    TakeAction(app);
    PlaySound(app, SfxConfirm);
    switch (app.m_Focus) {
    case 0:
        app.m_OptionOpen = 1;
        app.m_OptLatch = 1;
        PlaySound(app, SfxMove);
        break;
    case 1:
        if (app.m_MenuRow == -1) vx_app_EndApp();
        app.m_ControlStyle = ConfirmStyle(app, confirm);
        app.m_MenuRowY = float(-32 * app.m_MenuRow);
        app.m_Screen = 11;
        break;
    default:
        app.m_SidePanel = 1;
        PlaySound(app, SfxMove);
        break;
    }
}

constexpr int CreditLinesShown = 8;

void Credits(c_MyApp& app, float panelLeft) {
    const Array<String>& lines = CreditText.get();
    app.m_CreditScroll += AnyActive(app, {0, 8}) ? 1.8f : 0.3f;
    while (app.m_CreditScroll >= 16) {
        app.m_CreditScroll -= 16;
        app.m_CreditLine = Wrap(app.m_CreditLine + 1, lines.Length());
    }
    float x = panelLeft + (jscrw - panelLeft - 150) / 2, top = jscrh / 2 - 96;
    app.p_ResetDraw();
    app.p_SetSize(1.5f);
    // Eight lines, the first fading out as it scrolls away and the last fading in.
    for (int i = 0; i < CreditLinesShown; ++i) {
        float fade = app.m_CreditScroll / 16;
        app.p_Alpha(i == 0 ? 1 - fade : i == CreditLinesShown - 1 ? fade : 1);
        app.p_Text(x, top + float(16 * i) - app.m_CreditScroll,
                   lines[Wrap(app.m_CreditLine + i, lines.Length())], 1, 1, 0);
    }
    app.p_Alpha(1);
    app.p_SetCol(255, 200, 100);
    float below = top + float(16 * CreditLinesShown) + 8;
    app.p_Text(x, below, u"Coded in", 1, 1, 0);
    app.p_Text(x, below + 16, u"spindrift.example", 1, 1, 0);
    app.p_ResetDraw();
}

void DebugStats(c_MyApp& app) {
    String engine = String(FloorInt(jscrw)) + u"x" + String(FloorInt(jscrh));
    String screen = String(vx_app_DeviceWidth()) + u"x" + String(vx_app_DeviceHeight());
    String fps = String(app.m_UpdateFps) + u" : " + String(app.m_RenderFps);
    String texts[] = {u"Debug Stats", u"Engine", engine, u"Screen", screen, u"FPS", fps};
    float x = jscrw - 12, y = jscrh / 2 - 60;
    app.p_ResetDraw();
    for (int i = 0; i < 7; ++i) {
        // Headings in the panel's warm colour, values in white beneath them.
        bool heading = i % 2 == 1 || i == 0;
        app.p_SetCol(255, heading ? 200 : 255, heading ? 100 : 255);
        app.p_Text(x, y, texts[i], 2, 1, 0);
        y += i % 2 == 0 ? 20 : 12;
    }
    app.p_ResetDraw();
}

void SidePanelContents(c_MyApp& app, float panelW) {
    Credits(app, jscrw - panelW - float(app.m_MenuSlide * 8));
    DebugStats(app);
    if (!LatchesFree(app)) return;
    if (AnyActive(app, {10, 11, 12, 13}) || app.m_MouseDown > 0) {
        app.m_SidePanel = 0;
        TakeAction(app);
        PlaySound(app, SfxMove);
    }
}

// ---- the overscan slider of the pause screen and the console's options box

void OverscanSlider(c_MyApp& app, float centreX, float y) {
    float barX = centreX - 128;
    bool onBar = app.m_MouseDown > 0 && app.p_MouseIn(barX - 8, y - 8, 272, 25);
    bool lower = app.p_PlayKeyAll(14, 0) > 0, raise = app.p_PlayKeyAll(15, 0) > 0;
    if (!lower && !raise && !onBar) {
        app.m_OverscanLatch = 0;
    } else if (app.m_OverscanLatch == 0) {
        app.m_OverscanLatch = 1;
        if (onBar)
            app.m_Setting[14] = overscan < 32 ? 96 : 1;
        else
            app.m_Setting[14] += raise ? 16 : -16;
    }
    app.m_Setting[14] = std::clamp(app.m_Setting[14], 1, 96);
    overscan = float(app.m_Setting[14]);

    // A dark plate keeps the slider readable over whatever lies beneath it.
    app.p_ResetDraw();
    app.p_SetCol(0, 0, 0, 0.9f);
    app.p_Rect(barX - 16, y - 26, 288, 46);
    app.p_SetCol(255, 255, 255, 0.3f);
    app.p_Rect(barX, y, 256, 9);
    app.p_SetCol(255, 255, 100, 1);
    app.p_Rect(float(app.m_Setting[14]) * 2.67f + centreX - 132, y - 4, 8, 16);
    app.p_SetCol(255, 255, 255);
    app.p_Text(centreX, y - 14, u"\u00acU <      Overscan      > \u00acO", 1, 1, 0);
    app.p_ResetDraw();
}

// ---- pause screen

// Every update of a pause cuts the list back to the last play picture before drawing the pause
// screen again, which also drops the overlays (debug line, banners, pad) drawn after that picture.
// Without a picture of this round's play it keeps what the list holds.
void HoldPlayPicture(c_MyApp& app) {
    if (app.m_PauseFrameN < 0 || app.m_PauseFrameN > app.m_DrawN) app.m_PauseFrameN = app.m_DrawN;
    app.m_DrawN = app.m_PauseFrameN;
}

constexpr int ButtonResume = 0;
constexpr int ButtonQuit = 1;

void PlayPauseSound(c_MyApp& app, int slot, float rate) { app.p_PlaySFX(slot, rate, 0.5f, 0); }

void Resume(c_MyApp& app) {
    app.m_PauseSel = -1;
    PlayPauseSound(app, SfxConfirm, 1);
}

void QuitRound(c_MyApp& app) {
    app.m_Paused = 0;
    app.m_PauseSel = -1;
    app.m_PauseY = -64;
    app.m_RoundOver = 1;
    app.m_QuitRound = -1;
    PlayPauseSound(app, SfxConfirm, 0.5f);
}

void PressPauseButton(c_MyApp& app, int button) {
    if (button == ButtonQuit)
        QuitRound(app);
    else
        Resume(app);
}

float PauseButtonY(const c_MyApp& app, int button) { return float(app.m_PauseY + 70 + 40 * button); }

void SelectPauseButton(c_MyApp& app, int button) {
    if (app.m_PauseAnim == button) return;
    app.m_PauseAnim = button;
    PlayPauseSound(app, SfxMove, button == ButtonQuit ? 0.8f : 1.2f);
}

// The toy of an idle pause: three dots circling with a trail; up and down change the radius,
// left and right the speed.
void PlayWithToy(c_MyApp& app) {
    float maxR = 0.45f * std::min(jscrh, jscrw - 96);
    if (app.p_PlayKeyAll(0, 1) > 0) app.m_ToyR += 1;
    if (app.p_PlayKeyAll(8, 1) > 0) app.m_ToyR -= 1;
    if (app.p_PlayKeyAll(5, 1) > 0) app.m_ToyV += 0.25f;
    if (app.p_PlayKeyAll(3, 1) > 0) app.m_ToyV -= 0.25f;
    app.m_ToyR = std::clamp(app.m_ToyR, 0.0f, std::max(maxR, 0.0f));
    app.m_ToyV = std::clamp(app.m_ToyV, 0.0f, 128.0f);
    app.m_ToyAngle = std::fmod(app.m_ToyAngle + app.m_ToyV, 360.0f);
}

void DrawToy(c_MyApp& app) {
    constexpr int Trail = 12;
    float cx = jscrw / 2, cy = float(app.m_PauseY);
    app.p_ResetDraw();
    for (int arm = 0; arm < 3; ++arm) {
        app.p_Ink(1 + arm * 3, 1);
        for (int k = Trail - 1; k >= 0; --k) {
            float a = Radians(app.m_ToyAngle + float(arm * 120) - float(k) * app.m_ToyV * 0.5f);
            app.p_Alpha(0.8f * (1 - float(k) / Trail));
            app.p_Oval(cx + std::cos(a) * app.m_ToyR, cy - std::sin(a) * app.m_ToyR, 6 - float(k) * 0.4f,
                       6 - float(k) * 0.4f);
        }
    }
    app.p_ResetDraw();
}

void PauseKeys(c_MyApp& app) {
    if (app.m_PointerLock == 0 && PointerMoved(app))
        for (int button : {ButtonResume, ButtonQuit})
            if (PointerOver(app, jscrw / 2, PauseButtonY(app, button), 200, 36))
                SelectPauseButton(app, button);
    if (!LatchesFree(app)) return;
    if (app.p_PlayKeyAll(99, 0) > 0) {
        TakeAction(app);
        Resume(app);
    } else if (app.p_PlayKeyAll(10, 0) > 0) {
        TakeAction(app);
        PressPauseButton(app, app.m_PauseAnim);
    } else if (app.p_PlayKeyAll(0, 1) > 0 || app.p_PlayKeyAll(8, 1) > 0) {
        TakeAction(app);
        SelectPauseButton(app, app.p_PlayKeyAll(0, 1) > 0 ? ButtonResume : ButtonQuit);
    } else if (app.m_MouseDown > 0) {
        for (int button : {ButtonResume, ButtonQuit}) {
            if (!app.p_MouseIn_Centered(jscrw / 2, PauseButtonY(app, button), 200, 36)) continue;
            TakeAction(app);
            PressPauseButton(app, button);
            return;
        }
    }
}

void DrawPauseButtons(c_MyApp& app) {
    const String labels[] = {u"Resume", u"Quit"};
    for (int button : {ButtonResume, ButtonQuit}) {
        bool selected = app.m_PauseAnim == button;
        float y = PauseButtonY(app, button);
        app.p_ResetDraw();
        if (selected) {
            app.p_SetCol(0, 125, 255, 0.6f);
            app.p_Rect(jscrw / 2 - 100, y - 17, 200, 34);
        }
        app.p_SetSize(2);
        app.p_SetCol(255, 255, selected ? 255 : 180, selected ? 1 : 0.7f);
        app.p_Text(jscrw / 2, y, labels[button], 1, 1, 0);
    }
    app.p_ResetDraw();
}

// ---- options box

enum OptionItem { OptBack, OptSound, OptICade, OptWindow, OptLeftStick, OptRightStick, OptQuit };
constexpr int MaxOptions = 7;
constexpr float OptionSpacing = 40;

int ListOptions(const c_MyApp& app, OptionItem (&items)[MaxOptions]) {
    int n = 0;
    items[n++] = OptBack;
    items[n++] = OptSound;
    if (isOuya == 0) items[n++] = OptICade;
    items[n++] = OptWindow;
    items[n++] = OptLeftStick;
    items[n++] = OptRightStick;
    if (isOuya == 1 && app.m_Paused == 0) items[n++] = OptQuit;
    return n;
}

String SoundText(c_MyApp& app) {
    int modes = HasMusicStream == 1 ? 4 : 2;
    int& mode = app.m_Setting[5];
    if (mode < 0 || mode >= modes) mode = 0;
    if (HasMusicStream == 0) return mode == 0 ? String(u"Sound : Off") : String(u"Sound : On");
    const String texts[] = {u"Sound : Off", u"Sound : SFX + Music", u"Sound : SFX", u"Sound : Music"};
    return texts[mode];
}

String OptionText(c_MyApp& app, OptionItem item) {
    switch (item) {
    case OptBack:
        return u"<[BACK]";
    case OptSound:
        return SoundText(app);
    case OptICade:
        return iCadeControls == 1 ? String(u"iCade : On") : String(u"iCade : Off");
    case OptWindow:
        return app.m_Fullscreen == 1 ? String(u"Windowed") : String(u"Fullscreen");
    case OptLeftStick:
        return app.m_Setting[15] == 1 ? String(u"Left Thumbstick Y Normal")
                                      : String(u"Left Thumbstick Y Flipped");
    case OptRightStick:
        return app.m_Setting[16] == 1 ? String(u"Right Thumbstick Y Normal")
                                      : String(u"Right Thumbstick Y Flipped");
    case OptQuit:
        return u"Quit";
    }
    return String();
}

void CloseOptions(c_MyApp& app) {
    app.m_OptionOpen = 0;
    PlaySound(app, SfxMove);
    app.p_Save();
}

void ChangeSoundMode(c_MyApp& app) {
    int& mode = app.m_Setting[5];
    if (HasMusicStream == 0) {
        mode = 1 - mode;
        return;
    }
    mode = (mode + 1) % 4;
    if (mode == 0 || mode == 2)
        app.p_StopTune();
    else if (app.m_Screen >= 10)
        app.p_PlayTune(u"-1", 1);
}

// The click comes after the change, so that a change of sound mode clicks under the new mode.
void ConfirmOption(c_MyApp& app, OptionItem item) {
    if (item == OptBack) return CloseOptions(app);
    switch (item) {
    case OptSound:
        ChangeSoundMode(app);
        break;
    case OptICade:
        iCadeControls = 1 - iCadeControls;
        app.p_iCade(iCadeControls);
        break;
    case OptWindow:
        app.p_FullscreenFlip();
        break;
    case OptLeftStick:
        app.m_Setting[15] = Wrap(app.m_Setting[15] + 1, 2);
        break;
    case OptRightStick:
        app.m_Setting[16] = Wrap(app.m_Setting[16] + 1, 2);
        break;
    case OptQuit:
        vx_app_EndApp();
    case OptBack:
        break;
    }
    PlaySound(app, SfxMove);
}

struct OptionLayout {
    float left, top, cogX, cogY;
    float ItemY(int i) const { return top + OptionSpacing * float(i); }
};

OptionLayout LayOutOptions(const c_MyApp& app, int count) {
    float left = float((app.m_OptionSlide - 30) * 24);
    return {left, (jscrh - OptionSpacing * float(count)) / 2 + OptionSpacing / 2, left + 38, jscrh - 64};
}

void OptionInput(c_MyApp& app, const OptionLayout& at, const OptionItem* items, int count) {
    if (PointerMoved(app))
        for (int i = 0; i < count; ++i)
            if (PointerOver(app, at.left + jscrw / 2, at.ItemY(i), jscrw, OptionSpacing)) app.m_OptSel = i;
    bool up = app.p_PlayKeyAll(0, 1) > 0, down = app.p_PlayKeyAll(8, 1) > 0;
    bool select = AnyActive(app, {10, 11, 12}), back = app.p_PlayKeyAll(99, 0) > 0;
    bool pointer = app.m_MouseDown > 0;
    if (!up && !down && !select && !back && !pointer) {
        app.m_OptLatch = 0;
        return;
    }
    if (app.m_OptLatch != 0) return;
    app.m_OptLatch = 1;
    if (back) return CloseOptions(app);
    if (pointer) {
        if (app.p_MouseIn_Centered(at.cogX, at.cogY, 64, 64)) return CloseOptions(app);
        for (int i = 0; i < count; ++i) {
            if (!app.p_MouseIn_Centered(at.left + jscrw / 2, at.ItemY(i), jscrw, OptionSpacing)) continue;
            app.m_OptSel = i;
            return ConfirmOption(app, items[i]);
        }
        return;
    }
    if (select) return ConfirmOption(app, items[app.m_OptSel]);
    app.m_OptSel = std::clamp(app.m_OptSel + (down ? 1 : -1), 0, count - 1);
    PlaySound(app, SfxMove);
}

void DrawOptions(c_MyApp& app, const OptionLayout& at, const OptionItem* items, int count) {
    app.p_ResetDraw();
    app.p_SetCol(0, 0, 0, 0.8f);
    app.p_Rect(at.left - 1, -128, std::max(jscrw, 720.0f) + 2, jscrh + 256);
    for (int i = 0; i < count; ++i) {
        bool selected = i == app.m_OptSel;
        float y = at.ItemY(i);
        app.p_ResetDraw();
        if (selected) {
            app.p_SetCol(0, 125, 255, 0.6f);
            app.p_Rect(at.left + jscrw / 2 - 200, y - 17, 400, 34);
        }
        app.p_SetSize(2);
        app.p_SetCol(255, 255, selected ? 100 : 255);
        app.p_Text(at.left + jscrw / 2, y, OptionText(app, items[i]), 1, 1, 0);
    }
    app.p_ResetDraw();
    app.p_SetRot(app.m_DialAngle * 4);
    app.p_DrawImg(ButtonSlot, at.cogX, at.cogY, CogFrame);
    app.p_ResetDraw();
}

// ---- badge banners

constexpr int BannerSlots = 13;
constexpr int BannerIn = 10;
constexpr int BannerOut = 230;
constexpr int BannerLife = 240;

// Slides in over the first updates, stays, and slides out over the last ones.
float BannerX(int t) {
    float x = t > BannerOut ? float((BannerLife - t - BannerIn) * 16) : float((t - BannerIn) * 16);
    return std::min(x, 0.0f);
}

void DrawBanner(c_MyApp& app, int badge, float x, float y) {
    app.p_ResetDraw();
    app.p_SetCol(0, 0, 80, 0.8f);
    app.p_Rect(x, y, 160, 32);
    app.p_SetCol(255, 255, 255, 1);
    app.p_Text(x + 16, y + 4, app.p_BadgeName(badge), 0, 0, 0);
    if (badge >= 0 && badge < 64) {
        app.p_SetSize(0.5f);
        app.p_DrawImg(BadgeSlot, x + 144, y + 16, float(badge));
    }
    app.p_ResetDraw();
}

} // namespace

int c_MyApp::p_Menu() {
    m_PauseFrameN = -1;
    m_MenuRow = std::min(m_MenuRow, 2);
    p_DoBG(20, 80, 160, -123);
    if (m_MenuSlide < 0) m_MenuSlide = TruncInt(m_MenuSlide + 0.25);
    float panelW = float(m_SidePanelX + 140);
    Confirmation confirm;

    QuitKeys(*this);
    DrawTitle(*this, panelW);
    SidePanel(*this, panelW, confirm);
    if (!PanelOpen(*this)) {
        ScorePanels(*this, panelW);
        Dial(*this, confirm);
    }
    KeyRepeat(*this);
    MenuKeys(*this, confirm);
    m_Difficulty = std::clamp(m_MenuRow + 1, 1, 3);
    if (confirm.wanted) CarryOut(*this, confirm);
    if (m_SidePanel == 1) SidePanelContents(*this, panelW);
    return 0;
}

int c_MyApp::p_LoadMenu() {
    int best = (std::clamp(m_Difficulty, 1, 3) - 1) * 10, last = best + 30;
    for (int k = 0; k < 10; ++k) {
        if (m_HiScore[best + k] >= m_Score) continue;
        for (int i = 8; i >= k; --i) m_HiScore[best + i + 1] = m_HiScore[best + i];
        m_HiScore[best + k] = m_Score;
        break;
    }
    for (int i = 8; i >= 0; --i) m_HiScore[last + i + 1] = m_HiScore[last + i];
    m_HiScore[last] = m_Score;
    p_Save();
    return 0;
}

int c_MyApp::p_PauseMenu() {
    HoldPlayPicture(*this);
    if (m_PauseSel == 1) {
        m_PauseY = std::min(m_PauseY + 24, TruncInt(jscrh / 2));
    } else if (m_PauseSel == -1) {
        m_PauseY -= 24;
        if (m_PauseY < -32) {
            m_Paused = 0;
            return 0;
        }
    }
    p_ResetDraw();
    p_SetCol(0, 0, 0, 0.7f * std::clamp(float(m_PauseY) / (jscrh / 2), 0.0f, 1.0f));
    p_Rect(-1, -1, jscrw + 2, jscrh + 2);

    if (m_PauseSel == 1) PlayWithToy(*this);
    DrawToy(*this);
    p_ResetDraw();
    p_SetSize(3);
    p_Text(jscrw / 2, float(m_PauseY - 100), u"PAUSED", 1, 1, 0);
    OverscanSlider(*this, jscrw / 2, float(m_PauseY - 154));
    if (m_PauseSel == 1) PauseKeys(*this);
    DrawPauseButtons(*this);
    return 0;
}

int c_MyApp::p_OptionBox() {
    OptionItem items[MaxOptions];
    int count = ListOptions(*this, items);
    m_OptSel = std::clamp(m_OptSel, 0, count - 1);
    OptionLayout at = LayOutOptions(*this, count);
    if (m_OptionOpen == 1) OptionInput(*this, at, items, count);
    DrawOptions(*this, at, items, count);
    if (isOuya == 1) OverscanSlider(*this, at.left + jscrw / 2, at.top - 60);
    return 0;
}

int c_MyApp::p_ShowBadges() {
    for (int j = 0; j < BannerSlots; ++j) {
        int& t = m_BadgeQueueT[j];
        if (t <= 0) continue;
        t += 1;
        if (t > BannerLife) {
            t = 0;
            m_BadgeQueue[j] = 0;
            continue;
        }
        DrawBanner(*this, m_BadgeQueue[j], BannerX(t), jscrh - float(34 * (j + 1)));
    }
    return 0;
}

int c_MyApp::p_OuyaQuit() {
    struct Line {
        String text;
        float scale, advance;
    };
    const Line lines[] = {
        {u"Unexpected Quit", 3, 36},
        {u"The player is trying to quit", 1.5f, 20},
        {u"without using the lovely", 1.5f, 20},
        {u"quit button on the Menu.", 1.5f, 46},
        {u"What should I do?", 2, 38},
        {u"Hit \u00acK to Quit", 2, 20},
        {u"or \u00acJ to Ignore", 2, 20},
    };
    p_DoBG(40, 20, 60, -123);
    float y = 0.3f * jscrh;
    for (const Line& line : lines) {
        p_ResetDraw();
        p_SetSize(line.scale);
        p_Text(64, y, line.text, 0, 1, 0);
        y += line.advance;
    }
    p_ResetDraw();
    if (!LatchesFree(*this)) return 0;
    if (p_PlayKeyAll(10, 0) > 0) {
        m_Screen = 1;
        TakeAction(*this);
    } else if (AnyActive(*this, {11, 12, 99})) {
        vx_app_EndApp();
    }
    return 0;
}
