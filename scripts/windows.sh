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
# versions, build options and compiler, so only the first build pays for them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-}
source "$root/scripts/debian.sh"

sdl_version=2.26.5
openmpt_version=0.6.9
cache=${XDG_CACHE_HOME:-$HOME/.cache}/kestrane-win
jobs=$(nproc)
host=x86_64-w64-mingw32

say() { echo "windows: $*" >&2; }

packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          wine wine64 nsis cmake make pkg-config zip unzip dpkg-dev)
test_packages=(xvfb xdotool x11-utils imagemagick python3)

# What a cached library was built with, as a checksum: the options given and
# the compilers that built it. Computed only once the compilers are installed;
# a compiler that cannot say its version fails the script.
key() {
  local cc cxx
  cc=$($host-gcc-posix --version) || return 1
  cxx=$($host-g++-posix --version) || return 1
  printf '%s' "$* ${cc%%$'\n'*} ${cxx%%$'\n'*}" | cksum | cut -d' ' -f1
}

sdl_options=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG"
  -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF)
# SDL's release asserts name their source files: the folder they were
# unpacked in is mapped to a fixed name, so the program is the same byte for
# byte whichever cache built it.
sdl_path_free=-ffile-prefix-map
openmpt_options=(--disable-shared --enable-static --disable-openmpt123
  --disable-examples --disable-tests --disable-doxygen-doc
  --without-zlib --without-mpg123 --without-ogg --without-vorbis
  --without-vorbisfile --without-portaudio --without-portaudiocpp
  --without-pulseaudio --without-sndfile --without-flac --without-sdl2)
openmpt_flags="-O2"

# Builders for build_cached: SOURCE WORK PREFIX.
sdl_build() {
  cmake -S "$1" -B "$2" "${sdl_options[@]}" \
    -DCMAKE_C_FLAGS="$sdl_path_free=$1=libsdl2-$sdl_version" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_INSTALL_PREFIX="$3" >&2
  cmake --build "$2" -j "$jobs" >&2
  cmake --install "$2" >&2
}

openmpt_build() {
  cp -a "$1" "$2"
  (cd "$2" &&
    ./configure --host=$host --prefix="$3" "${openmpt_options[@]}" \
      CC=$host-gcc-posix CXX=$host-g++-posix \
      CFLAGS="$openmpt_flags" CXXFLAGS="$openmpt_flags" >&2 &&
    make -j "$jobs" >&2 &&
    make install >&2)
}

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

# The installer's two lists of the files in folder $1: File lines to install
# them and Delete lines to remove exactly them, folders deepest first.
write_file_lists() {
  local folder=$1 f dir
  echo '!macro KestraneFiles'
  (cd "$folder" && find . -type f | LC_ALL=C sort) | while read -r f; do
    f=${f#./}
    dir=$(dirname "$f")
    if [ "$dir" = . ]; then echo '  SetOutPath "$INSTDIR"'
    else echo "  SetOutPath \"\$INSTDIR\\${dir//\//\\}\""; fi
    echo "  File \"$folder/$f\""
  done
  echo '!macroend'
  echo '!macro KestraneRemove'
  (cd "$folder" && find . -type f | LC_ALL=C sort) | while read -r f; do
    f=${f#./}
    echo "  Delete \"\$INSTDIR\\${f//\//\\}\""
  done
  (cd "$folder" && find . -mindepth 1 -type d | LC_ALL=C sort -r) | while read -r f; do
    f=${f#./}
    echo "  RMDir \"\$INSTDIR\\${f//\//\\}\""
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
sdl_key=$(key "${sdl_options[*]} $sdl_path_free")
openmpt_key=$(key "${openmpt_options[*]} $openmpt_flags")
build_cached "$cache" sdl2 libsdl2 "$sdl_version" "$sdl_key" sdl_build
sdl_prefix=$built_prefix
build_cached "$cache" libopenmpt libopenmpt "$openmpt_version" "$openmpt_key" openmpt_build
openmpt_prefix=$built_prefix
[ "$mode" = --deps ] && exit 0
if [ "$mode" = --test ]; then
  # The test builds a copy of this checkout itself, in a folder with a long
  # path, dated as this one.
  SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$("$root/scripts/source-date.sh" 2>/dev/null || date +%s)}
  export SOURCE_DATE_EPOCH
  exec "$root/tests/e2e/windows_e2e.sh" "$version"
fi
build_game
package
echo "$release"
