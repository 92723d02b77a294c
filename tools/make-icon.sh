#!/usr/bin/env bash
# Draws the launcher icon into data/icons/hicolor/<size>/apps/quillatorne.png, one per size
# the icon theme asks for: a dusk landscape with a calendar sheet in its corner, the same
# design the program draws for its window and tray.
set -euo pipefail
out="${1:-$(dirname "$0")/../data/icons/hicolor}"
S=256  # drawn at the largest size; smaller ones are reduced from it for smooth edges
master="$(mktemp --suffix=.png)"
trap 'rm -f "$master"' EXIT
convert -size ${S}x${S} xc:none \
  \( -size ${S}x226 gradient:'#2b3a67'-'#f4a259' \) -geometry +0+15 -composite \
  -fill '#44355b' -draw "path 'M 0,205 C 77,141 128,192 256,154 L 256,241 L 0,241 Z'" \
  -fill '#f9d27a' -draw "circle 64,90 64,64" \
  -stroke '#404040' -strokewidth 4 -fill white -draw "roundrectangle 123,36 236,143 10,10" \
  -fill '#d03030' -draw "rectangle 123,36 236,66" \
  -stroke none -fill '#506080' \
  -draw "rectangle 133,76 146,88 rectangle 158,76 171,88 rectangle 183,76 196,88 rectangle 208,76 221,88" \
  -draw "rectangle 133,98 146,110 rectangle 158,98 171,110 rectangle 183,98 196,110 rectangle 208,98 221,110" \
  -draw "rectangle 133,120 146,132 rectangle 158,120 171,132 rectangle 183,120 196,132" \
  \( -size ${S}x${S} xc:black -fill white -draw "roundrectangle 0,15 255,240 30,30" \) \
  -alpha off -compose CopyOpacity -composite "$master"
for size in 16 22 24 32 48 64 128 256; do
  dir="$out/${size}x${size}/apps"
  mkdir -p "$dir"
  # -strip: no time stamps, so an unchanged icon gives an unchanged file
  convert "$master" -resize ${size}x${size} -strip "$dir/quillatorne.png"
done
ls -l "$out"/*/apps/quillatorne.png
