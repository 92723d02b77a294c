#!/usr/bin/env bash
# What the program costs while it waits in the tray: its window hidden, the default rules
# (a timed change every 10 minutes, mail off), no reminder. Runs the given program under an
# Xvfb of its own with a throw-away home and a private session bus, lets it settle, then
# samples for SECONDS: CPU time (of every thread) and wake-ups (voluntary
# context switches of every thread: each is one sleep that ended). Prints the figures per
# thread and in all, beside the targets.
#
# Usage: bench/idle-bench.sh [PROGRAM] [SECONDS]   (default build/quillatorne, 120)
set -euo pipefail
cd "$(dirname "$0")/.."
program="$(realpath "${1:-build/quillatorne}")"
seconds="${2:-120}"
settle=15

work="$(mktemp -d)"
xvfb_pid=""
prog_pid=""
cleanup() {
  [ -n "$prog_pid" ] && kill "$prog_pid" 2>/dev/null && wait "$prog_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display and writes its number to the pipe.
exec 3> >(cat >"$work/display")
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 2>/dev/null &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
display=":$(head -1 "$work/display")"

mkdir -p "$work/home/.config" "$work/home/.local/share" "$work/home/run"
chmod 700 "$work/home/run"
env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS \
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share" \
  XDG_RUNTIME_DIR="$work/home/run" DISPLAY="$display" QT_QPA_PLATFORM=xcb \
  dbus-run-session -- "$program" >"$work/out" 2>"$work/err" &
prog_pid=$!
sleep "$settle"
# env has become dbus-run-session, whose child the program is.
pid="$(pgrep -P "$prog_pid" -f "$program" || true)"
[ -n "$pid" ] || { echo "the program did not start:"; cat "$work/err"; exit 1; }

# One line per thread: tid name cpu-nanoseconds voluntary-switches. The scheduler's own
# nanosecond count, not utime + stime: those move in 10 ms steps, coarser than the whole figure.
sample() {
  for t in /proc/"$pid"/task/*; do
    local tid="${t##*/}" name ns sw
    ns="$(cut -d' ' -f1 "$t/schedstat" 2>/dev/null)" || continue
    name="$(cat "$t/comm")"
    sw="$(awk '/^voluntary_ctxt_switches/ {print $2}' "$t/status")"
    echo "$tid ${name// /_} $ns $sw"
  done
}
sample >"$work/before"
sleep "$seconds"
sample >"$work/after"

echo "idle for $seconds s (after $settle s of start-up), window hidden, default rules, mail off"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
printf "%-8s %-16s %12s %12s\n" "thread" "name" "cpu s/hour" "wake-ups/s"
join -a 2 -e 0 -o 2.1,2.2,1.3,2.3,1.4,2.4 <(sort "$work/before") <(sort "$work/after") |
  awk -v s="$seconds" '
    { cpu = ($4 - $3) / 1e9 * 3600 / s; w = ($6 - $5) / s
      printf "%-8s %-16s %12.3f %12.2f\n", $1, $2, cpu, w; tc += cpu; tw += w }
    END { printf "%-25s %12.3f %12.2f\n", "all threads", tc, tw
          printf "%-25s %12s %12s\n", "target", "<= 1", "<= 2" }'
