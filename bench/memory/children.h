// What the memory and start-up benchmarks share: each runs itself again as child processes, one
// measured thing per process (a bare OpenGL window, the game), so that every figure is the whole
// resident memory or the whole start of a fresh program, and the baseline comes from the same run
// on the same loaded machine. A child reports "name value" lines on its standard output.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace benchchild {

using Report = std::map<std::string, double>;

// The window sizes measured: the game's own window, and full screen on the 1920 x 1080 display.
struct Screen {
    int width;
    int height;
    bool fullscreen;
};
inline constexpr Screen Windowed{640, 480, false};
inline constexpr Screen FullScreen{1920, 1080, true};

// Runs this program again with `--child` and `args`, in a fresh working folder (no saved state),
// with OpenAL mixing into /dev/null so that its buffers are real; what the child reported. The
// clock reading just before the start is passed as the child's last argument.
Report Run(const std::vector<std::string>& args);

// The child's side: one reported line.
void Say(const std::string& name, double value);

// This process's resident memory now and at its highest, in MB, as the kernel counts it.
double ResidentMB();
double PeakMB();

// The system's monotonic clock, shared by parent and child, in seconds.
double Now();

// The baseline: a bare GLFW program with the game's window drawing one triangle a frame for
// `frames` frames; reports its resident memory, its peak and when its window was open.
int BareWindow(Screen screen, int frames, double startedAt);

// `count` runs of this program as a child with `args`, made once and kept for every benchmark that
// reads them.
const std::vector<Report>& RunsOf(const std::vector<std::string>& args, int count);

// The benchmark program's main: with `--child` it is the child named by the next argument and
// returns `child`'s status; otherwise it runs the benchmarks.
int Main(int argc, char** argv, int (*child)(int argc, char** argv));

// The median of the values that `runs` reports give for `name`.
double Median(const std::vector<Report>& runs, const std::string& name);

inline constexpr double MB = 1024.0 * 1024.0;

} // namespace benchchild
