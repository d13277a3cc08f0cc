#!/usr/bin/env bash
# Measures, under a private Xvfb, the processor time the game (every thread,
# the music playing through SDL's dummy audio device) and the X server take on
# the title (banner running) and in play (the star field scrolling), each over
# the given seconds, and the game's peak memory. Processor time, not wall
# time: other work on the machine does not count. With several runs it also
# prints the medians. Targets, game + X server: title below 1.6 % of one core,
# play below 2.0 %; peak below 13 MiB.
# Usage: scripts/measure-cpu.sh [path/to/kestrane] [seconds] [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
game=${1:-build/release/kestrane}
seconds=${2:-10}
runs=${3:-1}
if [ ! -x "$game" ]; then
  cmake --preset release >/dev/null && cmake --build --preset release --target kestrane >/dev/null
fi
# Nanoseconds of processor time of every thread of a process.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%.0f\n", s}'; }

tmp=$(mktemp -d)
game_pid=""
xvfb_pid=""
trap '[ -n "$game_pid" ] && kill $game_pid 2>/dev/null; [ -n "$xvfb_pid" ] && kill $xvfb_pid 2>/dev/null; wait 2>/dev/null; rm -rf "$tmp"' EXIT
source scripts/private-xvfb.sh

# Prints "GAME X" in % of one core over $seconds.
measure() {
  local g0 x0 t0 g1 x1 t1
  g0=$(cpu_ns $game_pid); x0=$(cpu_ns $xvfb_pid); t0=$(date +%s%N)
  sleep "$seconds"
  g1=$(cpu_ns $game_pid); x1=$(cpu_ns $xvfb_pid); t1=$(date +%s%N)
  awk -v g=$((g1 - g0)) -v x=$((x1 - x0)) -v t=$((t1 - t0)) \
    'BEGIN {printf "%.3f %.3f\n", 100 * g / t, 100 * x / t}'
}
report() {  # NAME GAME X
  awk -v n="$1" -v g="$2" -v x="$3" \
    'BEGIN {printf "%-6s game %.2f %% + X server %.2f %% = %.2f %% of one core\n", n, g, x, g + x}'
}

for run in $(seq "$runs"); do
  start_private_xvfb "$tmp"
  xdotool mousemove 0 0  # away from the link
  SDL_AUDIODRIVER=dummy "$game" &
  game_pid=$!
  for _ in $(seq 100); do xdotool search --name '^Kestrane' >/dev/null 2>&1 && break; sleep 0.1; done
  sleep 1
  read -r tg tx < <(measure)
  # Start a game so the frame timer runs.
  xdotool keydown space; sleep 0.08; xdotool keyup space
  sleep 1
  read -r pg px < <(measure)
  peak=$(awk '/VmHWM/ {print $2}' "/proc/$game_pid/status")
  kill $game_pid; wait $game_pid 2>/dev/null || true; game_pid=""
  kill $xvfb_pid; wait $xvfb_pid 2>/dev/null || true; xvfb_pid=""
  echo "$tg $tx $pg $px" >>"$tmp/runs"
  echo "run $run of $runs, $seconds s each; peak memory $(awk -v k="$peak" 'BEGIN {printf "%.1f", k / 1024}') MiB"
  report title "$tg" "$tx"
  report play "$pg" "$px"
done
if [ "$runs" -gt 1 ]; then
  median() { cut -d' ' -f"$1" "$tmp/runs" | sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
  echo "medians of $runs runs:"
  report title "$(median 1)" "$(median 2)"
  report play "$(median 3)" "$(median 4)"
fi
