// The frame loop's update schedule, driven by a fake clock, and the guarded fan-out to the delegate.
#include "host/game.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_window_system.h"

#include <gtest/gtest.h>

#include <climits>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace {

// A clock that moves only when the loop sleeps or a render "takes" time, and a window that stays
// open for a given number of frames. The clock starts late, as GLFW's has by the first frame: a
// schedule time of 0 means "no schedule".
class FakeWindow : public FakeJoysticks {
  public:
    double now = 10;
    int framesLeft = 0;
    int eventRounds = 0;
    int sleeps = 0;
    int waits = 0;
    // Whether the window has the focus after the given round of events (1-based).
    std::function<bool(int)> activeAfter = [](int) { return true; };

    double Time() override { return now; }
    void Sleep(double seconds) override {
        ++sleeps;
        now += seconds;
    }
    void PollEvents() override { ++eventRounds; }
    void WaitEvents() override {
        ++waits;
        ++eventRounds;
    }
    bool WindowOpen() override { return framesLeft-- > 0; }
    bool WindowActive() override { return activeAfter(eventRounds); }
    void SwapBuffers() override {}
};

// Records what reaches the delegate; renders cost `renderSeconds` of fake time.
class Recorder : public VxGameDelegate {
  public:
    FakeWindow* clock = nullptr;
    double renderSeconds = 0;
    std::vector<int> updatesPerFrame;
    std::vector<double> updateTimes;
    std::vector<std::string> log;
    std::function<void()> onUpdate;

    void StartGame() override { log.push_back("start"); }
    void SuspendGame() override { log.push_back("suspend"); }
    void ResumeGame() override { log.push_back("resume"); }
    void UpdateGame() override {
        log.push_back("update");
        if (!updatesPerFrame.empty()) ++updatesPerFrame.back();
        if (clock) updateTimes.push_back(clock->now);
        if (onUpdate) onUpdate();
    }
    void RenderGame() override {
        log.push_back("render");
        updatesPerFrame.push_back(0);
        if (clock) clock->now += renderSeconds;
    }
    void KeyEvent(int event, int data) override {
        log.push_back("key " + std::to_string(event) + " " + std::to_string(data));
    }
    void MouseEvent(int event, int data, float x, float y) override {
        log.push_back("mouse " + std::to_string(event) + " " + std::to_string(data) + " " +
                      std::to_string(x) + " " + std::to_string(y));
    }
    void TouchEvent(int event, int data, float x, float y) override {
        log.push_back("touch " + std::to_string(event) + " " + std::to_string(data));
    }
    void MotionEvent(int event, int data, float x, float y, float z) override {
        log.push_back("motion " + std::to_string(event) + " " + std::to_string(z));
    }
    void DiscardGraphics() override { log.push_back("discard"); }
};

// The GLFW host with the fake clock and no real window; every collector step is logged.
class LoopHost : public VxGlfwGame {
  public:
    explicit LoopHost(Recorder* r) : recorder(r) {}
    void SetGlfwWindow(const VxWindowRequest&) override {}
    void gc_collect() override {
        recorder->log.push_back("collect");
        VxGlfwGame::gc_collect();
    }

  private:
    Recorder* recorder;
};

class FrameLoop : public ::testing::Test {
  protected:
    FakeWindow window;
    Recorder* recorder = new Recorder();
    LoopHost host{recorder};

    FrameLoop() {
        recorder->clock = &window;
        host.SetWindowSystem(&window);
        host.SetDelegate(recorder);
    }

    std::vector<int> RunFrames(int frames) {
        window.framesLeft = frames;
        host.Run();
        return recorder->updatesPerFrame;
    }

    int Count(const std::string& entry) const {
        int n = 0;
        for (const std::string& e : recorder->log) n += e == entry;
        return n;
    }
};

TEST_F(FrameLoop, SlowRenderAlternatesFullCatchUpWithFreshSchedule) {
    host.SetUpdateRate(60);
    recorder->renderSeconds = 0.1;
    EXPECT_EQ(RunFrames(6), (std::vector<int>{1, 4, 1, 4, 1, 4}));
    EXPECT_EQ(window.sleeps, 0);
}

TEST_F(FrameLoop, FastRenderSleepsToEachUpdate) {
    host.SetUpdateRate(50);
    EXPECT_EQ(RunFrames(5), (std::vector<int>{1, 1, 1, 1, 1}));
    EXPECT_EQ(window.sleeps, 4);
    ASSERT_EQ(recorder->updateTimes.size(), 5u);
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(recorder->updateTimes[std::size_t(i)], 10 + i * 0.02, 1e-9);
}

TEST_F(FrameLoop, RateZeroUpdatesOncePerFrameWithoutSleeping) {
    host.SetUpdateRate(0);
    recorder->renderSeconds = 0.25;
    EXPECT_EQ(RunFrames(4), (std::vector<int>{1, 1, 1, 1}));
    EXPECT_EQ(window.sleeps, 0);
}

