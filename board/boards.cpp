#include "board/boards.h"

#include <pqxx/pqxx>

#include <chrono>
#include <cstdio>
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

void BoardCache::Replace(std::vector<Place> places) {
    auto next = std::make_shared<BoardSnapshot>();
    for (Place& place : places)
        next->boards[place.difficulty - 1][PeriodNamed(place.period)].push_back(std::move(place));
    next->loaded = true;
    std::lock_guard guard(lock);
    current = std::move(next);
}

namespace {

// The notifications of one channel, counted for the loop that waits for them.
class Counter : public pqxx::notification_receiver {
  public:
    Counter(pqxx::connection_base& c, const std::string& channel) : pqxx::notification_receiver(c, channel) {}
    void operator()(const std::string&, int) override { ++count; }
    int count = 0;
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
    Counter ranked(connection, BoardChangedChannel), submitted(connection, RoundSubmittedChannel);
    connection.get_notifs();
    cache.Replace(store.LoadPlaces());
    roundSubmitted(); // rounds may have been queued while this process was not listening
    long day = UtcDay();
    while (!stopping) {
        connection.await_notification(1, 0);
        connection.get_notifs(); // everything that arrived meanwhile: one reload for a burst
        if (submitted.count > 0) roundSubmitted();
        if (ranked.count > 0 || UtcDay() != day) {
            day = UtcDay();
            cache.Replace(store.LoadPlaces());
        }
        ranked.count = submitted.count = 0;
    }
}
