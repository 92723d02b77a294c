#!/usr/bin/env bash
# The README's two-monitor picture: the program on a headless sway with a 1920 x 1080 output
# and a 2560 x 1440 one at scale 2 turned to portrait, taken with grim across both (half size),
# and each output on its own beside it. sway refuses root: run as root, it runs sway and the
# program as the test suite's session user, made when missing.
#
#   tools/two-monitor-screenshot.sh PROGRAM OUT.jpg [DIR]   (DIR: where the session lives)
set -euo pipefail
program="$(realpath "$1")"
out="$(realpath -m "$2")"
root="$(cd "$(dirname "$0")/.." && pwd)"
user=quillatorne-sway
id "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user"

dir="${3:-$(mktemp -d /tmp/quillatorne-two-XXXXXX)}"
mkdir -p "$dir/home/.config/Quillatorne" "$dir/run" "$dir/pictures"
chmod 755 "$dir"
chmod 700 "$dir/run"
cp "$root"/data/images/*.jpg "$dir/pictures/"
key='HKEY_CURRENT_USER\SOFTWARE\Orbwright\Quillatorne\4.0'
cat > "$dir/home/.config/Quillatorne/settings.reg" <<REG
Windows Registry Editor Version 5.00

[$key\\Base]
"OK"=dword:00000001

[$key\\Wallpaper]
"PathsCount"=dword:00000001
"Path 1"="$dir/pictures"
"SelPath"="$dir/pictures"
"SelFile"="dusk-hills.jpg"
"ChangeRule"=dword:00000000

[$key\\Calendar]
"ShowCalendar"=dword:00000001
REG
cat > "$dir/sway.config" <<CONF
xwayland disable
output HEADLESS-1 resolution 1920x1080 position 0 0
output HEADLESS-2 resolution 2560x1440 scale 2 transform 90 position 1920 0
CONF
chown -R "$user" "$dir"

as_user() {
  runuser -u "$user" -- env HOME="$dir/home" XDG_RUNTIME_DIR="$dir/run" "$@"
}
# Started through a shell that notes its own process id and becomes the program, so that the
# end can stop exactly what it started.
started() { # pid-file command...
  as_user sh -c 'echo $$ > "$0"; exec "$@"' "$@"
}
stop() {
  for f in "$dir/program.pid" "$dir/sway.pid"; do [ -f "$f" ] && kill "$(cat "$f")" 2>/dev/null; done
  wait 2>/dev/null || true
}
trap stop EXIT
started "$dir/sway.pid" env WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=2 WLR_LIBINPUT_NO_DEVICES=1 \
  WLR_RENDERER=pixman sway -c "$dir/sway.config" >"$dir/sway.log" 2>&1 &
for _ in $(seq 100); do
  sock="$(ls "$dir"/run/sway-ipc.*.sock 2>/dev/null | head -n1 || true)"
  [ -n "$sock" ] && [ -S "$dir/run/wayland-1" ] && break
  sleep 0.1
done
[ -n "$sock" ] || { cat "$dir/sway.log"; exit 1; }
session=(WAYLAND_DISPLAY=wayland-1 SWAYSOCK="$sock" XDG_CURRENT_DESKTOP=sway)
# Until sway has set both outputs up.
for _ in $(seq 100); do
  [ "$(as_user "${session[@]}" swaymsg -r -t get_outputs | grep -c '"active": true')" = 2 ] && break
  sleep 0.1
done

started "$dir/program.pid" env "${session[@]}" QT_QPA_PLATFORM=wayland dbus-run-session -- \
  "$program" >"$dir/program.log" 2>&1 &
data="$dir/home/.local/share/Quillatorne"
for _ in $(seq 300); do
  [ -f "$data/Quillatorne-HEADLESS-2.bmp" ] && break
  sleep 0.1
done
sleep 3  # until swaybg has drawn both outputs
[ -z "${HOLD:-}" ] || sleep "$HOLD"
as_user "${session[@]}" grim -s 0.5 "$dir/both.png"
# What no output covers is transparent in grim's picture: a dark grey instead.
convert "$dir/both.png" -background '#202020' -flatten "$dir/both.png"
for output in HEADLESS-1 HEADLESS-2; do as_user "${session[@]}" grim -o "$output" "$dir/$output.png"; done
convert "$dir/both.png" -quality 85 "$out"
echo "$dir"
