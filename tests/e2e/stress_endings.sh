#!/usr/bin/env bash
# Every windowed program ends cleanly at any moment of its run: through
# start-up, while its characters speak, walk and play, while the saver
# performs. Each is ended by SIGTERM, by SIGHUP and by its own way out (the
# clock's Exit, the side windows' "Close this window", the quiz's window
# closed, the show's STOP, a key on the saver), at scale 1 and 2. Every end
# must have status 0 and leave no sanitizer report.
#
# By default a sample: every program and way once, at a moment and scale
# drawn afresh each run (the seed is printed; CHIMEWELL_STRESS_SEED repeats
# a run); CHIMEWELL_STRESS_WAYS=1 draws one way per program instead of all
# three (the slower sanitizer build). CHIMEWELL_STRESS_FULL=1 runs every
# moment at both scales (scripts/stress-endings.sh).
# Usage: stress_endings.sh HOSTWINDOW
. "$(dirname "$0")/lib.sh"
HOSTWINDOW=${1:?the host window helper}

seed=${CHIMEWELL_STRESS_SEED:-$(( $(date +%s) % 32768 ))}
RANDOM=$seed
full=${CHIMEWELL_STRESS_FULL:-0}
echo "seed $seed$([ "$full" = 1 ] && echo ', full set')"

returning_user
# Quick announcements keep the clock's characters talking.
settings set Data Announce 1
HOST=
RUNS=0

