#!/usr/bin/env bash
# The clock's windows as a keyboard user meets them under a window manager:
# the clock's menu from the menu key, the about box (Enter on OK, Esc), the
# autostart question after "Show the date add on" in full view of the
# characters and with the keyboard, and the settings dialog's announce box
# (a typed 2 stores 2) and Enter on a focused button.
. "$(dirname "$0")/../e2e/lib.sh"

returning_user
settings set Data Announce 0
# Advanced mode: the menu offers "Change characters and settings".
settings set Data mode advanced
start_chimewell
wait_for_log 'chimewell.ui: show frm_clock' 20
wait_for_log 'plany Speak Welcome to Chimewell' 30
# The characters walk home beside the clock; the clicks below are for the clock.
wait_for_log 'chimewell.agent: plany MoveTo' 30
sleep 2
w=$(clock_window) || fail "no clock window"

# open_menu: gives the clock the focus with a click, then opens its menu
# with the menu key, the pointer out of the way.
open_menu() {
  local n
  n=$(grep -c 'show mnu_settings' "$LOG" || true)
  xdotool mousemove --window "$w" 30 10 click 1
  sleep 0.3
  xdotool mousemove 1270 1010 key Menu
  for _ in $(seq 30); do [ "$(grep -c 'show mnu_settings' "$LOG")" -gt "$n" ] && break; sleep 0.1; done
  [ "$(grep -c 'show mnu_settings' "$LOG")" -gt "$n" ] || fail "the menu key did not open the clock's menu"
  sleep 0.3
}
visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
gone() { for _ in $(seq 30); do [ -z "$(visible "$1")" ] && return 0; sleep 0.1; done; return 1; }

# The about box: the keyboard starts on OK, so Enter closes it and opens no web page.
open_menu
xdotool key Up Up Return # Exit, then About Chimewell
wait_for_log 'chimewell.ui: show frm_about' 10
sleep 0.5
[ "$(xdotool getactivewindow getwindowname)" = "About Chimewell" ] || fail "the about box does not have the keyboard"
xdotool key Return
gone '^About Chimewell$' || fail "Enter did not close the about box"
! grep -q 'chimewell.launch' "$LOG" || fail "Enter in the about box started something"
open_menu
xdotool key Up Up Return
for _ in $(seq 30); do [ -n "$(visible '^About Chimewell$')" ] && break; sleep 0.1; done
sleep 0.5
xdotool key Escape
gone '^About Chimewell$' || fail "Esc did not close the about box"

# "Show the date add on": the date starts and takes the keyboard, the
# question comes after it, above the characters or clear of them, and gets
# the keyboard back.
open_menu
xdotool key Down Down Right # Add On's and FUN
sleep 0.3
xdotool key Down Return # Show the date add on
wait_for_log 'message "Attention!" Do you want the date to start' 10
wait_for_log 'chimewell.ui: show frm_date' 20
date_pid=$(pgrep -n -f "^$B/date$") && PIDS+=("$date_pid")
sleep 1.5
box=$(visible '^Attention!$')
[ -n "$box" ] || fail "no question box"
[ "$(xdotool getactivewindow)" = "$box" ] || fail "the question box does not have the keyboard"
read -r bx by bw bh < <(window_geometry "$box")
stacking=$(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g')
index_of() { local i=0 id; for id in $stacking; do [ $((id)) -eq $(($1)) ] && { echo $i; return; }; i=$((i + 1)); done; echo -1; }
for name in Max Plany; do
  c=$(visible "^$name\$")
  [ -n "$c" ] || fail "no window of $name"
  read -r cx cy cw ch < <(window_geometry "$c")
  if [ $cx -lt $((bx + bw)) ] && [ $bx -lt $((cx + cw)) ] && [ $cy -lt $((by + bh)) ] && [ $by -lt $((cy + ch)) ]; then
    [ "$(index_of "$box")" -gt "$(index_of "$c")" ] || fail "$name stands over the question box"
  fi
done
xdotool key Escape # No
gone '^Attention!$' || fail "Esc did not answer the question"
sleep 0.5
[ "$(settings get Data DateStart 2>/dev/null || true)" != 1 ] || fail "No stored the autostart"
kill "$date_pid" 2>/dev/null || true

# The announce box stores what is typed, and Enter presses a focused button.
open_menu
xdotool key Down Right # Characters, its first entry
sleep 0.3
xdotool key Down Return # Change characters and settings
wait_for_log 'chimewell.ui: show frm_settings' 10
sleep 1
d=$(visible '^General Settings$')
[ -n "$d" ] || fail "no settings window"
[ "$(xdotool getactivewindow)" = "$d" ] || fail "the settings dialog does not have the keyboard"
# From the tabs: a box, a button and two check boxes for each character, then the announce box.
xdotool key Tab Tab Tab Tab Tab Tab Tab Tab Tab
wait_for_log 'Speak You can enter any number between 1 and 60 in this box' 10
xdotool key ctrl+a
xdotool type --delay 80 2
wait_for_log 'chimewell.settings: write Data/Announce=2$' 10
wait_for_log 'Speak I will announce the time, every 2 minutes!' 10
sleep 2
[ "$(settings get Data Announce)" = 2 ] || fail "the store holds $(settings get Data Announce), not 2"
! grep -q 'write Data/Announce=20' "$LOG" || fail "the typed 2 was completed to 20"
# The two whisper hours, then SET: Enter presses it.
xdotool key Tab Tab Tab Return
wait_for_log 'chimewell.settings: write Data/QuietTime=0000' 10
pass "menu key, about box keys, question box in view and focused, announce 2 stored, Enter on SET"
