# shellcheck shell=bash
# Sourced by scripts/web.sh and scripts/windows.sh: SDL2 and libopenmpt built
# for another target from Debian's source packages (the versions the desktop
# build links), cached outside the build tree and shared by every run.
#
# The target script sets, before build_libraries:
#   cache                   the cache folder
#   toolchain               its compilers' versions, in a plain assignment so
#                           that a compiler that cannot say fails the script
#   sdl_options+=(...)      its own options for SDL2
#   sdl_key_extra           what sdl_configure adds that changes the library
#   openmpt_flags           its CFLAGS and CXXFLAGS for libopenmpt
# and defines the commands that differ:
#   sdl_configure SOURCE CMAKE-ARGS...   runs CMake for SDL2 from SOURCE
#   openmpt_configure ARGS...            runs libopenmpt's ./configure
#   openmpt_make ARGS...                 runs make for it
#
# A run holds a shared lock on each library it uses until it calls
# release_libraries (once the game has linked) or ends; building or removing
# one takes its lock exclusively, so a clean-up never deletes a library
# another run is compiling against. Programs the run starts inherit the lock:
# one that stays on (a wineserver) holds it until it quits, which only puts
# off a clean-up.
source "$(dirname "${BASH_SOURCE[0]}")/debian.sh"

sdl_version=2.26.5
openmpt_version=0.6.9
jobs=$(nproc)

sdl_options=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG"
  -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF)
sdl_key_extra=
openmpt_options=(--disable-shared --enable-static --disable-openmpt123
  --disable-examples --disable-tests --disable-doxygen-doc
  --without-zlib --without-mpg123 --without-ogg --without-vorbis
  --without-vorbisfile --without-portaudio --without-portaudiocpp
  --without-pulseaudio --without-sndfile --without-flac --without-sdl2)
openmpt_flags=-O2
library_locks=()

# A library's cache folder is named by its full Debian version and by this
# checksum of its options and compilers, so a change of any builds afresh
# instead of reusing a stale library.
key() { printf '%s' "$* $toolchain" | cksum | cut -d' ' -f1; }

# Builders for use_library: SOURCE WORK PREFIX.
sdl_build() {
  sdl_configure "$1" -S "$1" -B "$2" "${sdl_options[@]}" -DCMAKE_INSTALL_PREFIX="$3" >&2
  cmake --build "$2" -j "$jobs" >&2
  cmake --install "$2" >&2
}

openmpt_build() {
  cp -a "$1" "$2"
  (cd "$2" &&
    openmpt_configure --prefix="$3" "${openmpt_options[@]}" \
      CFLAGS="$openmpt_flags" CXXFLAGS="$openmpt_flags" >&2 &&
    openmpt_make -j "$jobs" >&2 &&
    openmpt_make install >&2)
}

# build_libraries: SDL2 and libopenmpt for the target, built once and held;
# sets sdl_prefix and openmpt_prefix.
build_libraries() {
  local sdl_key openmpt_key
  if [ -z "$toolchain" ]; then
    echo "the compilers gave no version to key the library cache with" >&2
    exit 1
  fi
  sdl_key=$(key "${sdl_options[@]}" ${sdl_key_extra:+"$sdl_key_extra"})
  openmpt_key=$(key "${openmpt_options[@]}" "$openmpt_flags")
  use_library "$cache" sdl2 libsdl2 "$sdl_version" "$sdl_key" sdl_build
  sdl_prefix=$built_prefix
  use_library "$cache" libopenmpt libopenmpt "$openmpt_version" "$openmpt_key" openmpt_build
  openmpt_prefix=$built_prefix
}

# Lets clean-ups remove the libraries again: called once the game has linked.
release_libraries() {
  local fd
  for fd in "${library_locks[@]}"; do exec {fd}>&-; done
  library_locks=()
}

# A library counts as built only when the stamp written last, after its
# install, is there, so an interrupted build is built again.
is_built() { [ -f "$1/kestrane-complete" ]; }
# mark_built PREFIX SECONDS: writes the stamp, with the build's time in it.
mark_built() { echo "$2 s" >"$1/kestrane-complete"; }

# take_lock -s|-x FILE [WAITING]: locks FILE shared or exclusively, saying
# WAITING when it has to wait, and sets taken_lock to its descriptor. A
# clean-up deletes the lock file of what it removed, so a lock taken on a
# file no longer at FILE is taken again on the new one.
take_lock() {
  local fd
  while :; do
    exec {fd}>>"$2"
    if ! flock -n "$1" "$fd"; then
      [ -z "${3:-}" ] || echo "$3" >&2
      flock "$1" "$fd"
    fi
    [ "/dev/fd/$fd" -ef "$2" ] && break
    exec {fd}>&-
  done
  taken_lock=$fd
}

# remove_stale_builds CACHE NAME KEEP: removes the builds CACHE/NAME-* other
# than KEEP (older versions, other options) that no run holds; one in use
# stays for a later clean-up. Called with CACHE/NAME.lock held.
remove_stale_builds() {
  local other fd
  for other in "$1/$2"-*; do
    other=${other%.lock}
    other=${other%.build}
    [ "$other" != "$3" ] || continue
    [ -e "$other" ] || [ -e "$other.build" ] || [ -e "$other.lock" ] || continue
    exec {fd}>>"$other.lock"
    if flock -n -x "$fd"; then
      rm -rf "$other" "$other.build"
      rm -f "$other.lock"
    fi
    exec {fd}>&-
  done
}

# use_library CACHE NAME PACKAGE VERSION KEY BUILD: the library NAME, built
# from Debian's source of PACKAGE at upstream VERSION, cached in
# CACHE/NAME-FULL-KEY (FULL: the Debian version apt serves, so a security
# revision builds afresh; KEY: the target's checksum of options and
# compilers). Unless that folder holds a finished build, unpacks the source
# and calls BUILD SOURCE WORK PREFIX, which builds in the folder WORK and
# installs into PREFIX; then stamps PREFIX and removes the stale builds of
# NAME. Builds of NAME take turns on CACHE/NAME.lock. Holds the library until
# release_libraries; sets built_prefix to its folder.
use_library() {
  local cache=$1 name=$2 package=$3 version=$4 key=$5 build=$6
  local full prefix src held build_lock start=$SECONDS
  full=$(debian_version "$package" "$version") || exit
  prefix=$cache/$name-${full//:/_}-$key
  mkdir -p "$cache"
  take_lock -s "$prefix.lock" "waiting for another run's build of $name in $cache"
  held=$taken_lock
  if ! is_built "$prefix"; then
    exec {held}>&-
    take_lock -x "$cache/$name.lock" "waiting for another build of $name in $cache"
    build_lock=$taken_lock
    take_lock -s "$prefix.lock"
    held=$taken_lock
    if ! is_built "$prefix"; then
      # Exclusive while it is built: those holding it now only look.
      flock -x "$held"
      echo "building $package $full into $prefix (once; several minutes)" >&2
      src=$(fetch_debian_source "$package" "$full" "$cache/src") || exit
      rm -rf "$prefix.build" "$prefix"
      "$build" "$src" "$prefix.build" "$prefix"
      rm -rf "$prefix.build"
      mark_built "$prefix" $((SECONDS - start))
      remove_stale_builds "$cache" "$name" "$prefix"
      # Back to shared; no clean-up can come between, as it would need
      # the build lock still held here.
      flock -s "$held"
    fi
    exec {build_lock}>&-
  fi
  library_locks+=("$held")
  built_prefix=$prefix
}
