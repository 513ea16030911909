#!/usr/bin/env bash
# The browser test: builds the page (scripts/web.sh), serves it on loopback and plays it in headless
# Chromium driven by puppeteer-core; a round played in the page is verified by the desktop's
# verifier, and the golden replays by the WebAssembly verifier under Node. Pictures of the menu and
# a round go to SPINDRIFT_WEB_SHOTS when it is set; the page's cost per frame is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh emscripten optipng chromium
scripts/web.sh
# The desktop program beside the data folder web.sh generated: its verifier checks the page's rounds.
cmake --build build/release -j "$(nproc)" --target spindrift
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error)
SPINDRIFT_PAGE="$(pwd)/build/web" SPINDRIFT_DESKTOP="$(pwd)/build/release/bin/spindrift" \
    SPINDRIFT_WASM_VERIFIER="$(pwd)/build/web-cmake/bin/spindrift-verify.js" \
    node --test --test-reporter=tap tests/web/play.test.mjs tests/web/verify.test.mjs
