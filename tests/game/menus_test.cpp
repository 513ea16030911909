// The menus on a real window with the fake clock: the main menu's keys, key repeat, focus, dial and
// panels; filing scores; the pause screen; the options box; badge banners; the console's quit
// dialog; and the ways out of the program, each in a child process.
#include "game_harness.h"
#include "tests/support/child_process.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using gametest::App;
using gametest::CommandAt;
using gametest::CommandCount;
using gametest::FinishLoading;
using gametest::Host;
using gametest::PressKey;
using gametest::ReleaseKey;
using gametest::Render;
using gametest::Update;
using gametest::Updates;

int PadKey(int pad, int button) { return 256 + 32 * pad + button; }

// A key held for one update, then one update with it up, so that the next press is a new edge.
void Press(int code) {
    PressKey(code);
    Update();
    ReleaseKey(code);
    Update();
}

// The letters of every text on the draw list, in order and without spaces (spaces are not drawn);
// button glyphs read as '#'.
std::string Glyphs() {
    std::string text;
    for (int i = 0; i < CommandCount(); ++i) {
        if (CommandAt(i)[0] != float(App()->m_Font)) continue;
        int frame = int(CommandAt(i)[6]);
        text += frame < 96 ? char(frame + 32) : '#';
    }
    return text;
}

struct Spot {
    float x, y;
};

// Where the last draw list put image `frame` of `slot`.
Spot ImageAt(int slot, int frame) {
    for (int i = 0; i < CommandCount(); ++i)
        if (CommandAt(i)[0] == float(slot) && CommandAt(i)[6] == float(frame))
            return {CommandAt(i)[1], CommandAt(i)[2]};
    ADD_FAILURE() << "image " << slot << ":" << frame << " not drawn";
    return {-1000, -1000};
}

