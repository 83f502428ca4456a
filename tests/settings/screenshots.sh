#!/usr/bin/env bash
# Pictures of every tab of the settings dialog at scale 1 and 2, taken from the
# real program, for docs/settings/. Brings its own display, as large as a
# screen that one would use at scale 2:
#   tests/settings/screenshots.sh
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
if [ -z "${SCREENSHOT_DISPLAY:-}" ]; then
  for n in $(seq 150 190); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
  done
  Xvfb ":$display" -screen 0 2560x1600x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill "$xvfb" 2>/dev/null || true' EXIT
  for _ in $(seq 50); do DISPLAY=":$display" xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  DISPLAY=":$display" SCREENSHOT_DISPLAY=1 "$0" "$@"
  exit
fi
export CHIMEWELL_PROGRAM_DIR=${CHIMEWELL_PROGRAM_DIR:-$top/build/bin}
out=$top/docs/settings
mkdir -p "$out"
. "$top/tests/e2e/lib.sh"
openbox >/dev/null 2>&1 &
PIDS+=($!)
# No characters: they would stand in front of the dialog.
settings set Data LastCharacter none >/dev/null
settings set Data LastCharacter2 none >/dev/null

tabs=(alarm1 alarm2 characters colours help speak misc)

# shoot MODE SCALE FIRST-TAB-ONLY...: opens Main Options and pictures the tabs.
shoot() {
  local mode=$1 scale=$2 prefix=$3 i d w pid
  settings set Data mode "$mode" >/dev/null
  : >"$LOG"
  QT_SCALE_FACTOR=$scale start_chimewell
  pid=${PIDS[-1]}
  wait_for_log 'chimewell.ui: show frm_clock' 30
  sleep 3
  w=$(clock_window)
  xdotool mousemove --window "$w" 20 10 click 3
  sleep 0.7
  xdotool key Down Down Down Down Return
  wait_for_log 'chimewell.ui: show frm_settings' 10
  sleep 1
  d=$(xdotool search --onlyvisible --name '^General Settings$' | head -1)
  for i in "${!tabs[@]}"; do
    if [ "$mode" = simple ] && [ "${tabs[$i]}" = alarm2 ]; then continue; fi
    xdotool windowactivate --sync "$d" 2>/dev/null || true
    sleep 0.4
    import -window "$d" "$out/$prefix-${tabs[$i]}.png"
    convert "$out/$prefix-${tabs[$i]}.png" -colors 64 "$out/$prefix-${tabs[$i]}.png" || true
    xdotool key ctrl+Tab
  done
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

shoot advanced 1 scale1
shoot advanced 2 scale2
shoot simple 1 simple
ls -l "$out"
