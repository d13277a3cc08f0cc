#!/usr/bin/env bash
# The Windows release, built and run from a folder whose path has a space and
# is over 260 characters long, under Wine on a private X server. A stand-in
# makensis that fails makes the build fail. From the zip, unpacked into a
# long folder whose name is not ASCII: the program imports only Windows' own
# DLLs; the title shows, Space starts play, an arrow moves the ship, Escape
# goes back and Escape again exits 0; the music heard on the title, recorded
# through SDL's disk audio device, is not silence. Then the installer, run
# silently over an older version that shipped one more file: while the older
# game plays it fails and changes nothing, with the game closed it updates
# and leaves none of the older version; the installed game, at 192 dpi,
# opens 800 x 800 with its title sharp at scale 2; a plain user's update
# into another folder returns once it has happened; and the uninstaller
# removes everything the installer put there.
# Usage: windows_e2e.sh VERSION   (run by scripts/windows.sh --test, which
# builds the libraries and sets WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES and
# SOURCE_DATE_EPOCH)
set -uo pipefail

version=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
data=$root/assets/data

source "$(dirname "$0")/x_session.sh"
require_tools wine wineserver winepath Xvfb xdotool xwininfo import convert unzip python3 \
  x86_64-w64-mingw32-objdump x86_64-w64-mingw32-gcc-posix makensis tar
: "${WINEPREFIX:?run through scripts/windows.sh --test}"

# A folder under $1 whose path is over 260 characters long (Windows' old
# limit) wherever $1 is.
long_folder() {
  local path=$1 part
  for part in 1 2 3 4; do
    path="$path/a folder with a long name to go past the old path limit of Windows, part $part"
  done
  mkdir -p "$path" && echo "$path"
}

# --- The build, from a copy of this checkout in a long folder with spaces,
# kept in build/ with its own build folder, so that a second run compiles
# only what changed (the copy keeps the files' times).
copy=$(long_folder "$root/build/windows-long/Kestrane games")/kestrane ||
  fail "cannot make the long folder"
mkdir -p "$copy"
find "$copy" -mindepth 1 -maxdepth 1 ! -name build -exec rm -rf {} +
tar -C "$root" --exclude=./build --exclude=./.git --exclude=node_modules -cf - . |
  tar -C "$copy" -xf - || fail "cannot copy the checkout"
# A failing step of the packaging fails the build: makensis, for one.
mkdir -p "$work/failing"
printf '#!/bin/sh\necho "makensis: stand-in that fails" >&2\nexit 1\n' >"$work/failing/makensis"
chmod +x "$work/failing/makensis"
if PATH="$work/failing:$PATH" "$copy/scripts/windows.sh" --build >"$work/failed.out" 2>"$work/failed.log"; then
  fail "scripts/windows.sh --build succeeded with a makensis that fails (it printed: $(cat "$work/failed.out"))"
fi
grep -q "stand-in that fails" "$work/failed.log" ||
  fail "the build failed before it ran makensis: $(tail -n 20 "$work/failed.log")"
"$copy/scripts/windows.sh" --build >"$work/build.out" 2>"$work/build.log" ||
  fail "the build in $copy failed: $(tail -n 20 "$work/build.log")"
release=$(tail -n 1 "$work/build.out")
[ "$release" = "$copy/build/windows/release" ] || fail "the build printed $release, not its release folder"
setup=$release/kestrane-$version-setup.exe
[ -s "$setup" ] || fail "the build made no installer"

# The imports: Windows' own DLLs only, no C++ runtime, threads or SDL beside it.
folder=$(long_folder "$work/run-é ünï") || fail "cannot make the long folder"
unzip -q "$release/kestrane-$version-win64.zip" -d "$folder" || fail "cannot unpack the zip"
game_dir="$folder/kestrane-$version"
for f in kestrane.exe Kestrane.snd page/index.html LICENSE.txt README.txt; do
  [ -f "$game_dir/$f" ] || fail "the zip has no $f"
done
system_dlls=" advapi32 gdi32 imm32 kernel32 msvcrt ole32 oleaut32 rpcrt4 setupapi shell32 user32 version winmm "
for dll in $(x86_64-w64-mingw32-objdump -p "$game_dir/kestrane.exe" | awk '/DLL Name:/ {print tolower($3)}'); do
  [[ "$system_dlls" == *" ${dll%.dll} "* ]] || fail "kestrane.exe imports $dll, not a Windows DLL"
done

# Room for the window at scale 2.
start_xvfb 1024x1024x24
# Without a repeating key a slow step of the test cannot turn one Escape
# into two.
python3 -c 'import ctypes; x = ctypes.CDLL("libX11.so.6"); x.XOpenDisplay.restype = ctypes.c_void_p
d = ctypes.c_void_p(x.XOpenDisplay(None)); x.XAutoRepeatOff(d); x.XCloseDisplay(d)' ||
  fail "cannot turn the key repeat off"
