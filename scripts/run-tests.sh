#!/usr/bin/env bash
# Builds both targets and runs every test: the Windows tests of the x86_64
# build under Wine on a virtual display, and the checks of the shipped 32-bit
# module, then a minute of fuzzing the placement file. Works on a fresh machine:
# installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

cmake --preset dll32 >/dev/null
cmake --build --preset dll32
cmake --preset wine64 >/dev/null
cmake --build --preset wine64

source scripts/wine-env.sh
trap quillory_stop_display EXIT
quillory_start_display

status=0
ctest --test-dir build/dll32 --output-on-failure || status=1
ctest --test-dir build/wine64 --output-on-failure || status=1
bash scripts/fuzz.sh 60 || status=1
exit $status
