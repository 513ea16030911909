#include "board/store.h"

#include "board/schema.h"

#include <pqxx/pqxx>

#include <cstdio>

namespace {

// One key serialises the processes that start at once while the schema is brought up to date.
constexpr long MigrationLock = 0x5350445242; // "SPDRB"

// The boards a moment belongs to, in SQL, as (period, period_start) rows: all time from -infinity,
// its ISO week from Monday and its day from midnight, UTC.
std::string PeriodStarts(const std::string& moment) {
    return "SELECT 'all' AS period, '-infinity'::timestamptz AS period_start"
           " UNION ALL SELECT 'week', date_trunc('week', " +
           moment +
           " AT TIME ZONE 'UTC') AT TIME ZONE 'UTC'"
           " UNION ALL SELECT 'day', date_trunc('day', " +
           moment + " AT TIME ZONE 'UTC') AT TIME ZONE 'UTC'";
}

pqxx::binarystring Bytes(const std::string& bytes) { return pqxx::binarystring(bytes.data(), bytes.size()); }

std::string Text(const pqxx::field& field) {
    const pqxx::binarystring bytes(field);
    return bytes.str();
}

} // namespace

Store::Store(std::string connectTo) : conninfo(std::move(connectTo)) {}
Store::~Store() = default;

std::unique_ptr<pqxx::connection> Store::Borrow() {
    {
        std::lock_guard guard(lock);
        if (!idle.empty()) {
            auto connection = std::move(idle.back());
            idle.pop_back();
            return connection;
        }
    }
    return std::make_unique<pqxx::connection>(conninfo);
}

void Store::Return(std::unique_ptr<pqxx::connection> connection) {
    std::lock_guard guard(lock);
    idle.push_back(std::move(connection));
}

// Runs work on a borrowed connection. Any failure of the database (gone, restarting, refusing)
// drops the connection and becomes DatabaseAway; its text goes to the log, never to a client. A
// pooled connection found broken means the database restarted since: the pool is emptied and the
// work tried once more on a new connection.
template <class Work> auto Store::WithConnection(Work&& work) {
    for (int attempt = 0;; ++attempt) {
        std::unique_ptr<pqxx::connection> connection;
        try {
            connection = Borrow();
            auto result = work(*connection);
            Return(std::move(connection));
            return result;
        } catch (const pqxx::broken_connection& e) {
            std::lock_guard guard(lock);
            idle.clear();
            if (attempt == 0) continue;
            std::fprintf(stderr, "spindrift-board: database: %s\n", e.what());
            throw DatabaseAway(e.what());
        } catch (const pqxx::failure& e) {
            std::fprintf(stderr, "spindrift-board: database: %s\n", e.what());
            throw DatabaseAway(e.what());
        }
    }
}

void Store::Migrate() {
    WithConnection([](pqxx::connection& c) {
        pqxx::work w(c);
        w.exec_params("SELECT pg_advisory_xact_lock($1)", MigrationLock);
        w.exec0("CREATE TABLE IF NOT EXISTS schema_migrations ("
                "version integer PRIMARY KEY, applied timestamptz NOT NULL DEFAULT now())");
        const int current = w.exec1("SELECT coalesce(max(version), 0) FROM schema_migrations")[0].as<int>();
        for (const Migration& m : BoardMigrations()) {
            if (m.version <= current) continue;
            w.exec0(m.sql);
            w.exec_params0("INSERT INTO schema_migrations (version) VALUES ($1)", m.version);
        }
        w.commit();
        return 0;
    });
}

