#!/usr/bin/env bash
# A long fuzz campaign, one fuzzer after another on one core, each bounded by a
# number of runs and a time limit. What it finds that is new is merged into
# the corpus kept beside the fuzzer's source, and crashes are left in
# build-fuzz/findings/<fuzzer>/.
#
#   scripts/fuzz-campaign.sh [RUNS [SECONDS [FUZZER ...]]]
#
# RUNS per fuzzer (default 10000000), SECONDS at most per fuzzer (default
# 7200), FUZZER names (default: every fuzzer). A file <fuzzer>.flags beside a
# fuzzer's source adds libFuzzer flags, one per line (say, a -max_len for a
# text format, where long inputs only slow the campaign down).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-10000000}
seconds=${2:-7200}
shift $(($# < 2 ? $# : 2))
build=$top/build-fuzz
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCHIMEWELL_FUZZ=ON -DCHIMEWELL_TESTS=OFF -DCHIMEWELL_BENCH=OFF >/dev/null
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for f in "$top"/fuzz/*/fuzz_*.cpp; do
    names+=("$(basename "$f" .cpp)")
  done
fi
cmake --build "$build" --target "${names[@]}" -j1
# No allocation stacks: Debian's Qt is built without frame pointers, so the fast
# unwinder walks into junk and every trace through Qt is a new one; the
# sanitizer's stack store then grows without end and a run slows to a fifth of
# its speed within a million inputs. A finding is replayed afterwards with the
# full stacks (ASAN_OPTIONS unset).
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:detect_odr_violation=0:malloc_context_size=0}
export LSAN_OPTIONS=suppressions=$top/scripts/lsan.supp:print_suppressions=0
export QT_QPA_PLATFORM=offscreen
status=0
for name in "${names[@]}"; do
  area=$(dirname "$(ls "$top"/fuzz/*/"$name".cpp)")
  keep=$area/corpus
  work=$build/campaign/$name
  findings=$build/findings/$name
  mkdir -p "$keep" "$work" "$findings"
  seeds=()
  [ -d "$area/seeds" ] && seeds+=("$area/seeds")
  dict=()
  [ -f "$area/${name#fuzz_}.dict" ] && dict=(-dict="$area/${name#fuzz_}.dict")
  flags=()
  [ -f "$area/$name.flags" ] && mapfile -t flags < <(grep -v '^[[:space:]]*\(#\|$\)' "$area/$name.flags")
  echo "== $name: $runs runs, at most ${seconds}s"
  set +e
  "$build/fuzz/$name" -runs="$runs" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" "${dict[@]}" "${flags[@]}" "$work" "$keep" "${seeds[@]}" \
    >"$build/campaign/$name.log" 2>&1
  rc=$?
  set -e
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$build/campaign/$name.log" || true
  if [ $rc -ne 0 ]; then
    echo "!! $name stopped with status $rc; see $build/campaign/$name.log and $findings/"
    status=1
  fi
  # Keep the smallest set of inputs that covers what the campaign reached.
  "$build/fuzz/$name" -merge=1 "$keep" "$work" >/dev/null 2>&1 || true
done
exit $status
