#!/usr/bin/env bash
# The reliability stages CI runs after the test builds: the export suites
# under Valgrind's memcheck (the ClockLink stand-in checks that every block it
# receives is defined), the threads suite under ThreadSanitizer, and every
# fuzz target for a bounded time (the library's clang build). The long run
# at full size is scripts/long-run.sh (ctest runs a short one).
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
echo "== memcheck: export suites"
if valgrind -q --error-exitcode=1 --suppressions=tests/reliability/memcheck.supp build/native/bin/skylark_tests --gtest_brief=1 >build/native/memcheck.log 2>&1; then
  tail -1 build/native/memcheck.log
else
  echo "memcheck: FAILED"; grep -v '^\[' build/native/memcheck.log | head -60; status=1
fi
echo "== ThreadSanitizer: eight threads on every export family"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$(nproc)" --target skylark_threads
TSAN_OPTIONS=halt_on_error=1 build/tsan/bin/skylark_threads --gtest_brief=1 || status=1

echo "== fuzz (clang-14, libFuzzer, ASan+UBSan)"
bash fuzz/run.sh "${SKYLARK_FUZZ_SECONDS:-15}" || status=1
exit $status
