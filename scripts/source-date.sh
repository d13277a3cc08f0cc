#!/usr/bin/env bash
# Prints the time the built files are dated with, in seconds since 1970: the
# last commit's. A source archive has it in dist/source-date-epoch (git
# archive writes it there); a checkout asks git. Fails where neither knows.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
stamp=$(cat "$root/dist/source-date-epoch")
if [[ $stamp =~ ^[0-9]+$ ]]; then
  echo "$stamp"
else
  git -C "$root" log -1 --format=%ct
fi
