#!/usr/bin/env bash
# Checks the game as a distribution would ship it:
# - it configures and builds with BUILD_TESTING=OFF where GoogleTest and
#   Google Benchmark are missing (their packages are hidden from CMake);
# - `cmake --install` to a temporary prefix and `cpack -G DEB` both give a
#   tree whose desktop entry, metainfo, icons, manual page and licence pass
#   their validators, and lintian finds no error and no warning in the .deb;
# - the game of each tree (the .deb unpacked with dpkg-deb -x), started
#   through its link (bin/, or games/ in the .deb as Debian wants) from
#   another folder, finds its music and plays it.
# Run by scripts/test.sh; builds into build/play (the tree scripts/play.sh uses).
set -uo pipefail
cd "$(dirname "$0")/.."
source tests/e2e/x_session.sh   # $work (removed on exit), private Xvfb, key helpers
require_tools Xvfb xdotool sox lintian appstreamcli desktop-file-validate dpkg-deb file

echo "-- build without the test libraries"
cmake --preset play -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON >"$work/configure.log" 2>&1 ||
  fail "configuring without GoogleTest: $(cat "$work/configure.log")"
cmake --build --preset play -j "$(nproc)" >"$work/build.log" 2>&1 ||
  fail "building without GoogleTest: $(tail -n 30 "$work/build.log")"

echo "-- install and package"
cmake --install build/play --prefix "$work/prefix" --strip >/dev/null || fail "cmake --install"
(cd build/play && cpack -G DEB -B "$work/deb") >"$work/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$work/cpack.log")"
deb=$(ls "$work"/deb/*.deb)
dpkg-deb -x "$deb" "$work/unpacked" || fail "dpkg-deb -x"

echo "-- lintian $(basename "$deb")"
lintian --display-info --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1
lintian_status=$?
sed 's/^/   /' "$work/lintian.log"
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors or warnings"

check_tree() {
  local root=$1 command=$1/$2/kestrane
  desktop-file-validate "$root/share/applications/kestrane.desktop" ||
    fail "$root: the desktop entry"
  appstreamcli validate --no-net "$root/share/metainfo/org.example.kestrane.metainfo.xml" \
    >"$work/appstream.log" 2>&1 || fail "$root: the metainfo: $(cat "$work/appstream.log")"
  for size in 16 32 48 64 128 256; do
    file "$root/share/icons/hicolor/${size}x$size/apps/kestrane.png" |
      grep -q "PNG image data, $size x $size," || fail "$root: no $size-pixel icon"
  done
  [ -s "$root/share/man/man6/kestrane.6.gz" ] || fail "$root: no manual page"
  grep -q "MIT License" "$root/share/doc/kestrane/copyright" || fail "$root: no licence"
  local link
  link=$(readlink "$command") || fail "$command is not a link"
  [ "${link#/}" = "$link" ] || fail "$command links to an absolute path: $link"
  file -L "$command" | grep -q ', stripped' || fail "$command: the game is not stripped"

  # From a folder that holds no music, through the link: only the title tune
  # can sound in the first seconds, so sound means the music was found.
  mkdir -p "$work/elsewhere"
  rm -f "$work/capture.raw"
  game=$command
  game_env=(SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/capture.raw")
  pushd "$work/elsewhere" >/dev/null
  start_game
  popd >/dev/null
  sleep 2
  tap Escape
  expect_exit_0 "$root: Escape on the title"
  local rms
  rms=$(sox -t raw -e floating-point -b 32 -c 2 -r 48000 "$work/capture.raw" -n stat 2>&1 |
        awk '/^RMS +amplitude/ {print $3}')
  awk -v r="${rms:-0}" 'BEGIN {exit !(r > 0.001)}' ||
    fail "$command, started from elsewhere, played no music (RMS ${rms:-none})"
  echo "   $root: validators pass; through $2/kestrane the music plays (RMS $rms)"
}

echo "-- the installed trees"
start_xvfb
check_tree "$work/prefix" bin
check_tree "$work/unpacked/usr" games
echo "package checks: all passed"
