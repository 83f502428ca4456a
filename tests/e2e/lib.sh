# Shared helpers of the end-to-end tests: a private user, the real programs
# from the program folder, and their log.
set -euo pipefail

: "${CHIMEWELL_PROGRAM_DIR:?}"
: "${DISPLAY:?the end-to-end tests need a display (scripts/with-display.sh)}"
B=$CHIMEWELL_PROGRAM_DIR
WORK=$(mktemp -d)
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/config XDG_DATA_HOME=$WORK/data XDG_RUNTIME_DIR=$WORK/run
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_LOGGING_RULES="chimewell.*=true" QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY || true
LOG=$WORK/chimewell.log
PIDS=()

cleanup() {
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  pkill -f "^$B/chimewell( |$)" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; echo "--- log:"; cat "$LOG" 2>/dev/null || true; exit 1; }
settings() { "$B/chimewell-settings" "$@"; }
returning_user() { settings set Data LastCharacter max; settings set Data LastCharacter2 plany; }

# start_chimewell [wrapper ...]: starts the clock in the background, logging to $LOG.
start_chimewell() {
  "$@" "$B/chimewell" >>"$LOG" 2>&1 &
  PIDS+=($!)
}

# Programs started at a set moment go through the faketime library itself
# rather than the faketime wrapper, which would run them as its child.
FAKETIME_LIB=$(ls /usr/lib/*/faketime/libfaketimeMT.so.1 2>/dev/null | head -1 || true)
need_faketime() { [ -n "$FAKETIME_LIB" ] || fail "libfaketime is not installed (Debian package faketime)"; }

# at STAMP COMMAND...: runs COMMAND with its clock starting at STAMP.
at() { need_faketime; env LD_PRELOAD="$FAKETIME_LIB" FAKETIME="@$1" "${@:2}"; }

# start_at STAMP PROGRAM: starts PROGRAM of the program folder in the
# background with its clock starting at STAMP, logging to $LOG; its pid is
# the last of PIDS. Not through at: a function in the background runs in a
# subshell, and $! would be the subshell's pid, which cleanup's kill would
# leave the program running behind.
start_at() {
  need_faketime
  env LD_PRELOAD="$FAKETIME_LIB" FAKETIME="@$1" "$B/$2" >>"$LOG" 2>&1 &
  PIDS+=($!)
}

# wait_for_log PATTERN SECONDS
wait_for_log() {
  local pattern=$1 seconds=$2 i
  for i in $(seq $((seconds * 10))); do
    grep -q -- "$pattern" "$LOG" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "no log line matching '$pattern' within ${seconds}s"
}

# The running clocks (processes of the program folder's chimewell).
clock_count() { pgrep -c -f "^$B/chimewell$" || true; }

# The clock window: the visible window titled Chimewell of the running clock.
clock_window() {
  local pid w
  pid=$(pgrep -n -f "^$B/chimewell$") || return 1
  for w in $(xdotool search --onlyvisible --pid "$pid" --name '^Chimewell$' 2>/dev/null); do
    echo "$w"; return 0
  done
  return 1
}

# the_clock PID: the clock window of the clock PID (112 px wide), not a
# balloon of the same title.
the_clock() {
  local w
  for w in $(xdotool search --onlyvisible --pid "$1" --name '^Chimewell$' 2>/dev/null); do
    [ "$(window_geometry "$w" | cut -d' ' -f3)" = 112 ] && { echo "$w"; return 0; }
  done
  return 1
}

# X of window geometry: prints "x y w h"
window_geometry() {
  xdotool getwindowgeometry --shell "$1" | awk -F= '/^X=/{x=$2}/^Y=/{y=$2}/^WIDTH=/{w=$2}/^HEIGHT=/{h=$2}END{print x, y, w, h}'
}

# character_menu TITLE ID: right-clicks the character's window (titled TITLE) and
# waits for its menu; the keys that choose an entry are the caller's.
character_menu() {
  local w x y ww hh
  w=$(xdotool search --onlyvisible --name "^$1\$" | head -1)
  [ -n "$w" ] || fail "no window of $2"
  read -r x y ww hh < <(window_geometry "$w")
  xdotool mousemove $((x + ww / 2)) $((y + hh / 2)) click 3
  wait_for_log "chimewell.ui: show agent_menu_$2" 10
  sleep 0.3
}

pass() { echo "PASS: $*"; }
