#!/usr/bin/env bash
# Tray figures (needs a display, e.g. scripts/with-display.sh):
#  1. dragging a label window across the screen while every disk write waits
#     SLOWSYNC_MS (default 150 ms): the largest gap between handled pointer
#     moves, against a handler that writes the place on every move;
#  2. the clock's resident memory and CPU over an idle period with its icon in
#     an XEmbed tray (trayer), against the same run with no tray at all.
# Usage: tray_bench.sh [idle-seconds (default 120)]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
: "${CHIMEWELL_PROGRAM_DIR:=$root/build/bin}"
B=$CHIMEWELL_PROGRAM_DIR
bench=$(dirname "$B")/bench
idle=${1:-120}
export SLOWSYNC_MS=${SLOWSYNC_MS:-150} QT_QPA_PLATFORM=xcb

echo "== drag with every fsync ${SLOWSYNC_MS} ms late"
LD_PRELOAD=$bench/slowsync.so "$bench/bench_drag"
LD_PRELOAD=$bench/slowsync.so "$bench/bench_drag" --naive

work=$(mktemp -d)
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS || true
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
"$B/chimewell-settings" set Data LastCharacter "${TRAY_BENCH_CHAR1:-max}" >/dev/null
"$B/chimewell-settings" set Data LastCharacter2 "${TRAY_BENCH_CHAR2:-plany}" >/dev/null
"$B/chimewell-settings" set Data Announce 0 >/dev/null

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss_kb() { awk '/^VmRSS/{print $2}' "/proc/$1/status"; }

# measure LABEL: starts the clock, waits past start-up, then idles.
measure() {
  local label=$1 pid c0 c1 hz
  "$B/chimewell" >/dev/null 2>&1 &
  pid=$!
  pids+=("$pid")
  sleep 20
  hz=$(getconf CLK_TCK)
  c0=$(cpu_ticks "$pid")
  sleep "$idle"
  c1=$(cpu_ticks "$pid")
  echo "$label: resident $(rss_kb "$pid") kB, CPU $(awk -v t=$((c1 - c0)) -v hz="$hz" -v s="$idle" 'BEGIN{printf "%.2f", 100 * t / hz / s}')% over ${idle} s"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

echo "== the clock idle, ${idle} s each"
trayer --edge top --align right --widthtype pixel --width 48 --height 32 --SetDockType false >/dev/null 2>&1 &
tray=$!
pids+=("$tray")
sleep 1
measure "with the icon in trayer"
kill "$tray"
sleep 1
measure "no tray (listening for one)"
