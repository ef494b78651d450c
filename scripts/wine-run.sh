#!/usr/bin/env bash
# Runs one Windows program under Wine for ctest. The program's output goes
# through a file: Wine's helper processes inherit the pipes they are started
# with, and ctest would wait for them to close.
set -u
source "$(dirname "$0")/wine-env.sh"
out=$(mktemp)
"$WINE" "$@" >"$out" 2>&1
rc=$?
cat "$out"
rm -f "$out"
exit $rc
