#!/usr/bin/env bash
# The browser test: builds the page (scripts/web.sh), serves it on loopback and plays it in headless
# Chromium driven by puppeteer-core. Pictures of the menu and a round go to SPINDRIFT_WEB_SHOTS when
# it is set; the page's cost per frame is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh emscripten optipng chromium
scripts/web.sh
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error)
SPINDRIFT_PAGE="$(pwd)/build/web" node --test --test-reporter=tap tests/web/play.test.mjs
