#!/usr/bin/env bash
# The Windows release under Wine on a private X server. From the zip, unpacked
# into a folder whose name is not ASCII: the program imports only Windows' own
# DLLs; the title shows, Space starts play, an arrow moves the ship, Escape
# goes back and Escape again exits 0; the music heard on the title, recorded
# through SDL's disk audio device, is not silence. Then the installer
# installs silently, the installed game shows its title, and the uninstaller
# removes everything the installer put there.
# Usage: windows_e2e.sh RELEASE-FOLDER VERSION   (run by scripts/windows.sh
# --test, which sets WINEPREFIX, WINEDEBUG and WINEDLLOVERRIDES)
set -uo pipefail

release=$1
version=$2
data=$(cd "$(dirname "$0")/../../assets/data" && pwd)

source "$(dirname "$0")/x_session.sh"
require_tools wine wineserver winepath Xvfb xdotool xwininfo import convert unzip python3 \
  x86_64-w64-mingw32-objdump
: "${WINEPREFIX:?run through scripts/windows.sh --test}"

# The imports: Windows' own DLLs only, no C++ runtime, threads or SDL beside it.
folder="$work/run-é ünï"
mkdir -p "$folder"
unzip -q "$release/kestrane-$version-win64.zip" -d "$folder" || fail "cannot unpack the zip"
game_dir="$folder/kestrane-$version"
for f in kestrane.exe Kestrane.snd page/index.html LICENSE.txt README.txt; do
  [ -f "$game_dir/$f" ] || fail "the zip has no $f"
done
system_dlls=" advapi32 gdi32 imm32 kernel32 msvcrt ole32 oleaut32 rpcrt4 setupapi shell32 user32 version winmm "
for dll in $(x86_64-w64-mingw32-objdump -p "$game_dir/kestrane.exe" | awk '/DLL Name:/ {print tolower($3)}'); do
  [[ "$system_dlls" == *" ${dll%.dll} "* ]] || fail "kestrane.exe imports $dll, not a Windows DLL"
done

start_xvfb
# Without a repeating key a slow step of the test cannot turn one Escape
# into two.
python3 -c 'import ctypes; x = ctypes.CDLL("libX11.so.6"); x.XOpenDisplay.restype = ctypes.c_void_p
d = ctypes.c_void_p(x.XOpenDisplay(None)); x.XAutoRepeatOff(d); x.XCloseDisplay(d)' ||
  fail "cannot turn the key repeat off"
# One Wine server for this display, ended with the test.
wineserver -k 2>/dev/null
trap 'wineserver -k 2>/dev/null; cleanup' EXIT

# Wine draws no frame around a window when no window manager runs, so the
# game's 400 x 400 client area is the X window's bottom-right corner whatever
# border it keeps; the screenshot of that area as raw RGB.
client_rgb() {
  local size w h
  size=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w, h}')
  read -r w h <<<"$size"
  timeout 5 import -window "$window" -depth 8 rgb:- 2>/dev/null |
    convert -size "${w}x${h}" -depth 8 rgb:- -crop "400x400+$(((w - 400) / 2))+$((h - 400 - (w - 400) / 2))" \
      +repage rgb:-
}
picture_rect() { convert "$data/$1" -crop "$2" +repage -depth 8 rgb:- | md5sum; }
title_top=$(picture_rect picTitle.ppm 400x380+0+0)
title_status_rows=$(picture_rect picTitle.ppm 400x20+0+0)
client_rect() { client_rgb | convert -size 400x400 -depth 8 rgb:- -crop "$1" +repage rgb:- | md5sum; }
# A game that ended while awaited is reported at once, with what it said.
running() { kill -0 "$game_pid" 2>/dev/null || fail "the game ended: $(cat "$work/game.log")"; }
title_shown() { running && [ "$(client_rect 400x380+0+0)" = "$title_top" ]; }
play_shown() { running && [ "$(client_rect 400x20+0+0)" != "$title_status_rows" ]; }

# The column where the ship (any cell of sprPlayer, its mask below it) sits
# on its starting row, 330, in a screenshot taken by client_rgb, with nine in
# ten of its opaque pixels matching; -1 when it is nowhere on that row.
ship_column() {
  python3 - "$data/sprPlayer.ppm" "$1" <<'PYTHON'
import sys
ppm = open(sys.argv[1], 'rb').read()
fields = ppm.split(maxsplit=4)
sw, pixels = int(fields[1]), fields[4]
screen = open(sys.argv[2], 'rb').read()
px = lambda buf, w, x, y: buf[(y * w + x) * 3:(y * w + x) * 3 + 3]
found = -1
for cell in range(3):
    opaque = [(x, y, px(pixels, sw, 45 * cell + x, y)) for y in range(45) for x in range(45)
              if px(pixels, sw, 45 * cell + x, 45 + y) == b'\0\0\0']
    for cx in range(0, 356):
        hits = sum(px(screen, 400, cx + x, 330 + y) == c for x, y, c in opaque)
        if hits * 10 >= len(opaque) * 9:
            found = cx
print(found)
PYTHON
}

