// A round on the real window, driven update by update through the host with the fake clock and
// real key events: its start, the play step, scoring, the pause triggers and the end-of-round
// overlay that hands back to the menu.
#include "tests/game/game_harness.h"

#include <functional>
#include <string>
#include <vector>

namespace {

using gametest::CommandAt;
using gametest::CommandCount;
using gametest::PressKey;
using gametest::ReleaseKey;
using gametest::Update;
using gametest::Updates;

int Cell(int col, int row) { return (row * GridCols + col) * CellFloats; }

class RoundTest : public gametest::GameTest {
  protected:
    void SetUp() override {
        GameTest::SetUp();
        gametest::FinishLoading();
        app->m_Screen = ScreenStartRound;
        Update();
    }

  public: // the table of round endings sets up through these
    float& Pl(int field) { return app->m_Player[field]; }
    float& Obj(int slot, int field) { return app->m_Obj[slot * RecordFloats + field]; }
    float& Kind(int col, int row) { return app->m_Grid[Cell(col, row) + CellKind]; }
    int* Table() { return &app->m_HiScore[BestScoresBase(app->m_Difficulty)]; }

    // A shaft of whole floors between its walls, with gaps where asked (column c, row r of play).
    void CraftShaft(std::vector<std::pair<int, int>> gaps = {}) {
        app->p_ResetGrid();
        for (int row = 0; row < GridRows; ++row) {
            for (int col = 0; col <= 12; ++col) Kind(col, row) = col == 0 || col == 12 ? CellWall : CellFloor;
        }
        for (auto [c, r] : gaps) Kind(c + 6, r + 10) = CellGap;
    }
    void PlacePlayer(float x, float y) {
        Pl(PlX) = x;
        Pl(PlY) = y;
    }
    void PlaceWalker(int slot, float x, float y, float facing) {
        Obj(slot, ObjState) = ObjWalker;
        Obj(slot, ObjX) = x;
        Obj(slot, ObjY) = y;
        Obj(slot, ObjDir) = facing;
        Obj(slot, ObjSpeed) = 0.25f;
    }
    void PlacePickup(float x, float y) {
        Obj(1, ObjState) = ObjPickup;
        Obj(1, ObjX) = x;
        Obj(1, ObjY) = y;
    }
    // Updates until `done` holds, at most `limit`; the number of updates run.
    int UpdateUntil(const std::function<bool()>& done, int limit = 400) {
        int n = 0;
        while (!done() && n < limit) {
            Update();
            ++n;
        }
        return n;
    }
    std::vector<float> Grid() { return {app->m_Grid.begin(), app->m_Grid.end()}; }
};

TEST_F(RoundTest, RoundStartsWithAFreshShaftAndItsMusic) {
    EXPECT_EQ(app->m_Screen, ScreenRound);
    EXPECT_EQ(Pl(PlFloors), 51);
    EXPECT_EQ(Pl(PlScroll), 0);
    EXPECT_EQ(Pl(PlX), 0);
    EXPECT_EQ(Pl(PlY), 0);
    EXPECT_EQ(Pl(PlScrollSpeed), 0);
    EXPECT_FLOAT_EQ(Pl(PlScrollSpeedMax), 0.1f);
    EXPECT_EQ(app->m_c, 0);
    EXPECT_EQ(app->m_LastTune, String(u"spindrift"));
    EXPECT_EQ(app->m_TunePlaying, 1);
    for (int row = 0; row < GridRows; ++row) {
        ASSERT_EQ(Kind(0, row), CellWall);
        ASSERT_EQ(Kind(12, row), CellWall);
        for (int col = 1; col <= 11; ++col)
            ASSERT_TRUE(int(Kind(col, row)) >= CellFloor) << col << ", " << row;
    }

    // What a round leaves behind is gone at the next start; the same clock builds the same shaft.
    auto shaft = Grid();
    Obj(3, ObjState) = ObjWalker;
    app->m_Part[7 * RecordFloats + PartKind] = PartScore;
    app->m_Score = 80;
    app->m_RoundOver = 1;
    Pl(PlTilt) = 30;
    app->p_LoadGame();
    EXPECT_EQ(Grid(), shaft);
    EXPECT_EQ(Obj(3, ObjState), ObjFree);
    EXPECT_EQ(app->m_Part[7 * RecordFloats + PartKind], PartFree);
    EXPECT_EQ(app->m_Score, 0);
    EXPECT_EQ(app->m_RoundOver, 0);
    EXPECT_EQ(Pl(PlTilt), 0);
    gametest::Clock().now += 1;
    app->p_LoadGame();
    EXPECT_NE(Grid(), shaft);
}

// The scroll runs faster the higher the player climbs and the further the rows lag behind.
TEST_F(RoundTest, ScrollStepGrowsWithHeightAndLag) {
    struct Case {
        float y, scroll, step;
    };
    const Case cases[] = {{0, 0, 0}, {-1, -1, 2}, {-65, -33, 5}, {-130, -70, 11}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.y << ", " << c.scroll);
        CraftShaft();
        PlacePlayer(0, c.y);
        Pl(PlScroll) = c.scroll;
        Pl(PlScrollSpeed) = 0.05f;
        Update();
        EXPECT_FLOAT_EQ(Pl(PlScroll), c.scroll + 0.06f + c.step);
        EXPECT_EQ(Pl(PlFloors), 51);
    }

