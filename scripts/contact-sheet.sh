#!/usr/bin/env bash
# Writes one PNG showing every picture in assets/data, enlarged, for judging
# the art by eye. Usage: scripts/contact-sheet.sh [OUT.png] (default build/contact-sheet.png)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/contact-sheet.png}
mkdir -p "$(dirname "$out")"
# A font named by its file: ImageMagick's default one may not be installed.
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
[ -f "$font" ] || { echo "$font is missing (scripts/setup.sh installs it)" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
i=0
for name in sprPlayer sprReacteur sprBullet sprBlow sprEnnemy0 sprEnnemy1 sprEnnemy2 sprEnnemy3 \
            sprStatus picFonte sprLink sprBulletEnnemy sprBulletBoss icon picTitle sprStars; do
  file=assets/data/$name.ppm
  width=$(head -c 20 "$file" | sed -n 2p | cut -d' ' -f1)
  # Small sheets get a bigger zoom; keep each tile at most about 2400 pixels wide.
  zoom=$(( 2400 / width ))
  [ "$zoom" -gt 8 ] && zoom=8
  [ "$zoom" -lt 1 ] && zoom=1
  convert "$file" -filter point -resize "$((zoom * 100))%" \
    -bordercolor '#404060' -border 2 \
    -background '#202030' -font "$font" -fill white -gravity north -splice 0x16 \
    -annotate +0+1 "$name x$zoom" "$tmp/$(printf %02d $i).png"
  i=$((i + 1))
done
# The pictures in place: a title screen with its banner and a moment of play.
cmake --preset release >/dev/null
cmake --build --preset release --target artpreview -j 2 >/dev/null
build/release/tools/art/artpreview "$tmp/title.ppm" "$tmp/play.ppm"
for scene in title play; do
  convert "$tmp/$scene.ppm" -filter point -resize 200% -bordercolor '#404060' -border 2 \
    -background '#202030' -font "$font" -fill white -gravity north -splice 0x16 \
    -annotate +0+1 "$scene screen x2" "$tmp/$(printf %02d $i).png"
  i=$((i + 1))
done
convert -background '#202030' "$tmp"/[0-9]*.png -gravity west -append "$out"
echo "$out"
