// The window system at its worst: the close button while loading, resizes while loading and
// playing, the focus lost and regained every few frames, and full-screen toggles in a loop, some
// with keys held and a collector cycle due (the toggle releases held keys from inside an update).
// Nothing crashes and the saved scores survive.
#include "game_bot.h"
#include "tests/support/child_process.h"

#include <GLFW/glfw3.h>

namespace {

using namespace gametest;

// A best score on each difficulty's table, saved.
void SaveScores(c_MyApp* app) {
    for (int d = 1; d <= 3; ++d) app->m_HiScore[BestScoresBase(d)] = 4320 + d;
    app->p_Save();
}

// The state file read afresh: true when every table kept its best score.
bool ScoresKept(c_MyApp* app) {
    for (int d = 1; d <= 3; ++d) app->m_HiScore[BestScoresBase(d)] = 0;
    testing::internal::CaptureStdout();
    app->p_Load();
    testing::internal::GetCapturedStdout();
    for (int d = 1; d <= 3; ++d)
        if (app->m_HiScore[BestScoresBase(d)] != 4320 + d) return false;
    return true;
}

// A key pressed or released through the window's own callback, so the host tracks it as held.
void WindowKey(int glfwKey, int action) { VxGlfwGame::OnKey(Host()->Window(), glfwKey, 0, action, 0); }

void Resize(int width, int height) {
    glfwSetWindowSize(Host()->Window(), width, height);
    glfwPollEvents();
}

const int kSizes[][2] = {{800, 600}, {320, 240}, {1024, 300}, {300, 900}, {640, 480}};

using WindowStorm = GameTest;

TEST(WindowClose, CloseButtonDuringTheLoaderEndsTheGameAndKeepsTheState) {
    TempDir folder;
    ChildResult r = RunInChild([&folder] {
        std::filesystem::current_path(folder.path);
        c_MyApp* app = FreshApp();
        SaveScores(app);
        app = FreshApp();
        Update();
        Render();
        ASSERT_GT(app->m_Loading, 0);
        VxGlfwGame::OnWindowClose(Host()->Window());
        Update();
    });
    EXPECT_EQ(r.status, 0) << r.err;
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.path);
    EXPECT_TRUE(ScoresKept(FreshApp()));
    std::filesystem::current_path(previous);
}

TEST_F(WindowStorm, ResizesAndFocusChangesWhileLoadingAndPlaying) {
    SaveScores(app);
    app = FreshApp();
    int frame = 0;
    auto storm = [&frame] {
        ++frame;
        if (frame % 3 == 0) Resize(kSizes[frame / 3 % 5][0], kSizes[frame / 3 % 5][1]);
        if (frame % 5 == 0) Host()->SuspendGame();
        if (frame % 5 == 2) Host()->ResumeGame();
    };
    // A new window size can start the loader over, so loading ends once the storm has passed.
    for (int i = 0; i < 150 && app->m_Loading > 0; ++i) {
        storm();
        Update();
        Render();
    }
    Host()->ResumeGame();
    FinishLoading();
    ASSERT_EQ(app->m_Loading, 0);

    Bot bot(7);
    ASSERT_TRUE(bot.StartRound(3));
    for (int i = 0; i < 600 && app->m_Screen != ScreenMenu; ++i) {
        storm();
        bot.Step();
        Render();
    }
    bot.LetGo();
    Host()->ResumeGame();
    Resize(640, 480);
    // Whether or not the storm ended the round, the game plays on to the menu.
    app->m_Paused = 0;
    ASSERT_TRUE(bot.PlayRound(6000));
    EXPECT_TRUE(ScoresKept(app));
}

TEST_F(WindowStorm, FullScreenTogglesWithKeysHeldAndACollectionDue) {
    SaveScores(app);
    FinishLoading();
    Bot bot(9);
    ASSERT_TRUE(bot.StartRound(1));
    for (int toggle = 0; toggle < 12; ++toggle) {
        SCOPED_TRACE(toggle);
        WindowKey(GLFW_KEY_RIGHT, GLFW_PRESS);
        Update();
        // The toggle's window change releases Right from inside the update that saw F11.
        gc_ext_malloced(gc_cycle_bytes + 1);
        WindowKey(GLFW_KEY_F11, GLFW_PRESS);
        Update();
        Render();
        WindowKey(GLFW_KEY_F11, GLFW_RELEASE);
        EXPECT_EQ(app->m_Fullscreen, (toggle + 1) % 2);
        EXPECT_EQ(vx_input_KeyDown(VkRight), 0);
        for (int i = 0; i < 5; ++i) {
            bot.Step();
            Render();
        }
        bot.LetGo();
    }
    EXPECT_EQ(Host()->GetDeviceWidth(), 640);
    EXPECT_EQ(Host()->GetDeviceHeight(), 480);
    ASSERT_TRUE(bot.PlayRound(6000));
    EXPECT_TRUE(ScoresKept(app));
}

} // namespace
