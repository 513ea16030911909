// What the menu screens share (the main menu, the pause screen, the options box): the latches that
// make them move on edges, pointer tests and the click sound.
//
// Menus move on edges, not on held keys: an action is taken only while both latches (m_KeyNav for
// keys, m_PointerLock for the pointer) are clear, and taking one sets both. The frame clears them
// once the key or the pointer is let go. The options box keeps its own latch, because the frame
// holds both shut while the box is open.
#pragma once

#include "game/my_app.h"

#include <algorithm>
#include <initializer_list>

namespace menukit {

// The options cog among the menu buttons' frames.
inline constexpr int CogFrame = 10;

inline int Wrap(int value, int count) { return (value % count + count) % count; }

inline bool LatchesFree(const c_MyApp& app) { return app.m_KeyNav == 0 && app.m_PointerLock == 0; }

inline void TakeAction(c_MyApp& app) {
    app.m_KeyNav = 1;
    app.m_PointerLock = 1;
}

// A press of the pointer (or a touch) that no other action has claimed yet.
inline bool Clicked(const c_MyApp& app) { return app.m_MouseDown > 0 && LatchesFree(app); }

inline bool PointerMoved(const c_MyApp& app) {
    return app.m_MouseX != app.m_MouseOldX || app.m_MouseY != app.m_MouseOldY;
}

// Where the pointer rests, pressed or not (touch points exist only while down).
inline bool PointerOver(const c_MyApp& app, float cx, float cy, float w, float h) {
    float x = float(app.m_MouseX), y = float(app.m_MouseY);
    return x > cx - w / 2 && x < cx + w / 2 && y > cy - h / 2 && y < cy + h / 2;
}

inline bool PanelOpen(const c_MyApp& app) {
    return app.m_Panel1 == 1 || app.m_OptionOpen == 1 || app.m_SidePanel == 1;
}

inline bool AnyActive(c_MyApp& app, std::initializer_list<int> actions) {
    for (int action : actions)
        if (app.p_PlayKeyAll(action, 1) > 0) return true;
    return false;
}

inline void PlaySound(c_MyApp& app, int slot) { app.p_PlaySFX(slot, 1, 1, 0); }

// The font's line height; at least 1, so that layouts made before the font is loaded stay finite.
inline int LineHeight(const c_MyApp& app) {
    return std::max(app.m_ImgInfo[app.m_Font * ImgInfoStride + ImgInfoH], 1);
}

} // namespace menukit