# Wine's exit code is the program's, and its process the program's own.
game_runner=(wine)

# --- The game from the zip: title, play, steering, back, exit, music.
capture=$(winepath -w "$work/capture.raw" 2>/dev/null)
game="$game_dir/kestrane.exe"
game_env=(SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$capture")
start_game
wait_for 10 title_shown || fail "the title picture did not show"
sleep 1  # the title tune, recorded
# Play must stay short, for within its first second nothing random can reach
# the ship, and a loaded machine stretches every step of the test: so the
# game is stopped while each screenshot is taken and looked at, and runs
# only between them (its timers fire once for any time missed, so it does
# not catch up). Space is held, as the shot its release fires would cross
# the ship's rows.
freeze() { kill -STOP "$game_pid"; }
thaw() { kill -CONT "$game_pid"; }
play_shown_frozen() {
  thaw
  sleep 0.05
  freeze
  play_shown
}
xdotool keydown space
wait_for 5 play_shown_frozen || { thaw; fail "Space did not start play (no status bar in the top rows)"; }
client_rgb >"$work/start.rgb"
start_column=$(ship_column "$work/start.rgb")
[ "$start_column" = 178 ] || { thaw; fail "the ship is not at its start (found at column $start_column)"; }
xdotool keydown Left
# Two ticks of steering (6 pixels each) are enough.
moved_left() {
  thaw
  sleep 0.1
  freeze
  client_rgb >"$work/moved.rgb"
  moved_column=$(ship_column "$work/moved.rgb")
  [ "$moved_column" -ge 0 ] && [ "$moved_column" -le 166 ]
}
wait_for 2 moved_left
moved=$?
xdotool keyup Left
xdotool keyup space
thaw
[ "$moved" = 0 ] || fail "Left did not move the ship left (found at column $moved_column)"
tap Escape
wait_for 5 title_shown || fail "Escape during play did not return to the title"
tap Escape
expect_exit_0 "Escape on the title"

# The first second, under the title tune: 32-bit float stereo at any rate.
python3 - "$work/capture.raw" <<'PYTHON' || fail "the music recorded on the title is silent"
import struct, sys
data = open(sys.argv[1], 'rb').read()
samples = struct.unpack('<%df' % (len(data) // 4), data[:len(data) // 4 * 4])
peak = max((abs(s) for s in samples[:2 * 44100]), default=0)
sys.exit(0 if peak > 0.05 else 1)
PYTHON

# --- The installer, silently, and what it leaves after uninstalling.
program_files=$(winepath -u 'C:\Program Files\Kestrane' 2>/dev/null)
start_menu=$(winepath -u 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs' 2>/dev/null)
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrane'
rm -rf "$program_files"  # left by an earlier run that failed
wine reg delete "$uninstall_key" /f >/dev/null 2>&1
wine "$release/kestrane-$version-setup.exe" /S /AllUsers >"$work/setup.log" 2>&1 ||
  fail "the silent install failed: $(cat "$work/setup.log")"
for f in kestrane.exe Kestrane.snd page/index.html LICENSE.txt README.txt uninstall.exe; do
  [ -f "$program_files/$f" ] || fail "the installer put no $f in Program Files"
done
[ -f "$start_menu/Kestrane.lnk" ] || fail "the installer made no Start-menu shortcut"
wine reg query "$uninstall_key" /v UninstallString >/dev/null 2>&1 ||
  fail "the installer registered no uninstaller"

game="$program_files/kestrane.exe"
game_env=(SDL_AUDIODRIVER=dummy)
start_game
wait_for 10 title_shown || fail "the installed game did not show its title"
tap Escape
expect_exit_0 "Escape on the installed game's title"

wine "$program_files/uninstall.exe" /S >"$work/uninstall.log" 2>&1 ||
  fail "the silent uninstall failed: $(cat "$work/uninstall.log")"
# The uninstaller runs on from a copy of itself, so its removal is waited for.
gone() { [ ! -e "$program_files" ] && [ ! -e "$start_menu/Kestrane.lnk" ]; }
wait_for 20 gone || fail "the uninstaller left: $(cd "$program_files" 2>/dev/null && find . | tr '\n' ' ') $(ls "$start_menu" 2>/dev/null)"
wineserver --wait
wine reg query "$uninstall_key" >/dev/null 2>&1 && fail "the uninstaller left its registry key"

echo "windows end-to-end: all checks passed"
