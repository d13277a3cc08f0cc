#!/usr/bin/env bash
# Installs the Debian packages the project needs. Only what is missing is
# installed, so a second run costs nothing.
# Usage: scripts/setup.sh [play | web]
#   play: only what building and playing the game need (scripts/play.sh)
#   web: what the browser build and its test need (scripts/web.sh)
#   no argument: all of it, and what the tests, benchmarks and scripts need
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/debian.sh
play=(build-essential cmake pkg-config libsdl2-dev libopenmpt-dev zlib1g-dev libx11-dev libxext-dev)
web=(build-essential cmake python3 emscripten chromium dpkg-dev)
# The browser test runs under node with npm; either may come from elsewhere.
command -v npm >/dev/null || web+=(nodejs npm)
case "${1:-}" in
  play) packages=("${play[@]}") ;;
  web) packages=("${web[@]}") ;;
  "") packages=("${play[@]}" "${web[@]}" libgtest-dev libgmock-dev libbenchmark-dev
                xvfb xdotool imagemagick fonts-dejavu-core x11-utils x11-xserver-utils sox
                pulseaudio pulseaudio-utils file lintian appstream desktop-file-utils weston
                clang-14 libclang-rt-14-dev diffoscope-minimal) ;;
  *) echo "usage: scripts/setup.sh [play | web]" >&2; exit 2 ;;
esac
install_packages setup "${packages[@]}"
