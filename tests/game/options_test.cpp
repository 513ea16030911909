// The options box on a real window with the fake clock: each item's setting and text, the sound
// modes with the music, keys and fresh presses, closing and saving, the console's box, and its quit
// item, in a child process.
#include "game/menu_kit.h"
#include "menu_harness.h"

#include <filesystem>
#include <functional>
#include <string>

namespace {

using namespace gametest;

// ---- the console's quit item, in a child; it comes first (see ExitTest)

using OptionsExit = gametest::ExitTest;

TEST_F(OptionsExit, TheConsolesQuitItemEndsTheProgram) {
    ChildResult r = Run([](c_MyApp* app) {
        isOuya = 1;
        app->m_OptionOpen = 1;
        app->m_OptSel = 5;
        Update();
        PressKey(VkEnter);
        Update();
    });
    EXPECT_EQ(r.status, 0) << "ended by the quit, not by running out: " << r.err;
}

// ---- the options box, one routine at a time

class Options : public gametest::GameTest {
  protected:
    void SetUp() override {
        GameTest::SetUp();
        FinishLoading();
        Open();
    }
    void Box() {
        app->p_OptionBox();
        gametest::EndUpdate();
    }
    void Open() {
        app->m_OptionOpen = 1;
        app->m_OptionSlide = 30;
        app->m_OptLatch = 0;
    }
    // Selects item `item` and confirms it with a fresh press; the box's text afterwards.
    std::string Confirm(int item) {
        app->m_OptSel = item;
        Box();
        PressKey(VkEnter);
        Box();
        ReleaseKey(VkEnter);
        app->m_DrawN = 0;
        Box();
        return Glyphs();
    }
};

TEST_F(Options, EachItemTogglesItsSettingAndText) {
    struct Case {
        int item;
        const char* before;
        const char* after;
        std::function<bool()> changed;
    } cases[] = {
        {1, "Sound:SFX+Music", "Sound:SFX", [&] { return app->m_Setting[SetSoundMode] == SoundEffectsOnly; }},
        {2, "iCade:Off", "iCade:On", [&] { return iCadeControls == 1 && Host()->KeyboardEnabled(); }},
        {2, "iCade:On", "iCade:Off", [&] { return iCadeControls == 0 && !Host()->KeyboardEnabled(); }},
        {3, "Fullscreen", "Windowed", [&] { return app->m_Fullscreen == 1; }},
        {3, "Windowed", "Fullscreen", [&] { return app->m_Fullscreen == 0; }},
        {4, "LeftThumbstickYFlipped", "LeftThumbstickYNormal",
         [&] { return app->m_Setting[SetLeftStickY] == 1; }},
        {5, "RightThumbstickYFlipped", "RightThumbstickYNormal",
         [&] { return app->m_Setting[SetRightStickY] == 1; }},
        {5, "RightThumbstickYNormal", "RightThumbstickYFlipped",
         [&] { return app->m_Setting[SetRightStickY] == 0; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.after);
        app->m_DrawN = 0;
        Box();
        EXPECT_NE(Glyphs().find(c.before), std::string::npos) << Glyphs();
        std::string after = Confirm(c.item);
        EXPECT_NE(after.find(c.after), std::string::npos) << after;
        EXPECT_EQ(after.find(c.before), std::string::npos) << after;
        EXPECT_TRUE(c.changed());
        EXPECT_EQ(app->m_OptionOpen, 1);
    }
    EXPECT_NE(Glyphs().find("<[BACK]"), std::string::npos);
    Confirm(0);
    EXPECT_EQ(app->m_OptionOpen, 0);
}

// A stored value out of 0 and 1 shows as flipped, and confirming it gives (value + 1) mod 2.
TEST_F(Options, AThumbstickStoredAsTwoReadsFlippedAndConfirmsToNormal) {
    app->m_Setting[SetRightStickY] = 2;
    app->m_DrawN = 0;
    Box();
    EXPECT_NE(Glyphs().find("RightThumbstickYFlipped"), std::string::npos) << Glyphs();
    std::string after = Confirm(5);
    EXPECT_EQ(app->m_Setting[SetRightStickY], 1);
    EXPECT_NE(after.find("RightThumbstickYNormal"), std::string::npos) << after;
}

TEST_F(Options, SoundModesStopAndResumeTheMusic) {
    // The click is judged by the new mode: heard only when that mode has effects.
    struct Case {
        int music, from, screen, playing;
        const char* text;
        int to, playingAfter, clicks;
    } cases[] = {
        {1, SoundEffectsAndMusic, ScreenRound, 1, "Sound:SFX", SoundEffectsOnly, 0, 1},
        {1, SoundEffectsOnly, ScreenRound, 0, "Sound:Music", SoundMusicOnly, 1, 0},
        {1, SoundEffectsOnly, ScreenMenu, 0, "Sound:Music", SoundMusicOnly, 0, 0},
        {1, SoundMusicOnly, ScreenMenu, 1, "Sound:Off", SoundOff, 0, 0},
        {1, SoundOff, ScreenRound, 0, "Sound:SFX+Music", SoundEffectsAndMusic, 1, 1},
        {1, 7, ScreenRound, 0, "Sound:SFX+Music", SoundEffectsAndMusic, 1, 1}, // out of range reads as Off
        {0, SoundEffectsAndMusic, ScreenRound, 0, "Sound:Off", SoundOff, 0, 0},
        {0, SoundOff, ScreenRound, 0, "Sound:On", SoundEffectsAndMusic, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.music << " " << c.from << " in screen " << c.screen);
        HasMusicStream = c.music;
        app->m_Setting[SetSoundMode] = c.from;
        app->m_Screen = c.screen;
        app->m_TunePlaying = c.playing;
        app->m_LastTune = u"spindrift";
        std::string text;
        EXPECT_EQ(gametest::PlaysOf(SfxMove, [&] { text = Confirm(1); }), c.clicks);
        EXPECT_NE(text.find(c.text), std::string::npos) << text;
        EXPECT_EQ(app->m_Setting[SetSoundMode], c.to);
        EXPECT_EQ(app->m_TunePlaying, c.playingAfter);
    }
}

TEST_F(Options, KeysMoveTheSelectionAndEveryChoiceNeedsAFreshPress) {
    struct Move {
        int key, selected;
    } moves[] = {{VkUp, 0}, {VkDown, 1}, {VkDown, 2}, {VkUp, 1}};
    for (auto [key, selected] : moves) {
        PressKey(key);
        Box();
        Box();
        ReleaseKey(key);
        Box();
        EXPECT_EQ(app->m_OptSel, selected);
    }
    app->m_OptSel = 4;
    PressKey(VkEnter);
    for (int i = 0; i < 5; ++i) Box();
    EXPECT_EQ(app->m_Setting[SetLeftStickY], 1) << "held, the select key confirms once";
    ReleaseKey(VkEnter);
    Box();
    PressKey(VkEnter);
    Box();
    EXPECT_EQ(app->m_Setting[SetLeftStickY], 0);
}

TEST_F(Options, ClosingByBackKeyOrCogSavesTheSettings) {
    for (bool byCog : {false, true}) {
        SCOPED_TRACE(byCog ? "cog" : "back key");
        std::filesystem::remove(".cobaltstate");
        Open();
        Confirm(4);
        if (byCog) {
            Box();
            Spot cog = ImageAt(ImgButtons, menukit::CogFrame);
            HoldPointer(app, cog.x, cog.y);
            Box();
            LetGo(app);
        } else {
            PressKey(VkEscape);
            Box();
            ReleaseKey(VkEscape);
        }
        EXPECT_EQ(app->m_OptionOpen, 0);
        ASSERT_TRUE(std::filesystem::exists(".cobaltstate"));
        int flipped = app->m_Setting[SetLeftStickY];
        EXPECT_EQ(gametest::FreshApp()->m_Setting[SetLeftStickY], flipped) << "the setting comes back";
        app = App();
        FinishLoading();
    }
}

TEST_F(Options, TheConsoleBoxHasOverscanAndQuitButNoICade) {
    isOuya = 1;
    app->m_DrawN = 0;
    Box();
    std::string text = Glyphs();
    EXPECT_EQ(text.find("iCade"), std::string::npos);
    EXPECT_NE(text.find("#<Overscan>#"), std::string::npos) << text;
    EXPECT_NE(text.find("RightThumbstickYFlipped"
                        "Quit"),
              std::string::npos)
        << text;
    app->m_Paused = 1;
    app->m_DrawN = 0;
    Box();
    EXPECT_EQ(Glyphs().find("Quit"), std::string::npos) << "no quitting from inside a pause";
}

} // namespace
