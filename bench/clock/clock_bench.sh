#!/usr/bin/env bash
# The clock against xclock, measured in the same run: time from start to the
# window shown, resident memory, and CPU and wake-ups over an idle period.
# Usage: clock_bench.sh [idle-seconds (default 300)]   (needs a display)
set -euo pipefail
: "${CHIMEWELL_PROGRAM_DIR:=$(cd "$(dirname "$0")/../.." && pwd)/build/bin}"
B=$CHIMEWELL_PROGRAM_DIR
idle=${1:-300}
work=$(mktemp -d)
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
"$B/chimewell-settings" set Data LastCharacter "${CLOCK_BENCH_CHAR1:-none}" >/dev/null
"$B/chimewell-settings" set Data LastCharacter2 "${CLOCK_BENCH_CHAR2:-none}" >/dev/null
"$B/chimewell-settings" set Data Announce 0 >/dev/null

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
  while ! xdotool search --onlyvisible --name "$name" >/dev/null 2>&1; do sleep 0.01; done
  shown_ms=$(($(now_ms) - t0))
}
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
wakeups() { awk '/^voluntary_ctxt_switches/{v=$2}/^nonvoluntary_ctxt_switches/{n=$2}END{print v + n}' "/proc/$1/status"; }
rss_kb() { awk '/^VmRSS/{print $2}' "/proc/$1/status"; }

time_to_window '^Chimewell$' "$B/chimewell"; ours=$shown_ms; ours_pid=$started
time_to_window '^xclock$' xclock -digital -update 60; theirs=$shown_ms; theirs_pid=$started
sleep 65   # past the start-up minute, into the running phase
hz=$(getconf CLK_TCK)
c0=$(cpu_ticks "$ours_pid"); x0=$(cpu_ticks "$theirs_pid")
w0=$(wakeups "$ours_pid"); v0=$(wakeups "$theirs_pid")
sleep "$idle"
c1=$(cpu_ticks "$ours_pid"); x1=$(cpu_ticks "$theirs_pid")
w1=$(wakeups "$ours_pid"); v1=$(wakeups "$theirs_pid")

pct() { awk -v t="$1" -v hz="$hz" -v s="$idle" 'BEGIN{printf "%.3f", 100 * t / hz / s}'; }
printf '%-28s %12s %12s\n' "" chimewell xclock
printf '%-28s %12s %12s\n' "start to window shown (ms)" "$ours" "$theirs"
printf '%-28s %12s %12s\n' "resident memory (KiB)" "$(rss_kb "$ours_pid")" "$(rss_kb "$theirs_pid")"
printf '%-28s %12s %12s\n' "CPU over ${idle}s idle (%)" "$(pct $((c1 - c0)))" "$(pct $((x1 - x0)))"
printf '%-28s %12s %12s\n' "wake-ups over ${idle}s" "$((w1 - w0))" "$((v1 - v0))"
