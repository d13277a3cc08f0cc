#!/usr/bin/env bash
# Builds the game for the browser and serves it on 127.0.0.1.
#   scripts/web.sh           install what is missing, build, serve on a free port (printed)
#   scripts/web.sh --build   build only; the last line printed is the site folder
#   scripts/web.sh --deps    build only SDL2 and libopenmpt into the cache
# SDL2 and libopenmpt are compiled from Debian's source packages (the versions
# the desktop build links) into a cache outside the build tree, keyed by their
# versions and build options, so only the first build pays for them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/debian.sh"
mode=${1:-serve}

sdl_version=2.26.5
openmpt_version=0.6.9
cache=${XDG_CACHE_HOME:-$HOME/.cache}/kestrane-web
jobs=$(nproc)

# Debian's emscripten under this node: its tools need node's packages on the
# path, and the generated JS must not try fetch() to load its .wasm in node.
export NODE_PATH=/usr/share/nodejs
export NODE_OPTIONS=--no-experimental-fetch

# Cache folders are named by version and by a checksum of the options and of
# the compiler's version, so a change of any builds afresh instead of reusing
# a stale library. Only called once emscripten is installed.
key() { printf '%s' "$* $(emcc -dumpversion)" | cksum | cut -d' ' -f1; }

sdl_options=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG"
  -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_THREADS=OFF
  -DSDL_JOYSTICK=ON -DSDL_HAPTIC=OFF -DSDL_SENSOR=OFF -DSDL_HIDAPI=OFF
  -DSDL_POWER=OFF -DSDL_LOCALE=OFF)

openmpt_options=(--disable-shared --enable-static --disable-openmpt123
  --disable-examples --disable-tests --disable-doxygen-doc
  --without-zlib --without-mpg123 --without-ogg --without-vorbis
  --without-vorbisfile --without-portaudio --without-portaudiocpp
  --without-pulseaudio --without-sndfile --without-flac --without-sdl2)
openmpt_flags="-O2 -fexceptions"

# Builders for build_cached: SOURCE WORK PREFIX.
sdl_build() {
  emcmake cmake -S "$1" -B "$2" "${sdl_options[@]}" -DCMAKE_INSTALL_PREFIX="$3" >&2
  cmake --build "$2" -j "$jobs" >&2
  cmake --install "$2" >&2
}

openmpt_build() {
  cp -a "$1" "$2"
  # No --host: its config.sub does not know emscripten; emconfigure is enough.
  (cd "$2" &&
    emconfigure ./configure --prefix="$3" "${openmpt_options[@]}" \
      CFLAGS="$openmpt_flags" CXXFLAGS="$openmpt_flags" >&2 &&
    emmake make -j "$jobs" >&2 &&
    emmake make install >&2)
}

build_deps() {
  sdl_key=$(key "${sdl_options[*]}")
  openmpt_key=$(key "${openmpt_options[*]} $openmpt_flags")
  build_cached "$cache" sdl2 libsdl2 "$sdl_version" "$sdl_key" sdl_build
  sdl_prefix=$built_prefix
  build_cached "$cache" libopenmpt libopenmpt "$openmpt_version" "$openmpt_key" openmpt_build
  openmpt_prefix=$built_prefix
}

build_game() {
  cd "$root"
  cmake --preset web -DKESTRANE_WEB_SDL2="$sdl_prefix" -DKESTRANE_WEB_OPENMPT="$openmpt_prefix" >&2
  cmake --build --preset web -j "$jobs" >&2
}

# Serves the site folder on 127.0.0.1 until interrupted, on a free port
# unless KESTRANE_WEB_PORT names one: the service worker the game installs
# answers for its origin, and a fixed port would hand it other local sites
# later served there.
serve() {
  exec python3 - "$1" "${KESTRANE_WEB_PORT:-0}" <<'EOF'
import functools, http.server, sys
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[1])
handler.extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                          '.wasm': 'application/wasm', '.js': 'text/javascript'}
server = http.server.ThreadingHTTPServer(('127.0.0.1', int(sys.argv[2])), handler)
print(f'Kestrane in your browser: http://127.0.0.1:{server.server_port}/ (Ctrl-C stops)', flush=True)
try:
    server.serve_forever()
except KeyboardInterrupt:
    pass
EOF
}

case "$mode" in
  serve|--build|--deps) ;;
  *) echo "usage: scripts/web.sh [--build | --deps]" >&2; exit 2 ;;
esac
"$root/scripts/setup.sh" web
build_deps
[ "$mode" = --deps ] && exit 0
build_game
site=$root/build/web/site
[ "$mode" = --build ] && { echo "$site"; exit 0; }
serve "$site"
