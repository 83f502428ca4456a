#!/usr/bin/env bash
# The real show with the shipped characters, stopped by a click on its button
# in the middle of the scene's first wait: the show ends and the clock starts.
. "$(dirname "$0")/../e2e/lib.sh"

returning_user
"$B/jollix" >>"$LOG" 2>&1 &
show=$!
PIDS+=("$show")
wait_for_log 'chimewell.agent: check MoveTo 250,250' 30
# The show's window is the wide one with the button; a character standing
# over it may match the search too.
win=
for c in $(xdotool search --onlyvisible --pid "$show" --name '^Jollix$'); do
  read -r x y w h < <(window_geometry "$c")
  if [ "$w" -gt $((2 * h)) ]; then win=$c; break; fi
done
[ -n "$win" ] || fail "no show window"
xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
wait_for_log "chimewell.launch: start $B/chimewell ok" 10
for _ in $(seq 50); do kill -0 "$show" 2>/dev/null || break; sleep 0.1; done
! kill -0 "$show" 2>/dev/null || fail "the show still runs after the click"
! grep -q 'peedy Speak' "$LOG" || fail "the scene went on after the click"

# The clock it started is ours: it runs with this test's private folders.
clock=
for _ in $(seq 50); do
  for p in $(pgrep -f "^$B/chimewell$" || true); do
    if tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR"; then clock=$p; fi
  done
  [ -n "$clock" ] && break
  sleep 0.1
done
[ -n "$clock" ] || fail "no clock running after the show"
PIDS+=("$clock")
kill "$clock"
pass "the button stops the show in a wait and starts the clock"
