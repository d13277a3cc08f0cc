#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice:
# once as released, once under AddressSanitizer and UndefinedBehaviorSanitizer;
# then the unit tests under ThreadSanitizer;
# then the music path's fuzz target over its kept cases and a short fixed run;
# then the figures of the mix, which fail when any sample reaches full scale;
# then checks the installed game and its .deb (scripts/check-package.sh);
# then the browser build in headless Chromium and the Windows build under Wine;
# last, that the .deb, the zip and the installer repeat byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)
for preset in release asan tsan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
# The music path under libFuzzer: every kept case replayed, then a fixed
# number of runs from a fixed seed (scripts/fuzz.sh).
echo "== fuzz"
scripts/fuzz.sh --check
# The mix: each effect at every row of every tune must stay under full scale.
echo "== sound figures"
scripts/sound-figures.sh build/release
echo "== package"
scripts/check-package.sh

# The browser build in headless Chromium. Its first run also builds SDL2 and
# libopenmpt for the browser (cached outside the tree, about a quarter of an
# hour on two cores).
echo "== web"
site=$(scripts/web.sh --build | tail -n 1)
npm ci --prefix tests/web --no-audit --no-fund --loglevel=error
node tests/web/browser_test.mjs "$site" assets/data

# The Windows build under Wine: the zip's game played, the installer and its
# uninstaller run. Its first run also builds SDL2 and libopenmpt for Windows
# and makes a Wine prefix (cached outside the tree, about a quarter of an hour
# on two busy cores).
echo "== windows"
scripts/windows.sh --test

# The .deb, the zip and the installer of this tree, and of a copy of it in
# another folder built under another user name, umask, locale and time zone,
# must be the same bytes and carry the version of CMakeLists.txt; reuses the
# package stage's build and the Windows libraries.
echo "== reproducible"
scripts/release.sh --packages
