#!/usr/bin/env bash
# Installs the Debian packages the project needs. Only what is missing is
# installed, so a second run costs nothing.
# Usage: scripts/setup.sh [play]
#   play: only what building and playing the game need (scripts/play.sh)
#   no argument: that, and what the tests, benchmarks and scripts need
set -euo pipefail
packages=(build-essential cmake pkg-config libsdl2-dev libopenmpt-dev zlib1g-dev
          libx11-dev libxext-dev)
if [ "${1:-}" != play ]; then
  packages+=(libgtest-dev libgmock-dev libbenchmark-dev
             xvfb xdotool imagemagick fonts-dejavu-core x11-utils sox
             file lintian appstream desktop-file-utils weston python3
             emscripten chromium dpkg-dev)
  # The browser test runs under node with npm; either may come from elsewhere.
  command -v npm >/dev/null || packages+=(nodejs npm)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
