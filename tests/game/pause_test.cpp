// The pause screen on a real window with the fake clock: entered from a round and quit back to the
// menu, held over the last play picture, its Resume and Quit buttons, the overscan slider and the
// idle toy.
#include "menu_harness.h"

#include <string>

namespace {

using namespace gametest;

// ---- pausing a round, driven through whole updates from the menu

class PauseInPlay : public gametest::GameTest {
  protected:
    void SetUp() override {
        GameTest::SetUp();
        FinishLoading();
    }
};

TEST_F(PauseInPlay, TheRoundCanBePausedAndQuitAndItsScoreIsFiled) {
    Press(VkEnter);
    Update();
    ASSERT_EQ(app->m_Screen, ScreenRound);
    Updates(20);
    PressKey(VkEscape);
    Update();
    ReleaseKey(VkEscape);
    ASSERT_EQ(app->m_Paused, 1);
    Updates(12);
    EXPECT_EQ(app->m_PauseY, TruncInt(jscrh / 2));
    int held = app->m_DrawN;
    Updates(30);
    EXPECT_EQ(app->m_DrawN, held)
        << "the pause screen is redrawn over the last play picture, not added to it";
    Press(VkDown);
    EXPECT_EQ(app->m_PauseAnim, 1) << "Quit selected";
    Press(VkEnter);
    EXPECT_EQ(app->m_RoundOver, 1);
    EXPECT_EQ(app->m_QuitRound, -1);
    EXPECT_EQ(app->m_Paused, 0);
    for (int i = 0; i < 100 && app->m_Screen != ScreenMenu; ++i) Update();
    EXPECT_EQ(app->m_Screen, ScreenMenu);
    EXPECT_EQ(app->m_HiScore[BestScoresBase(app->m_Difficulty) + RecentScores], app->m_Score)
        << "the round's score heads the last ten";
}

// The glyphs a text leaves on the draw list, as Glyphs() reads them.
std::string GlyphsOf(const String& text) {
    std::string bytes, glyphs;
    text.ToUtf8(bytes);
    for (char c : bytes)
        if (c != ' ') glyphs += c;
    return glyphs;
}

int Occurrences(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// The debug line and a badge banner are drawn after the play picture; a pause that comes from
// losing the focus must not keep the last update's copies frozen under the live ones.
TEST_F(PauseInPlay, APauseOnFocusLossKeepsThePlayPictureButNotItsOverlays) {
    Press(VkEnter);
    Update();
    ASSERT_EQ(app->m_Screen, ScreenRound);
    DebugMode = 1;
    app->m_BadgeQueue[0] = 5;
    app->m_BadgeQueueT[0] = 20;
    Updates(20);
    Host()->SuspendGame();
    Host()->ResumeGame();
    ASSERT_EQ(app->m_Paused, 1);
    Updates(12);
    std::string text = Glyphs();
    EXPECT_EQ(Occurrences(text, "PAUSED"), 1);
    EXPECT_EQ(Occurrences(text, GlyphsOf(app->p_DebugText())), 1) << text;
    EXPECT_EQ(Occurrences(text, GlyphsOf(app->p_BadgeName(5))), 1) << text;
    int playImages = 0;
    for (int i = 0; i < CommandCount(); ++i) playImages += CommandAt(i)[CmdCode] == ImgGfx;
    EXPECT_GT(playImages, 0) << "the play picture stays under the pause screen";
}

// ---- the pause screen, one routine at a time

class Pause : public gametest::GameTest {
  protected:
    void SetUp() override {
        GameTest::SetUp();
        Begin();
    }
    void PauseStep() {
        app->p_PauseMenu();
        gametest::EndUpdate();
    }
    // A fresh round's pause screen, slid fully in.
    void Begin() {
        app = gametest::FreshApp();
        FinishLoading();
        app->m_Screen = ScreenRound;
        app->m_Paused = 1;
        app->m_PauseSel = 1;
        app->m_PauseY = 0;
        for (int i = 0; i < 12; ++i) PauseStep();
    }
};

TEST_F(Pause, SlidesInWithItsButtonsAndOverscanSlider) {
    EXPECT_EQ(app->m_PauseY, 240);
    std::string text = Glyphs();
    for (const char* expected : {"PAUSED", "Resume", "Quit", "#<Overscan>#"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << " in " << text;
}

TEST_F(Pause, ResumeAndQuitByKeysAndByPointer) {
    struct Case {
        const char* how;
        int key;
        int button; // -1: no click
        bool quits;
    } cases[] = {
        {"Enter on Resume", VkEnter, -1, false}, {"Escape", VkEscape, -1, false},
        {"Down then Enter", VkDown, -1, true},   {"click on Resume", 0, 0, false},
        {"click on Quit", 0, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        Begin();
        if (c.key == VkDown) {
            PressKey(VkDown);
            PauseStep();
            ReleaseKey(VkDown);
            LetGo(app);
            EXPECT_EQ(app->m_PauseAnim, 1);
            PressKey(VkEnter);
        } else if (c.key != 0) {
            PressKey(c.key);
        } else {
            HoldPointer(app, jscrw / 2 + 60, float(app->m_PauseY + 70 + 40 * c.button));
        }
        PauseStep();
        ReleaseKey(c.key == VkDown ? VkEnter : c.key);
        EXPECT_EQ(app->m_PauseSel, -1);
        EXPECT_EQ(app->m_RoundOver, c.quits ? 1 : 0);
        EXPECT_EQ(app->m_QuitRound, c.quits ? -1 : 0);
        if (c.quits) {
            EXPECT_EQ(app->m_Paused, 0);
            EXPECT_EQ(app->m_PauseY, -64);
        } else {
            int updates = 0;
            while (app->m_Paused == 1 && updates < 50) {
                PauseStep();
                ++updates;
            }
            EXPECT_EQ(updates, 12) << "slides out by 24 an update, then play resumes";
        }
        LetGo(app);
    }
}

TEST_F(Pause, TheOverscanSliderKeepsWithin1And96) {
    EXPECT_EQ(app->m_Setting[SetOverscan], 1);
    auto tap = [&](int key) {
        PressKey(key);
        PauseStep();
        PauseStep();
        ReleaseKey(key);
        PauseStep();
    };
    for (int expected : {17, 33, 49, 65, 81, 96, 96}) {
        tap('O');
        EXPECT_EQ(app->m_Setting[SetOverscan], expected);
        EXPECT_EQ(overscan, float(expected));
    }
    for (int i = 0; i < 6; ++i) tap('U');
    EXPECT_EQ(app->m_Setting[SetOverscan], 1);
    EXPECT_EQ(overscan, 1.0f);

    HoldPointer(app, jscrw / 2, float(app->m_PauseY - 150));
    PauseStep();
    EXPECT_EQ(app->m_Setting[SetOverscan], 96) << "a click on the bar jumps to the far end";
    PauseStep();
    EXPECT_EQ(app->m_Setting[SetOverscan], 96) << "once per click";
    LetGo(app);
    PauseStep();
    HoldPointer(app, jscrw / 2, float(app->m_PauseY - 150));
    PauseStep();
    EXPECT_EQ(app->m_Setting[SetOverscan], 1);
}

TEST_F(Pause, TheIdleToyTakesRadiusAndSpeedWithinLimits) {
    PressKey(VkUp);
    PressKey(VkRight);
    for (int i = 0; i < 5; ++i) PauseStep();
    EXPECT_EQ(app->m_ToyR, 5.0f);
    EXPECT_EQ(app->m_ToyV, 1.25f);
    for (int i = 0; i < 600; ++i) PauseStep();
    EXPECT_FLOAT_EQ(app->m_ToyR, 0.45f * 480);
    EXPECT_EQ(app->m_ToyV, 128.0f);
    ReleaseKey(VkUp);
    ReleaseKey(VkRight);
    PressKey(VkDown);
    PressKey(VkLeft);
    for (int i = 0; i < 600; ++i) PauseStep();
    EXPECT_EQ(app->m_ToyR, 0.0f);
    EXPECT_EQ(app->m_ToyV, 0.0f);
}

} // namespace
