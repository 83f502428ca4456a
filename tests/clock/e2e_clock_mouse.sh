#!/usr/bin/env bash
# The clock under the real mouse: a drag stores FormX/FormY and the next start
# opens there; "Show the date add on" without the add-on makes character 2
# speak and asks about the web site, and No leaves the clock running.
. "$(dirname "$0")/../e2e/lib.sh"

# A program folder of its own, without any add-on in it.
mkdir -p "$WORK/prog"
cp "$B/chimewell" "$B/chimewell-settings" "$WORK/prog/"
cp -r "$B/chars" "$WORK/prog/chars"
B=$WORK/prog

returning_user
settings set Data Announce 0
settings set Data FormX 3000
settings set Data FormY 1500
start_chimewell
wait_for_log 'chimewell.ui: show frm_clock' 20
for _ in $(seq 50); do the_clock "${PIDS[-1]}" >/dev/null && break; sleep 0.1; done
win=$(the_clock "${PIDS[-1]}") || fail "no clock window"
read -r x y w h < <(window_geometry "$win")
[ "$x $y" = "200 100" ] || fail "clock at $x,$y, expected 200,100"
# Both characters walk home beside the clock at start-up; the clicks below are
# for the clock, not for a character passing over it.
wait_for_log 'chimewell.agent: plany MoveTo' 40
sleep 2

# Drag by 20 px right and 10 down (300 and 150 twips), in small steps.
xdotool mousemove --sync $((x + 20)) $((y + 10))
xdotool mousedown 1
for i in $(seq 1 10); do xdotool mousemove --sync $((x + 20 + 2 * i)) $((y + 10 + i)); sleep 0.02; done
xdotool mouseup 1
for _ in $(seq 30); do [ "$(settings get Data FormX)" = 3300 ] && break; sleep 0.1; done
[ "$(settings get Data FormX) $(settings get Data FormY)" = "3300 1650" ] \
  || fail "stored $(settings get Data FormX),$(settings get Data FormY) after the drag, expected 3300,1650"

# The date add-on is missing: the right button's menu, Add On's, the date.
xdotool mousemove --sync $((x + 40)) $((y + 20)) click 3
sleep 0.5
xdotool key Down Down Right Down Return
wait_for_log 'chimewell.ui: message "Attention!" You don`t have the `Date` add on' 10
wait_for_log 'chimewell.agent: plany Speak You need the Date add on. Do you want to go to the Chimewell web site?' 10
grep -q 'chimewell.launch: start .*/date failed' "$LOG" || fail "the date add-on was not looked up in the program folder"
sleep 0.5
xdotool key Escape # No
sleep 1
kill -0 "${PIDS[-1]}" 2>/dev/null || fail "the clock ended after No"

# The next start opens where the drag left the clock.
kill "${PIDS[-1]}"
wait "${PIDS[-1]}" 2>/dev/null || true
: >"$LOG"
start_chimewell
wait_for_log 'chimewell.ui: show frm_clock' 20
for _ in $(seq 50); do the_clock "${PIDS[-1]}" >/dev/null && break; sleep 0.1; done
read -r x y w h < <(window_geometry "$(the_clock "${PIDS[-1]}")")
[ "$x $y" = "220 110" ] || fail "the next start opened at $x,$y, expected 220,110"
pass "drag stored and reopened there; a missing date add-on speaks and asks"
