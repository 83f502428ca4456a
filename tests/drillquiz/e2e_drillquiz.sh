#!/usr/bin/env bash
# The real quiz with a shipped character: it greets, draws a table, asks the
# first question, and judges an answer typed into its window. A second start
# ends at once.
. "$(dirname "$0")/../e2e/lib.sh"

returning_user
"$B/drillquiz" >>"$LOG" 2>&1 &
quiz=$!
PIDS+=("$quiz")
wait_for_log 'chimewell.agent: plany Load plany.acs' 15
[ "$(settings get xtables LastCharacter)" = 2 ] || fail "the quiz did not note character 2"

# The second copy shows nothing and leaves.
QT_LOGGING_RULES="chimewell.*=true" timeout 10 "$B/drillquiz" >"$WORK/second.log" 2>&1 || fail "second start failed"
! grep -q 'chimewell.ui: show\|chimewell.agent' "$WORK/second.log" || fail "the second start did something"

wait_for_log 'chimewell.ui: show frm_xtables' 20
wait_for_log 'plany Speak What is [0-9]*, times 5 ?' 40
table=$(sed -n 's/.*plany Speak What is \([0-9]*\), times 5 ?.*/\1/p' "$LOG" | head -1)
win=$(xdotool search --onlyvisible --pid "$quiz" --name '^Times Tables$' | head -1)
[ -n "$win" ] || fail "no quiz window"
xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
sleep 1.5 # the question opens a second after it is asked
xdotool type --delay 50 "$((table * 5))"
xdotool key Return
wait_for_log 'plany Speak Well Done!, try another' 10
grep -A1 'plany Stop' "$LOG" | grep -q 'plany Speak Well Done!, try another' || fail "the answer did not cut the speech first"
wait_for_log 'plany Speak What is [0-9]*, times 2 ?' 10
kill "$quiz"
pass "greeting, table $table, first question answered, second question asked"
