// The boards as the server answers them: all places of every board, held in memory and replaced
// whole when PostgreSQL says a round was ranked (LISTEN/NOTIFY), when the UTC day turns, and when
// the database comes back after an outage. Readers take the current snapshot and keep it as long
// as they need; they never wait for a refresh.
#pragma once

#include "board/store.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

enum BoardPeriod { PeriodAll, PeriodWeek, PeriodDay, PeriodCount };
const char* PeriodName(int period);
// PeriodAll to PeriodDay, or PeriodCount for a name that is none.
int PeriodNamed(std::string_view name);

struct BoardSnapshot {
    // [difficulty - 1][period], best first; an entry's rank is its index plus one.
    std::vector<Place> boards[3][PeriodCount];
    bool loaded = false; // false until the database has answered once
};

class BoardCache {
  public:
    std::shared_ptr<const BoardSnapshot> Current() const;
    void Replace(std::vector<Place> places);

  private:
    mutable std::mutex lock;
    std::shared_ptr<const BoardSnapshot> current = std::make_shared<BoardSnapshot>();
};

// Listens on a connection of its own; reconnects by itself after the database went away.
class BoardWatcher {
  public:
    // onSubmitted is called when any process queued a round, to wake the verifiers.
    BoardWatcher(Store& from, BoardCache& into, std::function<void()> onSubmitted);
    ~BoardWatcher();

  private:
    void Run();
    void Watch();

    Store& store;
    BoardCache& cache;
    std::function<void()> roundSubmitted;
    std::atomic<bool> stopping{false};
    std::thread thread;
};
