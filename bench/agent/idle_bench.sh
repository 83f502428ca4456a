#!/usr/bin/env bash
# What idling costs: the clock with its two characters (max and plany) against
# oneko on the same display, with a session bus and a sound server as a desktop
# has them. CPU of a core and wake-ups a second over the first minutes of idling,
# and again once both characters doze; at scale 1 and 2. Then Speak's latency
# against a bare sound-server client (bench_speak), and start to the clock shown
# against xclock.
#
#   bench/agent/idle_bench.sh [--minutes N] [--scales "1 2"] [--before PROGRAM_DIR]
#
# --minutes: each measured stretch (default 5). --before: another build's program
# folder, whose clock idles beside ours in the same run (say /work/main/build/bin).
# Without a display it runs itself under scripts/with-display.sh.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
bin=${CHIMEWELL_PROGRAM_DIR:-$root/build/bin}
minutes=5 scales="1 2" before=""
args=("$@")
while [ $# -gt 0 ]; do
  case $1 in
    --minutes) minutes=$2; shift 2 ;;
    --scales) scales=$2; shift 2 ;;
    --before) before=$(cd "$2" && pwd); shift 2 ;;
    *) echo "usage: $0 [--minutes N] [--scales \"1 2\"] [--before DIR]" >&2; exit 2 ;;
  esac
done
if [ -z "${DISPLAY:-}" ]; then
  exec "$root/scripts/with-display.sh" "$0" "${args[@]}"
fi
oneko=$(command -v oneko || echo /usr/games/oneko)
[ -x "$oneko" ] && command -v xclock >/dev/null && command -v pulseaudio >/dev/null \
  || { echo "needs oneko, xclock and pulseaudio (scripts/deps.sh --test)" >&2; exit 2; }
seconds=$((minutes * 60))

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The sound server, with a null sink for a loudspeaker.
export XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no --system=no \
  --load="module-native-protocol-unix" --load="module-null-sink sink_name=speakers" >"$work/pulse.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl set-default-sink speakers
# Each program finds the server here; its runtime folder is its own (one clock per folder).
export PULSE_SERVER=unix:$XDG_RUNTIME_DIR/pulse/native

hz=$(getconf CLK_TCK)
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# Context switches of the main thread, and of every thread of the process.
switches_main() { awk '/^(non)?voluntary_ctxt_switches/{n += $2} END{print n}' "/proc/$1/status"; }
switches_all() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^(non)?voluntary_ctxt_switches/{n += $2} END{print n}'; }

# home DIR: a private home with the two characters and no announcing.
home() {
  local h=$1 dir=$2
  mkdir -p "$h/config" "$h/data" "$h/run" && chmod 700 "$h/run"
  XDG_CONFIG_HOME=$h/config "$dir/chimewell-settings" set Data LastCharacter max >/dev/null
  XDG_CONFIG_HOME=$h/config "$dir/chimewell-settings" set Data LastCharacter2 plany >/dev/null
  XDG_CONFIG_HOME=$h/config "$dir/chimewell-settings" set Data Announce 0 >/dev/null
}
# clock DIR NAME SCALE: starts that build's clock in a home of its own; sets `started`.
clock() {
  local dir=$1 name=$2 scale=$3
  home "$work/$name" "$dir"
  HOME=$work/$name XDG_CONFIG_HOME=$work/$name/config XDG_DATA_HOME=$work/$name/data XDG_RUNTIME_DIR=$work/$name/run \
    QT_SCALE_FACTOR=$scale \
    QT_LOGGING_RULES="chimewell.agent*=true" "$dir/chimewell" >/dev/null 2>"$work/$name.log" &
  started=$!
  pids+=("$started")
}
wait_log() { # file pattern count seconds
  local i
  for i in $(seq $(($4 * 10))); do
    [ "$(grep -c -- "$2" "$1" 2>/dev/null || true)" -ge "$3" ] && return 0
    sleep 0.1
  done
  return 1
}

# measure LABEL: CPU and wake-ups of each of `who` (name=pid) over $seconds.
measure() {
  local label=$1 entry name pid
  declare -A t0 m0 a0
  for entry in "${who[@]}"; do
    pid=${entry#*=}
    t0[$pid]=$(ticks "$pid"); m0[$pid]=$(switches_main "$pid"); a0[$pid]=$(switches_all "$pid")
  done
  sleep "$seconds"
  for entry in "${who[@]}"; do
    name=${entry%%=*} pid=${entry#*=}
    [ -r "/proc/$pid/stat" ] || { echo "  $label: $name ended meanwhile"; continue; }
    awk -v l="$label" -v n="$name" -v t="$(($(ticks "$pid") - t0[$pid]))" -v hz="$hz" -v s="$seconds" \
      -v m="$(($(switches_main "$pid") - m0[$pid]))" -v a="$(($(switches_all "$pid") - a0[$pid]))" \
      'BEGIN{printf "  %-34s %-16s CPU %6.3f %%   wake-ups %6.2f /s (main thread %6.2f /s)\n", l, n, 100 * t / hz / s, a / s, m / s}'
  done
}

home "$work/ours" "$bin"
echo "== Speak on a shown character at rest (a null sink)"
if [ -x "$root/build/bench/bench_speak" ]; then
  HOME=$work/ours XDG_CONFIG_HOME=$work/ours/config "$root/build/bench/bench_speak" --file "$bin/chars/max.acs" || true
else
  echo "  bench_speak was not built (libpulse-dev missing)"
fi

echo "== start to the clock shown, against xclock (5 starts each, median)"
now_ms() { date +%s%3N; }
shown_ms() { # name command...
  local name=$1 t0 p; shift
  t0=$(now_ms)
  "$@" >/dev/null 2>&1 &
  p=$!
  while ! xdotool search --onlyvisible --name "$name" >/dev/null 2>&1; do sleep 0.005; done
  echo $(($(now_ms) - t0))
  kill "$p"; wait "$p" 2>/dev/null || true
  sleep 1
}
ours=() theirs=()
for _ in 1 2 3 4 5; do
  ours+=("$(HOME=$work/ours XDG_CONFIG_HOME=$work/ours/config XDG_DATA_HOME=$work/ours/data XDG_RUNTIME_DIR=$work/ours/run shown_ms '^Chimewell$' "$bin/chimewell")")
  theirs+=("$(shown_ms '^xclock$' xclock -digital -update 60)")
done
med() { printf '%s\n' "$@" | sort -n | sed -n 3p; }
echo "  chimewell $(med "${ours[@]}") ms (${ours[*]}), xclock $(med "${theirs[@]}") ms (${theirs[*]})"

for scale in $scales; do
  echo "== scale $scale: two idle characters against oneko, ${minutes} min a stretch"
  who=()
  clock "$bin" ours "$scale"; who+=("chimewell=$started")
  if [ -n "$before" ]; then clock "$before" before "$scale"; who+=("before=$started"); fi
  "$oneko" >/dev/null 2>&1 &
  pids+=($!); who+=("oneko=$!")
  wait_log "$work/ours.log" 'plany MoveTo' 1 60 || { echo "the clock did not greet"; cat "$work/ours.log"; exit 1; }
  sleep 5
  measure "first ${minutes} min of idling"
  if wait_log "$work/ours.log" ' dozes' 2 400; then
    sleep 10
    measure "both dozing"
  else
    echo "  the characters did not both doze"
  fi
  for entry in "${who[@]}"; do kill "${entry#*=}" 2>/dev/null || true; wait "${entry#*=}" 2>/dev/null || true; done
done

