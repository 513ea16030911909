#include "board/schema.h"

namespace {

const Migration migrations[] = {
    {1, R"sql(
CREATE TABLE players (
    key_hash bytea PRIMARY KEY,
    name text NOT NULL,
    created timestamptz NOT NULL DEFAULT now()
);

CREATE TABLE replays (
    id bigserial PRIMARY KEY,
    key_hash bytea NOT NULL REFERENCES players,
    address text NOT NULL,
    bytes bytea NOT NULL,
    bytes_hash bytea NOT NULL,
    course_hash bytea NOT NULL,
    difficulty smallint NOT NULL CHECK (difficulty BETWEEN 1 AND 3),
    recorded_score integer NOT NULL,
    status text NOT NULL DEFAULT 'pending' CHECK (status IN ('pending', 'verified', 'rejected')),
    reason text,
    score integer,
    submitted timestamptz NOT NULL DEFAULT now(),
    finished timestamptz,
    attempts integer NOT NULL DEFAULT 0,
    lease_owner text,
    lease_until timestamptz,
    verified_by text
);
CREATE INDEX replays_waiting ON replays (id) WHERE status = 'pending';
-- A round ranks once, however its file is re-wrapped; a rejected copy does not block a good one.
CREATE UNIQUE INDEX replays_one_course ON replays (course_hash) WHERE status <> 'rejected';
CREATE INDEX replays_same_bytes ON replays (bytes_hash);
CREATE INDEX replays_by_key ON replays (key_hash, submitted);
CREATE INDEX replays_by_address ON replays (address, submitted);

-- Each player's best verified round per board: all time, an ISO week, a UTC day.
CREATE TABLE places (
    difficulty smallint NOT NULL,
    period text NOT NULL CHECK (period IN ('all', 'week', 'day')),
    period_start timestamptz NOT NULL,
    key_hash bytea NOT NULL REFERENCES players,
    replay_id bigint NOT NULL REFERENCES replays,
    score integer NOT NULL,
    achieved timestamptz NOT NULL,
    PRIMARY KEY (difficulty, period, period_start, key_hash)
);
CREATE INDEX places_ranked ON places (difficulty, period, period_start, score DESC, achieved, replay_id);
)sql"},
    // A round's status asks whether it holds a place.
    {2, R"sql(
CREATE INDEX places_of_round ON places (replay_id);
)sql"},
};

} // namespace

std::span<const Migration> BoardMigrations() { return migrations; }
