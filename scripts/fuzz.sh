#!/usr/bin/env bash
# Fuzzes the game's music path (tests/fuzz/music_fuzz.cpp) with libFuzzer,
# built by clang-14 with AddressSanitizer and UndefinedBehaviorSanitizer in
# build/fuzz.
#
# Usage:
#   scripts/fuzz.sh [SECONDS]  fuzzes for SECONDS (default 600) from a fresh
#                              random seed, starting from the committed corpus;
#                              inputs that reach new code are kept in
#                              build/fuzz/corpus, a crash, hang or leak in
#                              build/fuzz/found (then copy it to tests/fuzz/found
#                              with the fix it leads to)
#   scripts/fuzz.sh --merge    adds the inputs of build/fuzz/corpus that reach
#                              code the committed corpus does not to
#                              tests/fuzz/corpus
#   scripts/fuzz.sh --check    what the test command runs: every file of the
#                              corpus and every case found once, then a fixed
#                              number of runs from a fixed seed (about a
#                              minute of processor time), never a random one
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=build/fuzz
fuzzer=$build/tests/fuzz/music_fuzz
corpus=tests/fuzz/corpus
found=tests/fuzz/found
# A run that takes this long is a hang: the game's module loads and renders
# its 6 s in under a second, even under both sanitizers on a busy machine,
# and the slowest files found (the library's own load and seeks) take a few.
timeout=60
# Each load may add 48 MiB (the loader's budget); far more is a leak or a
# load the budget missed.
options=(-timeout="$timeout" -rss_limit_mb=2048 -dict=tests/fuzz/module.dict -print_final_stats=1)

mode=${1:-600}
case "$mode" in
  --check | --merge) ;;
  *[!0-9]* | "")
    echo "usage: scripts/fuzz.sh [SECONDS | --check | --merge]" >&2
    exit 2
    ;;
esac
cmake --preset fuzz >/dev/null
nice cmake --build --preset fuzz -j2 >/dev/null

case "$mode" in
  --check)
    # Every case kept, each on its own: none may crash, hang or leak.
    mapfile -t cases < <(find "$corpus" "$found" -type f ! -name README | sort)
    "$fuzzer" "${options[@]}" "${cases[@]}" >"$build/replay.log" 2>&1 ||
      { tail -n 40 "$build/replay.log" >&2; echo "fuzz: a kept case fails (above)" >&2; exit 1; }
    echo "fuzz: ${#cases[@]} kept cases replayed"
    # A fixed seed and number of runs: the same inputs on every run. What it
    # adds to the corpus goes to a scratch folder, never into the tree.
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    "$fuzzer" "${options[@]}" -seed=20261208 -runs=1000 -artifact_prefix="$scratch/" \
      "$scratch" "$corpus" "$found" >"$build/check.log" 2>&1 ||
      { tail -n 40 "$build/check.log" >&2; echo "fuzz: the fixed-seed run found a case (above)" >&2; exit 1; }
    grep -E '^stat::number_of_executed_units' "$build/check.log" | sed 's/^/fuzz: /'
    ;;
  --merge)
    mkdir -p "$build/corpus"
    "$fuzzer" "${options[@]}" -merge=1 "$corpus" "$build/corpus"
    ;;
  *)
    mkdir -p "$build/corpus" "$build/found"
    "$fuzzer" "${options[@]}" -max_total_time="$mode" -artifact_prefix="$build/found/" \
      "$build/corpus" "$corpus" "$found"
    ;;
esac
