#!/usr/bin/env bash
# Benchmarks of the world score board server, spindrift-board, as built in build/release: board
# reads against nginx serving the same bytes, verification throughput with one and two workers,
# submission-to-ranked latency at steady rates, and how the snapshot reload grows with the
# population. Figures only: nothing here passes or fails on speed.
#
#   bench/board/run.sh
#
# Needs pg_virtualenv (postgresql-common with a PostgreSQL server), psql, wrk, nginx and python3.
# Runs on loopback only, on ports 18500-18599, in a temporary folder and a throw-away cluster of its
# own; about three minutes. Knobs (environment): BOARD_BENCH_PLAYERS (population for the reads,
# default 1000), BOARD_BENCH_ROUNDS (rounds queued per verification batch, default 300),
# BOARD_BENCH_BIG (the larger population the last step fills, default 20000; 0 skips it: 100000
# takes two minutes more to fill), BOARD_BENCH_SECONDS (each wrk run, default 5), BOARD_BENCH_RATES
# (submissions per second, default "5 20"), BOARD_BENCH_POLL (seconds between a client's status
# asks, default 0.5), BOARD_BENCH_BIN (default build/release/bin).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
bin=${BOARD_BENCH_BIN:-$root/build/release/bin}

missing=0
for program in spindrift-board spindrift; do
    if [ ! -x "$bin/$program" ]; then
        echo "run.sh: $bin/$program is missing: build the release build first" >&2
        missing=1
    fi
done
for tool in pg_virtualenv psql wrk nginx python3; do
    if ! command -v "$tool" >/dev/null; then
        echo "run.sh: $tool is not installed" >&2
        missing=1
    fi
done
[ "$missing" = 0 ] || exit 2

work=$(mktemp -d /tmp/spindrift-board-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
# nginx's workers drop root and must still read the file they serve.
chmod 755 "$work"

export BOARD_BENCH_ROOT="$root" BOARD_BENCH_BIN="$bin" BOARD_BENCH_WORK="$work"
# -t keeps the cluster in a temporary folder, so that a test run's cluster beside this one is left
# alone; pg_stat_statements tells where PostgreSQL's share of a round goes.
pg_virtualenv -t -o shared_preload_libraries=pg_stat_statements python3 -u "$here/board_bench.py"
