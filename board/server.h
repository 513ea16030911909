// The board's HTTP interface (cpp-httplib): rounds in, statuses, boards as JSON and as a page, the
// replay files, and the game's check-in.
#pragma once

#include "board/boards.h"
#include "board/options.h"
#include "board/store.h"

#include <memory>

namespace httplib {
class Server;
}

// Builds the routes on server; answers come from store and, for the boards, cache.
void ServeBoard(httplib::Server& server, const BoardOptions& options, Store& store, const BoardCache& cache);