    // Past one cell of scroll a row is added first, scoring 5, then the step is taken.
    PlacePlayer(0, 0);
    Pl(PlScroll) = 40;
    Update();
    EXPECT_EQ(Pl(PlFloors), 52);
    EXPECT_EQ(app->m_Score, 5);
    EXPECT_FLOAT_EQ(Pl(PlScroll), 8 + 0.07f);
}

TEST_F(RoundTest, StandingStillSettlesOnTheFloor) {
    CraftShaft();
    PlacePlayer(0, 0);
    Updates(60);
    float before = Pl(PlGroundTimer);
    int falls = 0;
    for (int i = 0; i < 20; ++i) {
        Update();
        EXPECT_GE(Pl(PlYMod), 11.5f);
        EXPECT_LE(Pl(PlYMod), 12.5f);
        // Landed, with never more than one update of falling in between.
        float ground = Pl(PlGroundTimer);
        EXPECT_TRUE(ground == 3 || (ground == 2 && before == 3))
            << i << ": " << ground << " after " << before;
        falls += ground == 2;
        before = ground;
    }
    EXPECT_GT(falls, 4);
    EXPECT_EQ(Pl(PlCollapseTimer), 0);
}

TEST_F(RoundTest, ShaftTipsOverOnlyPastSeventyDegrees) {
    struct Case {
        float tilt, side;
    };
    for (Case c : {Case{70, 0}, Case{-70, 0}, Case{70.0001f, 1}, Case{-70.0001f, -1}}) {
        SCOPED_TRACE(c.tilt);
        app->p_LoadGame();
        CraftShaft();
        Pl(PlTilt) = c.tilt;
        Update();
        EXPECT_EQ(Pl(PlCollapseSide), c.side);
        EXPECT_EQ(Pl(PlCollapseTimer), c.side == 0 ? 0 : 2);
    }
}

TEST_F(RoundTest, StandingOffCentreLeansTheShaftByDifficulty) {
    struct Case {
        int difficulty;
        float x, change;
    };
    const Case cases[] = {{1, 60, 0}, {1, 100, -0.108f}, {2, -100, 0.18f}, {3, 30, -0.034f}, {3, -20, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.difficulty << ", " << c.x);
        app->p_LoadGame();
        app->m_Difficulty = c.difficulty;
        CraftShaft();
        PlacePlayer(c.x, 11.5f);
        Update();
        EXPECT_NEAR(Pl(PlTilt), c.change, 1e-6);
        EXPECT_EQ(Pl(PlX), c.x);
    }
}

TEST_F(RoundTest, ShownScoreFollowsInIntegerSteps) {
    app->m_Score = 100;
    std::vector<int> shown;
    for (int i = 0; i < 20; ++i) {
        app->p_ScoreDisplay();
        shown.push_back(app->m_ShownScore);
    }
    const std::vector<int> expected = {16, 30, 41, 50, 58, 65, 70, 75, 79,  82,
                                       85, 87, 89, 90, 91, 92, 93, 94, 100, 100};
    EXPECT_EQ(shown, expected);
}

