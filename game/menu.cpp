// The main menu with its difficulty dial, score panels, credits and options cog; filing a finished
// round's score; the badge banners; and the console's dialog for a quit through its own menu.
#include "framework/app/app.h"
#include "framework/input/input.h"
#include "game/menu_kit.h"
#include "game/my_app.h"

#include <algorithm>
#include <cmath>

using namespace menukit;

namespace {

// The side panel's width while narrow; m_SidePanelX widens it.
constexpr int SidePanelWidth = 140;

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
        if (app.p_PlayKeyAll(ActionPause, 0) > 0) vx_app_EndApp();
    } else if (app.p_PlayKeyAll(ActionBack, 0) > 0 || vx_input_KeyDown(VkEscape)) {
        app.m_Screen = ScreenQuitDialog;
        TakeAction(app);
    }
}

// On screens shorter than the design the title shrinks towards the top, clear of the dial.
void DrawTitle(c_MyApp& app, float panelW) {
    float fit = std::min(1.0f, jscrh / rawscrh);
    app.p_ResetDraw();
    app.p_SetSize(1.5f * fit);
    app.p_DrawImg(ImgTitle, (jscrw - panelW) / 2, float(app.m_MenuSlide * 12) + 96 * fit, 0);
}

// The right-hand panel: score tables while narrow, the credits once opened across the screen.
void SidePanel(c_MyApp& app, float panelW, Confirmation& confirm) {
    bool focused = app.m_Focus == FocusPanel;
    float x = jscrw - panelW - float(app.m_MenuSlide * 8) - 2;
    app.p_ResetDraw();
    app.p_SetCol(0, 0, 0, focused ? 0.75f : 0.45f);
    app.p_Rect(x, -128, jscrw - x, jscrh + 128);
    app.p_SetCol(255, 255, 255, focused ? 1 : 0.2f);
    app.p_Rect(x, -128, 3, jscrh + 128);
    if (!focused && app.m_PointerLock == 0 && PointerMoved(app) && float(app.m_MouseX) > x) {
        app.m_Focus = FocusPanel;
        PlaySound(app, SfxMove);
    }

    float startX = jscrw - panelW / 2, startY = jscrh - 48;
    app.p_ResetDraw();
    app.p_SetCol(100, 255, 100);
    app.p_SetSize(3);
    app.p_DrawImg(ImgIcons, startX, startY, IconStart);
    app.p_ResetDraw();
    if (Clicked(app) && !PanelOpen(app) && app.p_MouseIn_Centered(startX, startY, 128, 128)) {
        app.m_Focus = FocusDial;
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
        shown[2 + ScoreTableEntries + i] = app.m_HiScore[base + RecentScores + i];
    }
    return shown;
}

