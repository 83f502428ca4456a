#!/usr/bin/env bash
# The whole accuracy run of spoken commands: every phrase of every command and every
# sentence that is none, by each of flite's four voices at three speeds, in a quiet
# room and with room noise 20 and 10 dB below the voice, and by espeak-ng's voices
# and the characters' own. CI hears a sample of it (tst_listenaccuracy); this hears
# it all, in some minutes, and prints the table per voice and noise level.
#
#   scripts/listen-accuracy.sh [BUILD_DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
[ -x "$build/tests/tst_listenaccuracy" ] || { echo "build tst_listenaccuracy first (scripts/build.sh)" >&2; exit 2; }
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
CHIMEWELL_LISTEN_ALL=1 QT_QPA_PLATFORM=offscreen "$build/tests/tst_listenaccuracy" -maxwarnings 0 >"$log" 2>&1 || status=$?
# The verdicts, then the misses and false acceptances, then the table.
grep -E '^(PASS|FAIL|SKIP)|Loc:' "$log" || true
grep -E 'QINFO.*(missed|accepted):' "$log" | sed 's/^QINFO *: [^ ]* //' || true
echo
grep -E 'QINFO.*(commands heard right|turned away|espeak-ng.s default)' "$log" | sed 's/^QINFO *: //' || true
echo
sed -n 's/^QINFO *: TstListenAccuracy::cleanupTestCase() //p' "$log"
exit $status
