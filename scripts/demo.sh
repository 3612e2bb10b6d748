#!/usr/bin/env bash
# Builds the library natively and runs the host program that drives it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh native
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j "$(nproc)" --target skylark_hello
./build/native/bin/skylark_hello
