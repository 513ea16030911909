// Extra gamepad mappings into the real GLFW: lines are taken one by one, so a line GLFW cannot read
// is skipped and the rest still count, from the data folder's file and from the launcher's variable.
#include "host/game.h"
#include "tests/support/temp_dir.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::string Mapping(const std::string& guid, const std::string& name) {
    return guid + "," + name + ",a:b0,b:b1,x:b2,y:b3,back:b6,start:b7,leftx:a0,lefty:a1,";
}
const std::string kFirst = Mapping("03000000aaaa00000100000000010000", "Spindrift Test Pad One");
const std::string kSecond = Mapping("03000000aaaa00000200000000010000", "Spindrift Test Pad Two");
const std::string kThird = Mapping("03000000aaaa00000300000000010000", "Spindrift Test Pad Three");

class GamepadMappings : public TempDirTest {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(glfwInit()) << "needs an X display (xvfb-run)"; }
    static void TearDownTestSuite() { glfwTerminate(); }
};

TEST_F(GamepadMappings, EachLineIsTakenOnItsOwn) {
    struct Case {
        std::string text;
        int taken;
    };
    const Case cases[] = {
        {kFirst, 1},
        {"", 0},
        {"# SDL's database starts with comments\n\n", 0},
        // GLFW refuses a GUID that is too short and a line without a name or fields.
        {"0300deadbeef,Short,a:b0,", 0},
        {"03000000aaaa00000100000000010000,Spindrift Test Pad", 0},
        {"03000000aaaa00000100000000010000", 0},
        {"not a mapping at all", 0},
        {kFirst + "\n0300deadbeef,Short,a:b0,\n" + kSecond + "\n", 2},
        {kFirst + "\r\ngarbage\r\n" + kSecond + "\r\n" + kThird, 3},
    };
    for (const Case& c : cases) EXPECT_EQ(vxAddGamepadMappings(c.text), c.taken) << c.text;
}

// The host with its data folder in the test's folder.
class HostWithData : public VxGlfwGame {
  public:
    String PathToFilePath(String path) override {
        if (path.StartsWith(u"cobalt://data/")) return String(u"data/") + path.Slice(14);
        return VxGlfwGame::PathToFilePath(path);
    }
};

TEST_F(GamepadMappings, TheDataFolderAndTheLauncherBothAddTheirLines) {
    HostWithData host;
    unsetenv("SDL_GAMECONTROLLERCONFIG");
    EXPECT_EQ(host.AddGamepadMappings(), 0) << "neither is there";

    std::filesystem::create_directory(dir / "data");
    writeFile(dir / "data" / "gamecontrollerdb.txt", "# pads\n" + kFirst + "\n03000000aaaa,Broken,\n");
    EXPECT_EQ(host.AddGamepadMappings(), 1);

    setenv("SDL_GAMECONTROLLERCONFIG", (kSecond + "\nxx,Broken,a:b0\n" + kThird).c_str(), 1);
    EXPECT_EQ(host.AddGamepadMappings(), 3);
    unsetenv("SDL_GAMECONTROLLERCONFIG");
}

} // namespace
