#!/usr/bin/env bash
# Bad surroundings get a clear word, never a crash or a loop:
# - no display: each windowed program says so in one line and exits 1,
#   touching nothing;
# - a store that cannot be read: the clock says so once, starts with its
#   defaults (no agreement), and never writes over the file; the settings
#   tool exits 1 with the reason;
# - a first run whose repair cannot repair: the wait says what to install,
#   once, and ends without restarting itself;
# - a runtime folder others may write to: not used, and a lock planted there
#   is not taken for a running clock.
. "$(dirname "$0")/lib.sh"

# --- No display --------------------------------------------------------------
for program in chimewell date millenium drillquiz jollix lullscreen; do
  for display in "" ":97"; do
    rc=0
    env DISPLAY="$display" "$B/$program" >"$WORK/out" 2>"$WORK/err" || rc=$?
    [ "$rc" = 1 ] || fail "$program with DISPLAY='$display': status $rc"
    [ "$(wc -l <"$WORK/err")" = 1 ] && grep -q "^$program: cannot open display" "$WORK/err" ||
      fail "$program with DISPLAY='$display' said: $(cat "$WORK/err" "$WORK/out")"
  done
done
[ -z "$(find "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" -mindepth 1)" ] || fail "a program without a display left files behind"
echo "no display: six programs, one line each, status 1, nothing touched"

# --- A store that cannot be read ----------------------------------------------
store=$XDG_CONFIG_HOME/ChimewellIIV/settings.ini
mkdir -p "$store" # a folder where the file should be
rc=0
settings list >"$WORK/out" 2>"$WORK/err" || rc=$?
[ "$rc" = 1 ] && grep -q "cannot read $store: it is a folder" "$WORK/err" ||
  fail "list on an unreadable store: status $rc, said $(cat "$WORK/err")"
: >"$LOG"
start_chimewell
wait_for_log 'chimewell.ui: show frm_clock' 20
wait_for_log "chimewell.ui: message \"Chimewell\" Chimewell cannot read its settings file $store: it is a folder" 10
xdotool key Return # its OK
wait_for_log 'chimewell.agent: max Load max.acs' 20
! grep -q 'show New_User' "$LOG" || fail "an unreadable store led to the agreement"
[ "$(grep -c 'cannot read its settings file' "$LOG")" = 1 ] || fail "told more than once"
[ -d "$store" ] || fail "the store's folder was replaced"
kill "${PIDS[-1]}"; wait "${PIDS[-1]}" || fail "the clock did not end cleanly"
rmdir "$store"
echo "unreadable store: told once, defaults used, the file left alone"

# --- The installation wait that cannot repair -----------------------------------
# A program folder without its characters, and none on the system.
prog=$WORK/program
mkdir -p "$prog"
cp "$B"/chimewell "$B"/chimewell-setup "$B"/chimewell-restart "$B"/chimewell-settings "$prog"/
: >"$LOG"
# Ten times faster: the 40 s wait takes 4.
env XDG_DATA_DIRS="$WORK/nowhere" faketime -f "+0 x10" "$prog/chimewell" >>"$LOG" 2>&1 &
wrapper=$!
PIDS+=("$wrapper")
wait_for_log 'chimewell.ui: show frm_wait' 20
wait_for_log 'chimewell.ui: message "Chimewell" Chimewell cannot start yet' 30
grep -q "characters are missing from $prog/chars" "$LOG" || fail "the message does not say what is missing"
xdotool key Return
for _ in $(seq 50); do kill -0 "$wrapper" 2>/dev/null || break; sleep 0.1; done
wait "$wrapper" || fail "the wait did not end cleanly"
! grep -q 'chimewell-restart' "$LOG" || fail "the wait restarted itself"
[ "$(grep -c 'cannot start yet' "$LOG")" = 1 ] || fail "told more than once"
[ "$(grep -c 'chimewell.ui: message' "$LOG")" = 1 ] || fail "the repairs showed messages of their own"
echo "installation wait: told once what to install, ended, no restart"

# --- A runtime folder others may write to -------------------------------------
open_run=$WORK/open-run
mkdir -p "$open_run"
chmod 1777 "$open_run"
# A running process named like the clock holds a lock planted there.
mkdir -p "$WORK/impostor"
cp "$(command -v sleep)" "$WORK/impostor/chimewell"
"$WORK/impostor/chimewell" 60 &
impostor=$!
PIDS+=("$impostor")
printf '%s\nchimewell\n%s\n' "$impostor" "$(hostname)" >"$open_run/chimewell.lock"
[ "$(id -u)" = 0 ] && chown nobody "$open_run/chimewell.lock"
returning_user
: >"$LOG"
XDG_RUNTIME_DIR=$open_run "$B/chimewell" >>"$LOG" 2>&1 &
PIDS+=($!)
wait_for_log 'chimewell.ui: show frm_clock' 20
[ "$(grep -c 'not using XDG_RUNTIME_DIR' "$LOG")" = 1 ] || fail "no single warning about the runtime folder"
[ -z "$(ls "$open_run" | grep -v '^chimewell.lock$' || true)" ] || fail "the open runtime folder was used"
kill "${PIDS[-1]}"; wait "${PIDS[-1]}" || fail "the clock did not end cleanly"
pass "no display, an unreadable store, a wait that cannot repair, an open runtime folder"
