// A damaged data folder: for every file the game loads, the game started with that file missing,
// cut in half or replaced by garbage still reaches the menu, plays a round and returns to the menu.
// The host reads a copy of the data folder, damaged one file at a time.
#include "game_bot.h"
#include "tests/support/temp_dir.h"

#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace gametest;

// Points the host's data folder at another folder (the host keeps the folder its data lies in).
struct DataFolder : VxGlfwGame {
    static void Use(VxGlfwGame* host, const String& folder) {
        String VxGlfwGame::*appDir = &DataFolder::appDir;
        host->*appDir = folder;
    }
};

fs::path exeDir() { return fs::read_symlink("/proc/self/exe").parent_path(); }

// The files a game on a 640 x 480 window loads: the images at the smallest size, the font, the
// sound effects and the music.
std::vector<fs::path> LoadedFiles(const fs::path& data) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(data)) {
        if (!entry.is_regular_file()) continue;
        std::string name = entry.path().filename().string();
        if (name.find("-hd") != std::string::npos) continue;
        files.push_back(fs::relative(entry.path(), data));
    }
    std::sort(files.begin(), files.end());
    return files;
}

enum class Damage { Missing, CutInHalf, Garbage };

const char* Name(Damage d) {
    switch (d) {
    case Damage::Missing:
        return "missing";
    case Damage::CutInHalf:
        return "cut in half";
    default:
        return "garbage";
    }
}

void Apply(Damage damage, const fs::path& file, const std::string& original) {
    switch (damage) {
    case Damage::Missing:
        fs::remove(file);
        break;
    case Damage::CutInHalf:
        writeFile(file, original.substr(0, original.size() / 2));
        break;
    case Damage::Garbage: {
        std::mt19937 random(unsigned(original.size()));
        std::string noise(original.size(), '\0');
        for (char& c : noise) c = char(random());
        writeFile(file, noise);
        break;
    }
    }
}

class DamagedData : public TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        Host();
        fs::copy(exeDir() / "data", dir / "data", fs::copy_options::recursive);
        DataFolder::Use(Host(), String(dir.string().c_str()));
    }
    void TearDown() override {
        DataFolder::Use(Host(), String());
        TempDirTest::TearDown();
    }
};

TEST_F(DamagedData, EveryLoadedFileMissingCutOrGarbageStillPlaysARound) {
    std::vector<fs::path> files = LoadedFiles(dir / "data");
    ASSERT_GT(files.size(), 20u);
    Bot bot(5);
    for (const fs::path& name : files) {
        fs::path file = dir / "data" / name;
        std::string original = readFile(file);
        for (Damage damage : {Damage::Missing, Damage::CutInHalf, Damage::Garbage}) {
            SCOPED_TRACE(name.string() + " " + Name(damage));
            Apply(damage, file, original);
            FreshApp();
            FinishLoading();
            ASSERT_EQ(App()->m_Loading, 0);
            ASSERT_TRUE(bot.StartRound(2));
            // Playing on: the round ends by itself and the menu comes back.
            ASSERT_TRUE(bot.PlayRound(6000, 16));
            EXPECT_EQ(App()->m_Screen, ScreenMenu);
            EXPECT_GT(CommandCount(), 0);
            writeFile(file, original);
        }
    }
}

} // namespace
