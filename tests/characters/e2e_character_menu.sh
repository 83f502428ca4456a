#!/usr/bin/env bash
# A command chosen from a character's own menu whose answer waits ("Move me
# home" pauses between the two characters) runs to its end, and the program
# lives on: the menu that was chosen from is gone by then.
. "$(dirname "$0")/../e2e/lib.sh"

returning_user
settings set Data Announce 0
start_chimewell
clock=${PIDS[-1]}
wait_for_log 'chimewell.agent: plany MoveTo' 40
sleep 2
character_menu Plany plany
# Its third entry is "Move me home".
xdotool key Down Down Down Return
wait_for_log 'chimewell.agent: plany Speak I`m home too!' 20
sleep 2
kill -0 "$clock" 2>/dev/null || fail "the clock died after a command from a character's menu"
pass "a waiting command from a character's menu runs to its end"
