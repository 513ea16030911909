// A scripted player for whole-game tests: it starts rounds from the menu the way a player does and
// plays them through the controls (runs, turns and jumps at random, from a seeded generator) until
// the round ends and the menu is back.
#pragma once

#include "game_harness.h"

#include <random>

namespace gametest {

// A render shown as the frame loop shows it: drawn, then swapped to the window.
inline void ShowFrame() {
    Render();
    glfwSwapBuffers(Host()->Window());
}

// Updates (and renders every `renderEvery`-th one) until `done` holds; false after `limit` updates.
template <class Done> bool RunUntil(Done done, int limit, int renderEvery = 4) {
    for (int i = 0; i < limit; ++i) {
        if (done()) return true;
        Update();
        if (i % renderEvery == 0) ShowFrame();
    }
    return done();
}

class Bot {
  public:
    explicit Bot(unsigned seed) : random(seed) {}

    // From the menu, a round at difficulty 1 to 3 confirmed with Enter (again every half second,
    // as the menu ignores keys while it settles after a round); true once it is in play.
    bool StartRound(int difficulty) {
        for (int attempt = 0; attempt < 30; ++attempt) {
            if (!RunUntil([] { return App()->m_Screen == ScreenMenu && App()->m_OptionOpen == 0; }, 600))
                return false;
            App()->m_Focus = FocusDial;
            App()->m_MenuRow = difficulty - 1;
            Tap(VkEnter);
            if (RunUntil([] { return App()->m_Screen == ScreenRound; }, 30)) return true;
        }
        return false;
    }

    // One update of play: now and then it lets go, picks a direction or jumps.
    void Step() {
        if (held != 0 && random() % 40 == 0) {
            ReleaseKey(held);
            held = 0;
        }
        if (held == 0 && random() % 8 == 0) {
            held = random() % 3 == 0 ? VkLeft : VkRight;
            PressKey(held);
        }
        bool jump = random() % 12 == 0;
        if (jump) PressKey(VkSpace);
        Update();
        if (jump) ReleaseKey(VkSpace);
    }

    // Plays until the round is over and the menu is back; false when that takes over `limit` updates.
    bool PlayRound(int limit, int renderEvery = 4) {
        for (int i = 0; i < limit; ++i) {
            if (App()->m_Screen == ScreenMenu) {
                LetGo();
                return true;
            }
            Step();
            if (i % renderEvery == 0) ShowFrame();
        }
        LetGo();
        return false;
    }

    void LetGo() {
        if (held != 0) ReleaseKey(held);
        held = 0;
    }

  private:
    std::mt19937 random;
    int held = 0;
};

} // namespace gametest