# The screen's DPI, which Wine reads from the prefix's registry as each
# program starts: 96 unless a run of this test sets it, and 96 again
# however the test ends.
dpi_key='HKCU\Control Panel\Desktop'
normal_dpi() { wine reg delete "$dpi_key" /v LogPixels /f >/dev/null 2>&1; }
# One Wine server for this display, ended with the test.
normal_dpi
wineserver -k 2>/dev/null
trap 'normal_dpi; wineserver -k 2>/dev/null; cleanup' EXIT

# Wine draws no frame around a window when no window manager runs, so the
# game's client area (side x side pixels: 400 at scale 1) is the X window's
# bottom-right corner whatever border it keeps; the screenshot of that area
# as raw RGB.
side=400
client_rgb() {
  local size w h
  size=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w, h}')
  read -r w h <<<"$size"
  timeout 5 import -window "$window" -depth 8 rgb:- 2>/dev/null |
    convert -size "${w}x${h}" -depth 8 rgb:- \
      -crop "${side}x${side}+$(((w - side) / 2))+$((h - side - (w - side) / 2))" +repage rgb:-
}
picture_rect() { convert "$data/$1" -crop "$2" +repage -depth 8 rgb:- | md5sum; }
title_top=$(picture_rect picTitle.ppm 400x380+0+0)
title_status_rows=$(picture_rect picTitle.ppm 400x20+0+0)
client_rect() { client_rgb | convert -size "${side}x${side}" -depth 8 rgb:- -crop "$1" +repage rgb:- | md5sum; }
# A game that ended while awaited is reported at once, with what it said.
running() { kill -0 "$game_pid" 2>/dev/null || fail "the game ended: $(cat "$work/game.log")"; }
# The title's still part: all of it but the banner's rows at the bottom.
title_shown() { running && [ "$(client_rect "${side}x$((side * 19 / 20))+0+0")" = "$title_top" ]; }
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

