#!/usr/bin/env bash
# The screen saver as the user meets it, in both modes: standalone (as an idle
# daemon starts it) a key ends it; as an xscreensaver hack it draws into the
# window it is given, maps nothing of its own and ends on SIGTERM within a
# second. Also: a preview request ends at once, and an unusable window id is
# explained on stderr while the saver runs standalone.
. "$(dirname "$0")/../e2e/lib.sh"
HOSTWINDOW=${1:?the host window helper}

# start_saver [VAR=value ...] [-- args]: starts lullscreen in the background.
start_saver() {
  local envs=() args=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do envs+=("$1"); shift; done
  [ "${1:-}" = "--" ] && shift
  args=("$@")
  env "${envs[@]}" "$B/lullscreen" "${args[@]}" >>"$LOG" 2>&1 &
  SAVER=$!
  PIDS+=("$SAVER")
}

# ends_within PID TENTHS: true when the process is gone within that time.
ends_within() {
  local pid=$1 tenths=$2 i
  for i in $(seq "$tenths"); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null || true; return 0; }
    sleep 0.1
  done
  return 1
}

# inside WINDOW HOST: true when WINDOW is HOST or lies within it.
ROOT_ID=$(xwininfo -root | awk '/Window id:/{print $4}')
inside() {
  local w=$1 host=$(($2))
  while [ -n "$w" ]; do
    [ $((w)) = "$host" ] && return 0
    [ $((w)) = $((ROOT_ID)) ] && return 1
    w=$(xwininfo -children -id "$w" 2>/dev/null | awk '/Parent window id:/{print $4}')
  done
  return 1
}

# The saver's viewable windows that are not inside window $1.
windows_outside() {
  local w
  for w in $(xdotool search --onlyvisible --pid "$SAVER" 2>/dev/null); do
    inside "$w" "$1" || echo "$w"
  done
}

# seconds since $1 (from now_s)
now_s() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now_s)" 'BEGIN{printf "%.2f", b - a}'; }

# Some picture of window $1 that is not black.
not_all_black() {
  local shot=$WORK/shot.png max
  import -window "$1" "$shot" 2>/dev/null || return 1
  max=$(convert "$shot" -format '%[fx:maxima]' info: 2>/dev/null)
  awk -v m="$max" 'BEGIN{exit !(m > 0.2)}'
}

# --- a preview request ends at once, showing nothing
: >"$LOG"
start_saver -- /p 1234
ends_within "$SAVER" 30 || fail "/p 1234 did not end"
grep -q 'chimewell.ui: show' "$LOG" && fail "/p 1234 showed a window"
grep -q 'chimewell.agent' "$LOG" && fail "/p 1234 loaded a character"
pass "/p 1234 ends at once"

# --- standalone: the window covers the screen, a key ends it
: >"$LOG"
start_saver
wait_for_log 'chimewell.ui: show frm_saver' 20
sleep 1
win=$(xdotool search --onlyvisible --pid "$SAVER" --name '^lullscreen$' | head -1)
[ -n "$win" ] || fail "no saver window"
read -r x y w h < <(window_geometry "$win")
[ "$x $y $w $h" = "0 0 1280 1024" ] || fail "the saver window is at $x $y ${w}x$h, not over the whole screen"
not_all_black "$win" || fail "no character drawn in the saver window"
cp "$WORK/shot.png" "${SAVER_SHOTS:-$WORK}/saver-standalone.png" 2>/dev/null || true
xdotool key a
ends_within "$SAVER" 30 || fail "a key did not end the saver"
for l in 'Genie Hide' 'Genie Unload' 'Merlin Hide' 'Merlin Unload'; do
  grep -q "chimewell.agent: $l" "$LOG" || fail "no '$l' at the end"
done
pass "standalone: covers the screen, the characters perform on it, a key ends it"

# --- a window id that cannot be used: said on stderr, standalone instead
: >"$LOG"
start_saver -- -window-id 0x7ffffff0
wait_for_log 'chimewell.ui: show frm_saver' 20
grep -q '^lullscreen: there is no window 0x7ffffff0' "$LOG" || fail "no reason on stderr"
kill -TERM "$SAVER"
ends_within "$SAVER" 10 || fail "SIGTERM did not end the standalone saver within a second"
pass "an unusable window id is explained and the saver runs standalone"

# --- as a hack: draws into the given window, maps nothing else, SIGTERM ends it
"$HOSTWINDOW" >"$WORK/host.id" 2>/dev/null &
HOST=$!
PIDS+=("$HOST")
for _ in $(seq 50); do [ -s "$WORK/host.id" ] && break; sleep 0.1; done
hostid=$(head -1 "$WORK/host.id")
[ -n "$hostid" ] || fail "the host window gave no id"
: >"$LOG"
start=$(now_s)
start_saver XSCREENSAVER_WINDOW="$hostid" -- -root
wait_for_log 'chimewell.agent: Genie Show' 20
for _ in $(seq 50); do not_all_black "$hostid" && break; sleep 0.1; done
not_all_black "$hostid" || fail "nothing drawn in the given window"
echo "hack: first character drawn $(since "$start") s after start"
cp "$WORK/shot.png" "${SAVER_SHOTS:-$WORK}/saver-hack.png" 2>/dev/null || true
outside=$(windows_outside "$hostid")
[ -z "$outside" ] || fail "the saver mapped windows of its own: $outside"
# A second copy for the same window ends at once; the monitor has its performance.
"$B/lullscreen" -window-id "$hostid" >/dev/null 2>&1 &
second=$!
PIDS+=("$second")
ends_within "$second" 50 || fail "a second saver for the same window did not end"
sleep 10
outside=$(windows_outside "$hostid")
[ -z "$outside" ] || fail "the saver mapped windows of its own while performing: $outside"
t0=$(now_s)
kill -TERM "$SAVER"
ends_within "$SAVER" 10 || fail "SIGTERM did not end the hack within a second"
echo "hack: ended $(since "$t0") s after SIGTERM"
grep -q 'chimewell.agent: Genie Unload' "$LOG" || fail "the characters were not unloaded on SIGTERM"
pass "hack: draws inside the given window only, one copy per window, SIGTERM ends it"

# --- the given window going away ends the hack too
: >"$LOG"
start_saver -- -window-id "$hostid"
wait_for_log 'chimewell.agent: Genie Show' 20
kill "$HOST"
ends_within "$SAVER" 20 || fail "the hack outlived its window"
pass "hack: ends when its window goes"