TEST_F(RoundTest, OrdinalsFromOneToThirty) {
    const std::pair<int, const char*> cases[] = {
        {0, ""},      {1, "1st"},   {2, "2nd"},   {3, "3rd"},   {4, "4th"},   {11, "11th"}, {12, "12th"},
        {13, "13th"}, {21, "21st"}, {22, "22nd"}, {23, "23rd"}, {30, "30th"}, {31, ""},     {-1, ""}};
    for (auto [n, text] : cases) EXPECT_EQ(app->p_Nth(n), String(text)) << n;
}

// A tie wins the table's place in p_MyNth but ranks below it on the score display's rank line.
TEST_F(RoundTest, RanksAgainstTheDifficultysTable) {
    const int scores[ScoreTableEntries] = {500, 400, 300, 200, 100, 90, 80, 70, 60, 50};
    std::copy(std::begin(scores), std::end(scores), Table());
    struct Case {
        int score;
        const char* myNth;
        const char* rankLine;
    };
    const Case cases[] = {
        {300, "3rd", "4th 00000300"},  {301, "3rd", "3rd 00000400"},  {600, "1st!", "1st 00000500"},
        {500, "1st!", "2nd 00000500"}, {50, "10th", "11th 00000050"}, {49, "", "11th 00000050"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.score);
        app->m_Score = c.score;
        EXPECT_EQ(app->p_MyNth(), String(c.myNth));
        app->p_ScoreDisplay();
        EXPECT_EQ(app->m_RankText, String(c.rankLine));
    }
    // An empty entry is beaten by any score.
    Table()[ScoreTableEntries - 1] = 0;
    app->m_Score = 0;
    app->p_ScoreDisplay();
    EXPECT_EQ(app->m_RankText, String(u"10th 00000060"));
}

TEST_F(RoundTest, ScoreAndRankLinesAreDrawnUpright) {
    app->m_Score = app->m_ShownScore = 1234;
    app->m_DrawN = 0;
    app->p_ScoreDisplay();
    // "00001234" at scale 2 and the rank line "1st 00000000" at scale 1.
    ASSERT_EQ(CommandCount(), 8 + 11);
    for (int i = 0; i < CommandCount(); ++i) {
        gametest::Command glyph = CommandAt(i);
        EXPECT_EQ(glyph[CmdCode], app->m_Font);
        EXPECT_EQ(glyph[CmdY], i < 8 ? 28 : 10);
        EXPECT_EQ(glyph[CmdScaleX], i < 8 ? 2 : 1);
        EXPECT_EQ(glyph[CmdRot], 0) << "upright";
        EXPECT_FLOAT_EQ(glyph[CmdAlpha], 0.8f);
        EXPECT_EQ(glyph[CmdGreen], 255);
    }
    EXPECT_EQ(CommandAt(7)[CmdFrame], '4' - 32);

    app->m_CleanView = 1;
    app->m_DrawN = 0;
    app->p_ScoreDisplay();
    EXPECT_EQ(CommandCount(), 0);
}

