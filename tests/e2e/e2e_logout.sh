#!/usr/bin/env bash
# The session ends the clock with SIGTERM or SIGHUP at random moments: in
# start-up, while the characters come, in mid-speech (a fast faked clock has
# them say the time every real second). Each time the clock quits by itself,
# the store is whole, and the next start is a normal one.
# CHIMEWELL_LOGOUT_ROUNDS sets the number of rounds (default 12).
. "$(dirname "$0")/lib.sh"

rounds=${CHIMEWELL_LOGOUT_ROUNDS:-12}
returning_user
settings set Data Announce 1
settings set Data AlarmMessage "Time to go"
before=$(settings list)

for round in $(seq "$rounds"); do
  : >"$LOG"
  start_chimewell faketime -f "+0 x60"
  wrapper=$!
  pid=
  for _ in $(seq 100); do pid=$(pgrep -P "$wrapper" || true); [ -n "$pid" ] && break; sleep 0.02; done
  [ -n "$pid" ] || fail "round $round: the clock did not start"
  # Up to 4 s: start-up, the characters' arrival, then a phrase a second.
  sleep "$((RANDOM % 4)).$((RANDOM % 10))"
  if [ $((round % 2)) = 0 ]; then sig=HUP; else sig=TERM; fi
  said=$(grep -c ' Speak [Tt]he time' "$LOG" || true)
  kill -s "$sig" "$pid"
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then fail "round $round: SIG$sig did not end the clock"; fi
  rc=0
  wait "$wrapper" || rc=$?
  how=clean
  if [ "$rc" != 0 ]; then
    # A signal before main() ends the process the default way; that is only
    # right while it has done nothing yet.
    ! grep -q '^chimewell\.' "$LOG" || fail "round $round: SIG$sig after $said phrases: exit status $rc"
    how="before start-up"
  fi
  [ "$(settings list)" = "$before" ] || fail "round $round: the store changed: $(settings list)"
  [ -z "$(ls "$XDG_CONFIG_HOME/ChimewellIIV" | grep -v '^settings.ini$' || true)" ] || fail "round $round: files left in the store"
  echo "round $round: SIG$sig after $said phrases: $how"
done

# The next start is a normal one: the clock comes and says the time.
: >"$LOG"
start_chimewell faketime -f "+0 x60"
wait_for_log 'chimewell.ui: show frm_clock' 20
wait_for_log ' Speak [Tt]he time' 20
pass "$rounds endings by the session, each clean"
