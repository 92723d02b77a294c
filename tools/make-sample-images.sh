#!/usr/bin/env bash
# Draws the sample wallpapers shipped in data/images/ (made for this project with
# ImageMagick; seeded, so a rerun gives the same pictures). Needs `convert`.
set -euo pipefail
out="${1:-$(dirname "$0")/../data/images}"
mkdir -p "$out"
W=1920 H=1080

# A ridge line as polygon points: a sum of sines across the width, closed along the bottom.
ridge() { # base amplitude phase
  awk -v w=$W -v h=$H -v base="$1" -v amp="$2" -v ph="$3" 'BEGIN {
    printf "0,%d ", h;
    for (x = 0; x <= w; x += 16) {
      y = base + amp * (0.6 * sin(x / 310.0 + ph) + 0.3 * sin(x / 97.0 + 2 * ph) + 0.1 * sin(x / 41.0 + 3 * ph));
      printf "%d,%d ", x, y;
    }
    printf "%d,%d", w, h;
  }'
}

# Dusk over layered hills.
convert -size ${W}x${H} gradient:'#2b3a67'-'#f4a259' \
  -fill '#f9d27a' -draw "circle 1350,640 1350,575" -blur 0x6 \
  -fill '#6b4e71' -draw "polygon $(ridge 700 90 0.4)" \
  -fill '#44355b' -draw "polygon $(ridge 800 70 1.9)" \
  -fill '#2a1f3d' -draw "polygon $(ridge 900 50 3.1)" \
  -blur 0x1.2 -attenuate 0.3 +noise Gaussian -quality 82 "$out/dusk-hills.jpg"

# Morning sea: sky, horizon and a textured water surface.
convert -size ${W}x${H} gradient:'#9ccfe8'-'#e8f3f8' \
  \( -size ${W}x520 -seed 7 plasma:fractal -colorspace Gray -blur 0x3 -resize ${W}x130\! -resize ${W}x520\! \
     +level-colors '#123f5e','#5fa8c8' \) \
  -geometry +0+560 -composite \
  -fill '#ffffffaa' -draw "rectangle 0,558 $W,562" \
  -attenuate 0.2 +noise Gaussian -quality 82 "$out/morning-sea.jpg"

# Forest floor in autumn: soft fractal light and colour.
convert -size 480x270 -seed 21 plasma:fractal -colorspace Gray -blur 0x2 -resize ${W}x${H}\! \
  -auto-level -colorspace sRGB -type TrueColor +level-colors '#2f4a1c','#e0a23c' -attenuate 0.3 +noise Gaussian -quality 80 "$out/autumn-forest.jpg"

# Night sky: deep gradient with a scatter of stars.
stars=$(awk -v w=$W -v h=$H 'BEGIN { srand(42); for (i = 0; i < 450; i++) {
  x = int(rand() * w); y = int(rand() * h * 0.85); r = (rand() < 0.1) ? 2 : 1;
  printf "circle %d,%d %d,%d ", x, y, x + r, y } }')
convert -size ${W}x${H} gradient:'#05070f'-'#1c2a4d' -fill '#fff8e7' -draw "$stars" \
  -fill '#0b0d14' -draw "polygon $(ridge 960 40 2.2)" -quality 85 "$out/night-sky.jpg"

ls -l "$out"/*.jpg