// Jumps up through a gap, knocks a walker by bumping its floor from below, collects the coin and
// gains a row on the way: 5 + 10 + 50.
TEST_F(RoundTest, ScriptedRoundScoresRowWalkerAndPickup) {
    CraftShaft({{-2, 0}});
    PlacePlayer(64, 0);
    PlaceWalker(0, 64, -20, 1); // on the floor of row 0, right above the player
    Updates(10);
    ASSERT_EQ(Pl(PlGroundTimer), 3);
    ASSERT_EQ(app->m_Score, 0);

    gametest::Tap(VkSpace);
    EXPECT_LT(Pl(PlVY), 0);
    UpdateUntil([&] { return Obj(0, ObjState) != ObjWalker; }, 10);
    EXPECT_EQ(Obj(0, ObjState), ObjPickup);
    EXPECT_EQ(app->m_Score, 10);
    EXPECT_EQ(Pl(PlCollapseTimer), 0);

    // Walk left under the gap of row 0.
    UpdateUntil([&] { return Pl(PlGroundTimer) == 3; });
    PressKey(VkLeft);
    UpdateUntil([&] { return Pl(PlX) <= -58; });
    ReleaseKey(VkLeft);
    UpdateUntil([&] { return Pl(PlVX) == 0; });
    ASSERT_LT(Pl(PlX), -48);
    ASSERT_GT(Pl(PlX), -80);

    // Jump through it while running right, land on row 0 and run on to the coin.
    float floorY = Pl(PlY);
    PressKey(VkRight);
    gametest::Tap(VkSpace);
    UpdateUntil([&] { return Pl(PlGroundTimer) == 3 && Pl(PlY) < floorY - 16; }, 40);
    EXPECT_LT(Pl(PlY), floorY - 16);
    UpdateUntil([&] { return Obj(0, ObjState) == ObjFree; }, 200);
    ReleaseKey(VkRight);
    EXPECT_EQ(Obj(0, ObjState), ObjFree);
    EXPECT_EQ(Pl(PlFloors), 52);
    EXPECT_EQ(app->m_Score, 5 + 10 + 50);
    EXPECT_EQ(Pl(PlCollapseTimer), 0);
}

// However the end comes, 50 updates of collapse and 90 of the overlay lead back to the menu.
TEST_F(RoundTest, EveryEndOfRoundReturnsToTheMenu) {
    struct Case {
        const char* how;
        std::function<void(RoundTest&)> setUp;
        int updatesToOver;
    };
    const Case cases[] = {
        {"tipping", [](RoundTest& t) { t.Pl(PlTilt) = 75; }, 50},
        {"walker", [](RoundTest& t) { t.PlaceWalker(4, 0, 11.5f, 1); }, 51},
        {"falling out", [](RoundTest& t) { t.PlacePlayer(0, 300); }, 51},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        app->m_Screen = ScreenStartRound;
        Update();
        CraftShaft();
        PlacePlayer(0, 11.5f);
        c.setUp(*this);
        Update();
        EXPECT_GE(Pl(PlCollapseTimer), 1);
        Updates(c.updatesToOver - 2);
        EXPECT_EQ(app->m_RoundOver, 0);
        Update();
        EXPECT_EQ(app->m_RoundOver, 1);
        EXPECT_EQ(app->m_OverTimer, 1);
        Updates(88);
        EXPECT_EQ(app->m_Screen, ScreenRound);
        EXPECT_EQ(Pl(PlMenuHold), 240);
        Update();
        EXPECT_EQ(app->m_Screen, ScreenBackToMenu);
        EXPECT_EQ(app->m_TunePlaying, 0);
        // Over the menu the overlay fades out by 2 an update.
        Update();
        EXPECT_EQ(app->m_Screen, ScreenMenu);
        EXPECT_EQ(app->m_OverTimer, 69);
    }
}

TEST_F(RoundTest, CollapsingPlayerBurstsIntoDebrisAndIsNoLongerDrawn) {
    // The player's picture: the playfield sheet in a standing, running or jumping frame (7 to 10).
    auto playerDrawn = [] {
        for (int i = 0; i < CommandCount(); ++i) {
            gametest::Command c = CommandAt(i);
            if (c[CmdCode] == ImgGfx && c[CmdFrame] >= 7 && c[CmdFrame] <= 10) return true;
        }
        return false;
    };
    CraftShaft();
    PlacePlayer(0, 11.5f);
    Update();
    ASSERT_TRUE(playerDrawn());
    Pl(PlTilt) = -75;
    Update();
    EXPECT_FALSE(playerDrawn());
    int debris = 0;
    for (int i = 0; i <= app->m_PartMax; ++i) {
        int kind = int(app->m_Part[i * RecordFloats + PartKind]);
        if (kind == PartFree) continue;
        EXPECT_TRUE(kind >= 1 && kind <= 3) << kind;
        ++debris;
    }
    EXPECT_EQ(debris, 5); // n = 0 .. (50 - 2) / 10
    float x = Pl(PlX);
    PressKey(VkRight);
    Updates(5);
    EXPECT_EQ(Pl(PlX), x);
    EXPECT_GT(Pl(PlVX), 0);
    ReleaseKey(VkRight);
}

