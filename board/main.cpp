// spindrift-board: the world score board server. See the README's Board section.
#include "board/boards.h"
#include "board/options.h"
#include "board/server.h"
#include "board/store.h"
#include "board/workers.h"

#include <httplib.h>

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>

namespace {

// SIGTERM and SIGINT end the server between requests: they are blocked in every thread and taken
// by one that stops the listener.
sigset_t EndingSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    return signals;
}

int Serve(const BoardOptions& options) {
    Store store(options.database);
    try {
        store.Migrate();
    } catch (const DatabaseAway&) {
        std::fprintf(stderr, "spindrift-board: cannot bring the database's schema up to date\n");
        return 1;
    }
    httplib::Server server;
    BoardCache cache;
    ServeBoard(server, options, store, cache);
    const int port = options.port == 0
                         ? server.bind_to_any_port(options.listen)
                         : (server.bind_to_port(options.listen, options.port) ? options.port : -1);
    if (port < 0) {
        std::fprintf(stderr, "spindrift-board: cannot listen on %s:%d\n", options.listen.c_str(),
                     options.port);
        return 1;
    }
    Verifiers verifiers(options, store);
    BoardWatcher watcher(store, cache, [&] { verifiers.Wake(); });
    const sigset_t signals = EndingSignals();
    std::thread ender([&] {
        int signal = 0;
        sigwait(&signals, &signal);
        server.stop();
    });
    std::printf("spindrift-board: listening on http://%s:%d\n", options.listen.c_str(), port);
    std::fflush(stdout);
    server.listen_after_bind();
    // The listener stopped: by a signal, or failing; either way the signal thread must end.
    pthread_kill(ender.native_handle(), SIGTERM);
    ender.join();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const ParsedOptions parsed = ParseBoardOptions(argc, argv);
    if (parsed.help) {
        std::fputs(BoardUsage, stdout);
        return 0;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "spindrift-board: %s\n%s", parsed.error.c_str(), BoardUsage);
        return 2;
    }
    const sigset_t signals = EndingSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return Serve(*parsed.options);
}
