// The application and its delegate on a real window, OpenGL context and OpenAL device (the wave
// back end writes the mixed sound to a file), driven through the host's event fan-out.
#include "framework/app/app.h"
#include "framework/audio/audio.h"
#include "framework/graphics/graphics.h"
#include "framework/input/input.h"
#include "host/game.h"

#include <AL/al.h>
#include <GL/gl.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// What the application saw when it was created.
struct AtCreate {
    bool called = false;
    gxtkGraphics* graphics = nullptr;
    gxtkAudio* audio = nullptr;
    c_InputDevice* input = nullptr;
    int deviceWidth = 0;
    int deviceHeight = 0;
    c_DisplayMode* desktop = nullptr;
    int modeCount = 0;
};

class RecordingApp : public c_App {
  public:
    std::vector<std::string> calls;
    AtCreate atCreate;
    std::function<void()> onUpdate, onRender, onSuspend, onResume;

    int p_OnCreate() override {
        calls.push_back("create");
        atCreate = {true,
                    vx_graphics_device,
                    vx_audio_device,
                    vx_input_device,
                    vx_app_DeviceWidth(),
                    vx_app_DeviceHeight(),
                    vx_app__desktopMode,
                    vx_app__displayModes.get().Length()};
        return 0;
    }
    int p_OnUpdate() override { return run("update", onUpdate); }
    int p_OnRender() override { return run("render", onRender); }
    int p_OnSuspend() override { return run("suspend", onSuspend); }
    int p_OnResume() override { return run("resume", onResume); }

  private:
    int run(const char* name, const std::function<void()>& hook) {
        calls.push_back(name);
        if (hook) hook();
        return 0;
    }
};

