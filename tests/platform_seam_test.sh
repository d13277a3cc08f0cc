#!/usr/bin/env bash
# The house has one-way doors. app/ (platform, window, event loop, start-up)
# sits on top; game/ and display/ beside each other below it; audio/ and
# assets/ at the bottom. A folder includes only from its own level or below,
# and game, display and asset code never include SDL, so all of it runs in
# tests without a window or a sound device.
set -euo pipefail
cd "$1"
fail=0
check() {  # folder, pattern of includes it must not have, what that means
  local hits
  hits=$(grep -rn -E "#[[:space:]]*include[[:space:]]*[<\"]($2)" "$1" || true)
  if [ -n "$hits" ]; then
    echo "$1/ $3:"
    echo "$hits"
    fail=1
  fi
}
check game 'SDL|app/' 'reaches up or into SDL'
check display 'SDL|app/' 'reaches up or into SDL'
check audio 'app/|game/|display/' 'reaches up'
check assets 'SDL|app/|game/|display/|audio/' 'reaches up or into SDL'
[ "$fail" -eq 0 ] || exit 1
echo "every folder includes only from its own level or below; no SDL in game/, display/ or assets/"
