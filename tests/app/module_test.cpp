// The application module over a host whose display modes and window size the test chooses: real
// screens rarely offer duplicate sizes, lack a desktop mode or have colour bits other than 8.
#include "framework/app/app.h"
#include "host/game.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Size = std::pair<int, int>;

class ModesHost : public VxGame {
  public:
    std::vector<Size> modes;
    bool hasDesktop = true;
    Size window{640, 480};
    // The windows the application asked for.
    std::vector<std::vector<int>> requests;

    Array<VxDisplayMode*> GetDisplayModes() override {
        Array<VxDisplayMode*> result(int(modes.size()));
        for (int i = 0; i < result.Length(); ++i) result[i] = mode(modes[i]);
        return result;
    }
    VxDisplayMode* GetDesktopMode() override { return hasDesktop ? mode({1920, 1080}) : nullptr; }
    VxGlfwVideoMode* GetGlfwDesktopMode() override {
        VxGlfwVideoMode* desktop = hasDesktop ? mode({1920, 1080}) : mode({0, 0});
        desktop->redBits = 5;
        desktop->greenBits = 6;
        desktop->blueBits = 5;
        return desktop;
    }
    void SetGlfwWindow(const VxWindowRequest& r) override {
        requests.push_back(
            {r.width, r.height, r.red, r.green, r.blue, r.alpha, r.depth, r.stencil, r.fullscreen});
    }
    int GetDeviceWidth() override { return window.first; }
    int GetDeviceHeight() override { return window.second; }

  private:
    static VxDisplayMode* mode(Size size) {
        auto* m = new VxDisplayMode;
        m->width = size.first;
        m->height = size.second;
        return m;
    }
};

std::vector<Size> displayModes() {
    std::vector<Size> sizes;
    for (c_DisplayMode* m : vx_app__displayModes.get()) sizes.emplace_back(m->width, m->height);
    return sizes;
}

class AppModule : public ::testing::Test {
  protected:
    ModesHost host;

    void SetUp() override {
        VxGame::_game = &host;
        vx_app_Init();
    }
};

TEST_F(AppModule, DisplayModesKeepTheFirstOfEachSizeInTheHostsOrder) {
    struct Case {
        std::vector<Size> host, expected;
    };
    const Case cases[] = {
        {{{800, 600}, {640, 480}, {800, 600}, {1024, 768}, {640, 480}},
         {{800, 600}, {640, 480}, {1024, 768}}},
        {{{640, 480}, {480, 640}}, {{640, 480}, {480, 640}}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        host.modes = c.host;
        vx_app_EnumDisplayModes();
        EXPECT_EQ(displayModes(), c.expected);
    }
}

TEST_F(AppModule, DesktopModeIsTheHostsOrElseTheWindowSize) {
    vx_app_EnumDisplayModes();
    EXPECT_EQ(vx_app__desktopMode->width, 1920);
    EXPECT_EQ(vx_app__desktopMode->height, 1080);
    host.hasDesktop = false;
    host.window = {800, 600};
    vx_app_ValidateDeviceWindow(false);
    vx_app_EnumDisplayModes();
    EXPECT_EQ(vx_app__desktopMode->width, 800);
    EXPECT_EQ(vx_app__desktopMode->height, 600);
}

TEST_F(AppModule, FullScreenIsTheDesktopsModeAndWindowedTheFirstWindowsSizeBothInTheDesktopsColours) {
    EXPECT_TRUE(vx_app_SetFullscreen(true));
    EXPECT_TRUE(vx_app_SetFullscreen(false));
    const std::vector<std::vector<int>> expected = {{1920, 1080, 5, 6, 5, 0, 0, 0, 1},
                                                    {640, 480, 5, 6, 5, 0, 0, 0, 0}};
    EXPECT_EQ(host.requests, expected);
}

TEST_F(AppModule, WithoutADesktopModeTheWindowStaysAsItIs) {
    host.hasDesktop = false;
    EXPECT_FALSE(vx_app_SetFullscreen(true));
    EXPECT_FALSE(vx_app_SetFullscreen(false));
    EXPECT_TRUE(host.requests.empty());
}

TEST_F(AppModule, ASecondApplicationIsARuntimeError) {
    vx_app__app = nullptr;
    (new c_App)->m_new();
    EXPECT_EQ(host.Delegate(), static_cast<VxGameDelegate*>(vx_app__delegate));
    EXPECT_EXIT(
        {
            std::freopen("/dev/null", "r", stdin); // no debugger answers the stop
            dup2(2, 1);                            // the report goes to standard output
            (new c_App)->m_new();
        },
        ::testing::ExitedWithCode(255), "Cobalt Runtime Error : App has already been created");
}

} // namespace
