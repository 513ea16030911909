#include "board/boards.h"

#include "board/page.h"

#include <pqxx/pqxx>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

const char* PeriodName(int period) {
    static const char* const names[] = {"all", "week", "day"};
    return period >= 0 && period < PeriodCount ? names[period] : "";
}

int PeriodNamed(std::string_view name) {
    int period = 0;
    while (period < PeriodCount && name != PeriodName(period)) ++period;
    return period;
}

std::shared_ptr<const BoardSnapshot> BoardCache::Current() const {
    std::lock_guard guard(lock);
    return current;
}

BoardSnapshot::BoardSnapshot() {
    const auto empty = std::make_shared<const Board>(Board{{}, BoardJson({}, TopTen, 0), {}});
    for (auto& periods : boards)
        for (auto& board : periods) board = empty;
}

std::optional<int64_t> BoardSnapshot::AllTimeRank(int difficulty, int64_t replayId) const {
    if (difficulty < 1 || difficulty > 3) return std::nullopt;
    const Board& board = *boards[difficulty - 1][PeriodAll];
    const auto at = board.indexOfReplay.find(replayId);
    if (at == board.indexOfReplay.end()) return std::nullopt;
    return int64_t(at->second) + 1;
}

void BoardCache::Replace(std::vector<Place> places, const std::set<int>& difficulties) {
    Board fresh[3][PeriodCount];
    for (Place& place : places)
        fresh[place.difficulty - 1][PeriodNamed(place.period)].places.push_back(std::move(place));
    auto next = std::make_shared<BoardSnapshot>(*Current());
    for (int d = 1; d <= 3; ++d) {
        if (!difficulties.empty() && !difficulties.contains(d)) continue;
        for (int period = 0; period < PeriodCount; ++period) {
            Board& board = fresh[d - 1][period];
            board.topTenJson = BoardJson(board.places, TopTen, 0);
            if (period == PeriodAll)
                for (std::size_t i = 0; i < board.places.size(); ++i)
                    board.indexOfReplay[board.places[i].replayId] = i;
            next->boards[d - 1][period] = std::make_shared<const Board>(std::move(board));
        }
    }
    next->loaded = true;
    std::lock_guard guard(lock);
    current = std::move(next);
}

namespace {

// The notifications of one channel, kept for the loop that waits for them: how many, and their
// payloads (a ranking names its difficulty).
class Heard : public pqxx::notification_receiver {
  public:
    Heard(pqxx::connection_base& c, const std::string& channel) : pqxx::notification_receiver(c, channel) {}
    void operator()(const std::string& payload, int) override {
        ++count;
        payloads.insert(std::atoi(payload.c_str()));
    }
    int count = 0;
    std::set<int> payloads;
};

long UtcDay() { return long(std::time(nullptr) / 86400); }

} // namespace

BoardWatcher::BoardWatcher(Store& from, BoardCache& into, std::function<void()> onSubmitted)
    : store(from), cache(into), roundSubmitted(std::move(onSubmitted)), thread([this] { Run(); }) {}

BoardWatcher::~BoardWatcher() {
    stopping = true;
    thread.join();
}

void BoardWatcher::Run() {
    while (!stopping) {
        try {
            Watch();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "spindrift-board: watching the boards: %s\n", e.what());
        }
        for (int i = 0; i < 10 && !stopping; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

// Listening starts before the first load, so that no ranking falls between the two.
void BoardWatcher::Watch() {
    pqxx::connection connection(store.Conninfo());
    Heard ranked(connection, BoardChangedChannel), submitted(connection, RoundSubmittedChannel);
    connection.get_notifs();
    cache.Replace(store.LoadPlaces({}), {});
    roundSubmitted(); // rounds may have been queued while this process was not listening
    long day = UtcDay();
    while (!stopping) {
        connection.await_notification(1, 0);
        connection.get_notifs(); // everything that arrived meanwhile: one reload for a burst
        if (submitted.count > 0) roundSubmitted();
        if (UtcDay() != day) {
            day = UtcDay();
            cache.Replace(store.LoadPlaces({}), {});
        } else if (ranked.count > 0) {
            // A notification naming no difficulty (an operator's NOTIFY) reloads every board.
            std::set<int> difficulties = ranked.payloads;
            if (std::any_of(difficulties.begin(), difficulties.end(), [](int d) { return d < 1 || d > 3; }))
                difficulties.clear();
            cache.Replace(store.LoadPlaces(difficulties), difficulties);
        }
        ranked.count = submitted.count = 0;
        ranked.payloads.clear();
    }
}