# The moments (seconds after the program's first window) to end a program at;
# the sample draws from the earlier ones, to keep within its time.
moments() {
  local all
  case $1/${2:-} in
    lullscreen/own) all="10 12 15 20" ;;          # a key counts once start-up is done
    lullscreen/*) all="0.3 2 5 8 10 12 15 20" ;;  # start-up is 9 s: greetings, then the performance
    jollix/*) all="0.5 2 5 9 14 20" ;;            # the scripted scene walks, speaks and plays
    *) all="0.3 1 3 6 10 14" ;;                   # the characters come, greet, walk home
  esac
  if [ "$full" = 1 ]; then echo "$all"; else echo "$all" | cut -d' ' -f1-5; fi
}

pick() { local a=($1); echo "${a[$((RANDOM % ${#a[@]}))]}"; }

first_window() {
  case $1 in
    chimewell) echo 'chimewell.ui: show frm_clock' ;;
    date) echo 'chimewell.ui: show frm_date' ;;
    millenium) echo 'chimewell.ui: show frm_millenium' ;;
    drillquiz) echo 'chimewell.agent: [a-z]* Load' ;; # the quiz's window waits 8 s for its greeting
    jollix) echo 'chimewell.ui: show frm_fun' ;;
    lullscreen) echo 'chimewell.agent: [a-zA-Z]* Load' ;;
  esac
}

window_of() {
  local pid=$1 name=$2 w
  w=$(xdotool search --onlyvisible --pid "$pid" --name "$name" 2>/dev/null | head -1)
  [ -n "$w" ] && echo "$w"
}

click_window() { # WINDOW BUTTON
  local x y w h
  read -r x y w h < <(window_geometry "$1")
  xdotool mousemove $((x + w / 2)) $((y + h / 2)) click "$2"
}

# own_way PROGRAM PID: ends the program the way its user does.
own_way() {
  local program=$1 pid=$2 w
  case $program in
    chimewell)
      w=$(clock_window) || return 1
      click_window "$w" 3; sleep 0.4
      xdotool key Up Return ;; # the menu's last entry, Exit
    date | millenium)
      local title='^Chimewell date$'
      [ "$program" = millenium ] && title='^Chimewell countdown$'
      w=$(window_of "$pid" "$title") || return 1
      click_window "$w" 3; sleep 0.4
      xdotool key Down Return ;; # the menu's first entry, "Close this window"
    drillquiz)
      # Its window comes once the greeting is said; closing it is its EXIT.
      for _ in $(seq 100); do w=$(window_of "$pid" '^Times Tables$') && break; sleep 0.1; done
      [ -n "$w" ] || return 1
      xdotool windowactivate --sync "$w" 2>/dev/null || xdotool windowfocus --sync "$w"
      xdotool key alt+F4 ;;
    jollix)
      w=$(window_of "$pid" '^Jollix$') || return 1
      click_window "$w" 1 ;; # the window is its STOP button
    lullscreen)
      xdotool key a ;;
  esac
}

# end_run PROGRAM WAY SCALE MOMENT
end_run() {
  local program=$1 way=$2 scale=$3 moment=$4 pid p rc=0
  local envs=("QT_SCALE_FACTOR=$scale")
  : >"$LOG"
  RUNS=$((RUNS + 1))
  if [ "$program" = lullscreen ] && [ "$way" != own ]; then
    # As xscreensaver runs it: drawing into the daemon's window, ended by a signal.
    envs+=("XSCREENSAVER_WINDOW=$HOST")
  fi
  env "${envs[@]}" "$B/$program" >>"$LOG" 2>&1 &
  pid=$!
  PIDS+=("$pid")
  wait_for_log "$(first_window "$program")" 40
  sleep "$moment"
  kill -0 "$pid" 2>/dev/null || fail "$program ($way, scale $scale, ${moment}s): it ended by itself"
  case $way in
    TERM | HUP) kill -s "$way" "$pid" ;;
    own) own_way "$program" "$pid" || fail "$program: no window to end it through at ${moment}s" ;;
  esac
  for _ in $(seq 150); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && fail "$program ($way, scale $scale, ${moment}s): still running 15 s after the end"
  wait "$pid" || rc=$?
  # The quiz and the show start the clock again as they end; it is not ours to keep.
  if [ "$way" = own ] && { [ "$program" = drillquiz ] || [ "$program" = jollix ]; }; then
    wait_for_log 'chimewell.launch: start .*/chimewell ok' 5
    p=
    for _ in $(seq 50); do p=$(pgrep -f "^$B/chimewell$" || true); [ -n "$p" ] && break; sleep 0.1; done
    [ -n "$p" ] && kill "$p" && while kill -0 "$p" 2>/dev/null; do sleep 0.1; done
  fi
  if [ "$rc" != 0 ] || grep -q -E 'Sanitizer|runtime error:|did not stop within' "$LOG"; then
    fail "$program ended by $way at ${moment}s, scale $scale: status $rc"
  fi
  echo "ok: $program by $way at ${moment}s, scale $scale"
}

"$HOSTWINDOW" >"$WORK/host" 2>/dev/null &
PIDS+=($!)
for _ in $(seq 50); do HOST=$(head -1 "$WORK/host" 2>/dev/null || true); [ -n "$HOST" ] && break; sleep 0.1; done
[ -n "$HOST" ] || fail "the host window did not start"

for program in chimewell date millenium drillquiz jollix lullscreen; do
  ways="TERM HUP own"
  [ "$full" != 1 ] && [ "${CHIMEWELL_STRESS_WAYS:-3}" = 1 ] && ways=$(pick "$ways")
  for way in $ways; do
    if [ "$full" = 1 ]; then
      for scale in 1 2; do
        for moment in $(moments "$program" "$way"); do end_run "$program" "$way" "$scale" "$moment"; done
      done
    else
      end_run "$program" "$way" "$(pick '1 2')" "$(pick "$(moments "$program" "$way")")"
    fi
  done
done
# Where ends used to crash: the saver and the show at scale 2, once more each.
if [ "$full" != 1 ]; then
  end_run lullscreen own 2 "$(pick '10 12')"
  end_run lullscreen TERM 2 "$(pick '8 10 12')"
  end_run jollix own 2 "$(pick '2 5 9')"
fi
pass "$RUNS ends, each with status 0 and no sanitizer report"
