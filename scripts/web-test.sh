#!/usr/bin/env bash
# The browser test: builds the page (scripts/web.sh) unless build/web holds one already, serves it
# on loopback and plays it in headless Chromium driven by puppeteer-core. Pictures of the menu and
# a round go to SPINDRIFT_WEB_SHOTS when it is set; the page's cost per frame is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/web/spindrift.wasm ] || scripts/web.sh
scripts/setup.sh emscripten optipng chromium
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error)
SPINDRIFT_PAGE="$(pwd)/build/web" node --test --test-reporter=spec tests/web/play.test.mjs
