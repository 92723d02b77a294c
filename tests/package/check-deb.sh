#!/usr/bin/env bash
# Builds the Debian package from a configured build folder, checks what it holds, unpacks
# it into a scratch root and runs the unpacked program there.
# Usage: check-deb.sh BUILD_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack could not build the package"; }
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one package, found: ${debs[*]}"
deb="${debs[0]}"

version="$(dpkg-deb -f "$deb" Version)"
arch="$(dpkg --print-architecture)"
[ "$(basename "$deb")" = "quillatorne_${version}_${arch}.deb" ] || fail "package named $(basename "$deb")"
[ "$(dpkg-deb -f "$deb" Package)" = quillatorne ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "architecture"
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libqt6widgets6 libqt6gui6 libqt6network6 libqt6core6 libjpeg62-turbo libc6 qt6-wayland; do
  grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

contents="$(dpkg-deb -c "$deb" | awk '{print $6}')"
expected=(
  ./usr/bin/quillatorne
  ./usr/share/quillatorne/help.html
  ./usr/share/quillatorne/images/calendar-classic.png
  ./usr/share/quillatorne/images/morning-sea.jpg
  ./usr/share/applications/quillatorne.desktop
  ./usr/share/metainfo/example.orbwright.quillatorne.metainfo.xml
  ./usr/share/man/man1/quillatorne.1.gz
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/quillatorne.png")
done
for path in "${expected[@]}"; do
  grep -qxF "$path" <<<"$contents" || fail "package lacks $path"
done
# Only what a user runs: no library, headers, tests or benchmarks.
stray="$(grep -vE '/$|^\./usr/(bin/quillatorne|share/(quillatorne|applications|icons|metainfo|man|doc)/)' <<<"$contents" || true)"
[ -z "$stray" ] || fail "unexpected files in the package: $stray"

dpkg -x "$deb" "$work/root"
share="$work/root/usr/share"
if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate "$share/applications/quillatorne.desktop" || fail "desktop file"
fi
grep -q '^Exec=quillatorne --next$' "$share/applications/quillatorne.desktop" || fail "Next wallpaper action"
grep -q '^Exec=quillatorne --show$' "$share/applications/quillatorne.desktop" || fail "Show settings action"
if command -v appstreamcli > /dev/null; then
  appstreamcli validate --no-net --pedantic "$share/metainfo/example.orbwright.quillatorne.metainfo.xml" > "$work/as.log" 2>&1 ||
    { cat "$work/as.log"; fail "metainfo"; }
fi
man="$(zcat "$share/man/man1/quillatorne.1.gz")"
for verb in show next random refresh set check-mail quit render size image help version; do
  # in the page's source a dash is written \-
  grep -qF -- "\\-\\-${verb//-/\\-}" <<<"$man" || fail "man page lacks --$verb"
done

# The unpacked program, in a home of its own and with no display.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
unset DISPLAY WAYLAND_DISPLAY
program="$work/root/usr/bin/quillatorne"
[ "$("$program" --version)" = "Quillatorne $version" ] || fail "--version says $("$program" --version)"
QT_QPA_PLATFORM=offscreen "$program" --render "$work/wall.png" --size 640x360 \
  --image "$share/quillatorne/images/morning-sea.jpg" 2> "$work/render.log" ||
  { cat "$work/render.log"; fail "--render failed"; }
[ "$(identify -format '%m %wx%h' "$work/wall.png")" = "PNG 640x360" ] || fail "rendered picture"
# With no picture chosen yet, the render says so as the program's box would, and fails.
if "$program" --render "$work/none.bmp" 2> "$work/none.log"; then fail "render without a picture succeeded"; fi
grep -q "There is no image selected." "$work/none.log" || fail "render error text: $(cat "$work/none.log")"
[ ! -e "$work/none.bmp" ] || fail "a failed render wrote a file"
[ ! -e "$HOME/.config/Quillatorne/settings.reg" ] || fail "a render wrote the settings"
echo "package $(basename "$deb") checked"
