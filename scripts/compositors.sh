#!/usr/bin/env bash
# Runs the clock under the Wayland compositors users have, through their
# Xwayland: GNOME's mutter (headless, one virtual monitor) and Weston
# (headless). On each the characters must stand where their home moves
# asked, and under Weston, whose window manager places every window itself
# and keeps nothing above, they must bypass it. Screenshots of Weston's
# desktop go to $SHOTS when set.
#   scripts/compositors.sh [build/bin]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
B=$(cd "${1:-$top/build/bin}" && pwd)
for tool in mutter weston Xwayland xdotool xwininfo dbus-run-session; do
  command -v "$tool" >/dev/null || { echo "compositors.sh: $tool is missing (apt-get install mutter weston xwayland xdotool x11-utils dbus)"; exit 2; }
done

WORK=$(mktemp -d)
PIDS=()
cleanup() {
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  sleep 0.5
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; echo "--- log:"; cat "$WORK/clock.log" 2>/dev/null || true; exit 1; }

# A private user for each run, on the display the compositor gives.
fresh_user() {
  rm -rf "$WORK/user"
  export HOME=$WORK/user/home XDG_CONFIG_HOME=$WORK/user/config XDG_DATA_HOME=$WORK/user/data
  mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
  "$B/chimewell-settings" set Data LastCharacter max >/dev/null
  "$B/chimewell-settings" set Data LastCharacter2 plany >/dev/null
  # Near the left edge: character 2's home lies off the screen, and is kept in view.
  "$B/chimewell-settings" set Data FormX 1500 >/dev/null
  "$B/chimewell-settings" set Data FormY 6000 >/dev/null
}

# wait_for FILE PATTERN SECONDS
wait_for() {
  local i
  for i in $(seq $(($3 * 10))); do grep -a -q -- "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}

# check_clock NAME: starts the clock on $DISPLAY and checks that both
# characters stand where they were sent home.
check_clock() {
  local name=$1 id title want at i
  : >"$WORK/clock.log"
  QT_QPA_PLATFORM=xcb QT_LOGGING_RULES="chimewell.*=true" \
    dbus-run-session -- sh -c 'echo $$ >"$1"; exec "$2"' sh "$WORK/clock.pid" "$B/chimewell" >>"$WORK/clock.log" 2>&1 &
  PIDS+=($!)
  wait_for "$WORK/clock.log" 'chimewell.agent: plany MoveTo' 40 || fail "$name: character 2 was never sent home"
  PIDS+=("$(cat "$WORK/clock.pid")")
  for id in max plany; do
    title=$([ $id = max ] && echo Max || echo Plany)
    want=$(sed -n "s/^chimewell.agent: $id MoveTo \([-0-9]*\),\([-0-9]*\).*/\1 \2/p" "$WORK/clock.log" | tail -1)
    at=""
    for i in $(seq 200); do
      w=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -1) || true
      [ -n "$w" ] && at=$(xwininfo -id "$w" | awk '/Absolute upper-left X/{x=$4}/Absolute upper-left Y/{y=$4}END{print x, y}')
      [ "$at" = "$want" ] && break
      sleep 0.1
    done
    [ "$at" = "$want" ] || fail "$name: $id was sent to $want but stands at ${at:-nowhere}"
  done
  echo "PASS: $name: the characters stand where they were sent ($(grep -a -c 'bypass the window manager' "$WORK/clock.log") bypassing)"
}

stop_clock() {
  kill "$(cat "$WORK/clock.pid")" 2>/dev/null || true
  sleep 1
}

# --- mutter, headless, with Xwayland on demand
export XDG_RUNTIME_DIR=$WORK/mutter
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
dbus-run-session -- sh -c 'echo $$ >"$1"; shift; exec "$@"' sh "$WORK/mutter.pid" \
  mutter --headless --wayland --virtual-monitor 1280x1024 --wayland-display=chimewell-mutter >"$WORK/mutter.log" 2>&1 &
PIDS+=($!)
wait_for "$WORK/mutter.log" 'Using public X11 display' 20 || { cat "$WORK/mutter.log"; fail "mutter did not start"; }
mutter=$(cat "$WORK/mutter.pid")
PIDS+=("$mutter")
export DISPLAY=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$WORK/mutter.log" | head -1)
export XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -1)
unset WAYLAND_DISPLAY
fresh_user
check_clock mutter
grep -a -q 'bypass the window manager' "$WORK/clock.log" && fail "mutter: the characters bypassed a window manager that keeps them above"
stop_clock
kill "$mutter" 2>/dev/null || true
unset XAUTHORITY

# --- Weston, headless, with its Xwayland window manager
export XDG_RUNTIME_DIR=$WORK/weston
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
weston --backend=headless-backend.so --use-pixman --xwayland --idle-time=0 --socket=chimewell-weston \
  --width=1280 --height=1024 ${SHOTS:+--debug} >"$WORK/weston.log" 2>&1 &
PIDS+=($!)
wait_for "$WORK/weston.log" 'xserver listening on display' 20 || { cat "$WORK/weston.log"; fail "weston did not start"; }
export DISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$WORK/weston.log" | head -1)
fresh_user
check_clock weston
grep -a -q 'characters bypass the window manager' "$WORK/clock.log" || fail "weston: the characters did not bypass its window manager"
if [ -n "${SHOTS:-}" ]; then
  mkdir -p "$SHOTS"
  (cd "$SHOTS" && WAYLAND_DISPLAY=chimewell-weston timeout 10 weston-screenshooter) || echo "no screenshot"
fi
stop_clock
echo "PASS: the characters land where asked under mutter and Weston"
