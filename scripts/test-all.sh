#!/usr/bin/env bash
# Builds the library and its stand-ins natively, with sanitizers, for Windows
# x86-64 and for Windows i686, and runs every test: native, sanitizer, Wine
# (x86-64 and, where the kernel runs 32-bit programs, i686), the binary
# interface checks and hosts of both import library formats, the installed
# tree's consumers and the release archives; then the bindings, the
# reliability stages and the packages (wheels, NuGet, Debian), each built,
# installed and used. The summary at the end names every build and stage and
# whether it passed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# Installing needs root; SKYLARK_SKIP_DEPS=1 builds and tests with what is
# there (as a packager or a non-root developer would).
if [ "${SKYLARK_SKIP_DEPS:-0}" != 1 ]; then
  bash scripts/deps.sh all
fi

status=0
passed=0
failed=0
skipped=0
stages=()  # "name: ok" or "name: FAILED (...)", one per build or stage, for the summary
stage() {  # name, result text; a result other than "ok" fails the run
  stages+=("$1: $2")
  [ "$2" = ok ] || status=1
}

jobs=$(nproc)
built=()
configure() {  # preset (CMakePresets.json; builds in build/<preset>), extra cmake arguments...;
               # a build that fails is named and its tests skipped
  local preset=$1
  shift
  echo "== build: $preset"
  if cmake --preset "$preset" -DSKYLARK_WERROR=ON "$@" >/dev/null &&
     cmake --build --preset "$preset" -j "$jobs"; then
    built+=("$preset")
  else
    stage "build $preset" FAILED
  fi
}

configure native -DSKYLARK_BENCH=ON
configure sanitize
configure win64 -DSKYLARK_TRACE_TOOL="$root/build/native/bin/skylark-trace"
configure win32 -DSKYLARK_TRACE_TOOL="$root/build/native/bin/skylark-trace"

failed_tests() {  # the names ctest lists under "The following tests FAILED:"
  awk '/The following tests FAILED:/ {on = 1; next} on && $2 == "-" {print $3}' "$1" | paste -sd ' '
}
for dir in "${built[@]}"; do
  echo "== tests: $dir"
  log="build/$dir/ctest-summary.log"
  (cd "build/$dir" && ctest --output-on-failure) | tee "$log" || true
  if summary=$(grep -Eo '[0-9]+ tests failed out of [0-9]+' "$log"); then
    read -r bad _ _ _ _ total <<<"$summary"
    # A test that could not run here (the i686 runs where the kernel runs no
    # 32-bit programs) counts as skipped, not passed.
    idle=$(grep -c '\*\*\*Skipped' "$log" || true)
    passed=$((passed + total - bad - idle))
    failed=$((failed + bad))
    skipped=$((skipped + idle))
    if [ "$bad" -eq 0 ]; then
      stage "tests $dir" ok
    else
      stage "tests $dir" "FAILED ($bad of $total: $(failed_tests "$log"))"
    fi
  else
    stage "tests $dir" "FAILED (ctest gave no summary)"
  fi
done
run_stage() {  # name, command...
  local name=$1
  shift
  if "$@"; then stage "$name" ok; else stage "$name" FAILED; fi
}
run_stage bindings bash scripts/test-bindings.sh build/native
run_stage reliability bash scripts/reliability.sh
run_stage packages bash scripts/test-packages.sh

echo "== summary ($(( SECONDS / 60 )) min $(( SECONDS % 60 )) s)"
printf '  %s\n' "${stages[@]}"
echo "ctest: $passed passed, $failed failed, $skipped skipped"
exit $status
