#!/usr/bin/env bash
# Measures, under a private Xvfb, the processor time the game (every thread,
# the music playing through SDL's dummy audio device) and the X server take
# on the title (banner running) and in play (the star field scrolling), each
# over the given seconds, and the game's peak memory, with the window at
# scale 1 and enlarged twice (GDK_SCALE=2). Processor time, not wall time:
# other work on the machine does not count. RUNS=n repeats every measurement
# and adds the medians.
# Targets, game + X server, % of one core: title below 1.6 and play below 2.0
# at scale 1, play below 5 at scale 2; peak below 13 MiB at scale 1. Wake-ups
# of the game's main thread (context switches in /proc): at most 60 a second
# on the title (50 banner steps) and 30 in play (20 frames); of SDL's audio
# thread (the times it slept), at most 25 a second.
# Usage: [RUNS=n] scripts/measure-cpu.sh [path/to/kestrane] [seconds] [scales...]
set -euo pipefail
cd "$(dirname "$0")/.."
game=${1:-build/release/kestrane}
seconds=${2:-10}
scales=("${@:3}")
[ ${#scales[@]} -gt 0 ] || scales=(1 2)
runs=${RUNS:-1}
if [ ! -x "$game" ]; then
  cmake --preset release >/dev/null && cmake --build --preset release --target kestrane >/dev/null
fi
# Nanoseconds of processor time of every thread of a process.
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{s += $1} END {printf "%.0f\n", s}'; }
# Times the main thread was switched out (it slept or was preempted): its
# wake-ups.
switches() { awk '/ctxt_switches/ {s += $2} END {print s}' /proc/"$1"/task/"$1"/status; }
# Times SDL's audio thread (named SDLAudioP<n>) went to sleep: its wake-ups,
# without the preemptions a busy machine adds; 0 when there is none.
audio_switches() {
  local task
  for task in /proc/"$1"/task/*; do
    if grep -q '^SDLAudioP' "$task/comm" 2>/dev/null; then
      awk '/^voluntary_ctxt_switches/ {print $2}' "$task/status"
      return 0
    fi
  done
  echo 0
}

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

# Prints the game's and the X server's share of one core over $seconds, and
# the wake-ups a second of the game's main thread and of its audio thread.
measure() {
  local g0 x0 t0 w0 a0 g1 x1 t1 w1 a1
  g0=$(cpu_ns "$game_pid"); x0=$(cpu_ns "$xvfb_pid"); w0=$(switches "$game_pid")
  a0=$(audio_switches "$game_pid"); t0=$(date +%s%N)
  sleep "$seconds"
  g1=$(cpu_ns "$game_pid"); x1=$(cpu_ns "$xvfb_pid"); w1=$(switches "$game_pid")
  a1=$(audio_switches "$game_pid"); t1=$(date +%s%N)
  awk -v g=$((g1 - g0)) -v x=$((x1 - x0)) -v w=$((w1 - w0)) -v a=$((a1 - a0)) -v t=$((t1 - t0)) \
    'BEGIN {printf "%.3f %.3f %.1f %.1f\n", 100 * g / t, 100 * x / t, 1e9 * w / t, 1e9 * a / t}'
}
report() {  # WHAT GAME X WAKE-UPS AUDIO-WAKE-UPS
  awk -v n="$1" -v g="$2" -v x="$3" -v w="$4" -v a="$5" \
    'BEGIN {printf "%-15s game %.2f %% + X server %.2f %% = %.2f %% of one core; wake-ups/s: main thread %.0f, audio thread %.0f\n", n, g, x, g + x, w, a}'
}
median() {  # COLUMN: the median of that column of $tmp/runs
  cut -d' ' -f"$1" "$tmp/runs" | sort -g |
    awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

for scale in "${scales[@]}"; do
  : >"$tmp/runs"
  for run in $(seq "$runs"); do
    start_private_xvfb "$tmp" 1280x1024x24
    xdotool mousemove 0 0  # away from the link
    GDK_SCALE=$scale SDL_AUDIODRIVER=dummy "$game" &
    game_pid=$!
    for _ in $(seq 100); do xdotool search --name '^Kestrane' >/dev/null 2>&1 && break; sleep 0.1; done
    sleep 1
    read -r tg tx tw ta < <(measure)
    # Start a game so the frame timer runs.
    xdotool keydown space; sleep 0.08; xdotool keyup space
    sleep 1
    read -r pg px pw pa < <(measure)
    peak=$(awk '/VmHWM/ {print $2}' "/proc/$game_pid/status")
    stop
    echo "$tg $tx $pg $px $tw $pw $ta $pa" >>"$tmp/runs"
    echo "scale $scale, run $run of $runs, $seconds s each; peak memory $(awk -v k="$peak" 'BEGIN {printf "%.1f", k / 1024}') MiB"
    report "  title" "$tg" "$tx" "$tw" "$ta"
    report "  play" "$pg" "$px" "$pw" "$pa"
  done
  if [ "$runs" -gt 1 ]; then
    echo "scale $scale, medians of $runs runs:"
    report "  title" "$(median 1)" "$(median 2)" "$(median 5)" "$(median 7)"
    report "  play" "$(median 3)" "$(median 4)" "$(median 6)" "$(median 8)"
  fi
done
