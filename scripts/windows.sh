#!/usr/bin/env bash
# Builds the game for 64-bit Windows with mingw-w64, and tests it under Wine.
#   scripts/windows.sh --build   build; the last line printed is the folder
#                                with kestrane-<version>-win64.zip and
#                                kestrane-<version>-setup.exe
#   scripts/windows.sh --test    build a copy of the checkout in a folder with a
#                                long path, then run it under Wine in a
#                                private X server (tests/e2e/windows_e2e.sh)
#   scripts/windows.sh --deps    build only SDL2 and libopenmpt into the cache
# SDL2 and libopenmpt are compiled from Debian's source packages (the versions
# the desktop build links) into a cache outside the build tree, keyed by their
# versions, build options and compiler, so only the first build pays for them
# (scripts/cross-libs.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-}
source "$root/scripts/cross-libs.sh"

cache=${XDG_CACHE_HOME:-$HOME/.cache}/kestrane-win
host=x86_64-w64-mingw32

say() { echo "windows: $*" >&2; }

packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          wine wine64 nsis cmake make pkg-config zip unzip dpkg-dev)
test_packages=(xvfb xdotool x11-utils imagemagick python3)

# SDL's release asserts name their source files: the folder they were
# unpacked in is mapped to a fixed name, so the program is the same byte for
# byte whichever cache built it.
sdl_key_extra=-ffile-prefix-map
sdl_configure() {
  local src=$1
  shift
  cmake "$@" -DCMAKE_C_FLAGS="$sdl_key_extra=$src=libsdl2-$sdl_version" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake"
}
openmpt_configure() {
  ./configure --host=$host CC=$host-gcc-posix CXX=$host-g++-posix "$@"
}
openmpt_make() { make "$@"; }

# Wine, quiet and offline (no offer to fetch its Mono and Gecko), in its own
# prefix in the cache: made once (about 10 s, 700 MB), then reused.
export WINEPREFIX=$cache/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
make_wine_prefix() {
  is_built "$WINEPREFIX" && return
  say "making a Wine prefix in $WINEPREFIX (once)"
  rm -rf "$WINEPREFIX"
  DISPLAY='' wineboot --init >&2 2>&1 || true
  wineserver --wait
  [ -f "$WINEPREFIX/system.reg" ] || { say "wineboot made no prefix"; exit 1; }
  mark_built "$WINEPREFIX" 0
}

# The build-time embedding tool runs under Wine, in the prefix above.
build_game() {
  cd "$root"
  cmake --preset windows -DKESTRANE_WIN_SDL2="$sdl_prefix" \
    -DKESTRANE_WIN_OPENMPT="$openmpt_prefix" >&2
  cmake --build --preset windows -j "$jobs" >&2
}

version=$(sed -n 's/^project(Kestrane VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { say "no version in CMakeLists.txt"; exit 1; }

# The zip and the installer from the installed folder, into build/windows/
# release, whose path it puts in `release`: called as a plain command, so the
# failure of any step ends the script. Both repeat byte for byte: every file
# gets the time SOURCE_DATE_EPOCH (the last commit's unless set), and the zip
# is written in a fixed order without extra fields.
package() {
  local out=$root/build/windows/release stage=$root/build/windows/stage
  local name=kestrane-$version epoch
  epoch=${SOURCE_DATE_EPOCH:-$("$root/scripts/source-date.sh" 2>/dev/null || echo 0)}
  rm -rf "$out" "$stage"
  mkdir -p "$out" "$stage"
  cmake --install "$root/build/windows" --prefix "$stage/$name" >&2
  chmod -R u=rwX,go=rX "$stage"
  find "$stage" -exec touch -h -d "@$epoch" {} +
  (cd "$stage" && find "$name" -type f | LC_ALL=C sort |
    TZ=UTC zip -q -X -D -9 "$out/$name-win64.zip" -@ >&2)
  # makensis crashes on a path of about 260 characters or more (a checkout in
  # a deep folder), so it sees this checkout through a short link.
  nsis_links=$(mktemp -d)
  trap 'rm -rf "$nsis_links"' EXIT
  local short="$nsis_links/the checkout"  # a space, as many folder names have
  ln -s "$root" "$short"
  write_file_lists "$short/build/windows/stage/$name" >"$stage/files.nsh"
  makensis -V2 -DVERSION="$version" -DFILES="$short/build/windows/stage/files.nsh" \
    -DOUTFILE="$short/build/windows/release/$name-setup.exe" \
    -DICON="$short/assets/icons/kestrane.ico" -DWIZARD="$short/assets/installer/wizard.bmp" \
    -DHEADER="$short/assets/installer/header.bmp" "$short/dist/windows/installer.nsi" >&2
  [ -s "$out/$name-setup.exe" ] || { say "makensis wrote no installer"; exit 1; }
  touch -d "@$epoch" "$out"/*
  release=$out
}

# The installer's two lists of what is in folder $1: every file, with its
# path in the install and its source, and every folder, deepest first.
write_file_lists() {
  local folder=$1 f
  echo '!macro KestraneFiles EACH'
  (cd "$folder" && find . -type f | LC_ALL=C sort) | while read -r f; do
    f=${f#./}
    echo "  !insertmacro \${EACH} \"${f//\//\\}\" \"$folder/$f\""
  done
  echo '!macroend'
  echo '!macro KestraneFolders EACH'
  (cd "$folder" && find . -mindepth 1 -type d | LC_ALL=C sort -r) | while read -r f; do
    f=${f#./}
    echo "  !insertmacro \${EACH} \"${f//\//\\}\""
  done
  echo '!macroend'
}

case "$mode" in
  --build|--test|--deps) ;;
  *) echo "usage: scripts/windows.sh --build | --test | --deps" >&2; exit 2 ;;
esac
if [ "$mode" = --test ]; then
  install_packages windows "${packages[@]}" "${test_packages[@]}"
else
  install_packages windows "${packages[@]}"
fi
# The compilers' first lines (name and version) key the cache.
cc=$($host-gcc-posix --version)
cxx=$($host-g++-posix --version)
toolchain="${cc%%$'\n'*} ${cxx%%$'\n'*}"
build_libraries
[ "$mode" = --deps ] && exit 0
if [ "$mode" = --test ]; then
  # The test builds a copy of this checkout itself, in a folder with a long
  # path, dated as this one.
  SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$("$root/scripts/source-date.sh" 2>/dev/null || date +%s)}
  export SOURCE_DATE_EPOCH
  exec "$root/tests/e2e/windows_e2e.sh" "$version"
fi
build_game
release_libraries
package
echo "$release"
