// The options box: sound mode, iCade, window, stick directions and (on the console) quit, sliding in
// from the left over the menu or the pause screen.
#include "framework/app/app.h"
#include "framework/input/input.h"
#include "game/menu_kit.h"
#include "game/my_app.h"

#include <algorithm>
#include <cmath>

using namespace menukit;

namespace {

// ---- options box

enum OptionItem { OptBack, OptSound, OptICade, OptWindow, OptLeftStick, OptRightStick, OptQuit };
constexpr int MaxOptions = 7;
constexpr float OptionSpacing = 40;
// The box slides in over this many updates, 24 units each.
constexpr int SlideSteps = 30;

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
    // Without a music stream only off and on (SoundEffectsAndMusic) are offered.
    const int highest = HasMusicStream == 1 ? SoundMusicOnly : SoundEffectsAndMusic;
    int& mode = app.m_Setting[SetSoundMode];
    if (mode < SoundOff || mode > highest) mode = SoundOff;
    if (HasMusicStream == 0) return mode == SoundOff ? String(u"Sound : Off") : String(u"Sound : On");
    // By SoundMode.
    const String texts[SoundModes] = {u"Sound : Off", u"Sound : SFX + Music", u"Sound : SFX",
                                      u"Sound : Music"};
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
        return app.m_Setting[SetLeftStickY] == 1 ? String(u"Left Thumbstick Y Normal")
                                                 : String(u"Left Thumbstick Y Flipped");
    case OptRightStick:
        return app.m_Setting[SetRightStickY] == 1 ? String(u"Right Thumbstick Y Normal")
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
    int& mode = app.m_Setting[SetSoundMode];
    if (HasMusicStream == 0) {
        // Off and on trade places.
        mode = SoundEffectsAndMusic - mode;
        return;
    }
    mode = (mode + 1) % SoundModes;
    if (!SoundModeHasMusic(mode))
        app.p_StopTune();
    else if (app.m_Screen >= ScreenRound)
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
        app.m_Setting[SetLeftStickY] = Wrap(app.m_Setting[SetLeftStickY] + 1, 2);
        break;
    case OptRightStick:
        app.m_Setting[SetRightStickY] = Wrap(app.m_Setting[SetRightStickY] + 1, 2);
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
    float left = float((app.m_OptionSlide - SlideSteps) * 24);
    return {left, (jscrh - OptionSpacing * float(count)) / 2 + OptionSpacing / 2, left + 38, jscrh - 64};
}

void OptionInput(c_MyApp& app, const OptionLayout& at, const OptionItem* items, int count) {
    if (PointerMoved(app))
        for (int i = 0; i < count; ++i)
            if (PointerOver(app, at.left + jscrw / 2, at.ItemY(i), jscrw, OptionSpacing)) app.m_OptSel = i;
    bool up = app.p_PlayKeyAll(ActionUp, 1) > 0, down = app.p_PlayKeyAll(ActionDown, 1) > 0;
    bool select = AnyActive(app, {ActionA, ActionB, ActionX}), back = app.p_PlayKeyAll(ActionPause, 0) > 0;
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
    app.p_DrawImg(ImgButtons, at.cogX, at.cogY, CogFrame);
    app.p_ResetDraw();
}

} // namespace

int c_MyApp::p_OptionBox() {
    OptionItem items[MaxOptions];
    int count = ListOptions(*this, items);
    m_OptSel = std::clamp(m_OptSel, 0, count - 1);
    OptionLayout at = LayOutOptions(*this, count);
    if (m_OptionOpen == 1) OptionInput(*this, at, items, count);
    DrawOptions(*this, at, items, count);
    if (isOuya == 1) p_OverscanSlider(at.left + jscrw / 2, at.top - 60);
    return 0;
}

int c_MyApp::p_SlideOptionBox() {
    if (m_OptionOpen == 0) {
        if (m_OptionSlide > 0) --m_OptionSlide;
    } else if (m_OptionSlide < SlideSteps) {
        ++m_OptionSlide;
    }
    return 0;
}
