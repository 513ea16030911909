#!/usr/bin/env bash
# Runs the world score board on this machine: builds the server and the game's verifier, starts a
# PostgreSQL cluster of its own (kept in build/board-db, so the board outlives a restart of this
# script) and serves on 127.0.0.1:8080. The server brings the schema up to date as it starts.
# Usage: scripts/board.sh [--port N] [other spindrift-board options]     Ctrl-C stops both.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)" --target spindrift-board spindrift

# PostgreSQL refuses to run as root: the cluster belongs to the postgres user, which Debian's
# package makes, and listens on a socket in the cluster's own folder only.
data=$PWD/build/board-db
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)
as_postgres() { if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }
if [ ! -s "$data/PG_VERSION" ]; then
    mkdir -p "$data"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$data"
    as_postgres "$bin/initdb" -D "$data" -U board --auth=trust >/dev/null
fi
[ "$(id -u)" -eq 0 ] && chmod o+x "$PWD/build" "$PWD"
as_postgres "$bin/pg_ctl" -D "$data" -l "$data/server.log" -w \
    -o "-c listen_addresses='' -c unix_socket_directories='$data'" start >/dev/null
trap 'as_postgres "$bin/pg_ctl" -D "$data" -m fast stop >/dev/null' EXIT
as_postgres "$bin/psql" -h "$data" -U board -d postgres -tAc "SELECT 1 FROM pg_database WHERE datname = 'board'" |
    grep -q 1 || as_postgres "$bin/createdb" -h "$data" -U board board

export SPINDRIFT_BOARD_DB="host=$data user=board dbname=board"
echo "The board's database: $SPINDRIFT_BOARD_DB"
# Ctrl-C (or a SIGTERM to this script) stops the board between requests, then the cluster.
build/release/bin/spindrift-board --port 8080 "$@" &
board=$!
trap 'kill -TERM $board 2>/dev/null || true' INT TERM
wait $board || wait $board || true
