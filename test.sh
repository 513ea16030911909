#!/usr/bin/env bash
# Builds everything (game, data, tests, benchmarks) and runs every test: all of them under
# AddressSanitizer and UndefinedBehaviorSanitizer, the threaded ones again under ThreadSanitizer,
# the runtime, host and game tests again on the optimised build, and each fuzz target for a few
# seconds. Tests that need a window run on a virtual display (Xvfb), and the score board server's
# against a PostgreSQL cluster made for the run. Last, the browser build is played in headless
# Chromium.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSPINDRIFT_SANITIZE=asan -DSPINDRIFT_BENCH=ON >/dev/null
cmake --build build/asan -j "$jobs"
# The board server's tests get a throwaway PostgreSQL cluster (pg_virtualenv drops it afterwards).
(cd build/asan && pg_virtualenv xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" \
    ctest --output-on-failure -j "$jobs" --timeout 300)

cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSPINDRIFT_SANITIZE=tsan -DSPINDRIFT_GAME=OFF >/dev/null
cmake --build build/tsan -j "$jobs" --target net_all graphics_decode_ahead
(cd build/tsan && ctest --output-on-failure -j "$jobs" -L net --timeout 300)
(cd build/tsan && ctest --output-on-failure -j "$jobs" -R '^DecodeAhead[.]' --timeout 300)

cmake -S . -B build/release-tests -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release-tests -j "$jobs" --target runtime_tests host_all game_all
(cd build/release-tests && xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" ctest --output-on-failure -j "$jobs" \
    -L 'runtime|host|game' --timeout 300)

scripts/fuzz.sh 5

scripts/web-test.sh
