#!/usr/bin/env bash
# Under a faked clock: started at 09:59:50, the start-up minute passes, and at
# 10:00 the time is due and the tick calls saytime; the 10:00 alarm rings.
. "$(dirname "$0")/lib.sh"

returning_user
settings set Data Announce 15
settings set Data AlarmTime2 1000
start_chimewell faketime -f '@2026-12-07 09:59:50'
wait_for_log 'chimewell.ui: show frm_clock' 20
wait_for_log 'chimewell.clock: saytime' 30
wait_for_log 'chimewell.clock: alarmclock peedy' 10
[ "$(grep -c 'chimewell.clock: saytime' "$LOG")" = 1 ] || fail "saytime more than once"
pass "faked clock: saytime and alarm at 10:00"