void ScorePanels(c_MyApp& app, float panelW) {
    int base = BestScoresBase(app.m_Difficulty);
    int lines = FloorInt((jscrh - 90 - jscrh / 2) / (1.5f * float(LineHeight(app))));
    lines = std::clamp(lines, 1, ScoreTableEntries);
    ScorePanelsShown shown = ShownOnScorePanels(app, base, lines);
    if (shown != app.m_ScorePanelsShown || app.m_TopText.Length() == 0) {
        String top = lines == 1 ? String(u"Highscore") : String(u"Top ") + String(lines);
        String last = lines == 1 ? String(u"Last") : String(u"Last ") + String(lines);
        app.m_TopText = ScoreList(app, top, base, lines);
        app.m_LastText = ScoreList(app, last, base + RecentScores, lines);
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
            app.m_Focus = FocusDial;
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
    app.p_Alpha(app.m_Focus == FocusDial ? 1 : 0.3f);
    if (row < 0) {
        app.p_SetCol(255, 180, 180);
        app.p_DrawImg(ImgIcons, x, y, IconQuit);
        return;
    }
    app.p_DrawImg(ImgButtons, x, y, float(Wrap(row, 6)));
    app.p_Text(x, y, MenuSet.get()[2 * Wrap(row, 3)], 1, 1, 0);
}

// A touch on the selected row confirms it; a touch on another row selects it.
void TouchDialRow(c_MyApp& app, int row, float x, float y, Confirmation& confirm) {
    if (!Clicked(app) || confirm.wanted) return;
    if (row == app.m_MenuRow) {
        if (app.p_MouseIn_Radius(x, y, 64, 64)) {
            app.m_Focus = FocusDial;
            confirm = {true, true};
        }
    } else if (app.p_MouseIn_Radius(x, y, 52, 52)) {
        app.m_MenuRow = row;
        app.m_MenuRowY = float(-32 * row);
        app.m_Focus = FocusDial;
        TakeAction(app);
        PlaySound(app, SfxMove);
    }
}

void Dial(c_MyApp& app, Confirmation& confirm) {
    float cx = float(38 + 12 * app.m_MenuSlide), cy = jscrh - 64 - float(8 * app.m_MenuSlide);
    if (app.m_Focus == FocusCog) app.m_DialAngle = std::fmod(app.m_DialAngle + 0.3f, 360.0f);
    if (Clicked(app) && app.p_MouseIn_Centered(cx, cy, 64, 64)) {
        app.m_OptionOpen = 1;
        app.m_OptLatch = 1;
        app.m_Focus = FocusCog;
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
        app.p_DrawImg(ImgButtons, cx, cy, float(8 + layer));
    }
    app.p_ResetDraw();
}

// Up and down step at once, again after 31 updates, then after 19 and 7, then every 4: the hold
// counts down to the next step, the delay is what the next step starts it at.
void KeyRepeat(c_MyApp& app) {
    bool up = app.p_PlayKey(ActionUp, 1, 0) > 0, down = app.p_PlayKey(ActionDown, 1, 0) > 0;
    float& hold = app.p_MenuRepeatHold();
    float& delay = app.p_MenuRepeatDelay();
    if (!up && !down) {
        hold = 0;
        delay = 30;
        return;
    }
    hold -= 1;
    if (hold < 0) app.m_KeyNav = 0;
}

void StepRow(c_MyApp& app, int row) {
    float& delay = app.p_MenuRepeatDelay();
    app.p_MenuRepeatHold() = delay;
    delay = std::max(delay - 12, 3.0f);
    TakeAction(app);
    if (row == app.m_MenuRow) return;
    app.m_MenuRow = row;
    app.m_MenuRowY = float(-32 * row);
    PlaySound(app, SfxMove);
}

void MenuKeys(c_MyApp& app, Confirmation& confirm) {
    if (!LatchesFree(app) || PanelOpen(app)) return;
    if (app.p_PlayKeyAll(ActionUp, 1) > 0 && app.p_MenuRepeatHold() < 1) {
        StepRow(app, std::max(app.m_MenuRow - 1, LowestRow()));
    } else if (app.p_PlayKeyAll(ActionDown, 1) > 0) {
        StepRow(app, std::min(app.m_MenuRow + 1, 2));
    } else if (int step = (app.p_PlayKeyAll(ActionRight, 1) > 0) - (app.p_PlayKeyAll(ActionLeft, 1) > 0);
               step != 0) {
        app.m_Focus = std::clamp(app.m_Focus + step, int(FocusCog), int(FocusPanel));
        TakeAction(app);
        PlaySound(app, SfxMove);
    } else if (AnyActive(app, {ActionA, ActionB, ActionX})) {
        confirm = {true, false};
    }
}

// The control style of the round: the pointer, else the keyboard when a button key is down, else
// a pad.
int ConfirmStyle(c_MyApp& app, const Confirmation& confirm) {
    if (confirm.byPointer) return StylePointer;
    for (int action = ActionA; action <= ActionRightShoulder; ++action)
        if (app.p_PlayKey(action, 0, -1) > 0) return StyleKeyboard;
    return StylePad;
}

// Every confirmation sounds; opening the options box or the side panel adds the opening sound.
void CarryOut(c_MyApp& app, const Confirmation& confirm) {
    TakeAction(app);
    PlaySound(app, SfxConfirm);
    switch (app.m_Focus) {
    case FocusCog:
        app.m_OptionOpen = 1;
        app.m_OptLatch = 1;
        PlaySound(app, SfxMove);
        break;
    case FocusDial:
        if (app.m_MenuRow == -1) vx_app_EndApp();
        app.m_ControlStyle = ConfirmStyle(app, confirm);
        app.m_MenuRowY = float(-32 * app.m_MenuRow);
        app.m_Screen = ScreenStartRound;
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
    app.m_CreditScroll += AnyActive(app, {ActionUp, ActionDown}) ? 1.8f : 0.3f;
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
    if (AnyActive(app, {ActionA, ActionB, ActionX, ActionY}) || app.m_MouseDown > 0) {
        app.m_SidePanel = 0;
        TakeAction(app);
        PlaySound(app, SfxMove);
    }
}

// ---- filing scores

// Puts the score at a place of a list of ten, moving those below it down; the tenth is lost.
void FileScore(Array<int>& scores, int first, int place, int score) {
    for (int i = ScoreTableEntries - 1; i > place; --i) scores[first + i] = scores[first + i - 1];
    scores[first + place] = score;
}

// ---- badge banners

// The banners show the first slots of the badge queue.
constexpr int BannerSlots = 13;
static_assert(BannerSlots <= BadgeQueueLength);
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
        app.p_DrawImg(ImgBadges, x + 144, y + 16, float(badge));
    }
    app.p_ResetDraw();
}

} // namespace

