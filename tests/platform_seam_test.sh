#!/usr/bin/env bash
# Game, display and asset code reach the platform only through the host and
# audio interfaces: none of them may include SDL, so all of it runs in tests
# without a window or a sound device.
set -euo pipefail
cd "$1"
hits=$(grep -rn -E '#[[:space:]]*include[[:space:]]*[<"]SDL' game display assets || true)
if [ -n "$hits" ]; then
  echo "SDL included outside the platform files:"
  echo "$hits"
  exit 1
fi
echo "no SDL in game/, display/ or assets/"
