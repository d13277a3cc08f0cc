#!/usr/bin/env bash
# The real game on the desktops players have: scaled 2 and 3 times (GDK_SCALE,
# Xft.dpi), X screens of 30, 16 and 8 bits, and a Wayland compositor (weston
# on its X11 backend, nested in the private Xvfb).
# Then shared memory missing (a server without MIT-SHM), attached elsewhere
# and refused after start (SHM-FAULT-SHIM preloaded).
# Usage: desktops_e2e.sh KESTRANE-EXECUTABLE PICTURE-FOLDER SHM-FAULT-SHIM
# Exit code 77 means skipped: the tools this needs are not installed.
set -uo pipefail

game=$1
pictures=$2
shm_fault=${3:-}

source "$(dirname "$0")/x_session.sh"
require_tools Xvfb xdotool import convert compare xwininfo xprop weston python3 ipcs
[ -f "$shm_fault" ] || skip "the shm_fault shim was not built (libx11-dev missing)"

mkdir "$work/bin"
cat >"$work/bin/xdg-open" <<EOF
#!/bin/sh
printf '%s\n' "\$1" >>"$work/opened"
EOF
chmod +x "$work/bin/xdg-open"

# The title picture's rows above the banner, enlarged N times with square
# pixels, as raw RGB; and the same rectangle of a window.
title_top() { convert "$pictures/picTitle.ppm" -crop 400x380+0+0 +repage -scale "$((100 * $1))%" "$2"; }
window_top() { import -window "$1" png:- 2>/dev/null | convert png:- -crop "$((400 * $2))x$((380 * $2))+0+0" +repage "$3"; }
# Pixels of two pictures further apart than the fuzz (a screen of fewer or
# more bits than 8 a channel rounds each colour its own way).
differing() { compare -metric AE -fuzz "$3" "$1" "$2" null: 2>&1 >/dev/null | cut -d' ' -f1; }