TEST_F(RoundTest, OverlayDrawsItsVeilInEachFadeStyle) {
    struct Case {
        int style, screen;
        int triangles; // 0: a rectangle veil
        float veilX;
    };
    const Case cases[] = {
        {1, ScreenRound, 0, -1}, // the round: veil over the view and its margin
        {3, ScreenRound, 0, -1},
        {2, ScreenRound, 11, 0}, // k from -12 to 20 / 2 - 12
        {2, ScreenMenu, 6, 0},   // over the menu: k from 12 - 20 / 4 to 12
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.style << ", " << c.screen);
        FadeOutStyle = c.style;
        app->m_Screen = c.screen;
        app->m_OverTimer = 20;
        app->m_DrawN = 0;
        app->p_GameOver();
        EXPECT_EQ(app->m_OverTimer, c.screen == ScreenRound ? 21 : 18);
        int triangles = 0;
        for (int i = 0; i < CommandCount(); ++i) triangles += int(CommandAt(i)[CmdCode]) == DrawTri;
        EXPECT_EQ(triangles, c.triangles);
        gametest::Command veil = CommandAt(0);
        if (c.triangles == 0) {
            EXPECT_EQ(veil[CmdCode], DrawRect);
            EXPECT_EQ(veil[CmdX], c.veilX);
            EXPECT_EQ(veil[CmdScaleX], 642) << "width";
            EXPECT_EQ(veil[CmdScaleY], 482) << "height";
            EXPECT_FLOAT_EQ(veil[CmdAlpha], 0.5f);
        } else {
            // A and A squared alternate.
            EXPECT_FLOAT_EQ(CommandAt(0)[CmdAlpha] * CommandAt(1)[CmdAlpha], 0.5f * 0.25f);
        }
        EXPECT_EQ(veil[CmdRed] + veil[CmdGreen] + veil[CmdBlue], 0);
        // The bars come in from the edges: 2h wide, h = min(20 * 12, 480 * 0.45).
        gametest::Command bar = CommandAt(c.triangles + (c.triangles == 0));
        EXPECT_EQ(bar[CmdCode], DrawRect);
        EXPECT_EQ(bar[CmdScaleX], 2 * 216) << "width";
    }
}

TEST_F(RoundTest, OverlayNamesTheEndAndANewHighScore) {
    auto glyphFrames = [&] {
        std::string frames;
        for (int i = 0; i < CommandCount(); ++i) {
            if (CommandAt(i)[CmdCode] == app->m_Font) frames += char(CommandAt(i)[CmdFrame] + 32);
        }
        return frames;
    };
    std::fill_n(Table(), ScoreTableEntries, 1000);
    app->m_Score = 10;
    app->m_OverTimer = 30;
    app->m_DrawN = 0;
    app->p_GameOver();
    EXPECT_EQ(glyphFrames(), "GAMEOVER");

    app->m_QuitRound = -1;
    app->m_Score = 1000;
    app->m_DrawN = 0;
    app->p_GameOver();
    EXPECT_EQ(glyphFrames(), "QuitGameNewHighscore1st!");
}

