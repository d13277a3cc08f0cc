#!/usr/bin/env bash
# Renders the game's tunes and effects through its mixer and prints the
# figures of the mix: loudness, peaks, left-right balance, energy by band, the
# mix and the kick through a 200 Hz high-pass, the lead against the pads; then
# the worst cases for clipping (each effect at every row). Exits non-zero when
# any sample reaches full scale.
# Usage: scripts/sound-figures.sh [BUILD-DIR]   (default build/release)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
[ -f "$build/CMakeCache.txt" ] || cmake --preset release -S "$root" >/dev/null
nice cmake --build "$build" --target sound_figures -j2 >/dev/null
"$build/tools/sound/sound_figures" "$root/assets/music/Kestrane.snd" \
  "$root/assets/data/wave101.wav" "$root/assets/data/wave102.wav"
