#include "board/workers.h"

#include "board/round.h"
#include "board/verifier.h"

#include <chrono>
#include <cstdio>

namespace {

// A round whose re-play was started this often without an outcome (its processes died each
// time) is given up.
constexpr int MaxAttempts = 3;

} // namespace

Verifiers::Verifiers(const BoardOptions& given, Store& to) : options(given), store(to) {
    for (int i = 0; i < options.workers; ++i) threads.emplace_back([this] { Run(); });
}

Verifiers::~Verifiers() {
    stopping = true;
    wake.notify_all();
    for (std::thread& t : threads) t.join();
}

void Verifiers::Wake() { wake.notify_all(); }

void Verifiers::Run() {
    while (!stopping) {
        std::optional<ClaimedRound> round;
        try {
            round = store.Claim(options.name, options.leaseSeconds);
        } catch (const DatabaseAway&) {
        }
        if (round) {
            VerifyOne(*round);
            continue;
        }
        // Nothing waiting (or no database): a notification or a second's poll looks again.
        std::unique_lock guard(lock);
        wake.wait_for(guard, std::chrono::seconds(1));
    }
}

void Verifiers::VerifyOne(const ClaimedRound& round) {
    Verdict verdict;
    ReplayData data;
    if (round.attempts > MaxAttempts) {
        verdict.reason = "the re-play did not finish in " + std::to_string(MaxAttempts) + " tries";
    } else if (std::string why = DecodeReplay(
                   {reinterpret_cast<const uint8_t*>(round.bytes.data()), round.bytes.size()}, data);
               !why.empty()) {
        verdict.reason = why;
    } else if (std::string problem = ClockProblem(data); !problem.empty()) {
        verdict.reason = problem;
    } else {
        using Clock = std::chrono::steady_clock;
        auto renewed = Clock::now();
        const auto every = std::chrono::milliseconds(options.leaseSeconds * 1000 / 3);
        verdict = VerifyRound(options, round.bytes, round.recordedScore, [&] {
            if (Clock::now() - renewed < every) return;
            renewed = Clock::now();
            try {
                store.RenewLease(round.id, options.name, options.leaseSeconds);
            } catch (const DatabaseAway&) {
            }
        });
    }
    if (verdict.notRun) return; // the lease runs out and the round is tried again
    try {
        if (store.Finish(round.id, options.name, verdict.verified, verdict.score, verdict.reason)) {
            if (verdict.verified)
                std::printf("verified round %lld: score %d\n", (long long)round.id, verdict.score);
            else
                std::printf("rejected round %lld: %s\n", (long long)round.id, verdict.reason.c_str());
        }
    } catch (const DatabaseAway&) {
        // Not recorded: the lease runs out and the round is verified again.
    }
    std::fflush(stdout);
}
