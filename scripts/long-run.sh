#!/usr/bin/env bash
# The full long run: a million export calls against the virtual clocks,
# with the heap in use compared after a warm-up and at the end.
#   bash scripts/long-run.sh [calls]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" --target skylark_long_run
build/native/bin/skylark_long_run "${1:-1000000}"
