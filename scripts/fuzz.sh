#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time (seconds, default 60).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=$top/build-fuzz
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=$top CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  -DCHIMEWELL_FUZZ=ON -DCHIMEWELL_TESTS=OFF -DCHIMEWELL_BENCH=OFF
cmake --build "$build" --target fuzzers -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:detect_odr_violation=0
export LSAN_OPTIONS=suppressions=$top/scripts/lsan.supp:print_suppressions=0
shopt -s nullglob
for f in "$build"/fuzz/*; do
  [ -f "$f" ] && [ -x "$f" ] || continue
  name=$(basename "$f")
  corpus=$build/corpus/$name
  mkdir -p "$corpus"
  # Seeds and a dictionary live beside the fuzzer's source.
  area=$(dirname "$(ls "$top"/fuzz/*/"$name".cpp 2>/dev/null | head -n1 || true)")
  seeds=()
  for d in "$area/seeds" "$area/corpus"; do [ -d "$d" ] && seeds+=("$d"); done
  dict=()
  [ -f "$area/${name#fuzz_}.dict" ] && dict=(-dict="$area/${name#fuzz_}.dict")
  flags=()
  [ -f "$area/$name.flags" ] && mapfile -t flags < <(grep -v '^[[:space:]]*\(#\|$\)' "$area/$name.flags")
  echo "-- $name for ${seconds}s"
  QT_QPA_PLATFORM=offscreen "$f" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "${dict[@]}" "${flags[@]}" "$corpus" "${seeds[@]}" 2>&1 | tail -n 15
  test "${PIPESTATUS[0]}" -eq 0
done
