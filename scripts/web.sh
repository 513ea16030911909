#!/usr/bin/env bash
# Builds the game for the browser into build/web: index.html, spindrift.js, spindrift.wasm and
# spindrift.data (the generated data folder, packed). Serve it with
#     python3 -m http.server -d build/web
# and open http://localhost:8000/. The data folder comes from the desktop build's generator, so the
# desktop build's packages are installed too.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/setup.sh emscripten optipng
jobs=$(nproc)

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DSPINDRIFT_TESTS=OFF >/dev/null
cmake --build build/release -j "$jobs" --target spindrift_data

# Emscripten's tools run on the node found first; Debian keeps the modules they need here.
export NODE_PATH=/usr/share/nodejs
emcmake cmake -S . -B build/web-cmake -G Ninja -DCMAKE_BUILD_TYPE=Release -DSPINDRIFT_TESTS=OFF \
    -DSPINDRIFT_DATA_DIR="$root/build/release/bin/data" -DSPINDRIFT_PAGE_DIR="$root/build/web" >/dev/null
cmake --build build/web-cmake -j "$jobs"
echo "Built build/web; serve it with: python3 -m http.server -d build/web"
