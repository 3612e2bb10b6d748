#!/bin/sh
# Installs the build into a fresh prefix and builds a small host against it
# twice, through find_package(Skylark) and through pkg-config, and runs both.
#   consumer.sh BUILD_DIR WORK_DIR CONSUMER_SOURCE_DIR VERSION C_COMPILER
set -eu
build=$1 work=$2 src=$3 version=$4 cc=$5
rm -rf "$work"
mkdir -p "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
lib=$(dirname "$(find "$work/prefix" -name 'libskylark.so*' -not -path '*/trace/*' | head -n 1)")

echo "== CMake package"
cmake -S "$src" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_C_COMPILER="$cc" >/dev/null
cmake --build "$work/cmake" >/dev/null
"$work/cmake/consumer"

echo "== pkg-config"
export PKG_CONFIG_PATH="$lib/pkgconfig"
found=$(pkg-config --modversion skylark)
[ "$found" = "$version" ] || { echo "pkg-config says $found, the project is $version"; exit 1; }
# shellcheck disable=SC2046
"$cc" -o "$work/consumer-pc" "$src/consumer.c" $(pkg-config --cflags --libs skylark)
LD_LIBRARY_PATH="$lib" "$work/consumer-pc"
