#!/usr/bin/env bash
# Listens to the real game: its sound goes to SDL's disk audio device, a file
# written at the pace of real play, while keys are pressed in its window on a
# private X server. The capture must hold the title tune at start-up, the
# in-game tune after Space, the shot on Space's release, the title tune after
# Escape and silence after M (sound_check compares it with the same sounds
# rendered offline).
# Usage: sound_e2e.sh KESTRANE-EXECUTABLE SOUND-CHECK SHOT-WAVE
# Exit code 77 means skipped: the X tools this needs are not installed.
set -uo pipefail

game=$1
sound_check=$2
shot_wave=$3

source "$(dirname "$0")/x_session.sh"
require_tools Xvfb xdotool
start_xvfb
game_env=(SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/capture.raw")

module="$(dirname "$game")/Kestrane.snd"
[ -f "$module" ] || fail "no music module beside the game: $module"

# One run of the game with its sound captured, checked against the offline
# rendering.
capture_and_check() {
  rm -f "$work/capture.raw"
  start_game
  sleep 1.5                    # the title reveal, under the title tune
  # Play is kept under 0.9 s (17 ticks), so that nothing random can sound: a
  # large enemy rising under the ship first touches it in the 20th tick, the
  # enemies from the top are still far above it, and the shot meets neither.
  xdotool keydown space        # a game starts on the press...
  sleep 0.4
  xdotool keyup space          # ...and the release fires a shot (0.3 s long)
  sleep 0.45
  tap Escape                   # back to the title
  sleep 1
  tap m                        # music off
  sleep 0.6
  tap Escape
  expect_exit_0 "Escape on the title"
  "$sound_check" "$work/capture.raw" "$module" "$shot_wave"
}

# A machine slowed by other work can stretch play past the 20th tick, where
# chance may bring an enemy; so a capture that differs is taken again, and
# only a game that sounds wrong every time fails.
for try in 1 2 3; do
  capture_and_check && break
  [ "$try" -lt 3 ] || fail "the capture is wrong in each of 3 tries"
  echo "try $try: the capture differs; again" >&2
done
echo "sound end-to-end: all checks passed"
