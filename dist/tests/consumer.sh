#!/bin/sh
# Installs the build into a fresh prefix, first without and then with the
# stand-ins' component, checks the layout (the library under its versioned
# SONAME with no RUNPATH, the stand-ins only in their private folder), and
# builds two small hosts against it, through find_package(Skylark) and
# through pkg-config, and runs them: one on the library alone, one driving a
# virtual clock of the stand-ins.
#   consumer.sh BUILD_DIR WORK_DIR CONSUMER_SOURCE_DIR VERSION C_COMPILER
set -eu
build=$1 work=$2 src=$3 version=$4 cc=$5
rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
fail() { echo "$*"; exit 1; }

echo "== install: the library"
cmake --install "$build" --prefix "$prefix" >/dev/null
so=$(find "$prefix" -name 'libskylark.so.*.*' -not -path '*/trace/*' | head -n 1)
[ -n "$so" ] || fail "no versioned libskylark.so installed"
lib=$(dirname "$so")
dyn=$(readelf -d "$so")
echo "$dyn" | grep -q 'SONAME.*\[libskylark\.so\.0\]' || fail "$so: SONAME is not libskylark.so.0"
echo "$dyn" | grep -Eq 'R(UN)?PATH' && fail "$so: has a RUNPATH; installed, it must find ClockLink by the search path"
[ -L "$lib/libskylark.so" ] && [ -L "$lib/libskylark.so.0" ] || fail "libskylark.so and .so.0 are not links"
found=$(find "$prefix" -name 'libclocklink*' -o -name 'libringreader*')
[ -z "$found" ] || fail "stand-ins installed without being asked for: $found"

echo "== install: the stand-ins' component"
cmake --install "$build" --prefix "$prefix" --component standins >/dev/null
standins=$lib/skylark/standins
for f in libclocklink.so libringreader.so; do
  [ -f "$standins/$f" ] || fail "$standins/$f missing"
done
found=$(find "$prefix" -name 'libclocklink*' -o -name 'libringreader*' | grep -v "^$standins/" || true)
[ -z "$found" ] || fail "stand-ins outside $standins: $found"
# The stand-ins are found only where a host puts them under the library (and
# the prefix is no system folder).
export LD_LIBRARY_PATH="$standins:$lib"

echo "== CMake package"
cmake -S "$src" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_COMPILER="$cc" >/dev/null
cmake --build "$work/cmake" >/dev/null
"$work/cmake/consumer"
"$work/cmake/standins_consumer"

echo "== pkg-config"
export PKG_CONFIG_PATH="$lib/pkgconfig"
found=$(pkg-config --modversion skylark)
[ "$found" = "$version" ] || fail "pkg-config says $found, the project is $version"
[ "$(pkg-config --variable=libdir skylark-standins)" -ef "$standins" ] ||
  fail "skylark-standins' libdir is not $standins"
# shellcheck disable=SC2046
"$cc" -o "$work/consumer-pc" "$src/consumer.c" $(pkg-config --cflags --libs skylark)
"$work/consumer-pc"
# shellcheck disable=SC2046
"$cc" -o "$work/standins-pc" "$src/standins_consumer.c" $(pkg-config --cflags --libs skylark-standins)
"$work/standins-pc"
