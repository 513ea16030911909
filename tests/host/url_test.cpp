// Opening a URL: a stand-in xdg-open placed first on PATH records what it receives.
#include "host/game.h"
#include "tests/support/temp_dir.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <sys/stat.h>
#include <thread>

namespace {

// Waits (bounded, so a fault fails instead of hanging) for a condition made true by another process.
template <class Condition> bool eventually(Condition condition) {
    for (int i = 0; i < 1000; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

bool gone(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

} // namespace

class OpenUrlTest : public TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        std::filesystem::create_directory(dir / "bin");
        // Records its pid, its argument count and each argument; "seen" appears only when complete.
        writeFile(dir / "bin" / "xdg-open",
                  "#!/bin/sh\n"
                  "out=\"" +
                      (dir / "seen").string() +
                      "\"\n"
                      "{ echo $$; echo $#; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; }"
                      " > \"$out.part\"\n"
                      "mv \"$out.part\" \"$out\"\n");
        std::filesystem::permissions(dir / "bin" / "xdg-open", std::filesystem::perms::owner_all);
        const char* path = std::getenv("PATH");
        previousPath = path ? path : "";
        setenv("PATH", ((dir / "bin").string() + ":" + previousPath).c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", previousPath.c_str(), 1);
        TempDirTest::TearDown();
    }

    std::string previousPath;
};

TEST_F(OpenUrlTest, UrlArrivesAsOneArgumentAndNoShellRunsIt) {
    const char16_t url[] = u"http://example.com/a b?q=\"x\"&y='z';touch injected;$(touch injected2) \u00e9";
    VxGlfwGame game;
    game.OpenUrl(String(url));

    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(dir / "seen"); }));
    std::string seen = readFile(dir / "seen");
    std::size_t firstLine = seen.find('\n');
    pid_t pid = std::stoi(seen.substr(0, firstLine));
    EXPECT_EQ(seen.substr(firstLine + 1),
              "1\nhttp://example.com/a b?q=\"x\"&y='z';touch injected;$(touch injected2) \xC3\xA9\n");
    EXPECT_FALSE(std::filesystem::exists("injected"));
    EXPECT_FALSE(std::filesystem::exists("injected2"));
    // The finished opener is reaped by the host: no zombie stays behind.
    EXPECT_TRUE(eventually([&] { return gone(pid); }));
}

TEST_F(OpenUrlTest, NoOpenerIsNotAnError) {
    setenv("PATH", (dir / "empty").string().c_str(), 1);
    VxGlfwGame game;
    game.OpenUrl(u"http://example.com/");
    EXPECT_FALSE(std::filesystem::exists(dir / "seen"));
}
