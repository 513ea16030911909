// The command line and the usage text.
#include "host/options.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

VxCommandLine vxCommandLine;

namespace {

const VxOption* find(std::span<const VxOption> table, std::string_view name) {
    // Emscripten's C++ library has no range algorithms yet.
    auto option = std::find_if(table.begin(), table.end(), [&](const VxOption& o) { return o.name == name; });
    return option == table.end() ? nullptr : &*option;
}

constexpr const char* kAbout =
    "Spindrift: climb a leaning shaft of floors before it scrolls away or tips over.\n";

// Kept in step with the README's key table and the manual page.
constexpr const char* kKeysAndFiles = R"(
Keys:
  Left, Right (A, D)        run
  Space, Enter, Z, J        jump
  Up, Down (W, S)           choose in the menus; Space or Enter confirms
  Escape                    pause the round; in the main menu, quit
  F11                       full screen or window
  F4, closing the window    quit
  Game pads, an iCade cabinet and the mouse work too.

Files:
  data/          the game's pictures, fonts, sounds and music, beside the program
  .cobaltstate   settings, badges and high scores, in the working directory; the
                 installed launcher starts the game in
                 ${XDG_DATA_HOME:-~/.local/share}/spindrift
  replays/       the last round and each difficulty's best, beside .cobaltstate
)";

void printUsage(std::FILE* to) {
    std::fprintf(to, "Usage: spindrift [OPTION]...\n%s\nOptions:\n", kAbout);
    for (const VxOption& option : vxOptions) {
        std::string left = std::string(option.name) + (option.value ? std::string(" ") + option.value : "");
        std::fprintf(to, "  %-24s  %s\n", left.c_str(), option.help);
    }
    std::fputs(kKeysAndFiles, to);
    std::fflush(to);
}

} // namespace

bool VxCommandLine::Read(std::span<const VxOption> table, int argc, char** argv) {
    given.clear();
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (!argument.starts_with('-')) continue;
        const VxOption* option = find(table, argument);
        if (!option) return false;
        std::string value;
        if (option->value) {
            if (++i == argc) return false;
            value = argv[i];
        }
        given.insert_or_assign(std::string(argument), value);
    }
    return true;
}

bool VxCommandLine::Given(std::string_view name) const { return given.contains(name); }

std::string VxCommandLine::Value(std::string_view name) const {
    auto option = given.find(name);
    return option == given.end() ? std::string() : option->second;
}

void vxReadCommandLine(int argc, char** argv) {
    if (!vxCommandLine.Read(vxOptions, argc, argv)) {
        printUsage(stderr);
        std::exit(2);
    }
    if (vxCommandLine.Given("--help")) {
        printUsage(stdout);
        std::exit(0);
    }
    if (vxCommandLine.Given("--version")) {
        std::printf("Spindrift %s\n", SPINDRIFT_VERSION);
        std::fflush(stdout);
        std::exit(0);
    }
}

bool vxCommandLineNeedsNoWindow() {
    return std::any_of(std::begin(vxOptions), std::end(vxOptions), [](const VxOption& option) {
        return option.window == VxWindow::None && vxCommandLine.Given(option.name);
    });
}
