#!/usr/bin/env bash
# Builds and runs every benchmark; each prints its figures against a baseline
# measured in the same run. Needs a display for the window benchmarks
# (run it as: scripts/with-display.sh scripts/bench.sh).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/build.sh" >/dev/null
export CHIMEWELL_PROGRAM_DIR=$top/build/bin
for b in "$top"/build/bench/*; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" || echo "(failed)"
done
for s in "$top"/bench/*/*.sh; do
  echo "== $(basename "$s")"
  bash "$s" || echo "(failed)"
done
