#!/usr/bin/env bash
# Installs what is needed, builds, and starts Chimewell.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
"$top/scripts/build.sh"
exec "$top/build/bin/chimewell"
