#!/usr/bin/env bash
# The date window and the countdown against xclock, measured in the same run:
# time from start to the window shown, resident memory (no character loaded),
# and CPU and wake-ups (every thread's context switches) over an idle period.
# The date should wake once a minute and no more; the countdown ticks every two
# seconds by design.
# Usage: addons_bench.sh [idle-seconds (default 300)]   (needs a display)
set -euo pipefail
: "${CHIMEWELL_PROGRAM_DIR:=$(cd "$(dirname "$0")/../.." && pwd)/build/bin}"
B=$CHIMEWELL_PROGRAM_DIR
idle=${1:-300}
work=$(mktemp -d)
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset QT_LOGGING_RULES
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
# Apart from the others, so one window is not found for another.
"$B/chimewell-settings" set Data MilleniumLeft 3000 >/dev/null

now_ms() { date +%s%3N; }
# Starts a program; sets `started` to its pid and `shown_ms` to the milliseconds
# until a visible window of that name is mapped.
time_to_window() {
  local name=$1; shift
  local t0
  t0=$(now_ms)
  "$@" >/dev/null 2>&1 &
  started=$!
  pids+=("$started")
  while ! xdotool search --onlyvisible --pid "$started" --name "$name" >/dev/null 2>&1; do sleep 0.01; done
  shown_ms=$(($(now_ms) - t0))
}
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
wakeups() { cat /proc/"$1"/task/*/status | awk '/^voluntary_ctxt_switches/{v+=$2}/^nonvoluntary_ctxt_switches/{n+=$2}END{print v + n}'; }
rss_kb() { awk '/^VmRSS/{print $2}' "/proc/$1/status"; }

names=(date millenium xclock)
time_to_window '^Chimewell date$' "$B/date"; shown[0]=$shown_ms; pid[0]=$started
time_to_window '^Chimewell countdown$' "$B/millenium"; shown[1]=$shown_ms; pid[1]=$started
time_to_window '^xclock$' xclock -digital -update 60; shown[2]=$shown_ms; pid[2]=$started
sleep 5 # past start-up
for i in 0 1 2; do rss[i]=$(rss_kb "${pid[i]}"); c0[i]=$(cpu_ticks "${pid[i]}"); w0[i]=$(wakeups "${pid[i]}"); done
sleep "$idle"
for i in 0 1 2; do c1[i]=$(cpu_ticks "${pid[i]}"); w1[i]=$(wakeups "${pid[i]}"); done

hz=$(getconf CLK_TCK)
pct() { awk -v t="$1" -v hz="$hz" -v s="$idle" 'BEGIN{printf "%.3f", 100 * t / hz / s}'; }
row() { printf '%-30s %12s %12s %12s\n' "$@"; }
row "" "${names[@]}"
row "start to window shown (ms)" "${shown[@]}"
row "resident memory (KiB)" "${rss[@]}"
row "CPU over ${idle}s idle (%)" "$(pct $((c1[0] - c0[0])))" "$(pct $((c1[1] - c0[1])))" "$(pct $((c1[2] - c0[2])))"
row "wake-ups over ${idle}s" "$((w1[0] - w0[0]))" "$((w1[1] - w0[1]))" "$((w1[2] - w0[2]))"