// One second of a 440 Hz tone, 16-bit mono PCM.
void writeTone(const fs::path& path) {
    const int rate = 22050, frames = rate;
    std::vector<short> samples(frames);
    for (int i = 0; i < frames; ++i) samples[i] = short(12000 * std::sin(i * 2 * M_PI * 440 / rate));
    auto u32 = [](std::ofstream& out, unsigned v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](std::ofstream& out, unsigned short v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    std::ofstream out(path, std::ios::binary);
    unsigned bytes = unsigned(frames * 2);
    out.write("RIFF", 4), u32(out, 36 + bytes), out.write("WAVEfmt ", 8), u32(out, 16);
    u16(out, 1), u16(out, 1), u32(out, rate), u32(out, rate * 2), u16(out, 2), u16(out, 16);
    out.write("data", 4), u32(out, bytes);
    out.write(reinterpret_cast<const char*>(samples.data()), bytes);
}

int sourceState(int channel) {
    ALint state = 0;
    alGetSourcei(vx_audio_device->channels[channel].source, AL_SOURCE_STATE, &state);
    return state;
}

class Delegate : public ::testing::Test {
  protected:
    static inline fs::path dir;

    static void SetUpTestSuite() {
        dir = fs::temp_directory_path() / ("spindrift-app-" + std::to_string(getpid()));
        fs::create_directories(dir);
        std::ofstream(dir / "alsoft.conf")
            << "[general]\ndrivers=wave\n[wave]\nfile=" << (dir / "out.wav").string() << "\n";
        setenv("ALSOFT_CONF", (dir / "alsoft.conf").c_str(), 1);
        writeTone(dir / "tone.wav");
        ASSERT_TRUE(glfwInit()) << "needs an X display (xvfb-run)";
    }
    static void TearDownTestSuite() { fs::remove_all(dir); }

    VxGlfwGame host;
    RecordingApp* app = nullptr;

    void SetUp() override {
        host.Install();
        vx_app__app = nullptr;
        vx_app_Init();
        vx_graphics_Init();
        host.SetGlfwWindow(VxWindowRequest{});
        ASSERT_NE(host.Window(), nullptr);
        app = new RecordingApp;
        app->m_new();
        host.StartGame();
    }
    void TearDown() override { glfwDestroyWindow(host.Window()); }
};

TEST_F(Delegate, CreationHandsTheHostADelegateThatStartsTheDevicesBeforeOnCreate) {
    EXPECT_EQ(host.Delegate(), static_cast<VxGameDelegate*>(vx_app__delegate));
    EXPECT_EQ(vx_app__app.get(), app);
    const AtCreate& seen = app->atCreate;
    ASSERT_TRUE(seen.called);
    EXPECT_EQ(app->calls, std::vector<std::string>{"create"});
    EXPECT_NE(seen.graphics, nullptr);
    EXPECT_EQ(seen.graphics, vx_app__delegate->graphics);
    EXPECT_NE(seen.audio, nullptr);
    EXPECT_EQ(seen.audio, vx_app__delegate->audio);
    EXPECT_NE(seen.input, nullptr);
    EXPECT_EQ(seen.input, vx_app__delegate->input);
    EXPECT_EQ(seen.deviceWidth, 640);
    EXPECT_EQ(seen.deviceHeight, 480);
    ASSERT_NE(seen.desktop, nullptr);
    EXPECT_EQ(seen.desktop->width, 1920);
    EXPECT_EQ(seen.desktop->height, 1080);
    EXPECT_GE(seen.modeCount, 1);
}

TEST_F(Delegate, KeysAndCharactersAreSeenByExactlyOneUpdate) {
    host.KeyEvent(KeyDown, 65);
    host.KeyEvent(KeyChar, 'a');
    host.KeyEvent(KeyUp, 65);
    int hits = -1, character = -1;
    app->onUpdate = [&] {
        hits = vx_input_KeyHit(65);
        character = vx_input_GetChar();
    };
    host.UpdateGame();
    EXPECT_EQ(hits, 1);
    EXPECT_EQ(character, 'a');
    host.UpdateGame();
    EXPECT_EQ(hits, 0) << "no render ran in between, yet the hit is gone";
    EXPECT_EQ(character, 0);
}

TEST_F(Delegate, ANewWindowSizeIsSeenFromTheNextUpdate) {
    int width = 0;
    app->onUpdate = [&] { width = vx_app_DeviceWidth(); };
    host.UpdateGame();
    EXPECT_EQ(width, 640);
    glfwSetWindowSize(host.Window(), 800, 600);
    for (int i = 0; i < 100 && host.GetDeviceWidth() != 800; ++i) glfwWaitEventsTimeout(0.05);
    EXPECT_EQ(vx_app_DeviceWidth(), 640) << "only an update or render looks again";
    host.UpdateGame();
    EXPECT_EQ(width, 800);
    EXPECT_EQ(vx_app_DeviceHeight(), 600);
}

// The frame loop asks whether the window is active every frame; the host answers from the focus
// events the window has had, not by asking the display server.
TEST_F(Delegate, TheHostKeepsTheWindowsFocusFromItsEvents) {
    auto waitFor = [](const std::function<bool()>& done) {
        for (int i = 0; i < 100 && !done(); ++i) glfwWaitEventsTimeout(0.05);
    };
    waitFor([&] {
        glfwFocusWindow(host.Window());
        return host.WindowActive();
    });
    ASSERT_TRUE(host.WindowActive());
    glfwDefaultWindowHints(); // shown, so that it can take the focus
    GLFWwindow* other = glfwCreateWindow(64, 64, "other", nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    glfwFocusWindow(other);
    waitFor([&] { return !host.WindowActive(); });
    EXPECT_FALSE(host.WindowActive());
    // Asked again while waiting: a test beside this one on the display may have taken the focus.
    waitFor([&] {
        glfwFocusWindow(host.Window());
        return host.WindowActive();
    });
    EXPECT_TRUE(host.WindowActive());
    glfwDestroyWindow(other);
}

TEST_F(Delegate, RenderDrawsThroughTheContextAndFlushesBeforeTheSwap) {
    bool rendering = false;
    app->onRender = [&] {
        rendering = vx_graphics_renderDevice.get() == vx_app__delegate->graphics;
        vx_graphics_SetColor(0, 255, 0);
        vx_graphics_DrawRect(0, 0, 640, 480);
    };
    host.RenderGame();
    EXPECT_TRUE(rendering);
    EXPECT_EQ(vx_graphics_renderDevice.get(), nullptr);
    unsigned char pixel[4] = {};
    glReadPixels(320, 240, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 0);
    EXPECT_EQ(pixel[1], 255);
    EXPECT_EQ(pixel[2], 0);
}

// The application hears of a suspension while its sounds still play, and of a resumption once
// they play again.
TEST_F(Delegate, SuspendPausesSoundAfterTheAppResumeRestartsItBefore) {
    ASSERT_NE(vx_audio_device->alcDevice, nullptr) << "the wave back end did not open";
    c_Sound* tone = vx_audio_LoadSound(String((dir / "tone.wav").c_str()));
    ASSERT_NE(tone, nullptr);
    vx_audio_PlaySound(tone, 0, 1);
    int duringSuspend = 0, duringResume = 0;
    app->onSuspend = [&] { duringSuspend = sourceState(0); };
    app->onResume = [&] { duringResume = sourceState(0); };
    host.SuspendGame();
    EXPECT_EQ(duringSuspend, AL_PLAYING);
    EXPECT_EQ(sourceState(0), AL_PAUSED);
    host.ResumeGame();
    EXPECT_EQ(duringResume, AL_PLAYING);
    EXPECT_EQ(app->calls, (std::vector<std::string>{"create", "suspend", "resume"}));
}

TEST_F(Delegate, OnlyAKeyDownOfCloseOrBackEndsTheProgram) {
    for (int code : {415, 417, 431, 433}) host.KeyEvent(KeyDown, code);
    host.KeyEvent(KeyUp, KEY_CLOSE);
    host.KeyEvent(KeyChar, KEY_CLOSE);
    host.KeyEvent(KeyUp, KEY_BACK);
    host.MouseEvent(MouseDown, KEY_CLOSE - 1, 0, 0);
    host.UpdateGame();
    EXPECT_EQ(app->calls, (std::vector<std::string>{"create", "update"}));
}

class EndingKey : public Delegate, public ::testing::WithParamInterface<int> {};

TEST_P(EndingKey, EndsTheProcessWithStatusZero) {
    EXPECT_EXIT(host.KeyEvent(KeyDown, GetParam()), ::testing::ExitedWithCode(0), "");
}

TEST_P(EndingKey, EndsItEvenWhenTheKeyIsAlreadyDown) {
    vx_input_device->keyDown[GetParam()] = true;
    EXPECT_EXIT(host.KeyEvent(KeyDown, GetParam()), ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(CloseAndBack, EndingKey, ::testing::Values(KEY_CLOSE, KEY_BACK));

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Each death test starts afresh in a new process: forking a process that holds a GL context
    // and a running sound mixer is not safe.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    return RUN_ALL_TESTS();
}
