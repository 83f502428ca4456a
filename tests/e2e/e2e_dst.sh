#!/usr/bin/env bash
# The real clock under a fast faked clock (TZ=Europe/London) across both of London's changes, with
# the time said every minute and an alarm inside the changed hour. Autumn:
# started at 01:57:40 BST, it says 01:58 and 01:59 BST, then 01:00 GMT on,
# every minute once, and the 01:30 alarm rings at 01:30 BST only. Spring:
# 00:59 GMT is followed by 02:00 BST.
. "$(dirname "$0")/lib.sh"
export TZ=Europe/London

# run_through SPEED UTC_START UTC_END COUNT: the clock from one moment to the
# other, SPEED times faster than real time, or until it called saytime COUNT times.
run_through() {
  local speed=$1; shift
  local start end now
  start=$(date -u -d "$1" +%s)
  end=$(date -u -d "$2" +%s)
  now=$(date -u +%s)
  : >"$LOG"
  local offset=$((start - now))
  [ "$offset" -lt 0 ] || offset=+$offset
  start_chimewell faketime -f "${offset}s x$speed"
  local pid=$! seconds=$(((end - start) / speed + 10))
  wait_for_log 'chimewell.ui: show frm_clock' 20
  for _ in $(seq $((seconds * 10))); do
    [ "$(grep -c 'chimewell.clock: saytime' "$LOG" || true)" -ge "$3" ] && break
    sleep 0.1
  done
  # faketime runs the clock as its child: end the clock, then faketime ends.
  pkill -TERM -P "$pid" || true
  wait "$pid" || true
}

# The minutes said, as "h:mm", in order (hours 1-12 as the phrases give them).
said() {
  sed -n 's/.* Speak [Tt]he time is //p' "$LOG" | awk '
    /^mindnight/ { print "0:00"; next }
    /O clock/ { print $1 ":00"; next }
    /^half past/ { print $3 ":30"; next }
    / minutes? past / { printf "%d:%02d\n", $4, $1; next }
    { split($0, a, ","); printf "%d:%02d\n", a[1], a[2] }'
}

# expect WHAT SKIP MINUTE...: the phrases said are the minutes given, in order,
# each once. The characters take a moment of real time, minutes of a fast
# clock, to come: up to SKIP minutes at the start may pass before there is
# anyone to say them. The run ends by real time, so one more may follow.
expect() {
  local what=$1 skip=$2; shift 2
  local want=("$@") got i
  mapfile -t got < <(said)
  [ "${#got[@]}" -gt 0 ] || fail "$what: nothing said"
  for ((i = 0; i < skip && i < ${#want[@]}; i++)); do [ "${want[$i]}" = "${got[0]}" ] && break; done
  local n=$((${#want[@]} - i))
  [ "${got[*]:0:$n}" = "${want[*]:$i}" ] || fail "$what: said ${got[*]}"
}

# twice RUN_ARGS -- EXPECT_ARGS: a run and its check, once more if the check
# fails. At these speeds a second of real time is minutes of the clock's: when
# the machine leaves the program no time to run for that long, the clock makes
# the minutes up without saying them, as after a suspend. A fault of the clock
# fails both runs alike; a busy machine seldom hits the same run twice.
twice() {
  local run=() check=()
  while [ "$1" != -- ]; do run+=("$1"); shift; done
  shift
  check=("$@")
  run_through "${run[@]}"
  if ! (fail() { echo "$*"; exit 1; }; expect "${check[@]}") >"$WORK/first" 2>&1; then
    echo "once more after: $(cat "$WORK/first")"
    run_through "${run[@]}"
    expect "${check[@]}"
  fi
}

returning_user
settings set Data Announce 1
settings set Data AlarmTime1 0130

# Slowly enough for the start-up to stay inside its minute.
run_through 10 2026-10-25T00:57:40Z 2026-10-25T01:01:10Z 4
expect "autumn, started 01:57:40 BST" 0 1:58 1:59 1:00 1:01
if grep -q 'chimewell.clock: alarmclock' "$LOG"; then fail "an alarm rang that was not due"; fi

twice 120 2026-10-25T00:20:30Z 2026-10-25T01:32:30Z 71 \
  -- "autumn, both 01:xx hours" 5 $(for m in $(seq 21 59) $(seq 0 31); do printf '1:%02d ' "$m"; done)
[ "$(grep -c 'chimewell.clock: alarmclock genie' "$LOG")" = 1 ] || fail "the 01:30 alarm did not ring once"

twice 120 2026-03-29T00:53:30Z 2026-03-29T01:03:30Z 9 -- "spring" 5 0:54 0:55 0:56 0:57 0:58 0:59 2:00 2:01 2:02
pass "both clock changes of Europe/London: every minute said once"
