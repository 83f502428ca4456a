#!/usr/bin/env bash
# A stored position and format give the clock window its place and size, and a
# second start leaves one clock; a lock left by a killed run does not block.
. "$(dirname "$0")/lib.sh"

returning_user
settings set Data FormX 3000
settings set Data FormY 1500
settings set data format 0
start_chimewell
wait_for_log 'chimewell.ui: show frm_clock' 20
for _ in $(seq 50); do clock_window >/dev/null && break; sleep 0.1; done
win=$(clock_window) || fail "no clock window"
read -r x y w h < <(window_geometry "$win")
[ "$x $y $w $h" = "200 100 112 50" ] || fail "clock window at $x,$y size ${w}x${h}, expected 200,100 112x50"

# A second start ends at once, before it shows anything.
second_log=$WORK/second.log
QT_LOGGING_RULES="chimewell.*=true" timeout 10 "$B/chimewell" >"$second_log" 2>&1 || fail "second start failed"
! grep -q 'chimewell.ui: show' "$second_log" || fail "the second start showed a window"
[ "$(clock_count)" = 1 ] || fail "expected one clock, found $(clock_count)"

# A crash leaves the lock behind; the next start still runs.
pkill -9 -f "^$B/chimewell$"
sleep 0.5
: >"$LOG"
start_chimewell
wait_for_log 'chimewell.ui: show frm_clock' 20
[ "$(clock_count)" = 1 ] || fail "no clock after a crash"
pass "stored place and size, one instance, stale lock"
