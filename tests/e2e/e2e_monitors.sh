#!/usr/bin/env bash
# Two monitors side by side (one X screen split by RandR monitors, each a
# QScreen to Qt): a clock left on the second opens there again and comes onto
# the first when the second goes, the characters stand on the clock's monitor
# even at its edges, and the screen saver covers both.
. "$(dirname "$0")/lib.sh"

# A display of our own, 2560 x 1024, cut in two monitors of 1280 x 1024.
for n in $(seq 150 199); do
  [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ] && { display=$n; break; }
done
Xvfb ":$display" -screen 0 2560x1024x24 -nolisten tcp >/dev/null 2>&1 &
PIDS+=($!)
export DISPLAY=":$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
python3 "$(dirname "$0")/monitors.py" 1280x1024+0+0 1280x1024+1280+0 >"$WORK/monitors" 2>&1 &
monitors=$!
PIDS+=("$monitors")
for _ in $(seq 50); do grep -q ready "$WORK/monitors" && break; sleep 0.1; done
[ "$(xrandr --listmonitors | head -1)" = "Monitors: 2" ] || fail "no two monitors: $(xrandr --listmonitors)"
openbox >/dev/null 2>&1 &
PIDS+=($!)
sleep 0.5
returning_user

# start_at_place FORMX FORMY: a fresh clock at that stored place, once both
# characters were sent home.
start_at_place() {
  settings set Data FormX "$1" >/dev/null
  settings set Data FormY "$2" >/dev/null
  : >"$LOG"
  # Twenty past: no hourly announcement stops a character on its walk home.
  start_at "$(date +%F) 12:20:00" chimewell
  clock_pid=${PIDS[-1]}
  wait_for_log 'chimewell.agent: plany MoveTo' 30
}
stop_clock() { kill "$clock_pid" 2>/dev/null || true; for _ in $(seq 50); do [ "$(clock_count)" = 0 ] && break; sleep 0.1; done; }
# home_of ID: the x,y its home move asked for.
home_of() { sed -n "s/^chimewell.agent: $1 MoveTo \([-0-9]*\),\([-0-9]*\).*/\1 \2/p" "$LOG" | tail -1; }
window_of() { window_geometry "$(xdotool search --onlyvisible --name "^$1\$" | head -1)"; }

# --- at the left edge of the right monitor character 2 stays on it (its home
# lies 133 px left of the clock), and at the left edge of the desktop both
# stay in view
for place in "19200 1280" "0 0"; do
  set -- $place
  start_at_place "$1" 6000
  read -r x1 _ < <(home_of max)
  read -r x2 _ < <(home_of plany)
  [ "$x2" = "$2" ] || fail "with the clock at x=$2, character 2 was sent to x=$x2, not $2"
  [ "$x1" -gt "$2" ] || fail "with the clock at x=$2, character 1 was sent to x=$x1"
  # The walk home comes after the greeting.
  for _ in $(seq 200); do read -r wx _ < <(window_of Plany); [ "$wx" = "$x2" ] && break; sleep 0.1; done
  [ "$wx" = "$x2" ] || fail "with the clock at x=$2, character 2 stands at x=$wx, not at its home x=$x2"
  stop_clock
done
pass "the characters stand on the clock's monitor, also at its left edge"

# --- the saver covers both monitors
: >"$LOG"
"$B/lullscreen" >>"$LOG" 2>&1 &
saver=$!
PIDS+=("$saver")
wait_for_log 'chimewell.ui: show frm_saver' 30
sleep 0.5
win=$(xdotool search --onlyvisible --pid "$saver" --name '^lullscreen$' | head -1)
[ -n "$win" ] || fail "no saver window"
read -r x y w h < <(window_geometry "$win")
[ "$x $y $w $h" = "0 0 2560 1024" ] || fail "the saver covers $x,$y ${w}x$h, not both monitors"
kill "$saver"
pass "the saver covers both monitors"

# --- the clock at 1600,400 on the right monitor opens there, and comes
# onto the first when the second is unplugged (last: the server keeps no
# second one plugged in again)
start_at_place 24000 6000
read -r x y w h < <(window_geometry "$(clock_window)")
[ "$x $y" = "1600 400" ] || fail "the clock stored at 1600,400 opened at $x,$y"
pass "a clock left on the second monitor opens there"
kill -USR1 "$monitors"
for _ in $(seq 50); do grep -q unplugged "$WORK/monitors" && break; sleep 0.1; done
for _ in $(seq 50); do read -r x y _ < <(window_geometry "$(clock_window)"); [ "$x" = 1168 ] && break; sleep 0.1; done
[ "$x $y" = "1168 400" ] || fail "with its monitor gone the clock stands at $x,$y, not at the first one's right edge"
stop_clock
pass "a clock whose monitor goes comes onto the one left"
