// The frame budget of the whole game on the real window: how many draw calls a replayed round
// costs, that a steady frame (update and render) sends the display server no request, in the menu
// and in a round, and that a round's frame takes no heap block; and that a round starts with its
// music already decoded.
#include "devices/graphics/drawcalls.h"
#include "framework/audio/audio.h"
#include "host/files.h"
#include "tests/game/game_harness.h"
#include "tests/support/allocation_hook.h"

#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>
#include <X11/Xlib.h>

#include <cstddef>

namespace {

using gametest::PressKey;
using gametest::ReleaseKey;
using gametest::Render;
using gametest::Update;

// Every heap block the program takes (malloc, new, calloc, realloc) while counting is on; but not the
// OpenGL driver's, which takes some in every draw call.
bool counting = false;
long allocations = 0;
void OnAllocation(std::size_t) {
    if (counting && !gxtkDrawCalls::InDriver()) ++allocations;
}
bool countsAllocations = false;

// What one frame, update and render together, cost.
struct FrameCost {
    long allocations = -1; // -1: this build cannot count them
    unsigned long displayRequests = 0;
    long draws = 0;
};

FrameCost CostOfFrame() {
    Display* display = glfwGetX11Display();
    FrameCost cost;
    allocations = 0;
    counting = true;
    const unsigned long requests = NextRequest(display);
    const long draws = gxtkDrawCalls::Count();
    Update();
    Render();
    cost.draws = gxtkDrawCalls::Count() - draws;
    cost.displayRequests = NextRequest(display) - requests;
    counting = false;
    if (countsAllocations) cost.allocations = allocations;
    return cost;
}

class Budget : public gametest::GameTest {
  protected:
    static void SetUpTestSuite() { countsAllocations = allocation_hook::Install(OnAllocation); }
    static void TearDownTestSuite() { allocation_hook::Install(nullptr); }

    void SetUp() override {
        GameTest::SetUp();
        gametest::FinishLoading();
    }

    // Frames as the host runs them: an update, then a render.
    static void Frames(int n) {
        for (int i = 0; i < n; ++i) {
            Update();
            Render();
        }
    }

    // A round some way in: the player has run and jumped, rows have come, particles fly. The
    // frames before the measured one settle the rates and the texts built from them.
    void PlayARound() {
        app->m_Screen = ScreenStartRound;
        Frames(1);
        PressKey(VkRight);
        for (int i = 0; i < 90; ++i) {
            if (i % 20 == 0) PressKey(VkSpace);
            if (i % 20 == 5) ReleaseKey(VkSpace);
            Frames(1);
        }
        ReleaseKey(VkRight);
        Frames(10);
        for (int i = 0; i <= 60; i += 6)
            app->p_ThrowParticle(float(i), 0, 1 + i % 4, 1 + i % 9, float(i * 7), 1);
        Frames(1);
    }

    void ExpectSteady(const FrameCost& cost) {
        EXPECT_EQ(cost.displayRequests, 0u);
        if (cost.allocations < 0) GTEST_SKIP() << "this build (ThreadSanitizer) cannot count heap blocks";
        EXPECT_EQ(cost.allocations, 0);
    }
};

// Stars, shaft, walkers, particles, player and score come from a few images in two blend modes:
// the replay costs a handful of draw calls, not one per sprite.
TEST_F(Budget, ARoundFrameCostsAFewDrawCalls) {
    PlayARound();
    ASSERT_EQ(app->m_Screen, ScreenRound);
    ASSERT_GT(gametest::CommandCount(), 300);
    const FrameCost cost = CostOfFrame();
    EXPECT_LE(cost.draws, 16);
    EXPECT_GT(cost.draws, 0);
}

TEST_F(Budget, ASteadyMenuFrameAllocatesNothingAndAsksTheDisplayNothing) {
    Frames(60);
    ASSERT_EQ(app->m_Screen, ScreenMenu);
    ExpectSteady(CostOfFrame());
}

TEST_F(Budget, ASteadyRoundFrameAllocatesNothingAndAsksTheDisplayNothing) {
    PlayARound();
    ASSERT_EQ(app->m_Screen, ScreenRound);
    ExpectSteady(CostOfFrame());
}

// The loader decodes the round's track, so neither the first round nor any later one decodes it.
TEST_F(Budget, ARoundStartsWithItsMusicAlreadyDecoded) {
    gxtkAudio* audio = vx_audio_device;
    gxtkSample* track = audio->musicSample;
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(audio->musicPath, vx_data_FixDataPath(u"sfx/spindrift.ogg"));
    for (int round = 0; round < 2; ++round) {
        app->p_LoadGame();
        EXPECT_EQ(app->m_TunePlaying, 1);
        EXPECT_EQ(audio->musicSample, track);
    }
}

// The debug line shows the render rate and the scale: it is formatted without new blocks too.
TEST_F(Budget, TheDebugLineCostsNoAllocation) {
    PressKey(VkF1);
    Update();
    ReleaseKey(VkF1);
    ASSERT_EQ(DebugMode, 1);
    Frames(60);
    PlayARound();
    ExpectSteady(CostOfFrame());
}

} // namespace