// Each event of play plays its own effect: with only that effect's slot loaded, exactly one plays.
TEST_F(RoundTest, EventsOfPlayPlayTheirEffects) {
    struct Case {
        const char* event;
        int slot;
        std::function<void(RoundTest&)> act; // sets the event up and runs the update it happens in
    };
    const Case cases[] = {
        {"jump", SfxJump, [](RoundTest&) { gametest::Tap(VkSpace); }},
        {"coin", SfxPickup,
         [](RoundTest& t) {
             t.PlacePickup(0, 11.5f);
             Update();
         }},
        {"knock", SfxKnock,
         [](RoundTest& t) {
             t.PlaceWalker(0, 64, -20, 1);
             gametest::App()->p_BumpFloor(1.5f, 0); // the floor under it, as if hit from below
             Update();
         }},
        {"tip", SfxTip,
         [](RoundTest& t) {
             t.Pl(PlTilt) = 75;
             Update();
         }},
        {"end", SfxEnd,
         [](RoundTest& t) {
             t.Pl(PlTilt) = -75;
             Update();
         }},
        {"pause", SfxConfirm, [](RoundTest&) { gametest::Tap(VkEscape); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event);
        app->m_Screen = ScreenStartRound;
        Update();
        CraftShaft();
        PlacePlayer(0, 11.5f);
        Updates(5);
        EXPECT_EQ(gametest::PlaysOf(c.slot, [&] { c.act(*this); }), 1);
    }
}

TEST_F(RoundTest, AddRowKeyAddsOneRowPerPressWithOrWithoutTheDebugLine) {
    for (int debug : {0, 1}) {
        DebugMode = debug;
        float floors = Pl(PlFloors);
        PressKey(VkShift);
        Updates(3); // held: one row at most
        ReleaseKey(VkShift);
        Update();
        EXPECT_EQ(Pl(PlFloors) - floors, 1) << "debug " << debug;
    }
}

TEST_F(RoundTest, PauseKeyPausesTheRound) {
    CraftShaft();
    PlacePlayer(0, 11.5f);
    Update();
    PressKey(VkEscape);
    Update();
    ReleaseKey(VkEscape);
    EXPECT_EQ(app->m_Paused, 1);
    EXPECT_EQ(app->m_PauseSel, 1);
    float scroll = Pl(PlScroll);
    Update();
    EXPECT_EQ(Pl(PlScroll), scroll);
}

TEST_F(RoundTest, PauseIconPausesOnATouch) {
    struct Case {
        int x, y, cleanView, paused;
    };
    for (Case c : {Case{16, 16, 0, 1}, Case{31, 16, 0, 1}, Case{32, 16, 0, 0}, Case{16, 16, 1, 0}}) {
        SCOPED_TRACE(testing::Message() << c.x << ", " << c.y << ", " << c.cleanView);
        app->m_Paused = 0;
        app->m_PointerLock = 0;
        app->m_CleanView = c.cleanView;
        app->m_TouchX[0] = c.x;
        app->m_TouchY[0] = c.y;
        app->m_MouseDown = 1;
        app->p_InGame();
        EXPECT_EQ(app->m_Paused, c.paused);
        EXPECT_EQ(app->m_PointerLock, c.paused);
    }
}

// The round as the player sees it: the shaft's tiles, the player and the score line in real pixels.
TEST_F(RoundTest, RoundIsDrawnOnTheWindow) {
    CraftShaft();
    PlacePlayer(0, 0);
    Updates(30);
    gametest::Render();
    // Play coordinates are centred on the 640 x 480 view; the shaft is upright (no lean at X = 0).
    int scroll = int(std::lround(Pl(PlScroll)));
    auto isIce = [](gametest::Rgb p) { return p.b > 150 && p.r < 140; };
    gametest::Rgb floor = gametest::PixelAt(320 + 3 * 32, 240 + 2 * 32 + scroll - 16 + 4);
    EXPECT_TRUE(isIce(floor)) << floor;
    gametest::Rgb wall = gametest::PixelAt(320 + 6 * 32, 240 + scroll + 4);
    EXPECT_TRUE(wall.b > wall.r && wall.b > 60 && wall.b < 200) << wall;
    bool parka = false;
    int playerY = 240 + int(Pl(PlY)) + scroll - 6;
    for (int y = playerY - 12; y <= playerY + 12 && !parka; ++y) {
        for (int x = 310; x <= 330 && !parka; ++x) {
            gametest::Rgb p = gametest::PixelAt(x, y);
            parka = p.r > 200 && p.g > 90 && p.g < 170 && p.b < 80;
        }
    }
    EXPECT_TRUE(parka);
    bool scoreInk = false;
    for (int y = 20; y <= 36 && !scoreInk; ++y) {
        for (int x = 260; x <= 380 && !scoreInk; ++x) {
            gametest::Rgb p = gametest::PixelAt(x, y);
            scoreInk = p.g > 150 && p.r < 120 && p.b < 120;
        }
    }
    EXPECT_TRUE(scoreInk);
}

} // namespace
