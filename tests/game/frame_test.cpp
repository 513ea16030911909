// The game's frame on a real window with the fake clock: start-up and the staged loader, reloads
// at the tier that fits a new window size, the virtual screen and pointer mapping, rate smoothing,
// the screen dispatch's own slides, suspend and resume, and the keys that toggle or end.
#include "game_harness.h"

#include <climits>
#include <vector>

namespace {

using gametest::App;
using gametest::CommandAt;
using gametest::CommandCount;
using gametest::FinishLoading;
using gametest::Host;
using gametest::PixelAt;
using gametest::Render;
using gametest::Rgb;
using gametest::Tap;
using gametest::Update;
using gametest::Updates;

// The loading screen is on the draw list: its logo at scale 2 in the middle of the virtual screen.
bool ShowsLoadingScreen() {
    for (int i = 0; i < CommandCount(); ++i) {
        const gametest::Command c = CommandAt(i);
        if (c[CmdCode] == ImgLogo && c[CmdX] == jscrw / 2 && c[CmdScaleX] == 2) return true;
    }
    return false;
}

void ResizeWindow(int w, int h) { Host()->SetGlfwWindow({.width = w, .height = h}); }

void MovePointer(float x, float y) { Host()->MouseEvent(MouseMove, 0, x, y); }

// Updates (each followed by a render, as the host does) until the loader is done.
int UpdatesUntilLoaded() {
    int updates = 0;
    while (App()->m_Loading > 0 && updates < 100) {
        Update();
        Render();
        ++updates;
    }
    return updates;
}

using Frame = gametest::GameTest;

TEST_F(Frame, StartsOnTheLoadingScreenForFourteenUpdatesAndPlaysTheJingleOnce) {
    EXPECT_EQ(app->m_Screen, ScreenMenu);
    EXPECT_EQ(app->m_Loading, 1);
    EXPECT_EQ(app->m_Font, ImgFont);
    EXPECT_NE(app->m_Img[ImgLogo], nullptr) << "the logo is there for the first loading screen";
    for (int update = 1; update <= 14; ++update) {
        SCOPED_TRACE(update);
        int jingles = gametest::PlaysOf(SfxJingle, [] {
            Update();
            Render();
        });
        EXPECT_TRUE(ShowsLoadingScreen());
        EXPECT_EQ(app->m_Loading, update < 14 ? update + 1 : 0);
        EXPECT_EQ(app->m_FirstLoadDone, update >= 4 ? 1 : 0);
        EXPECT_EQ(jingles, update == 4 ? 1 : 0) << "the jingle starts with the fourth load, once";
        EXPECT_EQ(app->m_SfxSlot, update >= 4 ? 1 : 0) << "and nothing else plays";
    }
    for (int slot : {ImgGfx, ImgBadges, ImgBlank, ImgCircle, ImgLight, ImgFont, ImgLogo, ImgDpad, ImgButtons,
                     ImgParts, ImgIcons, ImgTitle, ImgMenu})
        EXPECT_NE(app->m_Img[slot], nullptr) << slot;
    for (int sound : {SfxBonus, SfxJump, SfxPickup, SfxBump, SfxLand, SfxKnock, SfxTip, SfxEnd, SfxBack,
                      SfxJingle, SfxConfirm, SfxMove})
        EXPECT_NE(app->m_Sfx[sound], nullptr) << sound;

    // A later reload loads everything again but keeps the jingle for the first time only.
    app->p_Reload();
    EXPECT_EQ(UpdatesUntilLoaded(), 14);
    EXPECT_EQ(app->m_FirstLoadDone, 1);
    EXPECT_EQ(app->m_SfxSlot, 1);

    Update();
    EXPECT_EQ(app->m_Loading, 0);
    EXPECT_EQ(app->m_Screen, ScreenMenu) << "the menu runs from the 15th update on";
}

TEST_F(Frame, ReloadsEverythingAtTheTierThatFitsANewWindowSize) {
    struct Case {
        int w, h, hd, tier;
    } cases[] = {
        {600, 400, 1, 1}, {800, 600, 1, 2}, {480, 800, 1, 2}, {1280, 720, 1, 4}, {1280, 720, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " hd " << c.hd);
        app = gametest::FreshApp();
        UseHDImages = c.hd;
        FinishLoading();
        ResizeWindow(c.w, c.h);
        Render();
        EXPECT_EQ(app->m_DevW, c.w);
        EXPECT_EQ(app->m_DevH, c.h);
        EXPECT_EQ(app->m_Loading, 1);
        EXPECT_EQ(UpdatesUntilLoaded(), 14);
        EXPECT_EQ(app->m_ImgRes, c.tier);
        EXPECT_FLOAT_EQ(app->m_ImgScale, 1.0f / float(c.tier));
        // The cells of the file are in file pixels: the tier's file was loaded.
        EXPECT_EQ(gametest::ImgInfoOf(ImgGfx)[ImgInfoW], 36 * c.tier);
        ASSERT_NE(app->m_Img[ImgGfx], nullptr);
        EXPECT_EQ(app->m_Img[ImgGfx]->width, 36 * c.tier);
        EXPECT_EQ(app->m_Img[ImgFont]->width, 16 * c.tier);
        EXPECT_EQ(gametest::ImgInfoOf(ImgFont)[ImgInfoW], 7) << "the font keeps its advance";
    }
}

// The blank picture the loader reserves is there at its full size, takes no texture memory while
// nothing uses it, and shows what is written into it.
TEST_F(Frame, TheReservedBlankImageKeepsItsSizeAndShowsWhatIsWrittenIntoIt) {
    FinishLoading();
    c_Image* blank = app->m_Img[ImgBlank];
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(blank->width, 2048);
    EXPECT_EQ(blank->height, 2048);
    EXPECT_EQ(blank->surface->Width(), 2048);
    EXPECT_EQ(blank->surface->Height(), 2048);
    EXPECT_EQ(gametest::ImgInfoOf(ImgBlank), std::vector<int>({2048, 2048, 1}));
    EXPECT_EQ(blank->surface->texSeq, -1) << "no texture before it is used";

    // A blue square about the picture's centre, its handle, drawn pixel for pixel.
    std::vector<int> blue(16 * 16, int(0xFF0000FFu));
    blank->surface->SetSubData(1016, 1016, 16, 16, blue.data(), 16);
    app->p_CLS2D(0, 0, 40, 1);
    app->p_SetSize(1 / app->m_ImgScale);
    app->p_DrawImg(ImgBlank, 320, 240, 0);
    Render();
    EXPECT_EQ(PixelAt(320, 240), (Rgb{0, 0, 255}));
    EXPECT_EQ(PixelAt(327, 247), (Rgb{0, 0, 255}));
    EXPECT_EQ(PixelAt(300, 240), (Rgb{0, 0, 40})) << "the rest of it is clear";
}

// A reload lets go of the textures of the pictures it replaces at once: steady frames allocate
// nothing, so the collector would never get round to destroying them.
TEST_F(Frame, AReloadReleasesTheTexturesItReplaces) {
    FinishLoading();
    gxtkSurface* oldLogo = app->m_Img[ImgLogo]->surface;
    gxtkSurface* oldPicture = app->m_Img[ImgGfx]->surface;
    const GLuint oldTexture = oldPicture->texture;
    ASSERT_TRUE(glIsTexture(oldTexture));
    app->p_Reload();
    EXPECT_EQ(UpdatesUntilLoaded(), 14);
    EXPECT_EQ(oldLogo->texSeq, -1);
    EXPECT_EQ(oldPicture->texSeq, -1);
    EXPECT_FALSE(glIsTexture(oldTexture));
    ASSERT_NE(app->m_Img[ImgGfx], nullptr);
    EXPECT_NE(app->m_Img[ImgGfx]->surface, oldPicture);
    EXPECT_EQ(app->m_Img[ImgGfx]->surface->texSeq, glfwGraphicsSeq) << "the new picture has its texture";
}

// From 5:4 to 16:9, and in portrait up to 3:4, one dimension keeps the design size; a longer screen
// is held to 360 units high or 530 wide, whichever it would fall short of, and shows more the other
// way.
TEST_F(Frame, TheVirtualScreenKeepsTheDesignSizeInTheDecidingDimensionWithinTheMenusRange) {
    struct Case {
        int w, h;
        float jw, jh, scale;
    } cases[] = {
        {640, 480, 640, 480, 1},
        {1920, 1080, 640, 360, 3},
        {768, 1024, 540, 720, 1024.0f / 720},
        {2560, 1080, 2560.0f / 3, 360, 3},
        {480, 800, 530, 800.0f * 530 / 480, 480.0f / 530},
        {1024, 1024, 530, 530, 1024.0f / 530},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
        ResizeWindow(c.w, c.h);
        Render();
        EXPECT_FLOAT_EQ(jscrw, c.jw);
        EXPECT_FLOAT_EQ(jscrh, c.jh);
        EXPECT_FLOAT_EQ(app->m_ScaleX, c.scale);
        EXPECT_FLOAT_EQ(app->m_ScaleY, c.scale);
        // Without a border the virtual screen covers the whole device, edge to edge.
        EXPECT_NEAR(jscrw * app->m_ScaleX, float(c.w), 0.01f);
        EXPECT_NEAR(jscrh * app->m_ScaleY, float(c.h), 0.01f);
    }
}

TEST_F(Frame, MapsThePointerAndTouchesToVirtualUnits) {
    ResizeWindow(1920, 1080);
    Render();
    struct Case {
        float x, y;
        int vx, vy;
    } cases[] = {{960, 540, 320, 180}, {1919, 1079, 639, 359}, {0, 0, 0, 0}, {2, 2, 0, 0}, {3, 3, 1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        MovePointer(c.x, c.y);
        Update();
        EXPECT_EQ(app->m_MouseX, c.vx);
        EXPECT_EQ(app->m_MouseY, c.vy);
    }
    // The left button is touch 0 as well; every touch that is up reads -3717.
    Host()->MouseEvent(MouseDown, 0, 960, 540);
    Update();
    EXPECT_EQ(app->m_TouchDown[0], 1);
    EXPECT_EQ(app->m_TouchX[0], 320);
    EXPECT_EQ(app->m_TouchY[0], 180);
    for (int i = 1; i < TouchPoints; ++i) {
        EXPECT_EQ(app->m_TouchDown[i], 0);
        EXPECT_EQ(app->m_TouchX[i], Omitted);
        EXPECT_EQ(app->m_TouchY[i], Omitted);
    }
}

TEST_F(Frame, ThePointerMapsFromTheOverscanBordersCorner) {
    // A 64-pixel border; vertically it keeps the device's aspect (48), and the scale is 512 / 640.
    overscan = 64;
    Render();
    struct Case {
        float x, y;
        int vx, vy;
    } cases[] = {{64, 48, 0, 0}, {146, 130, 102, 102}, {62, 46, -2, -2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        MovePointer(c.x, c.y);
        Update();
        EXPECT_EQ(app->m_MouseX, c.vx);
        EXPECT_EQ(app->m_MouseY, c.vy);
    }
}

TEST_F(Frame, ThePointerReadsZeroBeforeTheFirstRenderHasAScale) {
    ASSERT_EQ(app->m_ScaleX, 0);
    MovePointer(300, 200);
    Update();
    EXPECT_EQ(app->m_MouseX, 0);
    EXPECT_EQ(app->m_MouseY, 0);
}

TEST_F(Frame, AFreshPressHasNoDragAndAHeldOneRemembersTheLastUpdate) {
    Render();
    MovePointer(10, 20);
    Update();
    Host()->MouseEvent(MouseDown, 0, 50, 60);
    Update();
    EXPECT_EQ(app->m_MouseDown, 1);
    EXPECT_EQ(app->m_MouseOldX, 50);
    EXPECT_EQ(app->m_MouseOldY, 60);
    MovePointer(70, 90);
    Update();
    EXPECT_EQ(app->m_MouseOldX, 50);
    EXPECT_EQ(app->m_MouseOldY, 60);
    EXPECT_EQ(app->m_MouseX, 70);
    EXPECT_EQ(app->m_MouseY, 90);
    Host()->MouseEvent(MouseUp, 0, 70, 90);
    Update();
    EXPECT_EQ(app->m_MouseDown, 0);
    EXPECT_EQ(app->m_MouseWasDown, 0);
}

TEST_F(Frame, ReleasingThePointerUnlocksItAndTheClickDelayCountsDown) {
    app->m_PointerLock = 1;
    app->m_ClickDelay = 2;
    Update();
    EXPECT_EQ(app->m_PointerLock, 0);
    EXPECT_EQ(app->m_ClickDelay, 1);
    Updates(3);
    EXPECT_EQ(app->m_ClickDelay, 0);
}

TEST_F(Frame, RatesAreSmoothedOverTenMeasuresAndTruncatedAtEachStep) {
    // With the clock standing still the instantaneous rate stays as it was.
    gametest::Clock().now = 256;
    int lastMs = INT_MAX, now = 60, smoothed = 0;
    std::vector<int> seen;
    for (int i = 0; i < 100; ++i) {
        c_MyApp::p_MeasureRate(lastMs, now, smoothed);
        seen.push_back(smoothed);
    }
    EXPECT_EQ(std::vector<int>(seen.begin(), seen.begin() + 6), (std::vector<int>{6, 11, 15, 19, 23, 26}));
    EXPECT_EQ(seen.back(), 51) << "settles below 60";

    gametest::Clock().now += 0.03125;
    c_MyApp::p_MeasureRate(lastMs, now, smoothed);
    EXPECT_EQ(now, 32) << "31 ms since the last measure";
    EXPECT_EQ(lastMs, 256031);
}

// The slides run in every screen, even one that runs no routine of its own.
TEST_F(Frame, TheOptionsBoxAndTheSidePanelSlideInAndOut) {
    FinishLoading();
    app->m_Screen = ScreenNone;
    app->m_OptionOpen = 1;
    app->m_SidePanel = 1;
    std::vector<int> panel;
    for (int i = 0; i < 40; ++i) {
        Update();
        panel.push_back(app->m_SidePanelX);
    }
    EXPECT_EQ(app->m_OptionSlide, 30);
    EXPECT_EQ(app->m_KeyNav, 1) << "an open options box navigates by keys";
    EXPECT_EQ(app->m_PointerLock, 1);
    EXPECT_EQ((std::vector<int>(panel.begin(), panel.begin() + 3)), (std::vector<int>{62, 116, 164}));
    EXPECT_EQ(panel.back(), 500) << "snapped to 140 short of the right edge";

    app->m_OptionOpen = 0;
    app->m_SidePanel = 0;
    Update();
    EXPECT_EQ(app->m_OptionSlide, 29);
    EXPECT_EQ(app->m_SidePanelX, 500 - 500 / 8);
    Updates(40);
    EXPECT_EQ(app->m_OptionSlide, 0);
    EXPECT_EQ(app->m_SidePanelX, 0);
}

TEST_F(Frame, LeavingTheMenuForTheWaitingStartReloads) {
    FinishLoading();
    app->m_Screen = ScreenWaitStart;
    Update();
    EXPECT_EQ(app->m_Screen, ScreenMenu);
    EXPECT_EQ(app->m_PointerLock, 1);
    EXPECT_EQ(app->m_Loading, 2) << "the reload's first step runs in the same update";
    EXPECT_EQ(Host()->UpdateRate(), 60);
}

TEST_F(Frame, TheEndOfARoundReturnsToTheMenuWithTheJingle) {
    FinishLoading();
    app->m_Screen = ScreenBackToMenu;
    EXPECT_EQ(gametest::PlaysOf(SfxJingle, Update), 1);
    EXPECT_EQ(app->m_Screen, ScreenMenu);
}

TEST_F(Frame, LosingTheFocusPausesARoundButNotTheMenu) {
    struct Case {
        int screen, paused, pauseSel, pauseY;
    } cases[] = {{ScreenMenu, 0, 0, 0}, {ScreenRound, 1, 1, 240}, {ScreenStartRound, 1, 1, 240}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.screen);
        app = gametest::FreshApp();
        Render();
        app->m_Screen = c.screen;
        iCadeControls = 1;
        vx_input_EnableKeyboard();
        for (int i = 0; i < VKeyCount; ++i) app->m_VKey[i] = VKeyHeld;

        Host()->SuspendGame();
        EXPECT_EQ(app->m_Paused, c.paused);
        EXPECT_EQ(app->m_PauseSel, c.pauseSel);
        EXPECT_EQ(app->m_PauseY, c.pauseY);
        EXPECT_EQ(Host()->UpdateRate(), 5);
        EXPECT_EQ(vx_app__updateRate, 5);
        EXPECT_EQ(iCadeControls, 0);
        EXPECT_FALSE(Host()->KeyboardEnabled());
        for (int i = 0; i < VKeyActions; ++i) EXPECT_EQ(app->m_VKey[i], VKeyUp) << i;
        EXPECT_EQ(app->m_VKey[VKeyMenu], VKeyHeld) << "the menu key's slot is the update's own";

        iCadeControls = 1;
        vx_input_EnableKeyboard();
        app->m_VKey[ActionLeft] = VKeyHeld;
        Host()->ResumeGame();
        EXPECT_EQ(app->m_Paused, c.paused);
        EXPECT_EQ(Host()->UpdateRate(), 60);
        EXPECT_EQ(iCadeControls, 0);
        EXPECT_FALSE(Host()->KeyboardEnabled());
        EXPECT_EQ(app->m_VKey[ActionLeft], VKeyUp);
    }
}

// Escape is the pause action, Right another action.
TEST_F(Frame, ThePauseKeyClosesTheMenusPanelsAndSwitchesToKeyNavigation) {
    struct Case {
        int key, screen, keyNavBefore, lockBefore;
        int panelsAfter, keyNavAfter, lockAfter;
    } cases[] = {
        {VkEscape, ScreenMenu, 0, 0, 0, 1, 1},  // closes both panels
        {VkEscape, ScreenRound, 0, 0, 1, 0, 0}, // only on the menu
        {VkEscape, ScreenMenu, 0, 1, 1, 0, 1},  // the pointer is still locked: nothing changes
        {VkEscape, ScreenMenu, 1, 0, 1, 1, 0},  // keys were already in use
        {VkRight, ScreenMenu, 0, 0, 1, 0, 0},   // another action leaves the panels open
        {0, ScreenMenu, 1, 0, 1, 0, 0},         // nothing pressed: key navigation ends
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "key " << c.key << " screen " << c.screen << " nav "
                                        << c.keyNavBefore << " lock " << c.lockBefore);
        app = gametest::FreshApp();
        app->m_Screen = c.screen;
        app->m_Panel1 = app->m_SidePanel = 1;
        app->m_KeyNav = c.keyNavBefore;
        app->m_PointerLock = c.lockBefore;
        if (c.key) gametest::PressKey(c.key);
        app->p_ControlModeSwitch();
        EXPECT_EQ(app->m_Panel1, c.panelsAfter);
        EXPECT_EQ(app->m_SidePanel, c.panelsAfter);
        EXPECT_EQ(app->m_KeyNav, c.keyNavAfter);
        EXPECT_EQ(app->m_PointerLock, c.lockAfter);
        if (c.key) gametest::ReleaseKey(c.key);
    }
}

TEST_F(Frame, TouchButtonPressesLastOneUpdateAndICadeHoldsUntilReleased) {
    app->m_VKey[ActionA] = VKeyTapped;
    app->m_VKey[ActionB] = VKeyHeld;
    Update();
    EXPECT_EQ(app->m_VKey[ActionA], VKeyUp);
    EXPECT_EQ(app->m_VKey[ActionB], VKeyHeld);
}

TEST_F(Frame, TheBackKeysHitsAreTheMenuKeySlotOfTheUpdate) {
    vx_input_device->p_PutKeyHit(KEY_BACK);
    Update();
    EXPECT_EQ(app->m_VKey[VKeyMenu], 1);
    Update();
    EXPECT_EQ(app->m_VKey[VKeyMenu], 0);
}

TEST_F(Frame, ICadeZeroesTheTilt) {
    iCadeControls = 1;
    app->m_TiltX = app->m_TiltY = app->m_TiltShowX = app->m_TiltShowY = 0.5f;
    Update();
    EXPECT_EQ(app->m_TiltX, 0);
    EXPECT_EQ(app->m_TiltY, 0);
    EXPECT_EQ(app->m_TiltShowX, 0);
    EXPECT_EQ(app->m_TiltShowY, 0);
}

TEST_F(Frame, FunctionKeysToggleTheDebugLineAndTheCleanView) {
    FinishLoading();
    app->m_Screen = ScreenNone; // no routine draws
    Tap(VkF2);
    EXPECT_EQ(app->m_CleanView, 1);
    Tap(VkF2);
    EXPECT_EQ(app->m_CleanView, 0);

    Tap(VkF1);
    EXPECT_EQ(DebugMode, 1);
    // Its text is drawn left-aligned near the bottom: the first glyph one advance in from x = 16.
    bool found = false;
    for (int i = 0; i < CommandCount(); ++i) {
        const gametest::Command c = CommandAt(i);
        found = found || (c[CmdCode] == ImgFont && c[CmdX] == 23 && c[CmdY] == jscrh - 16);
    }
    EXPECT_TRUE(found);
    Tap(VkF1);
    EXPECT_EQ(DebugMode, 0);
}

TEST_F(Frame, F11SwitchesToTheDesktopSizeAndBackWithAReloadEachTime) {
    FinishLoading();
    VxGlfwVideoMode* desktop = Host()->GetGlfwDesktopMode();
    Tap(VkF11);
    EXPECT_EQ(app->m_Fullscreen, 1);
    Render();
    EXPECT_EQ(app->m_DevW, desktop->width);
    EXPECT_EQ(app->m_DevH, desktop->height);
    EXPECT_EQ(app->m_Loading, 1);
    FinishLoading();
    Tap(VkF11);
    EXPECT_EQ(app->m_Fullscreen, 0);
    Render();
    EXPECT_EQ(app->m_DevW, 640);
    EXPECT_EQ(app->m_DevH, 480);
    EXPECT_EQ(app->m_Loading, 1);
}

TEST_F(Frame, F4EndsTheProgramWithStatusZero) {
    FinishLoading();
    EXPECT_EXIT(Tap(VkF4), testing::ExitedWithCode(0), "");
}

TEST_F(Frame, ACloseKeyHitSeenByTheUpdateEndsTheProgram) {
    // The delegate ends the program on the key-down itself; a hit left for the update does too.
    vx_input_device->p_PutKeyHit(KEY_CLOSE);
    EXPECT_EXIT(Update(), testing::ExitedWithCode(0), "");
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Each death test starts afresh in a new process: forking one that holds a GL context and a
    // running sound mixer is not safe.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    return RUN_ALL_TESTS();
}
