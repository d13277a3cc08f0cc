#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice:
# once as released, once under AddressSanitizer and UndefinedBehaviorSanitizer;
# then checks the installed game and its .deb (scripts/check-package.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)
for preset in release asan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
echo "== package"
scripts/check-package.sh
