// What the tests of the menu screens share (the main menu, the pause screen, the options box): keys
// pressed as fresh edges, the texts and images on the draw list, the pointer held at a virtual
// point, and a game run in a child until one of the ways out of the program ends it.
#pragma once

#include "game_harness.h"
#include "tests/support/child_process.h"

#include <functional>
#include <string>

namespace gametest {

// A key held for one update, then one update with it up, so that the next press is a new edge.
inline void Press(int code) {
    PressKey(code);
    Update();
    ReleaseKey(code);
    Update();
}

// The letters of every text on the draw list, in order and without spaces (spaces are not drawn);
// button glyphs read as '#'.
inline std::string Glyphs() {
    std::string text;
    for (int i = 0; i < CommandCount(); ++i) {
        if (CommandAt(i)[CmdCode] != float(App()->m_Font)) continue;
        int frame = int(CommandAt(i)[CmdFrame]);
        text += frame < 96 ? char(frame + 32) : '#';
    }
    return text;
}

struct Spot {
    float x, y;
};

// Where the last draw list put image `frame` of `slot`.
inline Spot ImageAt(int slot, int frame) {
    for (int i = 0; i < CommandCount(); ++i)
        if (CommandAt(i)[CmdCode] == float(slot) && CommandAt(i)[CmdFrame] == float(frame))
            return {CommandAt(i)[CmdX], CommandAt(i)[CmdY]};
    ADD_FAILURE() << "image " << slot << ":" << frame << " not drawn";
    return {-1000, -1000};
}

// The first touch (and the pointer) held at a virtual point, as the frame maps them.
inline void HoldPointer(c_MyApp* app, float x, float y) {
    app->m_MouseOldX = app->m_MouseDown ? app->m_MouseX : TruncInt(x);
    app->m_MouseOldY = app->m_MouseDown ? app->m_MouseY : TruncInt(y);
    app->m_MouseX = TruncInt(x);
    app->m_MouseY = TruncInt(y);
    app->m_MouseDown = 1;
    app->m_TouchDown[0] = 1;
    app->m_TouchX[0] = TruncInt(x);
    app->m_TouchY[0] = TruncInt(y);
}

// Lets go of the pointer and clears both latches, as the frame does once nothing is held.
inline void LetGo(c_MyApp* app) {
    app->m_MouseDown = 0;
    app->m_TouchDown[0] = 0;
    app->m_TouchX[0] = app->m_TouchY[0] = Omitted;
    app->m_KeyNav = app->m_PointerLock = 0;
}

// The ways out of the program, each in a child on a fresh, loaded game. A program's child tests come
// before its other tests: a child must open its own window, and a window the parent made for an
// earlier test would be shared with it.
class ExitTest : public TempDirTest {
  protected:
    ChildResult Run(const std::function<void(c_MyApp*)>& body) {
        return RunInChild([&] {
            c_MyApp* app = FreshApp();
            FinishLoading();
            body(app);
        });
    }
};

} // namespace gametest
