#!/usr/bin/env bash
# The real clock, started a few seconds before ten with both characters
# stored: character 1 greets the user, and at ten character 2 says the time.
set -euo pipefail

prog=${CHIMEWELL_PROGRAM_DIR:?CHIMEWELL_PROGRAM_DIR is not set}
limit=${CHIMEWELL_E2E_SECONDS:-60}

fail() { echo "FAIL: $*" >&2; [ -f "${log:-}" ] && sed 's/^/  | /' "$log" >&2; exit 1; }

command -v faketime >/dev/null || fail "faketime is not installed (Debian package faketime)"
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY: run under the test command's Xvfb"
[ -x "$prog/chimewell" ] || fail "$prog/chimewell has not been built"
[ -x "$prog/chimewell-settings" ] || fail "$prog/chimewell-settings has not been built"
for c in max plany; do
  [ -f "$prog/chars/$c.acs" ] || fail "$prog/chars/$c.acs has not been built"
done

tmp=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ]; then
    # faketime runs the program as its child and does not pass signals on.
    for child in $(pgrep -P "$pid" 2>/dev/null || true); do
      kill "$child" 2>/dev/null || true
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT

export XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data XDG_RUNTIME_DIR=$tmp/run
export XDG_DATA_DIRS=$tmp/none
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR" "$XDG_DATA_DIRS"
chmod 700 "$XDG_RUNTIME_DIR"

# Both names stored: a normal start, no agreement.
"$prog/chimewell-settings" set Data LastCharacter max
"$prog/chimewell-settings" set Data LastCharacter2 plany

log=$tmp/chimewell.log
QT_LOGGING_RULES="chimewell.*=true" QT_QPA_PLATFORM=xcb \
  faketime -f '@2026-12-07 09:59:50' "$prog/chimewell" >"$tmp/stdout" 2>"$log" </dev/null &
pid=$!

greeting='chimewell.agent: max Speak good morning, Nobody'
time_line='chimewell.agent: plany Speak The time is 10 O clock '
for ((i = 0; i < limit * 4; i++)); do
  if grep -qxF -- "$time_line" "$log"; then
    break
  fi
  kill -0 "$pid" 2>/dev/null || fail "chimewell ended early"
  sleep 0.25
done

grep -qxF -- "$greeting" "$log" || fail "character 1 did not greet: no line \"$greeting\""
grep -qxF -- "$time_line" "$log" || fail "character 2 did not say the time at ten within ${limit}s"

# The greeting comes before the time, from the other character.
g=$(grep -nxF -- "$greeting" "$log" | head -1 | cut -d: -f1)
t=$(grep -nxF -- "$time_line" "$log" | head -1 | cut -d: -f1)
[ "$g" -lt "$t" ] || fail "the time was said before the greeting"
echo "PASS: greeting at line $g, ten o'clock at line $t"