int c_MyApp::p_Menu() {
    m_PauseFrameN = -1;
    m_MenuRow = std::min(m_MenuRow, 2);
    p_DoBG(20, 80, 160, KeepBackground);
    if (m_MenuSlide < 0) m_MenuSlide = TruncInt(m_MenuSlide + 0.25);
    float panelW = float(m_SidePanelX + SidePanelWidth);
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
    int best = BestScoresBase(m_Difficulty), last = best + RecentScores;
    for (int k = 0; k < ScoreTableEntries; ++k) {
        if (m_HiScore[best + k] >= m_Score) continue;
        FileScore(m_HiScore, best, k, m_Score);
        break;
    }
    FileScore(m_HiScore, last, 0, m_Score);
    p_Save();
    return 0;
}

// Opened, the panel slides across the whole screen: its width, m_SidePanelX + SidePanelWidth, eases
// towards jscrw.
int c_MyApp::p_SlideSidePanel() {
    if (m_SidePanel == 0) {
        m_SidePanelX -= m_SidePanelX / 8;
        if (m_SidePanelX < 8) m_SidePanelX = 0;
    } else {
        const float open = jscrw - SidePanelWidth;
        if (float(m_SidePanelX) < open)
            m_SidePanelX = TruncInt(m_SidePanelX + (open - float(m_SidePanelX)) / 8);
        if (std::fabs(open - float(m_SidePanelX)) < 8) m_SidePanelX = TruncInt(open);
    }
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
    p_DoBG(40, 20, 60, KeepBackground);
    float y = 0.3f * jscrh;
    for (const Line& line : lines) {
        p_ResetDraw();
        p_SetSize(line.scale);
        p_Text(64, y, line.text, 0, 1, 0);
        y += line.advance;
    }
    p_ResetDraw();
    if (!LatchesFree(*this)) return 0;
    if (p_PlayKeyAll(ActionA, 0) > 0) {
        m_Screen = ScreenMenu;
        TakeAction(*this);
    } else if (AnyActive(*this, {ActionB, ActionX, ActionPause})) {
        vx_app_EndApp();
    }
    return 0;
}
