#!/usr/bin/env bash
# Drives the real game in a real X window on a private X server: caption and
# size, the title picture and its moving banner, Space into play, Escape back,
# the web link, a clean exit by Escape and by closing the window, and one
# within a second, whatever the audio thread does, with a hostile music file.
# Usage: title_e2e.sh KESTRANE-EXECUTABLE PICTURE-FOLDER CLOSE-WINDOW-HELPER
# Exit code 77 means skipped: the X tools this needs are not installed.
set -uo pipefail

game=$1
pictures=$2
close_window=${3:-}

source "$(dirname "$0")/x_session.sh"
require_tools Xvfb xdotool import convert xwininfo xsetroot python3 ipcs
[ -x "$close_window" ] || skip "the close_window helper was not built (libx11-dev missing)"
# Room for the window at twice its size and more, as a window manager may make it.
start_xvfb 1400x1000x24

# The desktop's URL opener, as SDL calls it, replaced by one that records.
mkdir "$work/bin"
cat >"$work/bin/xdg-open" <<EOF
#!/bin/sh
printf '%s\n' "\$1" >>"$work/opened"
EOF
chmod +x "$work/bin/xdg-open"
game_env=(PATH="$work/bin:$PATH" SDL_AUDIODRIVER=dummy)

# Digest of a rectangle WxH+X+Y of the game window, or of a picture file.
window_rect() {
  import -window "$window" png:- 2>/dev/null | convert png:- -crop "$1" +repage -depth 8 rgb:- |
    md5sum
}
picture_rect() { convert "$pictures/$1" -crop "$2" +repage -depth 8 rgb:- | md5sum; }

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
# Only the rows that changed are presented, yet the window shows every row
# as a present of the whole canvas would.
wait_for 3 shows_what_was_drawn || fail "the title with its banner running is not what was drawn"

# Escape leaves play for the title; but enemies come at random, and Escape
# while a lost ship explodes quits the game, as it should. A game that ended
# so is started again: a game that quits on Escape in play fails every try.
for try in 1 2 3; do
  tap space
  wait_for 5 play_shown || fail "Space did not start play (no status bar in the top rows)"
  tap Escape
  wait_for 5 title_shown && break
  kill -0 "$game_pid" 2>/dev/null && fail "Escape during play did not return to the title"
  [ "$try" -lt 3 ] || fail "Escape during play ended the game in each of 3 tries"
  expect_exit_0 "Escape during a lost ship's explosion"
  echo "try $try: the ship was lost as Escape came; again" >&2
  start_game
  wait_for 5 title_shown || fail "the title picture did not show"
done

# The link lights under the pointer and a click opens its address.
xdotool mousemove --window "$window" 200 57
lit=$(picture_rect sprLink.ppm 141x10+0+10)
link_lit() { [ "$(window_rect 141x10+132+52)" = "$lit" ]; }
wait_for 3 link_lit || fail "the link caption did not light under the pointer"
xdotool click 1
opened() { [ -s "$work/opened" ]; }
wait_for 5 opened || fail "a click on the link ran no URL opener"
address=$(cat "$work/opened")
page="$(cd "$(dirname "$game")" && pwd)/page/index.html"
[ "$address" = "file://$page" ] || fail "the link opened '$address', not the game's page"
[ -f "$page" ] || fail "the game's page $page is missing"

tap Escape
expect_exit_0 "Escape on the title"

