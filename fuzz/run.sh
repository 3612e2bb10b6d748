#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 (AddressSanitizer and
# UndefinedBehaviorSanitizer, the library built by clang throughout) and
# runs each for a bounded time from its seed corpus in fuzz/corpus/<target>.
#
#   bash fuzz/run.sh            # CI: 15 seconds per target
#   bash fuzz/run.sh 1800       # a longer run: 30 minutes per target
#   bash fuzz/run.sh 60 reads   # one target
#
# New inputs are kept in build/fuzz/corpus/<target>, not in the repository;
# a crash leaves its input in build/fuzz/ and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-15}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(codecs records reads texts ring saved recordfile clock_side reader readerfile)

build=$root/build/fuzz
# The fuzz preset (CMakePresets.json): clang-14, libFuzzer, ASan and UBSan.
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target $(printf 'fuzz_%s ' "${targets[@]}")

export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
status=0
for t in "${targets[@]}"; do
  corpus=$build/corpus/$t
  mkdir -p "$corpus"
  log=$build/$t.log
  if (cd "$build" && "$build/bin/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 \
        "$corpus" "$root/fuzz/corpus/$t") >"$log" 2>&1; then
    runs=$(grep -Eo 'Done [0-9]+ runs in [0-9]+ second' "$log" | tail -1)
    echo "fuzz $t: ${runs:-?} (corpus $(ls "$corpus" | wc -l))"
  else
    echo "fuzz $t: FAILED, see $log"
    tail -40 "$log"
    status=1
  fi
done
exit $status
