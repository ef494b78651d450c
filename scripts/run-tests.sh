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

# Each ctest run and the fuzzing count towards one closing tally.
passed=0 failed=0
log=$(mktemp)
run_ctest() {
  local total bad
  if ctest --test-dir "$1" --output-on-failure 2>&1 | tee "$log"; then :; fi
  total=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\2/p' "$log")
  bad=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1/p' "$log")
  if [ -z "$total" ]; then
    failed=$((failed + 1)) # ctest itself did not run
  else
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  fi
}
run_ctest build/dll32
run_ctest build/wine64
rm -f "$log"
if bash scripts/fuzz.sh 60; then passed=$((passed + 1)); else failed=$((failed + 1)); fi

echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
