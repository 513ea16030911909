// The main menu on a real window with the fake clock: its keys, key repeat, focus, dial and panels;
// filing scores; badge banners; the console's quit dialog; and the ways out of the program, each in
// a child process.
#include "game/menu_kit.h"
#include "menu_harness.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace gametest;

// ---- the ways out, each in a child; they come first (see ExitTest)

// A line on the child's standard output, there before the child ends.
void Report(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

using MenuExit = ExitTest;

TEST_F(MenuExit, EscapeQuitsTheDesktopMenuButFirstClosesAnOpenPanel) {
    ChildResult r = Run([](c_MyApp* app) {
        app->m_SidePanel = 1;
        PressKey(VkEscape);
        Update();
        Report("panel " + std::to_string(app->m_SidePanel));
        ReleaseKey(VkEscape);
        Update();
        PressKey(VkEscape);
        Update();
    });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("panel 0\n"), std::string::npos) << r.out;
}

TEST_F(MenuExit, TheConsoleQuitsThroughItsDialogOrItsQuitRow) {
    struct Case {
        const char* how;
        std::string report; // what the child prints on its way, if anything
        std::function<void(c_MyApp*)> body;
    } cases[] = {
        {"back key, then the dialog's quit button", "screen " + std::to_string(ScreenQuitDialog) + "\n",
         [](c_MyApp* app) {
             PressKey(VkEscape);
             Update();
             Report("screen " + std::to_string(app->m_Screen));
             ReleaseKey(VkEscape);
             Update();
             PressKey('K');
             Update();
         }},
        {"the dial's quit row", "",
         [](c_MyApp* app) {
             app->m_MenuRow = -1;
             PressKey(VkEnter);
             Update();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        ChildResult r = Run([&](c_MyApp* app) {
            isOuya = 1;
            c.body(app);
        });
        EXPECT_EQ(r.status, 0) << "ended by the quit, not by running out: " << r.err;
        if (!c.report.empty()) {
            EXPECT_NE(r.out.find(c.report), std::string::npos) << r.out;
        }
    }
}

// ---- main menu, driven through whole updates

class Menu : public gametest::GameTest {
  protected:
    void SetUp() override {
        GameTest::SetUp();
        FinishLoading();
    }
};

TEST_F(Menu, AHeldKeyStepsAtOnceThenAfter31And19And7UpdatesThenEvery4) {
    Update(); // the menu's first update sets up the delays
    PressKey(VkDown);
    std::vector<int> steps;
    float hold = app->m_Player[PlMenuHold];
    for (int update = 0; update < 70; ++update) {
        Update();
        if (app->m_Player[PlMenuHold] > hold) steps.push_back(update);
        hold = app->m_Player[PlMenuHold];
    }
    EXPECT_EQ(steps, (std::vector<int>{0, 31, 50, 57, 61, 65, 69}));
    EXPECT_EQ(app->m_MenuRow, 2);
    ReleaseKey(VkDown);
    Update();
    EXPECT_EQ(app->m_Player[PlMenuHold], 0);
    EXPECT_EQ(app->m_Player[PlYCopy], 30) << "a new press starts the delays afresh";

    PressKey(VkUp);
    Updates(31);
    EXPECT_EQ(app->m_MenuRow, 1);
    Update();
    EXPECT_EQ(app->m_MenuRow, 0) << "up repeats after 31 updates as well";
}

TEST_F(Menu, RowsStayWithinTheDifficultiesAndTheConsoleQuitItem) {
    struct Case {
        bool console;
        int from, key, to;
    } cases[] = {
        {false, 0, VkUp, 0}, {false, 1, VkUp, 0},  {false, 2, VkDown, 2}, {false, 1, VkDown, 2},
        {true, 0, VkUp, -1}, {true, -1, VkUp, -1}, {true, -1, VkDown, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << (c.console ? "console " : "desktop ") << c.from << " key " << c.key);
        isOuya = c.console ? 1 : 0;
        app->m_MenuRow = c.from;
        Press(c.key);
        EXPECT_EQ(app->m_MenuRow, c.to);
        EXPECT_EQ(app->m_MenuRowY, -32.0f * float(c.to));
        EXPECT_EQ(app->m_Difficulty, c.to < 0 ? 1 : c.to + 1);
    }
}

TEST_F(Menu, LeftAndRightMoveTheFocusBetweenCogDialAndPanel) {
    ASSERT_EQ(app->m_Focus, FocusDial);
    struct Step {
        int key, focus;
    } steps[] = {{VkRight, FocusPanel},
                 {VkRight, FocusPanel},
                 {VkLeft, FocusDial},
                 {VkLeft, FocusCog},
                 {VkLeft, FocusCog}};
    for (Step step : steps) {
        Press(step.key);
        EXPECT_EQ(app->m_Focus, step.focus);
    }
    PressKey(VkRight);
    Update();
    Update();
    EXPECT_EQ(app->m_Focus, FocusDial) << "a held key moves once";
}

// Every confirmation sounds SfxConfirm; opening the options box or the side panel adds SfxMove.
TEST_F(Menu, ConfirmingActsOnTheFocusWithTheConfirmSound) {
    constexpr int NoStyle = -1; // set beforehand: only starting a round chooses a style
    struct Case {
        int focus, key, row;
        int screen, optionOpen, sidePanel, style;
        int opens; // plays of SfxMove besides the confirmation's
    } cases[] = {
        // A round at the dial's difficulty, keyboard style; the same from a pad; any of the three
        // confirm actions.
        {FocusDial, VkEnter, 2, ScreenStartRound, 0, 0, StyleKeyboard, 0},
        {FocusDial, PadButtonKey(1, PadA), 0, ScreenStartRound, 0, 0, StylePad, 0},
        {FocusDial, 'K', 1, ScreenStartRound, 0, 0, StyleKeyboard, 0},
        {FocusCog, VkEnter, 1, ScreenMenu, 1, 0, NoStyle, 1},                 // the options box
        {FocusPanel, PadButtonKey(0, PadX), 1, ScreenMenu, 0, 1, NoStyle, 1}, // the side panel
    };
    for (const Case& c : cases) {
        for (int sound : {SfxConfirm, SfxMove}) {
            SCOPED_TRACE(testing::Message() << "focus " << c.focus << " key " << c.key << " sound " << sound);
            app = gametest::FreshApp();
            FinishLoading();
            app->m_Focus = c.focus;
            app->m_MenuRow = c.row;
            app->m_ControlStyle = NoStyle;
            PressKey(c.key);
            int plays = gametest::PlaysOf(sound, Update);
            ReleaseKey(c.key);
            EXPECT_EQ(plays, sound == SfxConfirm ? 1 : c.opens);
            EXPECT_EQ(app->m_Screen, c.screen);
            EXPECT_EQ(app->m_OptionOpen, c.optionOpen);
            EXPECT_EQ(app->m_SidePanel, c.sidePanel);
            EXPECT_EQ(app->m_ControlStyle, c.style);
            if (c.screen == ScreenStartRound) {
                EXPECT_EQ(app->m_Difficulty, c.row + 1);
            }
        }
    }
}

// A click can be shorter than a frame: released before the update, it still counts.
TEST_F(Menu, TheStartButtonStartsARoundInPointerStyle) {
    for (bool releasedBeforeTheUpdate : {false, true}) {
        SCOPED_TRACE(releasedBeforeTheUpdate ? "quick click" : "held");
        app = gametest::FreshApp();
        FinishLoading();
        Updates(40); // the menu has slid in
        Render();
        app->m_Focus = FocusCog;
        Host()->MouseEvent(MouseMove, 0, jscrw - 70, jscrh - 48);
        Host()->MouseEvent(MouseDown, 0, jscrw - 70, jscrh - 48);
        if (releasedBeforeTheUpdate) Host()->MouseEvent(MouseUp, 0, jscrw - 70, jscrh - 48);
        Update();
        EXPECT_EQ(app->m_Screen, ScreenStartRound);
        EXPECT_EQ(app->m_Focus, FocusDial);
        EXPECT_EQ(app->m_ControlStyle, StylePointer);
        EXPECT_EQ(app->m_Difficulty, 2);
        Host()->MouseEvent(MouseUp, 0, jscrw - 70, jscrh - 48);
    }
}

TEST_F(Menu, TheSidePanelOpensOverTheScreenWithCreditsAndStatsAndCloses) {
    app->m_Focus = FocusPanel;
    Press(VkEnter);
    EXPECT_EQ(app->m_SidePanel, 1);
    Updates(60);
    Render();
    Update();
    EXPECT_EQ(app->m_SidePanelX, TruncInt(jscrw) - 140) << "slid open across the screen";
    std::string text = Glyphs();
    for (const char* expected :
         {"DebugStats", "Engine640x480", "Screen640x480", "FPS", "Codedin", "spindrift.example"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << " in " << text;
    EXPECT_EQ(text.find("Top"), std::string::npos) << "the score panels give way";

    app->m_CreditLine = 1;
    app->m_CreditScroll = 8;
    Update();
    text = Glyphs();
    EXPECT_NE(text.find("AGameby"), std::string::npos) << "line 1 of the credits first: " << text;
    EXPECT_NE(text.find("Cobalt-X"), std::string::npos) << "through line 8: " << text;
    EXPECT_EQ(text.find("ourownC++framework"), std::string::npos) << "eight lines at a time: " << text;

    app->m_CreditLine = 56;
    app->m_CreditScroll = 15.8f;
    Update();
    EXPECT_EQ(app->m_CreditLine, 0) << "the credits wrap round";
    PressKey(VkDown);
    Update();
    EXPECT_NEAR(app->m_CreditScroll, 0.1f + 1.8f, 1e-4f) << "a held key scrolls faster";
    ReleaseKey(VkDown);
    Update();

    Press(VkEnter);
    EXPECT_EQ(app->m_SidePanel, 0);
    Updates(60);
    EXPECT_EQ(app->m_SidePanelX, 0);
}
// ---- main menu, one routine at a time

class MenuRoutine : public gametest::GameTest {
  protected:
    void SetUp() override {
        GameTest::SetUp();
        FinishLoading();
        app->m_MenuSlide = 0;
        app->m_DrawN = 0;
    }
};

TEST_F(MenuRoutine, ScorePanelsListAsManyScoresAsTheScreenHolds) {
    const int best = BestScoresBase(app->m_Difficulty);
    app->m_HiScore[best] = 12345;
    app->m_HiScore[best + RecentScores] = 77;
    struct Case {
        float height;
        const char* best;
        const char* last;
    } cases[] = {
        {480, "Top1012345000000000", "Last1077000000000"},
        {360, "Top61234500000", "Last67700000"},
        {200, "Highscore12345", "Last77"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.height);
        jscrh = c.height;
        app->p_Menu();
        std::string text = Glyphs();
        EXPECT_NE(text.find(std::string(c.best) + c.last), std::string::npos) << text;
    }
    app->m_OptionOpen = 1;
    app->p_Menu();
    EXPECT_EQ(Glyphs().find("Top"), std::string::npos) << "hidden while the options box is open";
}

TEST_F(MenuRoutine, TouchingARowSelectsItAndTouchingTheSelectedRowConfirmsIt) {
    app->p_Menu();
    Spot hard = ImageAt(ImgButtons, 2);
    HoldPointer(app, hard.x, hard.y);
    app->p_Menu();
    EXPECT_EQ(app->m_MenuRow, 2);
    EXPECT_EQ(app->m_Screen, ScreenMenu);
    LetGo(app);
    for (int i = 0; i < 60; ++i) app->p_Menu();
    EXPECT_EQ(app->m_DialPos, -64.0f) << "the dial turned the row into place";

    Spot selected = ImageAt(ImgButtons, 2);
    EXPECT_NE(selected.x, hard.x);
    HoldPointer(app, selected.x + 30, selected.y + 30);
    app->p_Menu();
    EXPECT_EQ(app->m_Screen, ScreenStartRound);
    EXPECT_EQ(app->m_Difficulty, 3);
    EXPECT_EQ(app->m_ControlStyle, StylePointer);
}

TEST_F(MenuRoutine, AFlickSpinsTheDialToAnEndRowAndItSettlesThere) {
    // Within the 500-unit square around the dial's centre (38, 416).
    struct Flick {
        float x, y;
        int step, endRow;
    } flicks[] = {{280, 300, -30, 2}, {100, 250, 30, 0}};
    for (auto [x, y, step, endRow] : flicks) {
        SCOPED_TRACE(step);
        app->m_Focus = FocusCog;
        HoldPointer(app, x, y);
        for (int i = 0; i < 6; ++i) {
            x += float(step);
            y += float(step) / 3;
            HoldPointer(app, x, y);
            app->p_Menu();
        }
        EXPECT_EQ(app->m_Focus, FocusDial) << "dragging gives the dial the focus";
        EXPECT_NE(app->m_DialSpin, 0.0f);
        LetGo(app);
        for (int i = 0; i < 200; ++i) app->p_Menu();
        EXPECT_EQ(app->m_MenuRow, endRow);
        EXPECT_EQ(app->m_DialSpin, 0.0f);
        EXPECT_EQ(app->m_MenuRowY, -32.0f * float(endRow));
        EXPECT_EQ(app->m_DialPos, app->m_MenuRowY);
    }
}

// A spin that ends with the selected row still in the 30-60 degree window leaves the dial where it
// stopped; one that ends with the row outside it turns the row back into place.
TEST_F(MenuRoutine, TheDialRestsWhereASpinLeavesItWhileTheRowStaysInItsWindow) {
    struct Case {
        float spin, restOffset;
    } cases[] = {
        {3, 3 + 2.25f + 1.6875f + 1.265625f}, // the row rests at 56 degrees
        {6, 0},                               // at 69 degrees it would be out of its window
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spin);
        app->m_MenuRow = 1;
        app->m_MenuRowY = app->m_DialPos = -32;
        app->m_DialSpin = c.spin;
        for (int i = 0; i < 100; ++i) app->p_Menu();
        EXPECT_EQ(app->m_MenuRow, 1);
        EXPECT_EQ(app->m_DialSpin, 0.0f);
        EXPECT_EQ(app->m_MenuRowY, -32 + c.restOffset);
        EXPECT_EQ(app->m_DialPos, app->m_MenuRowY);
    }
}

TEST_F(MenuRoutine, TheCogOpensTheOptionsBox) {
    app->p_Menu();
    Spot cog = ImageAt(ImgButtons, menukit::CogFrame);
    HoldPointer(app, cog.x + 20, cog.y - 20);
    app->p_Menu();
    EXPECT_EQ(app->m_OptionOpen, 1);
    EXPECT_EQ(app->m_Focus, FocusCog);
}

TEST_F(MenuRoutine, TheConsoleQuitDialogReturnsToTheMenu) {
    isOuya = 1;
    app->m_Screen = ScreenQuitDialog;
    app->p_OuyaQuit();
    std::string text = Glyphs();
    for (const char* line : {"UnexpectedQuit", "WhatshouldIdo?", "Hit#toQuit", "or#toIgnore"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in " << text;
    PressKey(VkEnter);
    app->p_OuyaQuit();
    EXPECT_EQ(app->m_Screen, ScreenMenu);
    EXPECT_EQ(app->m_KeyNav, 1);
}

// ---- filing scores

using Filing = gametest::GameTest;

TEST_F(Filing, ScoresGoIntoTheBestTenOnlyAboveTheTenthAndAlwaysHeadTheLastTen) {
    app->m_Difficulty = 3;
    const int best = BestScoresBase(3), last = best + RecentScores;
    for (int i = 0; i < ScoreTableEntries; ++i) {
        app->m_HiScore[best + i] = 100 - 10 * i;
        app->m_HiScore[last + i] = i + 1;
    }
    app->m_Score = 10;
    app->p_LoadMenu();
    for (int i = 0; i < ScoreTableEntries; ++i)
        EXPECT_EQ(app->m_HiScore[best + i], 100 - 10 * i) << "a tie with the tenth stays out";
    EXPECT_EQ(app->m_HiScore[last], 10);
    EXPECT_EQ(app->m_HiScore[last + 1], 1);
    EXPECT_EQ(app->m_HiScore[last + 9], 9) << "the oldest of the last ten is dropped";

    app->m_Score = 150;
    app->p_LoadMenu();
    EXPECT_EQ(app->m_HiScore[best], 150);
    for (int i = 1; i < ScoreTableEntries; ++i)
        EXPECT_EQ(app->m_HiScore[best + i], 110 - 10 * i) << "the rest move down by one";
    EXPECT_EQ(app->m_HiScore[last], 150);
    EXPECT_EQ(app->m_HiScore[last + 1], 10);

    app->m_Score = 75;
    app->p_LoadMenu();
    EXPECT_EQ(app->m_HiScore[best + 3], 80);
    EXPECT_EQ(app->m_HiScore[best + 4], 75);
    EXPECT_EQ(app->m_HiScore[best + 5], 70);
    for (int d : {1, 2}) {
        for (int i = 0; i < ScoreTableEntries; ++i) {
            EXPECT_EQ(app->m_HiScore[BestScoresBase(d) + i], 0) << "other difficulties untouched";
            EXPECT_EQ(app->m_HiScore[BestScoresBase(d) + RecentScores + i], 0);
        }
    }

    std::vector<int> filed(app->m_HiScore.begin(), app->m_HiScore.end());
    c_MyApp* next = gametest::FreshApp();
    EXPECT_EQ(std::vector<int>(next->m_HiScore.begin(), next->m_HiScore.end()), filed)
        << "the tables were saved and load back";
}
// ---- badge banners

using Badges = gametest::GameTest;

TEST_F(Badges, ABannerSlidesInHoldsAndSlidesOutOver240Updates) {
    app->m_BadgeQueue[2] = 5;
    app->m_BadgeQueueT[2] = 1;
    auto bannerX = [&]() -> float {
        app->m_DrawN = 0;
        app->p_ShowBadges();
        for (int i = 0; i < CommandCount(); ++i)
            if (CommandAt(i)[CmdCode] == float(DrawRect) && CommandAt(i)[CmdBlue] == 80) {
                EXPECT_EQ(CommandAt(i)[CmdY], jscrh - 34 * 3);
                return CommandAt(i)[CmdX];
            }
        return 1; // no banner
    };
    std::vector<float> xs;
    for (int update = 1; update <= 241; ++update) xs.push_back(bannerX());
    struct Sample {
        int update;
        float x;
    } samples[] = {{1, -128},  {5, -64},   {9, 0},      {100, 0}, {229, 0},
                   {230, -16}, {235, -96}, {239, -160}, {240, 1}};
    for (Sample s : samples) EXPECT_EQ(xs[s.update - 1], s.x) << "update " << s.update;
    EXPECT_EQ(app->m_BadgeQueueT[2], 0);
    EXPECT_EQ(app->m_BadgeQueue[2], 0);
}

} // namespace
