#!/usr/bin/env bash
# A fresh store shows the agreement; I AGREE writes the initial settings,
# answers the start-up question and restarts into a normal start.
. "$(dirname "$0")/lib.sh"

start_chimewell
wait_for_log 'chimewell.ui: show New_User' 20
[ -z "$(settings list)" ] || fail "the store is not empty before the agreement"

for _ in $(seq 50); do clock_window >/dev/null && break; sleep 0.1; done
win=$(clock_window) || fail "no agreement window"
xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
xdotool key --clearmodifiers space            # I AGREE has the focus
wait_for_log 'chimewell.ui: message "Windows Startup"' 10
sleep 0.5
xdotool key --clearmodifiers Return           # Yes
wait_for_log 'chimewell.launch: start .*/chimewell-restart ok' 10

[ "$(settings get Data LastCharacter)" = max ] || fail "LastCharacter"
[ "$(settings get Data LastCharacter2)" = plany ] || fail "LastCharacter2"
[ "$(settings get data format)" = 1 ] || fail "format"
[ "$(settings get Data effects2)" = True ] || fail "effects2"
[ "$(settings get Data LoadWithWindows)" = True ] || fail "LoadWithWindows"
[ -f "$XDG_CONFIG_HOME/autostart/Chimewell.desktop" ] || fail "no autostart entry"
grep -q '^Exec=' "$XDG_CONFIG_HOME/autostart/Chimewell.desktop" || fail "autostart entry has no Exec"
if settings get Data AlarmTime1 >/dev/null; then fail "AlarmTime1 written"; fi

# The restart program starts a normal run: the clock window appears.
for _ in $(seq 100); do clock_window >/dev/null && [ "$(clock_count)" -ge 1 ] && break; sleep 0.1; done
[ "$(clock_count)" = 1 ] || fail "expected one clock after the restart, found $(clock_count)"
win=$(clock_window) || fail "no clock window after the restart"
read -r x y w h < <(window_geometry "$win")
[ "$w" = 112 ] && [ "$h" = 35 ] || fail "restarted clock is ${w}x${h}"
pass "first run: agreement, initial settings, restart"
