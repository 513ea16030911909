// The pause screen over a round: Resume and Quit, the toy of an idle pause, and the overscan slider
// that the console's options box shows too.
#include "framework/app/app.h"
#include "framework/input/input.h"
#include "game/menu_kit.h"
#include "game/my_app.h"

#include <algorithm>
#include <cmath>

using namespace menukit;

namespace {

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
    if (app.p_PlayKeyAll(ActionUp, 1) > 0) app.m_ToyR += 1;
    if (app.p_PlayKeyAll(ActionDown, 1) > 0) app.m_ToyR -= 1;
    if (app.p_PlayKeyAll(ActionRight, 1) > 0) app.m_ToyV += 0.25f;
    if (app.p_PlayKeyAll(ActionLeft, 1) > 0) app.m_ToyV -= 0.25f;
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
    if (app.p_PlayKeyAll(ActionPause, 0) > 0) {
        TakeAction(app);
        Resume(app);
    } else if (app.p_PlayKeyAll(ActionA, 0) > 0) {
        TakeAction(app);
        PressPauseButton(app, app.m_PauseAnim);
    } else if (app.p_PlayKeyAll(ActionUp, 1) > 0 || app.p_PlayKeyAll(ActionDown, 1) > 0) {
        TakeAction(app);
        SelectPauseButton(app, app.p_PlayKeyAll(ActionUp, 1) > 0 ? ButtonResume : ButtonQuit);
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

} // namespace

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
    p_OverscanSlider(jscrw / 2, float(m_PauseY - 154));
    if (m_PauseSel == 1) PauseKeys(*this);
    DrawPauseButtons(*this);
    return 0;
}

// U and O (the shoulders) step the border, a touch on the bar flips it between its ends.
int c_MyApp::p_OverscanSlider(float centreX, float y) {
    float barX = centreX - 128;
    bool onBar = m_MouseDown > 0 && p_MouseIn(barX - 8, y - 8, 272, 25);
    bool lower = p_PlayKeyAll(ActionLeftShoulder, 0) > 0, raise = p_PlayKeyAll(ActionRightShoulder, 0) > 0;
    int& border = m_Setting[SetOverscan];
    if (!lower && !raise && !onBar) {
        m_OverscanLatch = 0;
    } else if (m_OverscanLatch == 0) {
        m_OverscanLatch = 1;
        if (onBar)
            border = overscan < 32 ? 96 : 1;
        else
            border += raise ? 16 : -16;
    }
    border = std::clamp(border, 1, 96);
    p_SetOverscan(float(border));

    // A dark plate keeps the slider readable over whatever lies beneath it.
    p_ResetDraw();
    p_SetCol(0, 0, 0, 0.9f);
    p_Rect(barX - 16, y - 26, 288, 46);
    p_SetCol(255, 255, 255, 0.3f);
    p_Rect(barX, y, 256, 9);
    p_SetCol(255, 255, 100, 1);
    p_Rect(float(border) * 2.67f + centreX - 132, y - 4, 8, 16);
    p_SetCol(255, 255, 255);
    p_Text(centreX, y - 14, u"\u00acU <      Overscan      > \u00acO", 1, 1, 0);
    p_ResetDraw();
    return 0;
}
