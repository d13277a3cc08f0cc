#!/usr/bin/env bash
# Builds the game for the browser and serves it on 127.0.0.1.
#   scripts/web.sh           install what is missing, build, serve on a free port (printed)
#   scripts/web.sh --build   build only; the last line printed is the site folder
#   scripts/web.sh --deps    build only SDL2 and libopenmpt into the cache
# SDL2 and libopenmpt are compiled from Debian's source packages (the versions
# the desktop build links) into a cache outside the build tree, keyed by their
# versions, build options and compiler, so only the first build pays for them
# (scripts/cross-libs.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/cross-libs.sh"
mode=${1:-serve}

cache=${XDG_CACHE_HOME:-$HOME/.cache}/kestrane-web

# Debian's emscripten under this node: its tools need node's packages on the
# path, and the generated JS must not try fetch() to load its .wasm in node.
export NODE_PATH=/usr/share/nodejs
export NODE_OPTIONS=--no-experimental-fetch

sdl_options+=(-DSDL_THREADS=OFF -DSDL_JOYSTICK=ON -DSDL_HAPTIC=OFF -DSDL_SENSOR=OFF
  -DSDL_HIDAPI=OFF -DSDL_POWER=OFF -DSDL_LOCALE=OFF)
openmpt_flags+=" -fexceptions"
sdl_configure() { shift; emcmake cmake "$@"; }
# No --host: its config.sub does not know emscripten; emconfigure is enough.
openmpt_configure() { emconfigure ./configure "$@"; }
openmpt_make() { emmake make "$@"; }

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
toolchain=$(emcc -dumpversion)
build_libraries
[ "$mode" = --deps ] && exit 0
build_game
release_libraries
site=$root/build/web/site
[ "$mode" = --build ] && { echo "$site"; exit 0; }
serve "$site"
