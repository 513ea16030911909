#!/usr/bin/env bash
# Installs the Debian packages the build, the game and the tests need, and any named as arguments
# (once; later runs only check).
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config python3
    libglfw3-dev libgl-dev libopenal-dev libstb-dev libvorbis-dev
    googletest libgtest-dev libbenchmark-dev
    libx11-dev xvfb xauth x11-utils x11-xkb-utils imagemagick xdotool
    clang libclang-rt-14-dev libsdl2-dev
    desktop-file-utils appstream lintian dpkg-dev man-db file
    postgresql libpq-dev libpqxx-dev libcpp-httplib-dev nlohmann-json3-dev libssl-dev curl wrk nginx-light
)
# More for one script: the browser build's, for example.
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
