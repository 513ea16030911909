// The command line read against an option table: flags, options with a value, and arguments that
// are left to the program.
#include "host/options.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// A table like the program's, with an option that takes a value.
constexpr VxOption kTable[] = {
    {"--flag", nullptr, "a flag"},
    {"--file", "FILE", "an option with a value"},
};

struct Read {
    bool accepted;
    VxCommandLine line;
};

Read ReadArguments(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "spindrift");
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    Read read;
    read.accepted = read.line.Read(kTable, int(argv.size()), argv.data());
    return read;
}

TEST(CommandLine, ReadsFlagsAndValuesAndLeavesOtherArgumentsAlone) {
    struct Case {
        std::vector<std::string> arguments;
        bool flag;
        std::string file;
    } cases[] = {
        {{}, false, ""},
        {{"level1", "--flag"}, true, ""},
        {{"--file", "round.rec", "level1"}, false, "round.rec"},
        {{"--file", "--flag"}, false, "--flag"}, // a value may look like an option
        {{"--file", "a", "--file", "b", "--flag"}, true, "b"},
    };
    for (const Case& c : cases) {
        Read read = ReadArguments(c.arguments);
        ASSERT_TRUE(read.accepted) << ::testing::PrintToString(c.arguments);
        EXPECT_EQ(read.line.Given("--flag"), c.flag) << ::testing::PrintToString(c.arguments);
        EXPECT_EQ(read.line.Given("--file"), !c.file.empty()) << ::testing::PrintToString(c.arguments);
        EXPECT_EQ(read.line.Value("--file"), c.file) << ::testing::PrintToString(c.arguments);
    }
}

TEST(CommandLine, RefusesUnknownOptionsAndMissingValues) {
    for (std::vector<std::string> arguments : std::vector<std::vector<std::string>>{
             {"--fla"}, {"-f"}, {"-"}, {"--flag=1"}, {"level1", "--file"}}) {
        EXPECT_FALSE(ReadArguments(arguments).accepted) << ::testing::PrintToString(arguments);
    }
}

// Only verifying a replay (besides the help and the version, which end at once) runs without the
// window, so only it is left out of what start-up does for one.
TEST(CommandLine, TheProgramNeedsNoWindowOnlyToVerifyAReplay) {
    const std::pair<std::vector<std::string>, bool> cases[] = {
        {{}, false},
        {{"--replay", "a.replay"}, false},
        {{"--no-demo"}, false},
        {{"--verify-replay", "a.replay"}, true},
        {{"--no-demo", "--verify-replay", "a.replay", "level1"}, true},
    };
    for (auto [arguments, needsNoWindow] : cases) {
        arguments.insert(arguments.begin(), "spindrift");
        std::vector<char*> argv;
        for (std::string& a : arguments) argv.push_back(a.data());
        vxReadCommandLine(int(argv.size()), argv.data());
        EXPECT_EQ(vxCommandLineNeedsNoWindow(), needsNoWindow) << ::testing::PrintToString(arguments);
    }
}

} // namespace
