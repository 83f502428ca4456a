#!/usr/bin/env bash
# The real date window under a faked clock: a second start leaves one window,
# and a double click has the stored first character say the date.
. "$(dirname "$0")/../e2e/lib.sh"

need_faketime
[ -f "$B/chars/max.acs" ] || fail "$B/chars/max.acs has not been built"

returning_user
start_at '2026-12-07 10:00:00' date
pid=${PIDS[-1]}
wait_for_log 'chimewell.ui: show frm_date' 20

second_log=$WORK/second.log
at '2026-12-07 10:00:00' timeout 10 "$B/date" >"$second_log" 2>&1 || fail "the second start did not end by itself"
! grep -q 'chimewell.ui: show' "$second_log" || fail "the second start showed a window"
kill -0 "$pid" 2>/dev/null || fail "the first date window ended"
windows=$(xdotool search --onlyvisible --name '^Chimewell date$' 2>/dev/null | wc -l)
[ "$windows" = 1 ] || fail "expected one date window, found $windows"

win=$(xdotool search --onlyvisible --pid "$pid" --name '^Chimewell date$' | head -1)
[ -n "$win" ] || fail "no date window of the first start (pid $pid)"
xdotool mousemove --window "$win" 20 8 click --repeat 2 --delay 80 1
wait_for_log 'chimewell.agent: max Speak The date is 7th of December 2026' 20
wait_for_log 'chimewell.agent: max Unload' 40
pass "one date window; a double click says the date"
