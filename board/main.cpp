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
#include <sys/socket.h>
#include <thread>

#if defined(__SANITIZE_ADDRESS__)
// libpqxx 6.4 does not free libpq's result of a BEGIN that fails because the server dropped the
// connection (a database restart); the sanitizer build would report it at every restart. Only
// libpqxx calls libpq here, and the unwinder stops inside it, so the module is named.
extern "C" const char* __lsan_default_suppressions() { return "leak:libpq.so\n"; }
#endif

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
    BoardCache cache;
    try {
        // Board answers are whole from the first request on.
        cache.Replace(store.LoadPlaces({}), {});
    } catch (const DatabaseAway&) {
        std::fprintf(stderr, "spindrift-board: cannot read the boards\n");
        return 1;
    }
    httplib::Server server;
    ServeBoard(server, options, store, cache);
    // The library listens with a backlog of 5, which a burst of new connections overflows (each
    // then waits a second to retry): the socket is kept to listen again with the system's limit.
    int listening = -1;
    server.set_socket_options([&](int socket) {
        const int on = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        listening = socket;
    });
    const int port = options.port == 0
                         ? server.bind_to_any_port(options.listen)
                         : (server.bind_to_port(options.listen, options.port) ? options.port : -1);
    if (port < 0 || listen(listening, SOMAXCONN) != 0) {
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
