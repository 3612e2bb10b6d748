#!/usr/bin/env bash
# Installs what the build needs on a Debian machine (as root), skipping what
# is already there. Usage: scripts/deps.sh [native|all]
set -euo pipefail

native=(cmake ninja-build g++ libgtest-dev googletest libbenchmark-dev libssl-dev nlohmann-json3-dev
        python3 pkgconf)
native+=(libcli11-dev)  # skylark-records' and skylark-vclock's command line
native+=(libgeographiclib-dev)  # the virtual clocks' race-day distances
native+=(python3-jsonschema)  # checks the clock file examples against their schema
# clang, lld and llvm: the Microsoft-format import libraries and the host
# linked with lld-link; wine32 runs the i686 build where the kernel can.
windows=(g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 wine32:i386 clang lld llvm)
# The reliability stages: libFuzzer with clang, memcheck, ThreadSanitizer (gcc's).
checks=(clang-14 libclang-rt-14-dev libfuzzer-14-dev valgrind)
# Host bindings (scripts/test-bindings.sh): Python, C# (Mono), Pascal (Free Pascal).
bindings=(python3 python3-venv python3-pip python3-setuptools python3-pytest mono-mcs mono-runtime
  fp-compiler fp-units-rtl)

# The packages (scripts/test-packages.sh): Python wheels, NuGet on Mono,
# Debian packages with debhelper and lintian.
packages=(python3-build python3-wheel twine nuget mono-mcs mono-runtime debhelper dpkg-dev fakeroot lintian
  ccache)

wanted=("${native[@]}")
if [ "${1:-all}" = all ]; then
  wanted+=("${windows[@]}" "${checks[@]}" "${bindings[@]}" "${packages[@]}")
fi

missing=()
for pkg in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  case " ${missing[*]} " in
    *:i386*) dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 ;;
  esac
  apt-get update -qq
  apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
