#!/usr/bin/env bash
# Takes the README's screenshots: starts the program under its own Xvfb with a fresh home
# and the sample pictures, opens the main window (by starting the program a second time),
# captures every settings page, selects a picture on the Source page, presses "Preview", and
# captures the preview and the whole desktop into docs/images/. The controls are found through
# the accessibility bus (tests/e2e/atspi_driver.py) and clicked with xdotool. Needs Xvfb,
# xwininfo, xdotool, ImageMagick, dbus-x11 and python3-pyatspi (scripts/setup.sh installs them).
#
#   tools/screenshots.sh [path/to/quillatorne]     (default: build/quillatorne)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
program="$(realpath "${1:-$root/build/quillatorne}")"
out="$root/docs/images"
[ -x "$program" ] || { echo "no program at $program; run 'make build' first" >&2; exit 1; }
mkdir -p "$out"

work="$(mktemp -d)"
xvfb_pid="" app_pid="" bus_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null || true
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display and writes its number to the pipe.
exec 3<> <(:)
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 10 number <&3
export DISPLAY=":$number"

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION WAYLAND_DISPLAY
mkdir -p "$XDG_CONFIG_HOME/Quillatorne" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# A session bus of our own carries the accessibility bus.
eval "$(dbus-launch --sh-syntax)"
bus_pid="$DBUS_SESSION_BUS_PID"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
user() { /usr/bin/python3 "$root/tests/e2e/atspi_driver.py" "$@"; }

# The sample pictures as the source folder, one of them selected and current (so the
# start-up refresh installs it), no timed changes.
pictures="$(dirname "$program")/images"
key='HKEY_CURRENT_USER\SOFTWARE\Orbwright\Quillatorne\4.0'
cat > "$XDG_CONFIG_HOME/Quillatorne/settings.reg" <<REG
Windows Registry Editor Version 5.00

[$key\\Base]
"OK"=dword:00000001

[$key\\Wallpaper]
"PathsCount"=dword:00000001
"Path 1"="$pictures"
"SelPath"="$pictures"
"SelFile"="dusk-hills.jpg"
"ChangeRule"=dword:00000000

[$key\\Program]
"LastImageFileName"="$pictures/dusk-hills.jpg"
REG
# One mail account, for the accounts page; with accounts, the mail options are kept beside
# them. Its server refuses at once, so no check is still running when the page is taken.
cat >> "$XDG_CONFIG_HOME/Quillatorne/settings.reg" <<REG

[$key\\Email]
"AccountsNumber"=dword:00000001

[$key\\Email Accounts]
"EnableCheck"=dword:00000001
"IntervalMinutes"=dword:00000014
"AddIcon"=dword:00000001
"LeftLaunch"=dword:00000001
"RightShowMenu"=dword:00000001
"ShowDialog"=dword:00000001
"name 1"="Home"
"Server 1"="localhost"
"User 1"="ann"
"Password 1"="not-a-real-one"
"EnableCheck 1"=dword:00000001
"Security 1"=dword:00000002
"Protocol 1"=dword:00000001
REG

window_id() { # title
  xwininfo -root -tree | sed -n "s/^ *\(0x[0-9a-f]*\) \"$1\": .*/\1/p" | head -1
}
wait_for_window() { # title
  for _ in $(seq 100); do
    id="$(window_id "$1")"
    if [ -n "$id" ] && xwininfo -id "$id" | grep -q 'IsViewable'; then echo "$id"; return 0; fi
    sleep 0.2
  done
  return 1
}

"$program" &
app_pid=$!
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/quillatorne.socket" ] && break; sleep 0.2; done
sleep 2  # let the start-up wallpaper settle
"$program"  # a second start opens the running copy's window
main="$(wait_for_window Quillatorne)" || { echo "the main window did not appear" >&2; exit 1; }
xdotool windowfocus "$main" || true  # no window manager here to give it the focus
sleep 1
import -window root "$out/desktop.png"

# Every page: its side-bar section, then its item (only the open section's items are shown,
# so "Options" finds the right one).
while read -r section item file; do
  user press "$section" && user click "$item" || { echo "no page $section/$item" >&2; continue; }
  sleep 0.7
  import -window "$main" "$out/$file"
done <<'PAGES'
Wallpaper Rules page-rules.png
Calendar Style/Pos calendar-style-page.png
Calendar Options page-calendar-options.png
Reminders Popup popup-reminders-page.png
Reminders Color-Dot color-dot-page.png
Email Accounts mail-accounts.png
Email Actions mail-actions.png
Email Options mail-options.png
Options Application page-program-options.png
Help Contents help-page.png
PAGES

# A picture chosen on the Source page, then "Preview"; a click on the picture closes it.
user press Wallpaper && user click Source
user click "Images in selected directory:" morning-sea.jpg
sleep 1
import -window "$main" "$out/main-window.png"
user press Preview
if preview="$(wait_for_window 'Preview (click image to close)')"; then
  sleep 1
  import -window "$preview" "$out/preview.png"
  eval "$(xwininfo -id "$preview" | awk '/Absolute upper-left X/ {print "px=" $4} /Absolute upper-left Y/ {print "py=" $4}')"
  xdotool mousemove $((px + 100)) $((py + 100)) click 1
  sleep 1
else
  echo "no preview window" >&2
fi
ls -l "$out"
