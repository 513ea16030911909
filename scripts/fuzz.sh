#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) and runs
# each for the given number of seconds (default 10), starting from the seed corpus the build writes.
# What a run finds is kept in build/fuzz/found/<target> (new inputs) and build/fuzz/crashes.
# Usage: scripts/fuzz.sh [seconds]        FUZZ_BUILD=<folder> picks another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
build=${FUZZ_BUILD:-build/fuzz}

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1" \
    -DSPINDRIFT_SANITIZE=asan -DSPINDRIFT_FUZZ=ON -DSPINDRIFT_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz_all

mkdir -p "$build/crashes"
status=0
# The targets are those fuzz/CMakeLists.txt declares; configuring lists them in fuzz/targets.txt.
while read -r target; do
    found="$build/found/$target"
    mkdir -p "$found"
    log="$build/found/$target.log"
    # Coverage and speed from libFuzzer's last status line; a crash leaves its input in crashes/.
    if ! "$build/bin/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=4096 \
        -artifact_prefix="$build/crashes/$target-" "$found" "$build/corpus/$target" </dev/null >"$log" 2>&1; then
        echo "fuzz_$target: FAILED (see $log)"
        status=1
        continue
    fi
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
    ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1)
    echo "fuzz_$target: ${execs} runs (${speed}/s), $cov edges, $ft features"
done <"$build/fuzz/targets.txt"
exit $status
