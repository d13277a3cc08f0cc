#!/usr/bin/env bash
# The cross builds' library cache, in a temporary cache with stand-ins for
# the compilers and libraries: an emcc that cannot say its version fails
# scripts/web.sh before anything is fetched or built; and a run for a newer
# revision, cleaning up stale libraries while another run compiles against
# the older one, leaves it to that run, which links.
# Usage: cross_libs_test.sh SOURCE_DIR
set -euo pipefail
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir "$work/bin"
for tool in emcc emcmake emconfigure; do
  printf '#!/bin/sh\necho "%s: stand-in that fails" >&2\nexit 1\n' "$tool" >"$work/bin/$tool"
done
chmod +x "$work/bin/"*
if PATH="$work/bin:$PATH" XDG_CACHE_HOME="$work/cache" "$root/scripts/web.sh" --build \
    >"$work/web.out" 2>"$work/web.log"; then
  fail "scripts/web.sh --build succeeded with an emcc that fails"
fi
grep -q "emcc: stand-in that fails" "$work/web.log" ||
  fail "scripts/web.sh failed before it asked emcc: $(tail -n 5 "$work/web.log")"
[ ! -e "$work/cache/kestrane-web" ] ||
  fail "scripts/web.sh went on to fetch or build: $(ls "$work/cache/kestrane-web")"

# run.sh KEY [COMMAND...]: takes the stand-in library of KEY from the cache
# (built if missing), compiles against it, runs COMMAND, then links.
cat >"$work/run.sh" <<'EOF'
set -euo pipefail
source "$ROOT/scripts/cross-libs.sh"
debian_version() { echo "$2-1"; }
fetch_debian_source() { mkdir -p "$3/source" && echo "$3/source"; }
stand_in_build() {
  mkdir -p "$2" "$3/lib"
  echo 'int stand_in(void) { return 0; }' >"$2/lib.c"
  cc -c "$2/lib.c" -o "$2/lib.o"
  ar rc "$3/lib/libstand_in.a" "$2/lib.o"
}
key=$1
shift
use_library "$CACHE" lib stand-in 1.0 "$key" stand_in_build
echo 'int stand_in(void); int main(void) { return stand_in(); }' >"$CACHE/main-$key.c"
cc -c "$CACHE/main-$key.c" -o "$CACHE/main-$key.o"
"$@"
cc "$CACHE/main-$key.o" -L"$built_prefix/lib" -lstand_in -o "$CACHE/game-$key"
EOF
export ROOT=$root CACHE=$work/libs
bash "$work/run.sh" old
bash "$work/run.sh" first bash "$work/run.sh" newer ||
  fail "the run on the first library did not link after the newer one's clean-up"
[ ! -e "$CACHE/lib-1.0-1-old" ] || fail "no clean-up removed the library nothing held"
echo "a failing emcc stops scripts/web.sh; a library in use outlives a clean-up"