SubmitResult Store::Submit(const Submission& round, int keyLimit, int addressLimit) {
    return WithConnection([&](pqxx::connection& c) {
        pqxx::work w(c);
        SubmitResult result;
        const auto earlier = w.exec_params("SELECT id, status FROM replays WHERE bytes_hash = $1 OR "
                                           "(course_hash = $2 AND status <> 'rejected') "
                                           "ORDER BY status <> 'rejected' DESC, id LIMIT 1",
                                           Bytes(round.bytesHash), Bytes(round.courseHash));
        if (!earlier.empty()) {
            return SubmitResult{SubmitResult::AlreadyThere, earlier[0][0].as<int64_t>(),
                                earlier[0][1].as<std::string>()};
        }
        const auto counts = w.exec_params1("SELECT (SELECT count(*) FROM replays WHERE key_hash = $1 AND "
                                           "submitted > now() - interval '1 hour'),"
                                           "       (SELECT count(*) FROM replays WHERE address = $2 AND "
                                           "submitted > now() - interval '1 hour')",
                                           Bytes(round.keyHash), round.address);
        if (counts[0].as<int>() >= keyLimit) return SubmitResult{SubmitResult::KeyLimited, 0, {}};
        if (counts[1].as<int>() >= addressLimit) return SubmitResult{SubmitResult::AddressLimited, 0, {}};
        w.exec_params0("INSERT INTO players (key_hash, name) VALUES ($1, $2) "
                       "ON CONFLICT (key_hash) DO UPDATE SET name = EXCLUDED.name",
                       Bytes(round.keyHash), round.name);
        const auto inserted =
            w.exec_params("INSERT INTO replays (key_hash, address, bytes, bytes_hash, course_hash, "
                          "difficulty, recorded_score) "
                          "VALUES ($1, $2, $3, $4, $5, $6, $7) "
                          "ON CONFLICT (course_hash) WHERE status <> 'rejected' DO NOTHING RETURNING id",
                          Bytes(round.keyHash), round.address, Bytes(round.bytes), Bytes(round.bytesHash),
                          Bytes(round.courseHash), round.difficulty, round.recordedScore);
        if (inserted.empty()) {
            // Another submission of the same round won the race a moment ago.
            w.abort();
            pqxx::work again(c);
            const auto row = again.exec_params1(
                "SELECT id, status FROM replays WHERE course_hash = $1 AND status <> 'rejected'",
                Bytes(round.courseHash));
            return SubmitResult{SubmitResult::AlreadyThere, row[0].as<int64_t>(), row[1].as<std::string>()};
        }
        result.id = inserted[0][0].as<int64_t>();
        result.status = "pending";
        w.exec0(std::string("NOTIFY ") + RoundSubmittedChannel);
        w.commit();
        return result;
    });
}

std::optional<RoundStatus> Store::Status(int64_t id) {
    return WithConnection([&](pqxx::connection& c) -> std::optional<RoundStatus> {
        pqxx::read_transaction w(c);
        const auto rows = w.exec_params(R"sql(
            SELECT r.id, r.status, r.reason, r.score, r.difficulty,
                   EXISTS (SELECT 1 FROM places p WHERE p.replay_id = r.id AND p.period = 'all')
              FROM replays r WHERE r.id = $1)sql",
                                        id);
        if (rows.empty()) return std::nullopt;
        const auto& row = rows[0];
        RoundStatus status;
        status.id = row[0].as<int64_t>();
        status.status = row[1].as<std::string>();
        if (!row[2].is_null()) status.reason = row[2].as<std::string>();
        if (!row[3].is_null()) status.score = row[3].as<int>();
        status.difficulty = row[4].as<int>();
        status.placed = row[5].as<bool>();
        return status;
    });
}

std::optional<int64_t> Store::AllTimeRank(int64_t replayId) {
    return WithConnection([&](pqxx::connection& c) -> std::optional<int64_t> {
        pqxx::read_transaction w(c);
        // One more than the places ordered before it: higher scores, then equal ones reached earlier.
        const auto rows = w.exec_params(R"sql(
            SELECT (SELECT count(*) + 1 FROM places o
                     WHERE o.difficulty = p.difficulty AND o.period = 'all' AND o.period_start = p.period_start
                       AND (o.score > p.score OR (o.score = p.score AND (o.achieved, o.replay_id) < (p.achieved, p.replay_id))))
              FROM places p WHERE p.replay_id = $1 AND p.period = 'all')sql",
                                        replayId);
        if (rows.empty()) return std::nullopt;
        return rows[0][0].as<int64_t>();
    });
}

std::optional<std::string> Store::VerifiedReplay(int64_t id) {
    return WithConnection([&](pqxx::connection& c) -> std::optional<std::string> {
        pqxx::read_transaction w(c);
        const auto rows =
            w.exec_params("SELECT bytes FROM replays WHERE id = $1 AND status = 'verified'", id);
        if (rows.empty()) return std::nullopt;
        return Text(rows[0][0]);
    });
}

