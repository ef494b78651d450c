#!/usr/bin/env bash
# Fuzzes the placement file for SECONDS (default 600): builds the fuzz preset
# (clang, libFuzzer, AddressSanitizer + UndefinedBehaviorSanitizer) and runs the
# fuzzer over a scratch copy of fuzz/corpus, so the committed corpus never grows
# and crash inputs stay out of the work tree. Prints executions and coverage;
# exits non-zero if the fuzzer finds anything or does not run to its end.
#
#   bash scripts/fuzz.sh [SECONDS]
#   QUILLORY_FUZZ_BUILD=build/mine bash scripts/fuzz.sh 60   # another build dir
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=${1:-600}
if ! [[ $seconds =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "usage: $0 [SECONDS]" >&2
  exit 2
fi
build=${QUILLORY_FUZZ_BUILD:-build/fuzz}

bash scripts/setup.sh
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build"
fuzzer=$root/$build/fuzz/placement_fuzzer

work=$(mktemp -d "${TMPDIR:-/tmp}/quillory-fuzz-run.XXXXXX")
mkdir -p "$work/corpus" "$work/artifacts"
# Every input is written and saved twice, and each save flushes to the disk:
# on a RAM disk that flush costs nothing, which makes the run many times faster.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  scratch=$(mktemp -d /dev/shm/quillory-fuzz.XXXXXX)
else
  scratch=$work/scratch
  mkdir -p "$scratch"
fi
trap 'rm -rf "$scratch"' EXIT
cp "$root"/fuzz/corpus/* "$work/corpus/"
log=$work/fuzz.log
seeds=$(find "$work/corpus" -type f | wc -l)

echo "Fuzzing the placement file for ${seconds}s from $seeds seed files (log: $log)"
# The fuzzer works in a scratch directory of its own under TMPDIR, so every
# path handed to it is absolute. Sanitizer reports abort the run.
set +e
TMPDIR=$scratch \
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$fuzzer" -max_total_time="$seconds" -timeout=20 -max_len=8192 -use_value_profile=1 \
  -dict="$root/fuzz/placement.dict" -artifact_prefix="$work/artifacts/" \
  -print_final_stats=1 "$work/corpus" 2>&1 |
  tee "$log" | grep --line-buffered -E '^#[0-9]+.*(INITED|pulse|DONE)|^stat::|^Done '
rc=${PIPESTATUS[0]}
set -e

if [ "$rc" -ne 0 ] || ! grep -q '^Done ' "$log"; then
  echo "FUZZING FAILED (exit $rc). End of the log:" >&2
  tail -n 80 "$log" >&2
  for artifact in "$work"/artifacts/*; do
    [ -f "$artifact" ] || continue
    echo "Input that failed: $artifact ($(wc -c <"$artifact") bytes); reproduce with" >&2
    echo "  $fuzzer $artifact" >&2
    head -c 4096 "$artifact" | od -A d -c | head -n 60 >&2
  done
  echo "The run's files are kept in $work" >&2
  exit 1
fi

final=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
echo "Final status: $final"
echo "Corpus: $seeds seeds grew to $(find "$work/corpus" -type f | wc -l) inputs (scratch copy, discarded)"
rm -rf "$work"
