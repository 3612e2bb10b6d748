#!/usr/bin/env bash
# The reliability stages CI runs after the test builds: every fuzz target
# for a bounded time (the library's clang build).
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
echo "== fuzz (clang-14, libFuzzer, ASan+UBSan)"
bash fuzz/run.sh "${SKYLARK_FUZZ_SECONDS:-15}" || status=1
exit $status
