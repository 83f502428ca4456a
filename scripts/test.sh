#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: the unit, window and
# end-to-end tests, the same tests under AddressSanitizer and UBSan, and each
# fuzzer for a bounded time.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" --test
jobs=$(nproc)
export LANG=C.UTF-8 LC_ALL=C.UTF-8

# ccache keeps the three builds (and the package's) quick when little changed;
# paths relative to the tree, so another clone of it shares the cache.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=$top CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

echo "== build"
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}"
cmake --build "$top/build" -j"$jobs"

echo "== tests"
"$top/scripts/with-display.sh" ctest --test-dir "$top/build" --output-on-failure -j"$jobs"

if [ "${CHIMEWELL_QUICK:-0}" != 1 ]; then
  echo "== tests under AddressSanitizer and UBSan"
  # The characters come from the first build: drawing them again under the
  # sanitizers takes minutes, and the art tests run under them anyway.
  cmake -S "$top" -B "$top/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCHIMEWELL_SANITIZE=ON -DCHIMEWELL_BENCH=OFF \
    -DCHIMEWELL_CHARACTERS_FROM="$top/build/bin/chars" "${launcher[@]}"
  # Leak checks are for the tests, not for the build.
  ASAN_OPTIONS=detect_leaks=0 cmake --build "$top/build-asan" -j"$jobs"
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_odr_violation=0
  export LSAN_OPTIONS=suppressions=$top/scripts/lsan.supp:print_suppressions=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  "$top/scripts/with-display.sh" ctest --test-dir "$top/build-asan" --output-on-failure -j"$jobs" -LE e2e
  unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS

  echo "== fuzzers"
  # Half a minute each keeps the whole run within its time; campaigns of
  # millions of runs go through scripts/fuzz.sh with a longer time.
  "$top/scripts/fuzz.sh" "${CHIMEWELL_FUZZ_SECONDS:-30}"
fi