// The first touch (and the pointer) held at a virtual point, as the frame maps them.
void HoldPointer(c_MyApp* app, float x, float y) {
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
void LetGo(c_MyApp* app) {
    app->m_MouseDown = 0;
    app->m_TouchDown[0] = 0;
    app->m_TouchX[0] = app->m_TouchY[0] = Omitted;
    app->m_KeyNav = app->m_PointerLock = 0;
}

// ---- the ways out, each in a child. They come first: a child must open its own window, and a
// window the parent made for an earlier test would be shared with it.

// A line on the child's standard output, there before the child ends.
void Report(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

class MenuExit : public TempDirTest {
  protected:
    ChildResult Run(const std::function<void(c_MyApp*)>& body) {
        return RunInChild([&] {
            c_MyApp* app = gametest::FreshApp();
            FinishLoading();
            body(app);
        });
    }
};

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

TEST_F(MenuExit, TheConsoleQuitsThroughItsDialogOrItsQuitItems) {
    struct Case {
        const char* how;
        const char* report;
        std::function<void(c_MyApp*)> body;
    } cases[] = {
        {"back key, then the dialog's quit button", "screen 4\n",
         [](c_MyApp* app) {
             PressKey(VkEscape);
             Update();
             Report("screen " + std::to_string(app->m_Screen));
             ReleaseKey(VkEscape);
             Update();
             PressKey('K');
             Update();
         }},
        {"the dial's quit row", nullptr,
         [](c_MyApp* app) {
             app->m_MenuRow = -1;
             PressKey(VkEnter);
             Update();
         }},
        {"the options box's quit item", nullptr,
         [](c_MyApp* app) {
             app->m_OptionOpen = 1;
             app->m_OptSel = 5;
             Update();
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
        if (c.report) {
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
    ASSERT_EQ(app->m_Focus, 1);
    struct Step {
        int key, focus;
    } steps[] = {{VkRight, 2}, {VkRight, 2}, {VkLeft, 1}, {VkLeft, 0}, {VkLeft, 0}};
    for (Step step : steps) {
        Press(step.key);
        EXPECT_EQ(app->m_Focus, step.focus);
    }
    PressKey(VkRight);
    Update();
    Update();
    EXPECT_EQ(app->m_Focus, 1) << "a held key moves once";
}

// Every confirmation sounds 98; opening the options box or the side panel adds 99.
TEST_F(Menu, ConfirmingActsOnTheFocusWithTheConfirmSound) {
    struct Case {
        int focus, key, row;
        int screen, optionOpen, sidePanel, style;
        int opens; // plays of sound 99 besides the confirmation's 98
    } cases[] = {
        {1, VkEnter, 2, 11, 0, 0, 0, 0},      // a round at the dial's difficulty, keyboard style
        {1, PadKey(1, 0), 0, 11, 0, 0, 1, 0}, // the same from a pad
        {1, 'K', 1, 11, 0, 0, 0, 0},          // any of the three confirm actions
        {0, VkEnter, 1, 1, 1, 0, -1, 1},      // the options box
        {2, PadKey(0, 2), 1, 1, 0, 1, -1, 1}, // the side panel
    };
    for (const Case& c : cases) {
        for (int sound : {SfxConfirm, SfxMove}) {
            SCOPED_TRACE(testing::Message() << "focus " << c.focus << " key " << c.key << " sound " << sound);
            app = gametest::FreshApp();
            FinishLoading();
            app->m_Focus = c.focus;
            app->m_MenuRow = c.row;
            app->m_ControlStyle = -1;
            PressKey(c.key);
            int plays = gametest::PlaysOf(sound, Update);
            ReleaseKey(c.key);
            EXPECT_EQ(plays, sound == SfxConfirm ? 1 : c.opens);
            EXPECT_EQ(app->m_Screen, c.screen);
            EXPECT_EQ(app->m_OptionOpen, c.optionOpen);
            EXPECT_EQ(app->m_SidePanel, c.sidePanel);
            EXPECT_EQ(app->m_ControlStyle, c.style);
            if (c.screen == 11) {
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
        app->m_Focus = 0;
        Host()->MouseEvent(MouseMove, 0, jscrw - 70, jscrh - 48);
        Host()->MouseEvent(MouseDown, 0, jscrw - 70, jscrh - 48);
        if (releasedBeforeTheUpdate) Host()->MouseEvent(MouseUp, 0, jscrw - 70, jscrh - 48);
        Update();
        EXPECT_EQ(app->m_Screen, ScreenStartRound);
        EXPECT_EQ(app->m_Focus, 1);
        EXPECT_EQ(app->m_ControlStyle, 2);
        EXPECT_EQ(app->m_Difficulty, 2);
        Host()->MouseEvent(MouseUp, 0, jscrw - 70, jscrh - 48);
    }
}

TEST_F(Menu, TheSidePanelOpensOverTheScreenWithCreditsAndStatsAndCloses) {
    app->m_Focus = 2;
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

TEST_F(Menu, TheRoundCanBePausedAndQuitAndItsScoreIsFiled) {
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
    EXPECT_EQ(app->m_HiScore[10 + 30], app->m_Score) << "the round's score heads the last ten";
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
TEST_F(Menu, APauseOnFocusLossKeepsThePlayPictureButNotItsOverlays) {
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
    for (int i = 0; i < CommandCount(); ++i) playImages += CommandAt(i)[0] == 1;
    EXPECT_GT(playImages, 0) << "the play picture stays under the pause screen";
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
    app->m_HiScore[10] = 12345;
    app->m_HiScore[40] = 77;
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
    Spot hard = ImageAt(95, 2);
    HoldPointer(app, hard.x, hard.y);
    app->p_Menu();
    EXPECT_EQ(app->m_MenuRow, 2);
    EXPECT_EQ(app->m_Screen, ScreenMenu);
    LetGo(app);
    for (int i = 0; i < 60; ++i) app->p_Menu();
    EXPECT_EQ(app->m_DialPos, -64.0f) << "the dial turned the row into place";

    Spot selected = ImageAt(95, 2);
    EXPECT_NE(selected.x, hard.x);
    HoldPointer(app, selected.x + 30, selected.y + 30);
    app->p_Menu();
    EXPECT_EQ(app->m_Screen, ScreenStartRound);
    EXPECT_EQ(app->m_Difficulty, 3);
    EXPECT_EQ(app->m_ControlStyle, 2);
}

TEST_F(MenuRoutine, AFlickSpinsTheDialToAnEndRowAndItSettlesThere) {
    // Within the 500-unit square around the dial's centre (38, 416).
    struct Flick {
        float x, y;
        int step, endRow;
    } flicks[] = {{280, 300, -30, 2}, {100, 250, 30, 0}};
    for (auto [x, y, step, endRow] : flicks) {
        SCOPED_TRACE(step);
        app->m_Focus = 0;
        HoldPointer(app, x, y);
        for (int i = 0; i < 6; ++i) {
            x += float(step);
            y += float(step) / 3;
            HoldPointer(app, x, y);
            app->p_Menu();
        }
        EXPECT_EQ(app->m_Focus, 1) << "dragging gives the dial the focus";
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
    Spot cog = ImageAt(95, 10);
    HoldPointer(app, cog.x + 20, cog.y - 20);
    app->p_Menu();
    EXPECT_EQ(app->m_OptionOpen, 1);
    EXPECT_EQ(app->m_Focus, 0);
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
    for (int i = 0; i < 10; ++i) {
        app->m_HiScore[20 + i] = 100 - 10 * i;
        app->m_HiScore[50 + i] = i + 1;
    }
    app->m_Score = 10;
    app->p_LoadMenu();
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(app->m_HiScore[20 + i], 100 - 10 * i) << "a tie with the tenth stays out";
    EXPECT_EQ(app->m_HiScore[50], 10);
    EXPECT_EQ(app->m_HiScore[51], 1);
    EXPECT_EQ(app->m_HiScore[59], 9) << "the oldest of the last ten is dropped";

    app->m_Score = 150;
    app->p_LoadMenu();
    EXPECT_EQ(app->m_HiScore[20], 150);
    for (int i = 1; i < 10; ++i)
        EXPECT_EQ(app->m_HiScore[20 + i], 110 - 10 * i) << "the rest move down by one";
    EXPECT_EQ(app->m_HiScore[50], 150);
    EXPECT_EQ(app->m_HiScore[51], 10);

    app->m_Score = 75;
    app->p_LoadMenu();
    EXPECT_EQ(app->m_HiScore[23], 80);
    EXPECT_EQ(app->m_HiScore[24], 75);
    EXPECT_EQ(app->m_HiScore[25], 70);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(app->m_HiScore[i], 0) << "other difficulties untouched";
        EXPECT_EQ(app->m_HiScore[30 + i], 0);
    }

    std::vector<int> filed(app->m_HiScore.begin(), app->m_HiScore.end());
    c_MyApp* next = gametest::FreshApp();
    EXPECT_EQ(std::vector<int>(next->m_HiScore.begin(), next->m_HiScore.end()), filed)
        << "the tables were saved and load back";
}

// ---- pause screen

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

// ---- options box

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
        {1, "Sound:SFX+Music", "Sound:SFX", [&] { return app->m_Setting[SetSoundMode] == 2; }},
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
        {1, 1, 10, 1, "Sound:SFX", 2, 0, 1},
        {1, 2, 10, 0, "Sound:Music", 3, 1, 0},
        {1, 2, 1, 0, "Sound:Music", 3, 0, 0},
        {1, 3, 1, 1, "Sound:Off", 0, 0, 0},
        {1, 0, 10, 0, "Sound:SFX+Music", 1, 1, 1},
        {1, 7, 10, 0, "Sound:SFX+Music", 1, 1, 1}, // out of range reads as Off
        {0, 1, 10, 0, "Sound:Off", 0, 0, 0},
        {0, 0, 10, 0, "Sound:On", 1, 0, 1},
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
            Spot cog = ImageAt(95, 10);
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

// ---- badge banners

using Badges = gametest::GameTest;

TEST_F(Badges, ABannerSlidesInHoldsAndSlidesOutOver240Updates) {
    app->m_BadgeQueue[2] = 5;
    app->m_BadgeQueueT[2] = 1;
    auto bannerX = [&]() -> float {
        app->m_DrawN = 0;
        app->p_ShowBadges();
        for (int i = 0; i < CommandCount(); ++i)
            if (CommandAt(i)[0] == float(DrawRect) && CommandAt(i)[12] == 80) {
                EXPECT_EQ(CommandAt(i)[2], jscrh - 34 * 3);
                return CommandAt(i)[1];
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
