#!/usr/bin/env bash
# Retakes docs/screenshots/ (the software centre's pictures) from the build in
# build/bin: a returning user's clock with Max and Plany, greeting and then
# saying the time, on a private Xvfb screen.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${CHIMEWELL_SCREENSHOT_DISPLAY:-}" ]; then
  exec xvfb-run -a -s '-screen 0 1280x720x24' env CHIMEWELL_SCREENSHOT_DISPLAY=1 "$0" "$@"
fi
B=${CHIMEWELL_PROGRAM_DIR:-$top/build/bin}
out=$top/docs/screenshots
work=$(mktemp -d)
clock=
trap '[ -n "$clock" ] && kill "$clock" 2>/dev/null; rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8 LC_ALL=C.UTF-8
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/chimewell/chars" "$XDG_RUNTIME_DIR" "$out"
chmod 700 "$XDG_RUNTIME_DIR"
cp "$B/chars/max.acs" "$B/chars/plany.acs" "$XDG_DATA_HOME/chimewell/chars/"
"$B/chimewell-settings" set Data LastCharacter max
"$B/chimewell-settings" set Data LastCharacter2 plany
# A plain desktop-blue backdrop instead of Xvfb's black.
convert -size 1280x720 gradient:'#6d9bd1'-'#2f5686' "$work/desk.png"
display -window root "$work/desk.png" || true  # sets the backdrop, then returns 1

"$B/chimewell" >"$work/log" 2>&1 &
clock=$!
sleep 12
import -window root "$out/clock.png"
# Max says the time on a double click on the clock.
win=$(xdotool search --onlyvisible --pid "$clock" --name '^Chimewell$' | head -1)
xdotool mousemove --window "$win" 20 15 click --repeat 2 --delay 80 1
sleep 4
import -window root "$out/time.png"
echo "wrote $out/clock.png $out/time.png"
