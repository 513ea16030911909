#include "bench/memory/children.h"

#include <benchmark/benchmark.h>

#include <GLFW/glfw3.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace benchchild {

namespace {

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, std::size_t(n));
    return text;
}

// OpenAL Soft's wave back end: a real device and real buffers, with nothing to hear.
std::string SilentOpenAlConfig(const std::filesystem::path& folder) {
    const std::filesystem::path conf = folder / "alsoft.conf";
    std::ofstream(conf) << "[general]\ndrivers=wave\n[wave]\nfile=/dev/null\n";
    return "ALSOFT_CONF=" + conf.string();
}

Report Parse(const std::string& text) {
    Report report;
    std::istringstream lines(text);
    // The game prints lines of its own (the audio device's) between the reported ones.
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string name, rest;
        double value;
        if (words >> name >> value && !(words >> rest)) report[name] = value;
    }
    return report;
}

double StatusMB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) return std::atof(line.c_str() + prefix.size()) / 1024.0;
    }
    return 0;
}

} // namespace

Report Run(const std::vector<std::string>& args) {
    char folderName[] = "/tmp/spindrift-bench-XXXXXX";
    if (!mkdtemp(folderName)) std::abort();
    const std::filesystem::path folder = folderName;
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (std::string(*e).rfind("ALSOFT_CONF=", 0) != 0) env.emplace_back(*e);
    }
    env.push_back(SilentOpenAlConfig(folder));
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    int fds[2];
    if (pipe(fds)) std::abort();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addchdir_np(&actions, folderName);

    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::vector<std::string> words{self, "--child"};
    words.insert(words.end(), args.begin(), args.end());
    char startedAt[32];
    std::snprintf(startedAt, sizeof startedAt, "%.9f", Now());
    words.emplace_back(startedAt);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    if (posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), envp.data())) std::abort();
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    Report report = Parse(ReadAll(fds[0]));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    std::filesystem::remove_all(folder);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "child %s failed\n", args.empty() ? "" : args[0].c_str());
        std::abort();
    }
    return report;
}

void Say(const std::string& name, double value) {
    std::printf("%s %.6f\n", name.c_str(), value);
    std::fflush(stdout);
}

double ResidentMB() { return StatusMB("VmRSS"); }
double PeakMB() { return StatusMB("VmHWM"); }

double Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The same window hints as the game's host, so that the driver gives both the same buffers.
int BareWindow(Screen screen, int frames, double startedAt) {
    if (!glfwInit()) return 1;
    glfwWindowHint(GLFW_RED_BITS, 8);
    glfwWindowHint(GLFW_GREEN_BITS, 8);
    glfwWindowHint(GLFW_BLUE_BITS, 8);
    glfwWindowHint(GLFW_ALPHA_BITS, 0);
    glfwWindowHint(GLFW_DEPTH_BITS, 0);
    glfwWindowHint(GLFW_STENCIL_BITS, 0);
    glfwWindowHint(GLFW_REFRESH_RATE, 60);
    GLFWmonitor* monitor = screen.fullscreen ? glfwGetPrimaryMonitor() : nullptr;
    GLFWwindow* window = glfwCreateWindow(screen.width, screen.height, "bare", monitor, nullptr);
    if (!window) return 1;
    glfwMakeContextCurrent(window);
    Say("window_s", Now() - startedAt);
    glfwSwapInterval(0);
    for (int i = 0; i < frames; ++i) {
        int w = 0, h = 0;
        glfwGetFramebufferSize(window, &w, &h);
        glViewport(0, 0, w, h);
        glClear(GL_COLOR_BUFFER_BIT);
        glBegin(GL_TRIANGLES);
        glColor3f(1, 0.5f, 0);
        glVertex2f(-0.5f, -0.5f);
        glVertex2f(0.5f, -0.5f);
        glVertex2f(0, 0.5f);
        glEnd();
        glfwSwapBuffers(window);
        glfwPollEvents();
    }
    glFinish();
    Say("resident", ResidentMB());
    Say("peak", PeakMB());
    return 0;
}

const std::vector<Report>& RunsOf(const std::vector<std::string>& args, int count) {
    static std::map<std::vector<std::string>, std::vector<Report>> made;
    std::vector<Report>& runs = made[args];
    while (int(runs.size()) < count) runs.push_back(Run(args));
    return runs;
}

int Main(int argc, char** argv, int (*child)(int argc, char** argv)) {
    if (argc > 2 && std::string(argv[1]) == "--child") return child(argc - 2, argv + 2);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

double Median(const std::vector<Report>& runs, const std::string& name) {
    std::vector<double> values;
    for (const Report& run : runs) {
        auto found = run.find(name);
        if (found != run.end()) values.push_back(found->second);
    }
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace benchchild
