#!/usr/bin/env bash
# Measures, under a private Xvfb, the processor time the game and the X
# server take over 10 s of play (the star field scrolling), and the game's
# peak memory, with the window at scale 1 and enlarged twice (GDK_SCALE=2).
# Targets: game + X server below 3 % of one core at scale 1 and below 5 % at
# scale 2; peak below 13 MiB at scale 1.
# Usage: scripts/measure-cpu.sh [path/to/kestrane] [seconds] [scales...]
set -euo pipefail
cd "$(dirname "$0")/.."
game=${1:-build/release/kestrane}
seconds=${2:-10}
scales=("${@:3}")
[ ${#scales[@]} -gt 0 ] || scales=(1 2)
if [ ! -x "$game" ]; then
  cmake --preset release >/dev/null && cmake --build --preset release --target kestrane >/dev/null
fi
hz=$(getconf CLK_TCK)
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

tmp=$(mktemp -d)
game_pid=""
xvfb_pid=""
stop() {
  [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null && wait "$game_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  game_pid=""
  xvfb_pid=""
}
trap 'stop; rm -rf "$tmp"' EXIT
source scripts/private-xvfb.sh

for scale in "${scales[@]}"; do
  start_private_xvfb "$tmp" 1280x1024x24
  GDK_SCALE=$scale SDL_AUDIODRIVER=dummy "$game" &
  game_pid=$!
  for _ in $(seq 100); do xdotool search --name '^Kestrane' >/dev/null 2>&1 && break; sleep 0.1; done
  sleep 1
  # Start a game so the frame timer runs.
  xdotool keydown space; sleep 0.08; xdotool keyup space
  sleep 1
  g0=$(ticks $game_pid); x0=$(ticks $xvfb_pid); t0=$(date +%s.%N)
  sleep "$seconds"
  g1=$(ticks $game_pid); x1=$(ticks $xvfb_pid); t1=$(date +%s.%N)
  peak=$(awk '/VmHWM/ {print $2}' "/proc/$game_pid/status")
  awk -v g=$((g1 - g0)) -v x=$((x1 - x0)) -v hz="$hz" -v t0="$t0" -v t1="$t1" -v peak="$peak" \
      -v scale="$scale" 'BEGIN {
    wall = t1 - t0
    gp = 100 * g / hz / wall; xp = 100 * x / hz / wall
    printf "scale %d: game %.2f %% + X server %.2f %% = %.2f %% of one core over %.1f s; peak memory %.1f MiB\n",
           scale, gp, xp, gp + xp, wall, peak / 1024
  }'
  stop
done
