#!/usr/bin/env bash
# Installs what building and playing need, builds the game alone (no tests)
# on every core and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh play
cmake --preset play >/dev/null
cmake --build --preset play --target kestrane -j "$(nproc)"
exec build/play/kestrane "$@"
