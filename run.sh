#!/usr/bin/env bash
# Builds the game (with its data folder) and runs it; without a display, on a virtual one.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DSPINDRIFT_TESTS=OFF >/dev/null
cmake --build build/release --target spindrift
game=build/release/bin/spindrift
if [ -z "${DISPLAY:-}" ]; then
    echo "No display found: running Spindrift on a virtual display (Xvfb)."
    exec xvfb-run -a -s "-screen 0 1280x720x24" "$game" "$@"
fi
exec "$game" "$@"
