// The application module over a host whose display modes and window size the test chooses: real
// screens rarely offer duplicate sizes or lack a desktop mode.
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

    Array<VxDisplayMode*> GetDisplayModes() override {
        Array<VxDisplayMode*> result(int(modes.size()));
        for (int i = 0; i < result.Length(); ++i) result[i] = mode(modes[i]);
        return result;
    }
    VxDisplayMode* GetDesktopMode() override { return hasDesktop ? mode({1920, 1080}) : nullptr; }
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
