#!/usr/bin/env bash
# Fills a folder with the real photographs wallpaper_bench measures, from Debian's
# mate-backgrounds package (downloaded, not installed, unless it is installed already):
#   Elephants_5640x3172.jpg   progressive, 16 MB
#   Elephants_3840x2160.jpg   progressive, 8 MB
#   TwoWings.jpg              baseline, 2560 x 1600 (enlarged for a 4K screen)
#   TwoWings-progressive.jpg  the same made progressive with jpegtran
# Usage: bench/fetch-photos.sh [FOLDER]   (default build/bench-photos), then
#        build/wallpaper_bench FOLDER
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/bench-photos}"
mkdir -p "$out"
want=(abstract/Elephants_5640x3172.jpg abstract/Elephants_3840x2160.jpg nature/TwoWings.jpg)
src=/usr/share/backgrounds/mate
if [ ! -f "$src/${want[0]}" ]; then
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && apt-get download mate-backgrounds >/dev/null)
  dpkg-deb -x "$work"/mate-backgrounds_*.deb "$work/root"
  src="$work/root/usr/share/backgrounds/mate"
fi
for f in "${want[@]}"; do cp "$src/$f" "$out/"; done
command -v jpegtran >/dev/null || { echo "jpegtran missing (libjpeg-turbo-progs)" >&2; exit 1; }
jpegtran -progressive -copy all -outfile "$out/TwoWings-progressive.jpg" "$out/TwoWings.jpg"
ls -l "$out"
