#include "board/verifier.h"

#include "game/replay_file.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// What the verifier may print is a line or two; more is cut.
constexpr std::size_t OutputLimit = 4096;

struct Child {
    int status = 0;
    bool timedOut = false;
    std::string output;
};

// Runs in the child between fork and exec: async-signal-safe calls only.
[[noreturn]] void BecomeVerifier(const BoardOptions& options, const std::string& folder,
                                 const std::string& file, int outputFd) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    setpgid(0, 0);
    const rlim_t cpu = rlim_t(options.verifyCpuSeconds);
    const rlimit cpuLimit{cpu, cpu + 1};
    setrlimit(RLIMIT_CPU, &cpuLimit);
    if (options.verifyMemoryMiB > 0) {
        const rlim_t bytes = rlim_t(options.verifyMemoryMiB) << 20;
        const rlimit memoryLimit{bytes, bytes};
        setrlimit(RLIMIT_AS, &memoryLimit);
    }
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const int in = open("/dev/null", O_RDONLY);
    dup2(in, 0);
    dup2(outputFd, 1);
    dup2(outputFd, 2);
    if (chdir(folder.c_str()) != 0) _exit(126);
    const std::string home = "HOME=" + folder;
    char* const env[] = {const_cast<char*>("PATH=/usr/bin:/bin"), const_cast<char*>(home.c_str()), nullptr};
    char* const argv[] = {const_cast<char*>(options.verifier.c_str()), const_cast<char*>("--verify-replay"),
                          const_cast<char*>(file.c_str()), nullptr};
    execve(options.verifier.c_str(), argv, env);
    _exit(127);
}

Child RunChild(const BoardOptions& options, const std::string& folder, const std::string& file,
               const std::function<void()>& stillWorking) {
    Child child;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        child.status = -1;
        return child;
    }
    const pid_t pid = fork();
    if (pid == 0) BecomeVerifier(options, folder, file, pipeFds[1]);
    close(pipeFds[1]);
    if (pid < 0) {
        close(pipeFds[0]);
        child.status = -1;
        return child;
    }
    setpgid(pid, pid); // as the child does, so that the group exists whichever runs first
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(options.verifyWallSeconds);
    pollfd readable{pipeFds[0], POLLIN, 0};
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            child.timedOut = true;
            break;
        }
        const int ready = poll(&readable, 1, int(std::min<long long>(left, 1000)));
        stillWorking();
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        char buffer[1024];
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        if (child.output.size() < OutputLimit) child.output.append(buffer, std::size_t(n));
    }
    close(pipeFds[0]);
    if (child.timedOut) {
        kill(-pid, SIGKILL);
        kill(pid, SIGKILL);
    }
    waitpid(pid, &child.status, 0);
    return child;
}

std::string FirstLine(const std::string& text) {
    const std::string line = text.substr(0, text.find('\n'));
    return line.empty() ? "no message" : line;
}

std::string LastLine(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    const std::size_t at = text.rfind('\n');
    return at == std::string::npos ? (text.empty() ? "no message" : text) : text.substr(at + 1);
}

bool RanOutOfMemory(const std::string& output) {
    for (const char* sign : {"bad_alloc", "MemoryError", "out of memory"})
        if (output.find(sign) != std::string::npos) return true;
    return false;
}

Verdict Judge(const Child& child, int recordedScore, const BoardOptions& options) {
    if (child.timedOut)
        return {false, 0,
                "the re-play ran out of time (" + std::to_string(options.verifyWallSeconds) + " s)"};
    if (child.status == -1) return {false, 0, {}, true};
    const bool exited = WIFEXITED(child.status);
    if (!(exited && WEXITSTATUS(child.status) <= 3) && options.verifyMemoryMiB > 0 &&
        RanOutOfMemory(child.output))
        return {false, 0,
                "the re-play ran out of memory (" + std::to_string(options.verifyMemoryMiB) + " MiB)"};
    if (WIFSIGNALED(child.status)) {
        const int signal = WTERMSIG(child.status);
        if (signal == SIGXCPU || signal == SIGKILL)
            return {false, 0,
                    "the re-play ran out of CPU time (" + std::to_string(options.verifyCpuSeconds) + " s)"};
        return {false, 0,
                "the re-play crashed (signal " + std::to_string(signal) + ", " + strsignal(signal) + ")"};
    }
    switch (WEXITSTATUS(child.status)) {
    case ReplaySame: {
        const std::size_t at = child.output.rfind("score ");
        const int score = at == std::string::npos ? -1 : std::atoi(child.output.c_str() + at + 6);
        if (score != recordedScore) return {false, 0, "the re-play ended with another score"};
        return {true, score, {}};
    }
    case ReplayDesync:
        if (!child.output.starts_with("desync")) break;
        return {false, 0, FirstLine(child.output)};
    case ReplayUnreadable:
    case ReplayOtherVersion:
        return {false, 0, FirstLine(child.output)};
    default:
        break;
    }
    return {false, 0,
            "the re-play failed (status " + std::to_string(WEXITSTATUS(child.status)) +
                "): " + LastLine(child.output)};
}

} // namespace

Verdict VerifyRound(const BoardOptions& options, const std::string& replayBytes, int recordedScore,
                    const std::function<void()>& stillWorking) {
    char folderName[] = "/tmp/spindrift-board-XXXXXX";
    if (!mkdtemp(folderName)) return {false, 0, {}, true};
    const std::string folder = folderName, file = folder + "/round.replay";
    Verdict verdict{false, 0, {}, true};
    if (std::FILE* out = std::fopen(file.c_str(), "wb")) {
        const bool written =
            std::fwrite(replayBytes.data(), 1, replayBytes.size(), out) == replayBytes.size();
        if (std::fclose(out) == 0 && written)
            verdict = Judge(RunChild(options, folder, file, stillWorking), recordedScore, options);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return verdict;
}
