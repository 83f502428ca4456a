#!/usr/bin/env bash
# Resident memory of the real clock with two characters (max and plany) idle,
# at scale 1 and 2, after it has settled. Compares against another build's
# program folder when one is given (say, a worktree of the previous release):
#
#   bench/agent/clock_memory.sh [BASELINE_PROGRAM_DIR]
#
# Needs a display (scripts/with-display.sh). Prints VmRSS and, for this build
# at scale 1, the largest mappings, so a regression shows where it is.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
ours=${CHIMEWELL_PROGRAM_DIR:-$top/build/bin}
baseline=${1:-}
settle=${SETTLE_SECONDS:-25}

measure() { # program-dir scale [breakdown]
  local dir=$1 scale=$2 home pid rss
  home=$(mktemp -d)
  mkdir -p "$home/r" && chmod 700 "$home/r"
  local env=(HOME="$home" XDG_CONFIG_HOME="$home/c" XDG_DATA_HOME="$home/d" XDG_RUNTIME_DIR="$home/r")
  env "${env[@]}" "$dir/chimewell-settings" set Data LastCharacter max >/dev/null
  env "${env[@]}" "$dir/chimewell-settings" set Data LastCharacter2 plany >/dev/null
  env "${env[@]}" "$dir/chimewell-settings" set Data Announce 0 >/dev/null
  env "${env[@]}" QT_SCALE_FACTOR="$scale" "$dir/chimewell" >/dev/null 2>&1 &
  pid=$!
  sleep "$settle"
  if [ -r "/proc/$pid/status" ]; then
    rss=$(awk '/^VmRSS/{print $2}' "/proc/$pid/status")
    awk -v d="$dir" -v s="$scale" -v r="$rss" 'BEGIN{printf "%-40s scale %s: %6.1f MB resident\n", d, s, r / 1000}' 
    if [ -n "${3:-}" ]; then
      awk '/^[0-9a-f]+-[0-9a-f]+ /{n=$6; if(n=="")n="[anonymous]"} /^Rss:/{r[n]+=$2}
           END{for(k in r) printf "%8d kB %s\n", r[k], k}' "/proc/$pid/smaps" | sort -rn | head -12
    fi
    kill "$pid"
    wait "$pid" 2>/dev/null
  else
    echo "$dir scale $scale: the clock did not start"
  fi
  rm -rf "$home"
}

for scale in 1 2; do
  [ -n "$baseline" ] && measure "$baseline" "$scale"
  measure "$ours" "$scale" $([ "$scale" = 1 ] && echo breakdown)
done