# --- Sizes a window manager forces, whatever the window asks for: the title
# whole at the largest whole scale that fits, centred on black (a window
# smaller than the picture shows its top left), the link lit at its drawn
# pixels, and at the end the plain picture again. The root is red, so bars
# the game leaves unpainted show.
xsetroot -solid red
start_game
wait_for 5 title_shown || fail "resize run: the title picture did not show"
xdotool windowmove "$window" 0 0  # all of it on the screen, where it can be read back
for size in 1000x900 300x200 1237x857 400x400; do
  w=${size%x*} h=${size#*x}
  scale=$((w / 400 < h / 400 ? w / 400 : h / 400))
  [ "$scale" -ge 1 ] || scale=1
  x=$(((w - 400 * scale) / 2)) y=$(((h - 400 * scale) / 2))
  [ "$x" -ge 0 ] || x=0
  [ "$y" -ge 0 ] || y=0
  shown_w=$((400 * scale < w - x ? 400 * scale : w - x))
  shown_h=$((380 * scale < h - y ? 380 * scale : h - y))
  xdotool mousemove 0 0
  xdotool windowsize "$window" "$w" "$h"
  actual=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
  [ "$actual" = "$size" ] || fail "resize to $size: the window is $actual"
  expected=$(convert "$pictures/picTitle.ppm" -crop 400x380+0+0 +repage -scale "$((100 * scale))%" \
    -crop "${shown_w}x${shown_h}+0+0" +repage -depth 8 rgb:- | md5sum)
  placed() {
    kill -0 "$game_pid" 2>/dev/null || fail "resize to $size: the game ended: $(cat "$work/game.log")"
    [ "$(window_rect "${shown_w}x${shown_h}+$x+$y")" = "$expected" ] || return 1
    # The bars on every side are black: all but the picture.
    [ "$(import -window "$window" png:- 2>/dev/null | convert png:- -fill black \
      -draw "rectangle $x,$y $((x + 400 * scale - 1)),$((y + 400 * scale - 1))" \
      -format '%[fx:maxima]' info:)" = 0 ]
  }
  wait_for 5 placed || fail "resize to $size: not the title at scale $scale from ($x, $y)"
  if [ "$size" = 1000x900 ]; then
    # Covered and shown again, as a workspace switch without a compositor
    # does: the window has no background of its own, so the game sends all
    # of it again, bars too, or the red root shows through.
    xdotool windowunmap --sync "$window"
    xdotool windowmap --sync "$window"
    xdotool windowfocus "$window"
    wait_for 5 placed || fail "unmapped and mapped at $size: the bars or the picture are not repainted"
  fi
  xdotool mousemove --window "$window" $((x + 200 * scale)) $((y + 57 * scale))
  lit_scaled=$(convert "$pictures/sprLink.ppm" -crop 141x10+0+10 +repage -scale "$((100 * scale))%" -depth 8 rgb:- | md5sum)
  link_lit_here() {
    [ "$(window_rect "$((141 * scale))x$((10 * scale))+$((x + 132 * scale))+$((y + 52 * scale))")" = "$lit_scaled" ]
  }
  wait_for 3 link_lit_here || fail "resize to $size: the link did not light at its drawn pixels"
done
wait_for 3 shows_what_was_drawn || fail "resized back: the window is not what was drawn"
tap Escape
expect_exit_0 "Escape on the title after resizing"

# --- Second run: closing the window during play.
start_game
wait_for 5 title_shown || fail "second run: the title picture did not show"
tap space
wait_for 5 play_shown || fail "second run: Space did not start play"
wait_for 3 shows_what_was_drawn || fail "play is not what was drawn"
"$close_window" "$window"
expect_exit_0 "closing the window during play"

# --- A music file that once hung the audio thread (found by fuzzing), beside
# a copy of the game as its music: the title shows, and Escape, the window's
# close and SIGTERM each end the game with exit code 0 within a second.
mkdir "$work/hang"
cp "$game" "$work/hang/kestrane"
cp "$(dirname "$0")/../fuzz/found/music-hang-1.snd" "$work/hang/Kestrane.snd"
game=$work/hang/kestrane
# A sanitizer build's leak check at exit takes a second of its own; the runs
# above check for leaks.
game_env+=(ASAN_OPTIONS=detect_leaks=0)
# Whether the game is gone within a second of the moment given (ns).
gone_within_1s() {
  while kill -0 "$game_pid" 2>/dev/null; do
    [ $(($(date +%s%N) - $1)) -lt 1000000000 ] || return 1
    sleep 0.02
  done
  echo "hanging music: $way ended the game in $((($(date +%s%N) - $1) / 1000000)) ms" >&2
}
for way in Escape close SIGTERM; do
  start_game
  wait_for 5 title_shown || fail "hanging music: the title picture did not show"
  sleep 0.5  # the music plays, or hangs, meanwhile
  # The second counts from the request's delivery, not from the start of the
  # tool that makes it, which a busy machine may delay.
  case $way in
    Escape) xdotool keydown Escape ;;
    close) "$close_window" "$window" ;;
    SIGTERM) kill -TERM "$game_pid" ;;
  esac
  asked=$(date +%s%N)
  if ! gone_within_1s "$asked"; then
    kill -KILL "$game_pid" 2>/dev/null
    fail "hanging music: $way did not end the game within a second"
  fi
  [ "$way" != Escape ] || xdotool keyup Escape
  expect_exit_0 "hanging music: $way"
done

echo "title end-to-end: all checks passed"
