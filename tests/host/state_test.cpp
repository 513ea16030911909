// The saved state: exact UTF-8 bytes in ./.cobaltstate, and a save that fails leaves the previous
// state whole and no stray file behind.
#include "host/game.h"
#include "tests/support/temp_dir.h"

#include <csignal>
#include <sys/resource.h>

namespace {

String text(const std::u16string& s) { return String(s.data(), int(s.size())); }

bool onlyStateFileLeft() {
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        if (entry.path().filename() != ".cobaltstate") return false;
    }
    return true;
}

} // namespace

using StateTest = TempDirTest;

TEST_F(StateTest, TextComesBackExactlyFromItsUtf8Bytes) {
    struct Case {
        std::u16string state;
        std::string bytes;
    } cases[] = {
        {u"", ""},
        {u"hi=1", "hi=1"},
        {u"\u00e9\u07ff", "\xC3\xA9\xDF\xBF"},         // above 0x7F: two bytes
        {u"\u0800\u20ac", "\xE0\xA0\x80\xE2\x82\xAC"}, // above 0x7FF: three bytes
        {u"\U0001F600", "\xED\xA0\xBD\xED\xB8\x80"},   // surrogate halves one by one
    };
    VxGlfwGame game;
    for (const Case& c : cases) {
        ASSERT_EQ(game.SaveState(text(c.state)), 0);
        EXPECT_EQ(readFile(".cobaltstate"), c.bytes);
        EXPECT_TRUE(game.LoadState() == text(c.state));
        EXPECT_TRUE(onlyStateFileLeft());
    }
}

TEST_F(StateTest, ALongerOldStateIsReplacedWhole) {
    VxGlfwGame game;
    ASSERT_EQ(game.SaveState(text(std::u16string(5000, u'x'))), 0);
    ASSERT_EQ(game.SaveState(u"short"), 0);
    EXPECT_EQ(readFile(".cobaltstate"), "short");
}

TEST_F(StateTest, MissingFileLoadsAsEmpty) {
    VxGlfwGame game;
    EXPECT_EQ(game.LoadState().Length(), 0);
}

TEST_F(StateTest, StateThatCannotBeReplacedGivesMinusOne) {
    std::filesystem::create_directory(".cobaltstate");
    VxGlfwGame game;
    EXPECT_EQ(game.SaveState(u"new"), -1);
    EXPECT_TRUE(std::filesystem::is_directory(".cobaltstate"));
    EXPECT_TRUE(onlyStateFileLeft());
}

TEST_F(StateTest, FileThatCannotBeCreatedGivesMinusOneAndKeepsTheOldState) {
    writeFile(".cobaltstate", "old");
    // Nothing can be created in the state's place (a folder sits where the save is staged).
    std::filesystem::create_directory(".cobaltstate.tmp");
    VxGlfwGame game;
    EXPECT_EQ(game.SaveState(u"new"), -1);
    EXPECT_EQ(readFile(".cobaltstate"), "old");
}

// A write cut short (here by a file size limit, as by a full disk) reports -2 and leaves the old
// state readable, with no partial file anywhere.
TEST_F(StateTest, ShortWriteGivesMinusTwoAndKeepsTheOldState) {
    writeFile(".cobaltstate", "old");
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previousLimit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previousLimit), 0);
    rlimit small = previousLimit;
    small.rlim_cur = 10;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

    VxGlfwGame game;
    int result = game.SaveState(text(std::u16string(100, u'y')));

    setrlimit(RLIMIT_FSIZE, &previousLimit);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(result, -2);
    EXPECT_EQ(readFile(".cobaltstate"), "old");
    EXPECT_TRUE(game.LoadState() == String(u"old"));
    EXPECT_TRUE(onlyStateFileLeft());
}
