#!/usr/bin/env bash
# Installs the Debian packages the build, the game and the tests need.
# Only what is missing is installed, so a second run costs nothing.
set -euo pipefail
packages=(build-essential cmake pkg-config libsdl2-dev libopenmpt-dev
          libgtest-dev libgmock-dev libbenchmark-dev
          xvfb xdotool imagemagick x11-utils libx11-dev sox
          emscripten chromium dpkg-dev)
# The browser test runs under node with npm; either may come from elsewhere.
command -v npm >/dev/null || packages+=(nodejs npm)
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
