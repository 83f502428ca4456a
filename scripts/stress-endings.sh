#!/usr/bin/env bash
# Every windowed program ended at every moment of the stress test's list, by
# SIGTERM, SIGHUP and its own way out, at scale 1 and 2: in the normal build,
# and in the sanitizer build when there is one (scripts/test.sh makes both).
# About 25 minutes for the normal build; CI runs a sample of it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
for build in "$top/build" "$top/build-asan"; do
  [ -x "$build/bin/chimewell" ] || continue
  echo "== $build"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_odr_violation=0 \
  LSAN_OPTIONS=suppressions=$top/scripts/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  CHIMEWELL_STRESS_FULL=1 CHIMEWELL_PROGRAM_DIR=$build/bin \
    "$top/scripts/with-display.sh" bash "$top/tests/e2e/stress_endings.sh" "$build/tests/saver_hostwindow"
done
