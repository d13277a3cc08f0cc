#!/usr/bin/env bash
# Rebuilds the art generator and rewrites every picture in assets/data, the
# desktop icons in assets/icons and the Windows installer's pictures in
# assets/installer.
# The output is the same byte for byte on every run.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release --target artgen -j 2
mkdir -p assets/icons assets/installer
build/release/tools/art/artgen assets/data assets/icons assets/installer
