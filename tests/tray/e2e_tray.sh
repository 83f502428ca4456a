#!/usr/bin/env bash
# The tray icon where Linux desktops keep it: an XEmbed tray (trayer) that
# comes up after the clock, where a click on the icon makes a character say the
# time and a double click says it once; a StatusNotifierWatcher on a private session bus that comes up after
# the clock, which still sees the item register with its menu; and neither,
# where the clock runs on and a second start shows a hidden clock.
. "$(dirname "$0")/../e2e/lib.sh"
: "${SNIWATCHER:?}"

returning_user
settings set Data Announce 0
unset DBUS_SESSION_BUS_ADDRESS || true

stop_clock() {
  kill "$clock_pid" 2>/dev/null || true
  wait "$clock_pid" 2>/dev/null || true
}
said_count() { grep -c 'chimewell.clock: saytime' "$LOG" || true; }

# --- XEmbed, the tray coming up after the clock ---
start_chimewell
wait_for_log 'chimewell.ui: show frm_clock' 20
clock_pid=${PIDS[-1]}
trayer --edge top --align right --widthtype pixel --width 48 --height 32 --SetDockType false \
  --transparent false >/dev/null 2>&1 &
PIDS+=($!)
tray_pid=$!
for _ in $(seq 50); do xdotool search --class trayer >/dev/null 2>&1 && break; sleep 0.1; done
# The icon: the clock's window that lies inside trayer's.
tray_win=
for w in $(xdotool search --class trayer 2>/dev/null); do
  read -r tx ty tw th < <(window_geometry "$w")
  [ "$tw" -gt 16 ] && { tray_win=$w; break; }
done
[ -n "$tray_win" ] || fail "trayer has no window"
icon=
for _ in $(seq 100); do
  for w in $(xdotool search --pid "$clock_pid" 2>/dev/null); do
    read -r ix iy iw ih < <(window_geometry "$w")
    if [ "$ix" -ge "$tx" ] && [ "$iy" -ge "$ty" ] && [ $((ix + iw)) -le $((tx + tw)) ] && [ $((iy + ih)) -le $((ty + th)) ]; then
      icon=$w; break 2
    fi
  done
  sleep 0.1
done
[ -n "$icon" ] || fail "no tray icon in trayer"
wait_for_log 'chimewell.agent: .* Show' 20
sleep 2
before=$(said_count)
xdotool mousemove --sync $((ix + iw / 2)) $((iy + ih / 2)) click 1
wait_for_log 'chimewell.agent: [a-z]* Speak [Tt]he time is' 10
[ "$(said_count)" = $((before + 1)) ] || fail "a click said the time $(($(said_count) - before)) times"
sleep 1.5
xdotool click --repeat 2 --delay 100 1
sleep 1.5
[ "$(said_count)" = $((before + 2)) ] || fail "a double click said the time $(($(said_count) - before - 1)) times"
stop_clock
kill "$tray_pid" 2>/dev/null || true
pass "XEmbed: the icon shows once the tray comes, a click says the time, a double click once"

# --- StatusNotifierItem, the panel coming up after the clock ---
dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$WORK/bus" >/dev/null 2>&1 &
PIDS+=($!)
for _ in $(seq 50); do [ -s "$WORK/bus" ] && break; sleep 0.1; done
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$WORK/bus")
: >"$LOG"
start_chimewell
clock_pid=${PIDS[-1]}
wait_for_log 'chimewell.ui: show frm_clock' 20
wait_for_log 'chimewell.agent: .* Show' 20
sleep 2
"$SNIWATCHER" >"$WORK/sni.log" 2>&1 &
PIDS+=($!)
for _ in $(seq 150); do grep -q '^activated' "$WORK/sni.log" && break; sleep 0.1; done
grep -q '^registered ' "$WORK/sni.log" || fail "no item registered: $(cat "$WORK/sni.log")"
grep -q '^menu /' "$WORK/sni.log" || fail "the item has no menu: $(cat "$WORK/sni.log")"
grep -q '^activated' "$WORK/sni.log" || fail "the item could not be activated: $(cat "$WORK/sni.log")"
wait_for_log 'chimewell.agent: [a-z]* Speak [Tt]he time is' 10
stop_clock
pass "StatusNotifierItem: registers once the watcher comes, with a menu; activating it says the time"

# --- No tray at all ---
unset DBUS_SESSION_BUS_ADDRESS
: >"$LOG"
settings set Data minimise True
start_chimewell
clock_pid=${PIDS[-1]}
wait_for_log 'chimewell.ui: show frm_clock' 20
for _ in $(seq 30); do the_clock "$clock_pid" >/dev/null || break; sleep 0.1; done
! the_clock "$clock_pid" >/dev/null || fail "a clock stored as hidden stayed visible"
sleep 2
kill -0 "$clock_pid" || fail "the clock ended without a tray"
timeout 10 "$B/chimewell" >"$WORK/second.log" 2>&1 || fail "the second start failed"
for _ in $(seq 30); do the_clock "$clock_pid" >/dev/null && break; sleep 0.1; done
the_clock "$clock_pid" >/dev/null || fail "a second start did not show the hidden clock"
[ "$(settings get Data minimise)" = False ] || fail "minimise is $(settings get Data minimise) after a second start"
[ "$(clock_count)" = 1 ] || fail "expected one clock, found $(clock_count)"
pass "no tray: the clock runs on, and a second start shows it again"
