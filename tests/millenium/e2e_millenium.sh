#!/usr/bin/env bash
# The real countdown under a faked clock three seconds before the year 2000:
# a second start leaves one window, and at midnight the stored second
# character greets the new year.
. "$(dirname "$0")/../e2e/lib.sh"

need_faketime
[ -f "$B/chars/plany.acs" ] || fail "$B/chars/plany.acs has not been built"

returning_user
start_at '1999-12-31 23:59:57' millenium
pid=${PIDS[-1]}
wait_for_log 'chimewell.ui: show frm_millenium' 20

second_log=$WORK/second.log
at '1999-12-31 23:59:57' timeout 10 "$B/millenium" >"$second_log" 2>&1 || fail "the second start did not end by itself"
! grep -q 'chimewell.ui: show' "$second_log" || fail "the second start showed a window"
kill -0 "$pid" 2>/dev/null || fail "the first countdown ended"
windows=$(xdotool search --onlyvisible --name '^Chimewell countdown$' 2>/dev/null | wc -l)
[ "$windows" = 1 ] || fail "expected one countdown window, found $windows"

greeting='Happy new year, this is the year two thousand. Have a great new year from Tesmaro at Quillfen!. Happy New Year every body!'
wait_for_log "chimewell.agent: plany Speak $greeting" 20
wait_for_log 'chimewell.agent: plany Unload' 60
pass "one countdown window; character 2 greets the year 2000"
