// Runs a piece of a test in a forked child with its own standard input, output and error, so that
// paths which end the process can be checked for their output and exit status.
#pragma once

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

struct ChildResult {
    int status = -1; // exit status, or -1 when the child did not exit normally
    std::string out;
    std::string err;
};

inline ChildResult RunInChild(const std::function<void()>& body, const std::string& input = "") {
    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err)) std::abort();
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
        body();
        std::fflush(nullptr);
        _exit(100); // the body was expected to end the process itself
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (!input.empty() && write(in[1], input.data(), input.size()) != ssize_t(input.size())) std::abort();
    close(in[1]);
    ChildResult result;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0 && poll(fds, 2, -1) > 0) {
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !fds[i].revents) continue;
            char buffer[4096];
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, std::size_t(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}
