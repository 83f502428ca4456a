#!/usr/bin/env bash
# The clock from anywhere: `chimewell --say-time` starts a clock that says the
# time, and said again reaches that clock and starts no second one; each of
# the desktop entry's actions does what it says; D-Bus callers and the
# say-the-time key make a character say the time; a key another program holds
# is told once, in words, by a clock that also runs without a session bus.
. "$(dirname "$0")/../e2e/lib.sh"
[ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || fail "the test needs a session bus (scripts/with-display.sh)"
for tool in gdbus gapplication desktop-file-validate xdotool; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/deps.sh --test)"
done

all_clocks() { pgrep -f "^$B/chimewell( |$)" || true; }
said() { grep -c 'chimewell.clock: saytime' "$LOG" || true; }
# expect_said N WHAT: the Nth time was said, by a character, within 10 s.
expect_said() {
  for _ in $(seq 100); do [ "$(said)" -ge "$1" ] && break; sleep 0.1; done
  [ "$(said)" = "$1" ] || fail "$2: the time was said $(said) times, expected $1"
  [ "$(grep -c 'chimewell.agent: [a-z]* Speak [Tt]he time is' "$LOG")" = "$1" ] || fail "$2: no character said it"
}
clock_shown() { the_clock "$clock" >/dev/null; }

# The help needs no display; a wrong option is said and starts nothing.
env -u DISPLAY "$B/chimewell" --help | grep -q -- '--say-time' || fail "--help does not list --say-time"
! "$B/chimewell" --say-tim 2>"$WORK/wrong" && grep -q 'unknown option --say-tim' "$WORK/wrong" \
  || fail "a wrong option was not told: $(cat "$WORK/wrong")"
[ -z "$(all_clocks)" ] || fail "a wrong option started a clock"

# As root, a session bus that lets every user in, to see the clock turn
# another user away itself.
open_bus=
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
  cat >"$WORK/bus.conf" <<'EOF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
  dbus-daemon --config-file="$WORK/bus.conf" --nofork --print-address=3 3>"$WORK/bus" >/dev/null 2>&1 &
  PIDS+=($!)
  for _ in $(seq 50); do [ -s "$WORK/bus" ] && break; sleep 0.1; done
  open_bus=$(head -n1 "$WORK/bus")
  [ -n "$open_bus" ] || fail "the open session bus did not start"
  export DBUS_SESSION_BUS_ADDRESS=$open_bus
fi

returning_user
settings set Data Announce 0
settings set Data SayTimeKey Ctrl+Alt+T

# No clock runs: it starts, and a character says the time once the greeting is over.
"$B/chimewell" --say-time >>"$LOG" 2>&1 &
PIDS+=($!)
clock=$!
wait_for_log 'chimewell.agent: max Speak good' 30
expect_said 1 "--say-time with no clock running"
grep -B100 'chimewell.clock: saytime' "$LOG" | grep -q 'max Speak good' || fail "the time was said before the greeting"

# A clock runs: the second start hands it over and ends.
timeout 10 "$B/chimewell" --say-time || fail "the second start failed"
expect_said 2 "--say-time with a clock running"
[ "$(all_clocks)" = "$clock" ] || fail "clocks running: $(all_clocks | tr '\n' ' '), expected $clock alone"

# Each desktop action's Exec, as a launcher runs it (no shell).
entry=$B/Chimewell.desktop
report=$(desktop-file-validate "$entry" 2>&1) || true
[ -z "$report" ] || fail "desktop-file-validate: $report"
exec_of() { sed -n "/^\[Desktop Action $1\]/,/^\[/s/^Exec=//p" "$entry"; }
for action in say-time show settings; do
  grep -q "^Actions=.*\b$action;" "$entry" || fail "the desktop entry does not list the action $action"
  [ -n "$(exec_of "$action")" ] || fail "the action $action has no Exec"
