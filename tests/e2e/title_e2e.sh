#!/usr/bin/env bash
# Drives the real game in a real X window on a private X server: caption and
# size, the title picture and its moving banner, Space into play, Escape back,
# the web link, and a clean exit by Escape and by closing the window.
# Usage: title_e2e.sh KESTRANE-EXECUTABLE PICTURE-FOLDER CLOSE-WINDOW-HELPER
# Exit code 77 means skipped: the X tools this needs are not installed.
set -uo pipefail

game=$1
pictures=$2
close_window=${3:-}

skip() {
  echo "SKIPPED: $*" >&2
  exit 77
}
for tool in Xvfb xdotool import convert xwininfo; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup.sh installs it)"
done
[ -x "$close_window" ] || skip "the close_window helper was not built (libx11-dev missing)"

# Under the sanitizer build, leave the system D-Bus library's own memory alone.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

work=$(mktemp -d)
xvfb_pid=""
game_pid=""
cleanup() {
  [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

source "$(dirname "$0")/../../scripts/private-xvfb.sh"
start_private_xvfb "$work" || fail "no private X server"

# The desktop's URL opener, as SDL calls it, replaced by one that records.
mkdir "$work/bin"
cat >"$work/bin/xdg-open" <<EOF
#!/bin/sh
printf '%s\n' "\$1" >>"$work/opened"
EOF
chmod +x "$work/bin/xdg-open"

# Polls a condition for up to $1 seconds.
wait_for() {
  local seconds=$1
  shift
  local tries=$((seconds * 20))
  for _ in $(seq "$tries"); do
    "$@" && return 0
    sleep 0.05
  done
  return 1
}

# Digest of a rectangle WxH+X+Y of the game window, or of a picture file.
window_rect() {
  import -window "$window" png:- 2>/dev/null | convert png:- -crop "$1" +repage -depth 8 rgb:- |
    md5sum
}
picture_rect() { convert "$pictures/$1" -crop "$2" +repage -depth 8 rgb:- | md5sum; }

start_game() {
  xdotool mousemove 0 0  # away from the link
  PATH="$work/bin:$PATH" SDL_AUDIODRIVER=dummy "$game" >"$work/game.log" 2>&1 &
  game_pid=$!
  window=""
  for _ in $(seq 200); do
    window=$(xdotool search --onlyvisible --pid "$game_pid" 2>/dev/null | head -n1)
    [ -n "$window" ] && break
    kill -0 "$game_pid" 2>/dev/null || fail "the game ended at start: $(cat "$work/game.log")"
    sleep 0.05
  done
  [ -n "$window" ] || fail "the game window did not appear"
  xdotool windowfocus "$window"
}

# A key held for 80 ms, so the game sees a press and a release apart.
tap() {
  xdotool keydown "$1"
  sleep 0.08
  xdotool keyup "$1"
}

# Waits for the game to end and checks its exit code.
expect_exit_0() {
  local code
  for _ in $(seq 100); do
    kill -0 "$game_pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -0 "$game_pid" 2>/dev/null && fail "$1: the game is still running"
  wait "$game_pid"
  code=$?
  game_pid=""
  [ "$code" -eq 0 ] || fail "$1: exit code $code: $(cat "$work/game.log")"
}

title_shown() { [ "$(window_rect 400x380+0+0)" = "$title_top" ]; }
play_shown() { [ "$(window_rect 400x20+0+0)" != "$title_status_rows" ]; }

title_top=$(picture_rect picTitle.ppm 400x380+0+0)
title_status_rows=$(picture_rect picTitle.ppm 400x20+0+0)

# --- First run: title, play, back, link, Escape.
start_game
name=$(xdotool getwindowname "$window")
[ "$name" = "Kestrane v1.0" ] || fail "caption is '$name'"
size=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
[ "$size" = "400x400" ] || fail "client area is $size"

wait_for 5 title_shown || fail "the title picture did not show"
banner_1=$(window_rect 400x16+0+380)
banner_moved() { [ "$(window_rect 400x16+0+380)" != "$banner_1" ]; }
wait_for 3 banner_moved || fail "the banner along rows 380..395 does not move"

tap space
wait_for 5 play_shown || fail "Space did not start play (no status bar in the top rows)"

tap Escape
wait_for 5 title_shown || fail "Escape during play did not return to the title"

# The link lights under the pointer and a click opens its address.
xdotool mousemove --window "$window" 200 57
lit=$(picture_rect sprLink.ppm 141x10+0+10)
link_lit() { [ "$(window_rect 141x10+132+52)" = "$lit" ]; }
wait_for 3 link_lit || fail "the link caption did not light under the pointer"
xdotool click 1
opened() { [ -s "$work/opened" ]; }
wait_for 5 opened || fail "a click on the link ran no URL opener"
address=$(cat "$work/opened")
[ "$address" = "https://kestrane.example.org/" ] || fail "the link opened '$address'"

tap Escape
expect_exit_0 "Escape on the title"

# --- Second run: closing the window during play.
start_game
wait_for 5 title_shown || fail "second run: the title picture did not show"
tap space
wait_for 5 play_shown || fail "second run: Space did not start play"
"$close_window" "$window"
expect_exit_0 "closing the window during play"

echo "title end-to-end: all checks passed"
