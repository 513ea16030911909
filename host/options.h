// The command line: the options the program takes, read before anything needs a display.
#pragma once

#include <map>
#include <span>
#include <string>
#include <string_view>

// Whether a program given an option opens its window.
enum class VxWindow { Opens, None };

// One option. `value` names the argument that follows it on the command line; null for a flag.
struct VxOption {
    const char* name;
    const char* value;
    const char* help;
    VxWindow window = VxWindow::Opens;
};

// The program's options; the usage lists them in this order.
inline constexpr VxOption vxOptions[] = {
    {"--help", nullptr, "print this help (keys, files, options) and exit", VxWindow::None},
    {"--version", nullptr, "print the version and exit", VxWindow::None},
    {"--replay", "FILE", "watch the round kept in FILE; Escape pauses, a second Escape quits"},
    {"--verify-replay", "FILE",
     "play FILE's round with no window: status 0 same score and state, 1 not, 2 no replay, 3 another version",
     VxWindow::None},
    {"--no-demo", nullptr, "no demo round in the idle menu"},
};

// The options given on one command line. Arguments that do not start with "-" are not options;
// the program finds them in argv as ever.
class VxCommandLine {
  public:
    // False when an argument starting with "-" is not in the table, or an option lacks its value.
    bool Read(std::span<const VxOption> table, int argc, char** argv);
    bool Given(std::string_view name) const;
    // The argument that followed the option; empty when it was not given or takes none.
    std::string Value(std::string_view name) const;

  private:
    std::map<std::string, std::string, std::less<>> given;
};

extern VxCommandLine vxCommandLine;

// Reads the program's options into vxCommandLine. --help prints the usage and --version the
// version on standard output and end the process with status 0; a command line the table does not
// allow prints the usage on standard error and ends it with status 2.
void vxReadCommandLine(int argc, char** argv);

// True when an option on the command line read runs the program without its window: it needs no
// display, and start-up leaves out what only a window needs.
bool vxCommandLineNeedsNoWindow();