TEST_F(FrameLoop, RateChangeInsideAnUpdateEndsTheCatchUp) {
    host.SetUpdateRate(60);
    recorder->renderSeconds = 0.1;
    int updates = 0;
    recorder->onUpdate = [&] {
        if (++updates == 3) host.SetUpdateRate(30);
    };
    // Frame 2 stops after its second update, the one that changed the rate.
    EXPECT_EQ(RunFrames(3), (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(host.UpdateRate(), 30);
}

TEST_F(FrameLoop, FocusLossSuspendsOnceAndResumeUpdatesAtOnce) {
    host.SetUpdateRate(60);
    window.activeAfter = [](int round) { return round < 3 || round > 5; };
    EXPECT_EQ(RunFrames(7), (std::vector<int>{1, 1, 0, 0, 0, 1, 1}));
    EXPECT_EQ(Count("suspend"), 1);
    EXPECT_EQ(Count("resume"), 1);
    EXPECT_EQ(Count("render"), 7);
    // Blocked for events while suspended (frames 4 to 6), and no sleep before the resumed update.
    EXPECT_EQ(window.waits, 3);
    ASSERT_EQ(recorder->updateTimes.size(), 4u);
    EXPECT_DOUBLE_EQ(recorder->updateTimes[2], 10 + 2.0 / 60);
}

TEST_F(FrameLoop, StartsOnceAndStepsTheCollectorAfterEveryDelegateCall) {
    host.SetUpdateRate(0);
    RunFrames(1);
    host.StartGame();
    EXPECT_EQ(recorder->log,
              (std::vector<std::string>{"start", "collect", "render", "collect", "update", "collect"}));
}

TEST_F(FrameLoop, MillisecsTruncatesAndSaturatesTheClock) {
    window.now = 1.2349;
    EXPECT_EQ(host.Millisecs(), 1234);
    window.now = 1e12;
    EXPECT_EQ(host.Millisecs(), INT_MAX);
}

TEST_F(FrameLoop, EventsBeforeStartAreIgnored) {
    host.KeyEvent(KeyDown, 65);
    host.MouseEvent(MouseDown, 0, 1, 2);
    host.TouchEvent(TouchDown, 0, 1, 2);
    host.MotionEvent(MotionAccel, -1, 1, 2, 3);
    host.UpdateGame();
    host.RenderGame();
    host.SuspendGame();
    host.ResumeGame();
    host.DiscardGraphics();
    EXPECT_TRUE(recorder->log.empty());
    EXPECT_FALSE(host.Suspended());
}

TEST_F(FrameLoop, GuardsFollowTheGameState) {
    host.StartGame();
    host.SuspendGame();
    host.SuspendGame();
    host.UpdateGame();
    host.RenderGame();
    host.KeyEvent(KeyUp, 37);
    host.ResumeGame();
    host.ResumeGame();
    host.MouseEvent(MouseMove, -1, 1.5f, -2.25f);
    host.TouchEvent(TouchUp, 3, 0, 0);
    host.MotionEvent(MotionAccel, -1, 0, 0, 0.5f);
    host.DiscardGraphics();
    std::vector<std::string> calls;
    for (const std::string& e : recorder->log)
        if (e != "collect") calls.push_back(e);
    EXPECT_EQ(calls, (std::vector<std::string>{"start", "suspend", "render", "key 2 37", "resume",
                                               "mouse 6 -1 1.500000 -2.250000", "touch 8 3",
                                               "motion 10 0.500000", "discard"}));
    EXPECT_EQ(Count("collect"), int(calls.size()));
}

TEST(HostFanOut, UncaughtExceptionEndsTheProcess) {
    ChildResult r = RunInChild([] {
        class Thrower : public VxGameDelegate {
            void KeyEvent(int, int) override { throw new ThrowableObject(); }
        };
        VxGame host;
        host.SetDelegate(new Thrower());
        host.StartGame();
        host.KeyEvent(KeyDown, 65);
    });
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "Cobalt Runtime Error : Uncaught Cobalt Exception\n");
}

TEST(HostDate, FillsAsFarAsTheArrayReaches) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    VxGame host;
    Array<int> full(8);
    full[7] = -5;
    host.GetDate(full);
    EXPECT_EQ(full[0], local.tm_year + 1900);
    EXPECT_GE(full[1], 1);
    EXPECT_LE(full[1], 12);
    EXPECT_GE(full[2], 1);
    EXPECT_LE(full[2], 31);
    EXPECT_LE(full[3], 23);
    EXPECT_LE(full[5], 60);
    EXPECT_EQ(full[6], 0);
    EXPECT_EQ(full[7], -5);

    Array<int> day(3);
    host.GetDate(day);
    EXPECT_EQ(day[0], full[0]);
    EXPECT_EQ(day[1], full[1]);

    Array<int> empty;
    host.GetDate(empty);
    EXPECT_EQ(empty.Length(), 0);
}

} // namespace