# The title enlarged SCALE times from (X, Y) of the window, black all round.
title_at() {  # SCALE X Y
  kill -0 "$game_pid" 2>/dev/null || fail "the game ended: $(cat "$work/game.log")"
  title_top "$1" "$work/expected.png"
  import -window "$window" png:- 2>/dev/null >"$work/whole.png" &&
    convert "$work/whole.png" -crop "$((400 * $1))x$((380 * $1))+$2+$3" +repage "$work/shot.png" &&
    [ "$(differing "$work/shot.png" "$work/expected.png" 0)" = 0 ] &&
    [ "$(convert "$work/whole.png" -fill black \
      -draw "rectangle $2,$3 $(($2 + 400 * $1 - 1)),$(($3 + 400 * $1 - 1))" \
      -format '%[fx:maxima]' info:)" = 0 ]
}
# The shared memory segments the game made.
segments() { ipcs -m -p | awk -v pid="$game_pid" '$3 == pid {print $1}'; }
no_segments() { [ -z "$(segments)" ]; }
# The shim preloaded, before the sanitizer's library, which the sanitizer
# build is told to allow.
shim_env=(LD_PRELOAD="$shm_fault" ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0")

# --- Scaled: the window is the scale-1 picture enlarged, exactly, and the
# link answers at the enlarged coordinates.
start_xvfb 1600x1300x24
for scale in 2 3; do
  title_top "$scale" "$work/expected.png"
  if [ "$scale" -eq 2 ]; then
    game_env=(PATH="$work/bin:$PATH" SDL_AUDIODRIVER=dummy GDK_SCALE=2)
  else
    # The desktop's font resolution, as X desktops publish it: 3 x 96 dpi.
    xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "Xft.dpi:	288"
    game_env=(PATH="$work/bin:$PATH" SDL_AUDIODRIVER=dummy)
  fi
  start_game
  size=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
  [ "$size" = "$((400 * scale))x$((400 * scale))" ] || fail "scale $scale: the window is $size"
  scaled_title() {
    window_top "$window" "$scale" "$work/shot.png" && [ "$(differing "$work/shot.png" "$work/expected.png" 0)" = 0 ]
  }
  wait_for 5 scaled_title || fail "scale $scale: the window is not the title enlarged $scale times"
  # The fast path: the game's own two segments, not SDL's one.
  [ "$(segments | wc -l)" -eq 2 ] || fail "scale $scale: not two shared-memory segments: $(segments)"
  # Which window pixel is which canvas pixel is the presenter's unit test;
  # here the link answers at the enlarged coordinates at all.
  link_rows() {
    import -window "$window" png:- 2>/dev/null |
      convert png:- -crop "$((141 * scale))x$((10 * scale))+$((132 * scale))+$((52 * scale))" +repage rgb:- | md5sum
  }
  unlit=$(link_rows)
  xdotool mousemove --window "$window" $((133 * scale)) $((57 * scale))
  link_lit() { [ "$(link_rows)" != "$unlit" ]; }
  wait_for 3 link_lit || fail "scale $scale: the link did not light under the pointer"
  wait_for 3 shows_what_was_drawn || fail "scale $scale: the window is not what was drawn"
  rm -f "$work/opened"
  xdotool click 1
  opened() { [ -s "$work/opened" ]; }
  wait_for 5 opened || fail "scale $scale: a click on the link opened nothing"
  if [ "$scale" -eq 2 ]; then
    # New segments at a new size, checked again: nothing of the check left
    # in the bars, and still shared memory.
    xdotool mousemove 0 0 windowsize "$window" 1000 900
    wait_for 5 title_at 2 100 50 || fail "resized: not the title at scale 2 from (100, 50), bars black"
    [ "$(segments | wc -l)" -eq 2 ] && ! grep -q "shared memory" "$work/game.log" ||
      fail "resized: shared memory given up: $(cat "$work/game.log")"
  fi
  tap Escape
  expect_exit_0 "scale $scale: Escape on the title"
done

# --- Screens of 30 and 16 bits (the latter scaled: each row converted once,
# then copied down) show the title; 8 bits cannot, and says so.
for depth_scale in 30x1 16x2; do
  depth=${depth_scale%x*} scale=${depth_scale#*x}
  start_xvfb "1024x1024x$depth"
  game_env=(SDL_AUDIODRIVER=dummy GDK_SCALE="$scale")
  # 16 bits: no shared memory, so with every segment foreign the title shows.
  [ "$depth" -ne 16 ] || game_env+=("${shim_env[@]}" SHM_FAULT_FOREIGN=1)
  title_top "$scale" "$work/expected.png"
  start_game
  title_shown() {
    window_top "$window" "$scale" "$work/shot.png" &&
      [ "$(differing "$work/shot.png" "$work/expected.png" 6%)" = 0 ]
  }
  wait_for 5 title_shown || fail "$depth-bit screen: the title is not shown"
  [ "$depth" -ne 16 ] || no_segments || fail "16-bit screen: the game holds segments"
  tap Escape
  expect_exit_0 "$depth-bit screen: Escape on the title"
done
game_env=(SDL_AUDIODRIVER=dummy)
start_xvfb 640x480x8
started=$(date +%s%N)
# (the sanitizer build's leak checker keeps its own report to itself)
env "${game_env[@]}" LSAN_OPTIONS="$LSAN_OPTIONS:print_suppressions=0" "$game" >"$work/game.log" 2>&1
code=$?
elapsed_ms=$((($(date +%s%N) - started) / 1000000))
[ "$code" -ne 0 ] || fail "8-bit screen: exit code 0 with no picture"
[ "$(wc -l <"$work/game.log")" -eq 1 ] || fail "8-bit screen: not one line: $(cat "$work/game.log")"
# It must give up, not wait: a few hundred ms when idle, more under the
# sanitizers on a loaded machine, so the bound only catches a hang.
[ "$elapsed_ms" -lt 10000 ] || fail "8-bit screen: took $elapsed_ms ms to give up"

# --- Shared memory missing or failing: the game is sent without it.
start_xvfb 1400x1000x24 -extension MIT-SHM
game_env=(SDL_AUDIODRIVER=dummy)
start_game
wait_for 5 title_at 1 0 0 || fail "a server without shared memory: the title is not shown"
tap Escape
expect_exit_0 "a server without shared memory: Escape on the title"
# No segment the server attaches is the game's (a server in another IPC
# namespace): the game sees it at the attach and sends the title without
# shared memory, never the other segments' pixels, and keeps none.
start_xvfb 1400x1000x24
game_env=(SDL_AUDIODRIVER=dummy "${shim_env[@]}" SHM_FAULT_FOREIGN=1)
start_game
wait_for 5 title_at 1 0 0 || fail "segments attached elsewhere: the title is not shown"
no_segments || fail "segments attached elsewhere: the game still holds segments"
tap Escape
expect_exit_0 "segments attached elsewhere: Escape on the title"
# Refused once the game runs on it, at the next size: the game goes on
# through the window surface, and sizes after that work too.
game_env=(SDL_AUDIODRIVER=dummy "${shim_env[@]}" SHM_FAULT_FILE="$work/no-shm")
start_game
xdotool windowmove "$window" 0 0
wait_for 5 title_at 1 0 0 || fail "shared memory: the title is not shown"
[ -n "$(segments)" ] || fail "shared memory: the game did not present through it"
touch "$work/no-shm"
for size_at in 1000x900+2+100+50 1237x857+2+218+28; do
  IFS=+ read -r size scale x y <<<"$size_at"
  xdotool windowsize "$window" "${size%x*}" "${size#*x}"
  wait_for 5 title_at "$scale" "$x" "$y" ||
    fail "shared memory refused, resized to $size: not the title at scale $scale from ($x, $y)"
done
wait_for 3 no_segments || fail "shared memory refused: the game still holds segments"
tap Escape
expect_exit_0 "shared memory refused: Escape on the title"

# --- Wayland: weston shows the game fullscreen on its output of 400 x 400
# logical units, a window of the private Xvfb, at scale 1 and 2; the game
# has no X display at all.
start_xvfb 1024x1024x24
weston_pid=""
trap 'kill "$weston_pid" 2>/dev/null; cleanup' EXIT
output_window() { xwininfo -root -tree | awk '/"Weston Compositor/ {print $1; exit}'; }
for scale in 1 2; do
  runtime="$work/runtime$scale"
  mkdir -m 700 "$runtime"
  XDG_RUNTIME_DIR="$runtime" weston --backend=x11-backend.so --shell=kiosk-shell.so \
    --socket=kestrane-test --width=400 --height=400 --scale="$scale" --idle-time=0 \
    >"$work/weston.log" 2>&1 &
  weston_pid=$!
  compositor_up() { [ -S "$runtime/kestrane-test" ] && [ -n "$(output_window)" ]; }
  wait_for 10 compositor_up || fail "weston did not start: $(cat "$work/weston.log")"
  output=$(output_window)
  # The compositor draws its pointer where it last saw it: in the corner of
  # the banner, clear of the picture compared.
  xdotool mousemove --window "$output" $((398 * scale)) $((386 * scale))
  sleep 0.2
  xdotool mousemove 1020 1020
  title_top "$scale" "$work/expected.png"
  env -u DISPLAY XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=kestrane-test SDL_AUDIODRIVER=dummy \
    "$game" >"$work/game.log" 2>&1 &
  game_pid=$!
  wayland_title() {
    kill -0 "$game_pid" 2>/dev/null || fail "Wayland: the game ended: $(cat "$work/game.log")"
    window_top "$output" "$scale" "$work/shot.png" &&
      [ "$(differing "$work/shot.png" "$work/expected.png" 0)" = 0 ]
  }
  wait_for 10 wayland_title || fail "Wayland, scale $scale: the title is not on the compositor's screen"
  banner() {
    import -window "$output" png:- 2>/dev/null |
      convert png:- -crop "$((400 * scale))x$((16 * scale))+0+$((380 * scale))" +repage rgb:- | md5sum
  }
  banner_1=$(banner)
  banner_moved() { [ "$(banner)" != "$banner_1" ]; }
  wait_for 3 banner_moved || fail "Wayland, scale $scale: no new frames (the banner stands still)"
  xdotool windowfocus "$output"
  tap Escape
  expect_exit_0 "Wayland, scale $scale: Escape on the title"
  kill "$weston_pid" 2>/dev/null
  wait "$weston_pid" 2>/dev/null
done

echo "desktops end-to-end: all checks passed"
