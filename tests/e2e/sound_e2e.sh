#!/usr/bin/env bash
# Listens to the real game: its sound goes to SDL's disk audio device, a file
# written at the pace of real play, while keys are pressed in its window on a
# private X server. The capture must hold the title tune at start-up, the
# in-game tune after Space, the shot on Space's release, the title tune after
# Escape and silence after M (sound_check compares it with the same sounds
# rendered offline).
# Then, under a private sound server (PulseAudio, its one sink a null sink
# whose monitor is recorded): the server killed and started again under the
# running game, the title music is back within 4 s; the game started while
# no server runs and the server started after it, the music comes within 6 s;
# the only sink removed under the game and another added, and the game
# started on a server without a sink and one added, the game plays on and
# the music comes within 6 s of the sink.
# Usage: sound_e2e.sh KESTRANE-EXECUTABLE SOUND-CHECK SHOT-WAVE
# Exit code 77 means skipped: the X tools or the sound server this needs are
# not installed.
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
echo "sound end-to-end: the disk device's capture is right"

# ---- A sound server that goes away and comes back.
require_tools pulseaudio pactl parec sox
pulse_dir="$work/pulse"
mkdir -p "$pulse_dir/home" && chmod 700 "$pulse_dir"
pulse_pid=""
trap 'stop_pulse; cleanup' EXIT
# Only the private server is ever reached, and never one spawned on demand.
printf 'autospawn = no\n' >"$pulse_dir/client.conf"
pulse_env=(PULSE_SERVER="unix:$pulse_dir/native" PULSE_CLIENTCONFIG="$pulse_dir/client.conf")

# No configuration read, a null sink (none given "no-sink": a server that
# keeps no sink of its own, as a minimal or system-wide one) and the socket
# in the work folder: the same server as root (without the system mode) and
# as a user.
start_pulse() {
  env HOME="$pulse_dir/home" XDG_RUNTIME_DIR="$pulse_dir" XDG_CONFIG_HOME="$pulse_dir/home" \
    pulseaudio -n --daemonize=no --use-pid-file=no --exit-idle-time=-1 --realtime=no \
    --high-priority=no --log-level=error \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$pulse_dir/native" \
    >>"$work/pulse.log" 2>&1 &
  pulse_pid=$!
  wait_for 10 env "${pulse_env[@]}" pactl info >/dev/null 2>&1 ||
    fail "the private sound server did not start: $(cat "$work/pulse.log")"
  [ "${1:-}" = no-sink ] || add_sink
}
add_sink() {
  sink_module=$(env "${pulse_env[@]}" pactl load-module module-null-sink sink_name=out rate=48000) ||
    fail "no sink could be added"
}
remove_sink() {
  env "${pulse_env[@]}" pactl unload-module "$sink_module" || fail "the sink could not be removed"
}
stop_pulse() {
  [ -n "$pulse_pid" ] || return 0
  kill -KILL "$pulse_pid" 2>/dev/null
  wait "$pulse_pid" 2>/dev/null
  pulse_pid=""
  rm -f "$pulse_dir/native"
}

# The RMS level of what the sink plays over the next $1 seconds, read from
# its monitor; the last $2 seconds of that are measured.
sink_rms() {
  local raw="$work/monitor.raw"
  rm -f "$raw"
  timeout "$1" env "${pulse_env[@]}" parec -d out.monitor --rate=48000 --channels=2 \
    --format=s16le --raw "$raw" 2>>"$work/pulse.log"
  [ -s "$raw" ] || { echo "nothing recorded" >&2; return 1; }
  local rms
  rms=$(sox -t raw -r 48000 -e signed -b 16 -c 2 "$raw" -n trim "-$2" stat 2>&1 |
    awk '/RMS +amplitude/ {print $3}')
  [ -n "$rms" ] || { echo "sox cannot measure the recording" >&2; return 1; }
  echo "$rms"
}
loud() { awk -v r="$1" 'BEGIN {exit !(r > 0.01)}'; }

# Under the sanitizer build: SDL's audio drivers keep a little of each start
# that found no server (their own memory, beyond their shutdown).
{ cat "$(dirname "$0")/../lsan.supp"; echo "leak:libSDL2-2.0.so"; } >"$work/lsan.supp"
game_env=("${pulse_env[@]}" LSAN_OPTIONS="suppressions=$work/lsan.supp")
start_pulse
start_game
level=$(sink_rms 2.5 1) || fail "the sink's monitor cannot be recorded"
loud "$level" || fail "no title music from the sound server at start (RMS $level)"
# Killed, as in a crash, and started again at once.
stop_pulse
start_pulse
level=$(sink_rms 4 1) || fail "the sink's monitor cannot be recorded"
loud "$level" ||
  fail "the music is not back 4 s after the sound server restarted (RMS $level over the 4th second)"
kill -0 "$game_pid" 2>/dev/null || fail "the game ended when the sound server went"
echo "sound server restarted: the music is back within 4 s (RMS $level)"
tap Escape
expect_exit_0 "Escape on the title, after the restart"

stop_pulse
start_game
sleep 2  # the game plays silent meanwhile
start_pulse
level=$(sink_rms 6 1) || fail "the sink's monitor cannot be recorded"
loud "$level" ||
  fail "no music 6 s after the sound server started after the game (RMS $level over the 6th second)"
echo "sound server started after the game: the music came within 6 s (RMS $level)"
tap Escape
expect_exit_0 "Escape on the title, the server started late"

# A server whose only sink goes, as a USB headset unplugged, and comes back.
start_game
level=$(sink_rms 2.5 1) || fail "the sink's monitor cannot be recorded"
loud "$level" || fail "no title music from the sound server at start (RMS $level)"
remove_sink
sleep 2  # the game plays silent meanwhile
kill -0 "$game_pid" 2>/dev/null || fail "the game ended when the only sink went: $(cat "$work/game.log")"
add_sink
level=$(sink_rms 6 1) || fail "the sink's monitor cannot be recorded"
loud "$level" || fail "the music is not back 6 s after a sink came back (RMS $level over the 6th second)"
kill -0 "$game_pid" 2>/dev/null || fail "the game ended when the sink came back"
echo "the only sink removed and another added: the music is back within 6 s (RMS $level)"
tap Escape
expect_exit_0 "Escape on the title, the sink back"

# A server with no sink at all when the game starts.
stop_pulse
start_pulse no-sink
start_game
sleep 2
kill -0 "$game_pid" 2>/dev/null || fail "the game ended on a server without a sink: $(cat "$work/game.log")"
add_sink
level=$(sink_rms 6 1) || fail "the sink's monitor cannot be recorded"
loud "$level" || fail "no music 6 s after a sink was added to the server (RMS $level over the 6th second)"
echo "the game started on a server without a sink: the music came within 6 s (RMS $level)"
tap Escape
expect_exit_0 "Escape on the title, the sink added late"
stop_pulse
echo "sound end-to-end: all checks passed"
