#!/bin/sh
# Runs a Windows program under the given Wine loader; exits 77 (skipped)
# when this machine cannot start that loader at all, e.g. a 32-bit loader on
# a kernel without 32-bit support.
#   run_wine.sh WINE PROGRAM [ARGS...]
wine=$1
shift
if ! "$wine" --version >/dev/null 2>&1; then
    echo "skipped: $wine does not start on this machine"
    exit 77
fi
exec "$wine" "$@"
