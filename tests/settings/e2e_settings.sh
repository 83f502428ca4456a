#!/usr/bin/env bash
# A returning user opens "Main Options" from the clock's menu with the
# keyboard, types an alarm time and presses SET; the store holds it, and the
# alarm rings at that minute (under a faked clock started just before it).
. "$(dirname "$0")/../e2e/lib.sh"

returning_user
settings set Data Announce 0
start_chimewell faketime -f '@2026-12-07 09:59:15'
wait_for_log 'chimewell.ui: show frm_clock' 20
# Both characters are on, so the dialog's greeting has someone to say it.
wait_for_log 'plany Speak Welcome to Chimewell' 20
w=$(clock_window) || fail "no clock window"

# Right click on the clock, then Down to "Main Options" (Characters, Add On's,
# Clock options, Main Options) and Enter.
xdotool mousemove --window "$w" 20 10 click 3
sleep 0.7
xdotool key Down Down Down Down Return
wait_for_log 'chimewell.ui: show frm_settings' 10
wait_for_log 'Speak Main Options, you are in simple mode!' 10
d=$(xdotool search --onlyvisible --name '^General Settings$' | head -1)
[ -n "$d" ] || fail "no settings window"
xdotool windowactivate --sync "$d" 2>/dev/null || true
sleep 0.3

# The cursor waits in the hour box, its "99" selected: typing replaces it.
xdotool type --delay 50 10
xdotool key Tab
xdotool type --delay 50 00
xdotool key Tab space
wait_for_log 'chimewell.settings: write Data/AlarmTime1=1000' 10
[ "$(settings get Data AlarmTime1)" = 1000 ] || fail "AlarmTime1 is not 1000"
wait_for_log 'plany Speak Your alarm has been set' 10

# The first minute after the start-up one is 10:00: the alarm rings.
wait_for_log 'chimewell.clock: alarmclock genie' 60
pass "alarm set from Main Options with the keyboard, stored and rung"
