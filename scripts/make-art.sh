#!/usr/bin/env bash
# Rebuilds the art generator and rewrites every picture in assets/data.
# The output is the same byte for byte on every run.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release --target artgen -j 2
build/release/tools/art/artgen assets/data
