#!/usr/bin/env bash
# Builds and runs the host bindings against the native build's libskylark.so
# and the stand-in ClockLink: installs the Python package into a virtual
# environment (Debian's python3, pip without an index) and runs its pytest
# suite with the export-list checks of every binding, compiles and runs the
# C# test program with Mono and the Pascal one with Free Pascal.
# Usage: scripts/test-bindings.sh [build dir, default build/native]
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
# -m: the build folder need not exist yet (a fresh clone); it is made below.
build=$(realpath -m "${1:-build/native}")
bin=$build/bin
work=$build/bindings
if [ ! -e "$bin/libskylark.so" ]; then
  if [ "$build" = "$root/build/native" ]; then
    cmake --preset native >/dev/null
  else
    cmake -S "$root" -B "$build" -G Ninja >/dev/null
  fi && cmake --build "$build" -j "$(nproc)" --target skylark clocklink ringreader || exit 1
fi
rm -rf "$work" && mkdir -p "$work"
export LD_LIBRARY_PATH=$bin${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
export SKYLARK_LIBRARY=$bin/libskylark.so

passed=0
failed=0
count() {  # adds "N passed" / "N failed" found in a runner's closing line
  local line=$1 n
  n=$(grep -Eo '[0-9]+ passed' <<<"$line" | grep -Eo '[0-9]+') && passed=$((passed + n))
  n=$(grep -Eo '[0-9]+ (failed|errors?)' <<<"$line" | awk '{s += $1} END {print s + 0}') && failed=$((failed + n))
  return 0
}

echo "== bindings: Python"
# Installed from a clean copy, as from a fresh clone.
cp -r bindings/python "$work/python-src"
rm -rf "$work/python-src/build" "$work/python-src/"*.egg-info
/usr/bin/python3 -m venv --system-site-packages "$work/venv"
if "$work/venv/bin/python" -m pip install -q --no-build-isolation --no-index "$work/python-src"; then
  (cd "$work" && "$work/venv/bin/python" -m pytest -q -p no:cacheprovider \
      "$root/bindings/python/tests" "$root/bindings/tests") | tee "$work/pytest.log"
  count "$(tail -n 1 "$work/pytest.log")"
else
  echo "pip install failed"
  failed=$((failed + 1))
fi

echo "== bindings: C#"
if mcs -nologo -warnaserror -out:"$work/SkylarkTests.exe" bindings/csharp/*.cs; then
  mono "$work/SkylarkTests.exe" | tee "$work/csharp.log"
  count "$(tail -n 1 "$work/csharp.log")"
else
  failed=$((failed + 1))
fi

echo "== bindings: Pascal"
mkdir -p "$work/pascal"
if fpc -v0 -Sew -FE"$work/pascal" -Fl"$bin" -k-rpath="$bin" bindings/pascal/skylark_test.pas >"$work/fpc.log" 2>&1; then
  "$work/pascal/skylark_test" | tee "$work/pascal.log"
  count "$(tail -n 1 "$work/pascal.log")"
else
  cat "$work/fpc.log"
  failed=$((failed + 1))
fi

echo "bindings: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