std::optional<ClaimedRound> Store::Claim(const std::string& owner, int leaseSeconds) {
    return WithConnection([&](pqxx::connection& c) -> std::optional<ClaimedRound> {
        pqxx::work w(c);
        const auto rows = w.exec_params(R"sql(
            UPDATE replays SET lease_owner = $1, lease_until = now() + make_interval(secs => $2),
                               attempts = attempts + 1
             WHERE id = (SELECT id FROM replays
                          WHERE status = 'pending' AND (lease_until IS NULL OR lease_until < now())
                          ORDER BY id LIMIT 1 FOR UPDATE SKIP LOCKED)
            RETURNING id, bytes, recorded_score, attempts)sql",
                                        owner, leaseSeconds);
        w.commit();
        if (rows.empty()) return std::nullopt;
        return ClaimedRound{rows[0][0].as<int64_t>(), Text(rows[0][1]), rows[0][2].as<int>(),
                            rows[0][3].as<int>()};
    });
}

void Store::RenewLease(int64_t id, const std::string& owner, int leaseSeconds) {
    WithConnection([&](pqxx::connection& c) {
        pqxx::work w(c);
        w.exec_params0("UPDATE replays SET lease_until = now() + make_interval(secs => $3) "
                       "WHERE id = $1 AND lease_owner = $2 AND status = 'pending'",
                       id, owner, leaseSeconds);
        w.commit();
        return 0;
    });
}

bool Store::Finish(int64_t id, const std::string& owner, bool verified, int score,
                   const std::string& reason) {
    return WithConnection([&](pqxx::connection& c) {
        pqxx::work w(c);
        const auto rows = w.exec_params(R"sql(
            UPDATE replays SET status = $3, score = CASE WHEN $3 = 'verified' THEN $4::integer END,
                               reason = CASE WHEN $3 = 'rejected' THEN $5 END, finished = now(), verified_by = $2,
                               lease_owner = NULL, lease_until = NULL
             WHERE id = $1 AND status = 'pending' AND lease_owner = $2
            RETURNING key_hash, difficulty, submitted)sql",
                                        id, owner, verified ? "verified" : "rejected", score, reason);
        if (rows.empty()) return false; // the lease ran out and another process has the round
        if (verified) {
            w.exec_params0(std::string(R"sql(
                INSERT INTO places (difficulty, period, period_start, key_hash, replay_id, score, achieved)
                SELECT $1, s.period, s.period_start, $2, $3, $4, $5 FROM ()sql") +
                               PeriodStarts("$5::timestamptz") + R"sql() s
                ON CONFLICT (difficulty, period, period_start, key_hash) DO UPDATE
                   SET replay_id = EXCLUDED.replay_id, score = EXCLUDED.score, achieved = EXCLUDED.achieved
                 WHERE EXCLUDED.score > places.score)sql",
                           rows[0][1].as<int>(), pqxx::binarystring(rows[0][0]), id, score,
                           rows[0][2].as<std::string>());
            // The difficulty goes with it, so that listeners reload only its boards.
            w.exec_params("SELECT pg_notify($1, $2)", BoardChangedChannel,
                          std::to_string(rows[0][1].as<int>()));
        }
        w.commit();
        return true;
    });
}

std::vector<Place> Store::LoadPlaces(const std::set<int>& difficulties) {
    std::string among = "{";
    for (int d : difficulties) {
        if (among.size() > 1) among += ',';
        among += std::to_string(d);
    }
    among += "}";
    return WithConnection([&](pqxx::connection& c) {
        pqxx::read_transaction w(c);
        const auto rows =
            w.exec_params(std::string(R"sql(
            SELECT p.difficulty, p.period, p.key_hash, pl.name, p.score,
                   to_char(p.achieved AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"'), p.replay_id
              FROM places p JOIN players pl USING (key_hash)
              JOIN ()sql") + PeriodStarts("now()") +
                              R"sql() s ON s.period = p.period AND s.period_start = p.period_start
             WHERE cardinality($1::int[]) = 0 OR p.difficulty = ANY($1::int[])
             ORDER BY p.difficulty, p.period, p.score DESC, p.achieved, p.replay_id)sql",
                          among);
        std::vector<Place> places;
        places.reserve(rows.size());
        for (const auto& row : rows)
            places.push_back(Place{row[0].as<int>(), row[1].as<std::string>(), Text(row[2]),
                                   row[3].as<std::string>(), row[4].as<int>(), row[5].as<std::string>(),
                                   row[6].as<int64_t>()});
        return places;
    });
}