done
read -ra run <<<"$(exec_of say-time)"
timeout 10 "${run[@]}" || fail "the action say-time failed"
expect_said 3 "the action \"Say the time\""
# Hidden from its own menu: Clock options, Hide the clock.
read -r x y _ _ < <(window_geometry "$(the_clock "$clock")")
xdotool mousemove --sync $((x + 40)) $((y + 20)) click 3
sleep 0.5
xdotool key Down Down Down Right Down Return
for _ in $(seq 50); do clock_shown || break; sleep 0.1; done
! clock_shown && [ "$(settings get Data minimise)" = True ] || fail "the clock's menu did not hide it"
read -ra run <<<"$(exec_of show)"
timeout 10 "${run[@]}" || fail "the action show failed"
for _ in $(seq 50); do clock_shown && break; sleep 0.1; done
clock_shown || fail "the action \"Show the clock\" left the clock hidden"
[ "$(settings get Data minimise)" = False ] || fail "the action \"Show the clock\" left minimise $(settings get Data minimise)"
read -ra run <<<"$(exec_of settings)"
timeout 10 "${run[@]}" || fail "the action settings failed"
wait_for_log 'chimewell.ui: show frm_settings' 10
[ "$(all_clocks)" = "$clock" ] || fail "the actions left clocks $(all_clocks | tr '\n' ' ')"

# D-Bus, the freedesktop way, and the desktop's own tool for it.
gdbus call --session --dest org.chimewell.Chimewell --object-path /org/chimewell/Chimewell \
  --method org.freedesktop.Application.ActivateAction say-time '[]' '{}' >/dev/null || fail "gdbus call failed"
expect_said 4 "ActivateAction say-time"
gapplication action org.chimewell.Chimewell say-time || fail "gapplication action failed"
expect_said 5 "gapplication action"
! gdbus call --session --dest org.chimewell.Chimewell --object-path /org/chimewell/Chimewell \
  --method org.freedesktop.Application.ActivateAction quit '[]' '{}' >/dev/null 2>&1 || fail "an unknown action was taken"
if [ -n "$open_bus" ]; then
  ! setpriv --reuid=65534 --regid=65534 --clear-groups gdbus call --session --dest org.chimewell.Chimewell \
    --object-path /org/chimewell/Chimewell --method org.freedesktop.Application.ActivateAction say-time '[]' '{}' \
    2>"$WORK/denied" || fail "another user made the clock say the time"
  grep -q AccessDenied "$WORK/denied" || fail "another user was not denied: $(cat "$WORK/denied")"
  sleep 1
  [ "$(said)" = 5 ] || fail "another user's call said the time"
else
  echo "note: not root, so no other user tries the bus"
fi

# --say, speech tags and all, by character 1.
timeout 10 "$B/chimewell" --say '\emp\Hello from the command line' || fail "--say failed"
wait_for_log 'chimewell.agent: max Speak \\emp\\Hello from the command line' 10

# The key, wherever the focus is.
sleep 2
xdotool key ctrl+alt+t
expect_said 6 "the say-the-time key"

# Another user's clock on the same display, without a session bus: the key is
# taken, and it says so once; everything else works, and nothing complains.
other=$WORK/other
mkdir -p "$other/run" && chmod 700 "$other/run"
(
  export HOME=$other XDG_CONFIG_HOME=$other/config XDG_DATA_HOME=$other/data XDG_RUNTIME_DIR=$other/run
  unset DBUS_SESSION_BUS_ADDRESS
  returning_user >/dev/null
  settings set Data Announce 0 >/dev/null
  settings set Data SayTimeKey Ctrl+Alt+T >/dev/null
  exec "$B/chimewell" --say-time >"$WORK/other.log" 2>&1
) &
PIDS+=($!)
for _ in $(seq 300); do grep -q 'saytime' "$WORK/other.log" && break; sleep 0.1; done
grep -q 'chimewell.clock: saytime' "$WORK/other.log" || fail "the clock without a bus did not say the time: $(cat "$WORK/other.log")"
taken='chimewell.agent: max Speak Ctrl+Alt+T is taken by another program'
[ "$(grep -c "$taken" "$WORK/other.log")" = 1 ] || fail "the taken key was not told once: $(cat "$WORK/other.log")"
! grep -iE 'dbus|d-bus' "$WORK/other.log" || fail "the clock without a bus complained"
pass "--say-time with and without a clock, the desktop actions, D-Bus, --say and the key"
