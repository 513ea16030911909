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
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

// The entries a board answer has unless asked for another number.
inline constexpr int TopTen = 10;

enum BoardPeriod { PeriodAll, PeriodWeek, PeriodDay, PeriodCount };
const char* PeriodName(int period);
// PeriodAll to PeriodDay, or PeriodCount for a name that is none.
int PeriodNamed(std::string_view name);

// One board, best first: an entry's rank is its index plus one. Its most asked answer, the top ten
// as JSON, is made once with it.
struct Board {
    std::vector<Place> places;
    std::string topTenJson;
    std::unordered_map<int64_t, std::size_t> indexOfReplay;
};

struct BoardSnapshot {
    // [difficulty - 1][period]; boards a reload did not touch are shared with the snapshot before.
    std::shared_ptr<const Board> boards[3][PeriodCount];
    bool loaded = false; // false until the database has answered once
    BoardSnapshot();
    // The rank of a round on the all-time board of its difficulty, if it is there.
    std::optional<int64_t> AllTimeRank(int difficulty, int64_t replayId) const;
};

class BoardCache {
  public:
    std::shared_ptr<const BoardSnapshot> Current() const;
    // The places of the given difficulties (all of them when empty) replace those boards.
    void Replace(std::vector<Place> places, const std::set<int>& difficulties);

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
