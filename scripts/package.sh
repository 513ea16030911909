#!/usr/bin/env bash
# Builds the Debian package, build/release/spindrift_<version>_amd64.deb, and checks it with
# lintian, which must report no errors (warnings and informational tags are shown too).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DSPINDRIFT_TESTS=OFF >/dev/null
cmake --build build/release --target package
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
package=build/release/spindrift_${version}_amd64.deb
lintian --fail-on error --display-info "$package"
echo "$package: lintian found no errors"
