#!/usr/bin/env bash
# Builds the library and its stand-ins natively and runs the demo host: the
# typical road of a racing host against the virtual clocks and tag reader.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh native
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" --target skylark_demo
./build/native/bin/skylark_demo
