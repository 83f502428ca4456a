#!/usr/bin/env bash
# The screen saver's figures, in both of its modes: the time from start to the
# first character on screen, and the CPU it takes while the two characters
# perform (after the nine seconds of start-up).
#
#   bench/saver/saver_bench.sh [--seconds N] [--bin build/bin]
#
# Needs a display; without one it runs itself under scripts/with-display.sh.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=60
bin=$root/build/bin
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --bin) bin=$(cd "$2" && pwd); shift 2 ;;
    *) echo "usage: $0 [--seconds N] [--bin DIR]" >&2; exit 2 ;;
  esac
done
if [ -z "${DISPLAY:-}" ]; then
  exec "$root/scripts/with-display.sh" "$0" --seconds "$seconds" --bin "$bin"
fi
hostwindow=$root/build/tests/saver_hostwindow
[ -x "$bin/lullscreen" ] && [ -x "$hostwindow" ] || { echo "build lullscreen and saver_hostwindow first" >&2; exit 2; }

work=$(mktemp -d)
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

now() { date +%s.%N; }
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)

# cpu_while_performing PID: the share of one core over $seconds, from 12 s after start.
cpu_while_performing() {
  local pid=$1 t0 c0 t1 c1
  sleep 12
  t0=$(now); c0=$(ticks "$pid")
  sleep "$seconds"
  t1=$(now); c1=$(ticks "$pid")
  awk -v c="$((c1 - c0))" -v hz="$hz" -v a="$t0" -v b="$t1" 'BEGIN{printf "%.2f", 100 * c / hz / (b - a)}'
}

# wait_until SECONDS COMMAND...: polls COMMAND until it succeeds; fails after SECONDS.
wait_until() {
  local deadline
  deadline=$(awk -v n="$(now)" -v s="$1" 'BEGIN{printf "%.0f", n + s}')
  shift
  until "$@"; do
    [ "$(date +%s)" -lt "$deadline" ] || { echo "gave up waiting for: $*" >&2; exit 1; }
    sleep 0.02
  done
}
has_window() { [ -n "$(xdotool search --onlyvisible --pid "$1" 2>/dev/null)" ]; }

not_black() {
  import -window "$1" "$work/shot.png" 2>/dev/null || return 1
  awk -v m="$(convert "$work/shot.png" -format '%[fx:maxima]' info: 2>/dev/null)" 'BEGIN{exit !(m > 0.2)}'
}

# Standalone: the first character stands on the desktop before the black
# window comes; its window being mapped is the moment it is drawn.
start=$(now)
"$bin/lullscreen" >/dev/null 2>&1 &
saver=$!
pids+=("$saver")
wait_until 30 has_window "$saver"
first=$(now)
cpu=$(cpu_while_performing "$saver")
kill "$saver"; wait "$saver" 2>/dev/null || true
awk -v a="$start" -v b="$first" -v c="$cpu" -v s="$seconds" \
  'BEGIN{printf "standalone: first character %.2f s after start; CPU while performing %s %% of a core (%d s)\n", b - a, c, s}'

# As a hack, drawing into a window it is given.
"$hostwindow" >"$work/host.id" 2>/dev/null &
pids+=("$!")
wait_until 10 test -s "$work/host.id"
host=$(head -1 "$work/host.id")
start=$(now)
XSCREENSAVER_WINDOW=$host "$bin/lullscreen" -root >/dev/null 2>&1 &
saver=$!
pids+=("$saver")
wait_until 30 not_black "$host"
first=$(now)
cpu=$(cpu_while_performing "$saver")
kill "$saver"; wait "$saver" 2>/dev/null || true
awk -v a="$start" -v b="$first" -v c="$cpu" -v s="$seconds" \
  'BEGIN{printf "hack: first character drawn %.2f s after start; CPU while performing %s %% of a core (%d s)\n", b - a, c, s}'
