#!/usr/bin/env bash
# Takes the README's screenshots from the real game in a real window on a
# private Xvfb: docs/title.png (the title screen, banner running) and
# docs/play.png (a moment of play with an enemy, shots in flight and a wreck).
# Usage: scripts/screenshots.sh [seconds of play to look for that moment, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
limit=${1:-60}
game=build/release/kestrane
for tool in Xvfb xdotool import convert python3; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
cmake --preset release >/dev/null
cmake --build --preset release --target kestrane -j 2 >/dev/null
mkdir -p docs

work=$(mktemp -d)
xvfb_pid=""
game_pid=""
keys_pid=""
cleanup() {
  # The key loop stops by itself between two keys, so no key is left half-sent.
  [ -n "$keys_pid" ] && touch "$work/stop" && wait "$keys_pid"
  [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

source scripts/private-xvfb.sh
start_private_xvfb "$work"

xdotool mousemove 0 0  # keep the pointer off the web link
SDL_AUDIODRIVER=dummy "$game" >"$work/game.log" 2>&1 &
game_pid=$!
window=""
for _ in $(seq 200); do
  window=$(xdotool search --onlyvisible --name '^Kestrane' 2>/dev/null | head -n1) || true
  [ -n "$window" ] && break
  kill -0 "$game_pid" 2>/dev/null || { echo "the game ended at start: $(cat "$work/game.log")" >&2; exit 1; }
  sleep 0.05
done
[ -n "$window" ] || { echo "the game window did not appear" >&2; exit 1; }
xdotool windowfocus "$window"

tap() {
  xdotool keydown "$1"
  sleep 0.08
  xdotool keyup "$1"
}

# Watches the window until a wanted picture shows, then writes it as PNG.
#   title OUT: the whole title picture is up and the banner carries text.
#   play OUT SECONDS: an enemy, a shot and a wreck together; after SECONDS,
#   the frame that came closest. The colour tests use the sheets themselves:
#   a colour counts for a sprite kind when no other picture seen in play has it.
watch() {
  python3 - "$window" "$@" <<'EOF'
import subprocess, sys, time
from collections import Counter

def parse_ppm(data):
    fields, i = [], 0
    while len(fields) < 4:
        while data[i:i + 1].isspace():
            i += 1
        if data[i:i + 1] == b"#":
            i = data.index(b"\n", i)
            continue
        j = i
        while not data[j:j + 1].isspace():
            j += 1
        fields.append(data[i:j])
        i = j
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[i + 1:i + 1 + width * height * 3]

def colours(name, rows=None):
    width, height, pixels = parse_ppm(open(f"assets/data/{name}.ppm", "rb").read())
    # Sprite sheets carry their masks in the lower half.
    rows = height // 2 if rows is None else rows
    return {pixels[k:k + 3] for k in range(0, width * rows * 3, 3)}

def capture(window):
    shot = subprocess.run(["import", "-window", window, "-depth", "8", "ppm:-"],
                          capture_output=True)
    if shot.returncode != 0:
        return None
    width, height, pixels = parse_ppm(shot.stdout)
    return (width, height, pixels) if (width, height) == (400, 400) else None

def save(frame, out):
    width, height, pixels = frame
    subprocess.run(["convert", "ppm:-", "-strip", out], check=True,
                   input=b"P6\n%d %d\n255\n" % (width, height) + pixels)

window, mode, out = sys.argv[1:4]
if mode == "title":
    width, _, title = parse_ppm(open("assets/data/picTitle.ppm", "rb").read())
    top = 380 * width * 3
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        frame = capture(window)
        if frame and frame[2][:top] == title[:top]:
            # The banner rows (380..395) once its text spans most of the width:
            # text is whatever differs from the band's background colour.
            band = frame[2][top:top + 16 * width * 3]
            cells = [band[k:k + 3] for k in range(0, len(band), 3)]
            background = Counter(cells).most_common(1)[0][0]
            columns = {k % width for k, cell in enumerate(cells) if cell != background}
            if len(columns) > width * 0.6:
                save(frame, out)
                sys.exit(0)
        time.sleep(0.1)
    sys.exit("the title screen did not show")

seconds = float(sys.argv[4])
seen = {name: colours(name) for name in
        ["sprBlow", "sprBullet", "sprPlayer", "sprReacteur", "sprStatus",
         "sprBulletEnnemy", "sprBulletBoss"] + [f"sprEnnemy{i}" for i in range(4)]}
seen["sprStars"] = colours("sprStars", 360)
def only(names):
    mine = set().union(*(seen[n] for n in names))
    return mine - set().union(*(v for k, v in seen.items() if k not in names))
kinds = {"enemy": only([f"sprEnnemy{i}" for i in range(4)]),
         "shot": only(["sprBullet"]), "wreck": only(["sprBlow"])}
# Pixels a kind needs in one frame: most of one enemy, two shots, and a
# fireball near its largest (the middle cells of the sheet).
needed = {"enemy": 250, "shot": 60, "wreck": 300}
for kind, found in kinds.items():
    if not found:
        sys.exit(f"no colour belongs to the {kind} sprites alone")

best, best_score = None, -1.0
deadline = time.monotonic() + seconds
while time.monotonic() < deadline:
    frame = capture(window)
    if frame is None:
        continue
    pixels = frame[2]
    counts = dict.fromkeys(kinds, 0)
    for k in range(0, len(pixels), 3):
        colour = pixels[k:k + 3]
        for kind, found in kinds.items():
            if colour in found:
                counts[kind] += 1
    share = {kind: min(1.0, counts[kind] / needed[kind]) for kind in kinds}
    score = sum(share.values()) + min(share.values())
    if score > best_score:
        best, best_score = frame, score
        print(f"best so far: {counts}", file=sys.stderr)
    if min(share.values()) >= 1.0:
        save(frame, out)
        sys.exit(0)
if best is None:
    sys.exit("no frame of play was captured")
print("time is up; keeping the frame that came closest", file=sys.stderr)
save(best, out)
EOF
}

watch title docs/title.png
echo "docs/title.png"

tap space
# Fire every 150 ms while weaving left and right across the middle.
(
  step=0
  while [ ! -e "$work/stop" ]; do
    case $((step % 16)) in
      0) xdotool keydown Left ;;
      3) xdotool keyup Left ;;
      8) xdotool keydown Right ;;
      11) xdotool keyup Right ;;
    esac
    tap space
    sleep 0.07
    step=$((step + 1))
  done
) &
keys_pid=$!
watch play docs/play.png "$limit"
touch "$work/stop"
wait "$keys_pid"
keys_pid=""
echo "docs/play.png"
