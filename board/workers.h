// The verification threads: each claims the oldest waiting round with a lease, re-plays it, and
// records the outcome only if it still holds the lease. The lease is renewed while the re-play
// runs, so that it runs out only when this process is gone; then another process takes the round.
#pragma once

#include "board/options.h"
#include "board/store.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

class Verifiers {
  public:
    Verifiers(const BoardOptions& given, Store& to);
    ~Verifiers();
    // Something may be waiting: idle threads look now rather than at their next poll.
    void Wake();

  private:
    void Run();
    void VerifyOne(const ClaimedRound& round);

    const BoardOptions& options;
    Store& store;
    std::mutex lock;
    std::condition_variable wake;
    std::atomic<bool> stopping{false};
    std::vector<std::thread> threads;
};