# --- The installers, silently. An older version (this release's installer
# with one more file and another program) installed for all users and its
# game playing: the update fails and changes nothing; with the game closed it
# completes, leaving nothing of the older version. A plain user's update of
# that install, into another folder; the installed game at 192 dpi; what the
# uninstaller leaves.
program_files=$(winepath -u 'C:\Program Files\Kestrane' 2>/dev/null)
moved_dir='C:\Games\Kestrane'  # no space: Wine would quote it, and /D= must not be
moved=$(winepath -u "$moved_dir" 2>/dev/null)
start_menu=$(winepath -u 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs' 2>/dev/null)
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrane'
rm -rf "$program_files" "$moved"  # left by an earlier run that failed
wine reg delete "$uninstall_key" /f >/dev/null 2>&1
registered() { wine reg query "$uninstall_key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p"; }
# Every installed file with its checksum.
install_sums() { (cd "$1" && find . -type f -exec md5sum {} + | LC_ALL=C sort); }
# The installers are made as scripts/windows.sh makes them, through a short
# link (makensis fails on long paths), from its list of the release's files.
ln -s "$copy" "$work/k"
stage=$work/k/build/windows/stage
echo "shipped by an older version only" >"$work/retired.txt"
cat "$stage/kestrane-$version/kestrane.exe" - <<<"0.9" >"$work/old-kestrane.exe"  # runs the same
lists() {  # [RETIRED-FILE OLD-PROGRAM]
  awk -v stage="$stage/" -v retired="${1:-}" -v program="${2:-}" '
    { sub(/" "[^"]*\/build\/windows\/stage\//, "\" \"" stage) }
    program != "" && /"kestrane.exe" / { sub(/" "[^"]*"$/, "\" \"" program "\"") }
    { print }
    retired != "" && $0 == "!macro KestraneFiles EACH" { print "  !insertmacro ${EACH} \"retired.txt\" \"" retired "\"" }' \
    "$copy/build/windows/stage/files.nsh"
}
make_installer() {  # VERSION LISTS OUTFILE [MAKENSIS-OPTION...]
  makensis -V2 -DVERSION="$1" -DFILES="$2" -DOUTFILE="$3" "${@:4}" \
    -DICON="$work/k/assets/icons/kestrane.ico" -DWIZARD="$work/k/assets/installer/wizard.bmp" \
    -DHEADER="$work/k/assets/installer/header.bmp" "$work/k/dist/windows/installer.nsi" >&2 ||
    fail "cannot make the installer $3"
}
lists "$work/retired.txt" "$work/old-kestrane.exe" >"$work/old-files.nsh"
make_installer 0.9 "$work/old-files.nsh" "$work/old-setup.exe"
wine "$work/old-setup.exe" /S /AllUsers >"$work/setup.log" 2>&1 ||
  fail "the older version's silent install failed: $(cat "$work/setup.log")"
[ -f "$program_files/retired.txt" ] || fail "the older version installed no retired.txt"
old_sums=$(install_sums "$program_files")
game="$program_files/kestrane.exe"
game_env=(SDL_AUDIODRIVER=dummy)
start_game
wait_for 10 title_shown || fail "the older installed game did not show its title"
# The silent update fails ($1 says when) and changes nothing.
update_fails() {
  wine "$setup" /S /AllUsers >"$work/setup.log" 2>&1 && fail "the silent update succeeded $1"
  [ "$(install_sums "$program_files")" = "$old_sums" ] ||
    fail "the update failed $1 and changed the older install: $(diff <(echo "$old_sums") <(install_sums "$program_files"))"
  [ "$(registered DisplayVersion)" = 0.9 ] ||
    fail "the update failed $1 and registered version $(registered DisplayVersion), not 0.9"
}
update_fails "while the older game was running"
running
tap Escape
expect_exit_0 "Escape on the older installed game's title"
# A file that cannot be replaced, found only once the others are: the last
# one swapped in (the uninstaller), held open by a program that shares it
# with nobody and says when it holds it.
printf '%s\n' '#include <windows.h>' '#include <stdio.h>' 'int wmain(int c, wchar_t** v) {' \
  '  if (c < 2 || CreateFileW(v[1], GENERIC_READ, 0, 0, OPEN_EXISTING, 0, 0) == INVALID_HANDLE_VALUE) return 1;' \
  '  puts("held"); fflush(stdout); Sleep(INFINITE); }' >"$work/hold.c"
x86_64-w64-mingw32-gcc-posix -municode -o "$work/hold.exe" "$work/hold.c" || fail "cannot build the file holder"
wine "$work/hold.exe" 'C:\Program Files\Kestrane\uninstall.exe' >"$work/hold.log" 2>&1 &
holder=$!
wait_for 20 grep -q held "$work/hold.log" || fail "the file holder did not start: $(cat "$work/hold.log")"
update_fails "with the older uninstaller held open"
kill "$holder"
wait "$holder"
wine "$setup" /S /AllUsers >"$work/setup.log" 2>&1 ||
  fail "the silent install failed: $(cat "$work/setup.log")"
for f in kestrane.exe Kestrane.snd page/index.html LICENSE.txt README.txt uninstall.exe; do
  [ -f "$program_files/$f" ] || fail "the installer put no $f in Program Files"
done
cmp -s "$program_files/kestrane.exe" "$game_dir/kestrane.exe" || fail "the update left the older kestrane.exe"
[ -e "$program_files/retired.txt" ] && fail "the update left the older version's retired.txt"
[ -f "$start_menu/Kestrane.lnk" ] || fail "the installer made no Start-menu shortcut"
[ "$(registered DisplayVersion)" = "$version" ] ||
  fail "the installer registered version $(registered DisplayVersion), not $version"

# At 192 dpi the window is 800 x 800, every pixel of the game a 2 x 2 square.
wine reg add "$dpi_key" /v LogPixels /t REG_DWORD /d 192 /f >/dev/null 2>&1 || fail "cannot set 192 dpi"
side=800
title_top=$(convert "$data/picTitle.ppm" -crop 400x380+0+0 +repage -scale 200% -depth 8 rgb:- | md5sum)
game="$program_files/kestrane.exe"
game_env=(SDL_AUDIODRIVER=dummy)
start_game
wait_for 10 title_shown ||
  fail "at 192 dpi the installed game did not show its title at scale 2 (window $(xwininfo -id "$window" | awk '/Width:|Height:/ {printf "%s ", $2}'))"
tap Escape
expect_exit_0 "Escape on the installed game's title"
normal_dpi

# A plain user (seen so through the test build's switch, as Wine runs every
# program as administrator) updates the install for all users, silently and
# into another folder: the installer starts itself again elevated, with every
# option, and returns that copy's exit code once it has finished.
lists >"$work/files.nsh"
make_installer "$version" "$work/files.nsh" "$work/test-setup.exe" -DPLAIN_USER_SWITCH
wine "$work/test-setup.exe" /S /PlainUser "/D=$moved_dir" >"$work/setup.log" 2>&1 ||
  fail "a plain user's silent update failed (exit code $?): $(cat "$work/setup.log")"
[ -f "$moved/kestrane.exe" ] && [ "$(registered InstallLocation)" = "$moved_dir" ] ||
  fail "a plain user's silent update returned before it had installed into $moved_dir (registered: $(registered InstallLocation))"
[ -e "$program_files" ] && fail "the update into $moved_dir left: $(cd "$program_files" && find . | tr '\n' ' ')"

wine "$moved/uninstall.exe" /S >"$work/uninstall.log" 2>&1 ||
  fail "the silent uninstall failed: $(cat "$work/uninstall.log")"
# The uninstaller runs on from a copy of itself, so its removal is waited for.
gone() { [ ! -e "$moved" ] && [ ! -e "$start_menu/Kestrane.lnk" ]; }
wait_for 20 gone || fail "the uninstaller left: $(cd "$moved" 2>/dev/null && find . | tr '\n' ' ') $(ls "$start_menu" 2>/dev/null)"
wineserver --wait
wine reg query "$uninstall_key" >/dev/null 2>&1 && fail "the uninstaller left its registry key"

echo "windows end-to-end: all checks passed"
