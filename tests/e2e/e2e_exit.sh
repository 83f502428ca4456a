#!/usr/bin/env bash
# Exit from the clock's menu ends the program at any moment of its start-up:
# before the characters come (1 s), in the wait between them (5 s) and once
# both stand (12 s). Each time the next start shows the clock again.
. "$(dirname "$0")/lib.sh"

returning_user

# exit_after SECONDS: starts the clock, chooses Exit from its menu after that
# long, and checks that the process ends.
exit_after() {
  local seconds=$1 pid win x y w h
  : >"$LOG"
  start_chimewell
  pid=${PIDS[-1]}
  wait_for_log 'chimewell.ui: show frm_clock' 20
  sleep "$seconds"
  win=$(clock_window) || fail "no clock window at ${seconds}s"
  read -r x y w h < <(window_geometry "$win")
  xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 3
  sleep 0.5
  # The menu opens with nothing selected: Up selects its last entry, Exit.
  xdotool key Up Return
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then
    fail "the clock still runs 5 s after Exit at ${seconds}s"
  fi
  wait "$pid" 2>/dev/null || true
  # Nothing of the start-up ran on after the exit.
  local after
  after=$(grep -c 'chimewell.agent: .* Show' "$LOG" || true)
  echo "exit at ${seconds}s: ended; $after character Show requests in all"
}

exit_after 1
grep -q 'chimewell.agent: .* Load' "$LOG" && fail "the characters were loaded after an Exit at 1 s"
exit_after 5
grep -q "chimewell.agent: plany Show" "$LOG" && fail "character 2 appeared after an Exit at 5 s"
exit_after 12

# And the next start is a normal one.
: >"$LOG"
start_chimewell
wait_for_log 'chimewell.ui: show frm_clock' 20
[ "$(clock_count)" = 1 ] || fail "expected one clock after the exits, found $(clock_count)"
pass "Exit at 1 s, 5 s and 12 s ends the clock; the next start shows it"
