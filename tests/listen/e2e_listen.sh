#!/usr/bin/env bash
# Spoken commands end to end: a private PulseAudio server whose default microphone
# is fed from a null sink; "Listen" is chosen from character 1's menu, a synthesized
# "What is the date" is played into the microphone, and character 1 says the date.
. "$(dirname "$0")/../e2e/lib.sh"

command -v pulseaudio >/dev/null && command -v paplay >/dev/null || { echo "SKIP: pulseaudio is not installed"; exit 0; }

# A display of its own: the listening key is grabbed once per X server, and a
# program another test left behind on the shared one may hold it.
Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp 5>"$WORK/display" 2>"$WORK/xvfb.log" &
PIDS+=($!)
for i in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || { cat "$WORK/xvfb.log"; fail "the test's X server did not start"; }
export DISPLAY=:$(tr -d '[:space:]' <"$WORK/display")

# The sound server, private to this test (its socket lives in $XDG_RUNTIME_DIR).
pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no --system=no \
  --load="module-native-protocol-unix" \
  --load="module-null-sink sink_name=speakers" \
  --load="module-null-sink sink_name=into_mic" \
  --load="module-virtual-source source_name=mic master=into_mic.monitor" \
  >"$WORK/pulse.log" 2>&1 &
PIDS+=($!)
for i in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || { cat "$WORK/pulse.log"; fail "the test's sound server did not start"; }
# The characters speak into "speakers"; only the test's voice reaches the microphone.
pactl set-default-sink speakers
pactl set-default-source mic

espeak-ng -v en-us -s 150 -w "$WORK/date.wav" "What is the date" || fail "espeak-ng could not speak"

returning_user
settings set Data Announce 0
start_chimewell
clock=${PIDS[-1]}
wait_for_log 'chimewell.agent: plany MoveTo' 40
# Both have finished greeting before the test speaks.
sleep 6
# The recogniser's library (and lapack, gfortran... behind it) is loaded by the first Listen, not before.
! grep -Eq 'sphinx|lapack|gfortran' "/proc/$clock/maps" || fail "the clock maps the recogniser before anyone listens"
character_menu Max max
# Seven commands, then "Listen".
xdotool key Down Down Down Down Down Down Down Down Return
sleep 1.5
paplay --device=into_mic "$WORK/date.wav" || fail "could not play into the microphone"
# The optional last word may be lost to the end of the utterance.
wait_for_log 'chimewell.listen: heard "what is the\( date\)\?" as max Date' 15
wait_for_log 'chimewell.agent: max Speak The date is ' 10
grep -q 'libpocketsphinx' "/proc/$clock/maps" || fail "the clock heard without mapping the recogniser?"

# Holding the listening key (Scroll Lock) listens while it is down.
sleep 5
heard_before=$(grep -c 'chimewell.listen: heard' "$LOG")
xdotool keydown Scroll_Lock
sleep 1
paplay --device=into_mic "$WORK/date.wav" || fail "could not play into the microphone"
sleep 0.5
xdotool keyup Scroll_Lock
for i in $(seq 100); do
  [ "$(grep -c 'chimewell.listen: heard' "$LOG")" -gt "$heard_before" ] && break
  sleep 0.1
done
[ "$(grep -c 'chimewell.listen: heard' "$LOG")" -gt "$heard_before" ] || fail "nothing heard while the listening key was held"
kill -0 "$clock" 2>/dev/null || fail "the clock died"
pass "a spoken \"What is the date\" makes character 1 say the date, from its menu and with the key held"
