#!/usr/bin/env bash
# Fuzzes the placement file for SECONDS (default 600): builds the fuzz preset
# (clang, libFuzzer, AddressSanitizer + UndefinedBehaviorSanitizer) and runs its
# two fuzzers side by side, one core each: placement_fuzzer (any bytes as the
# file, seeded from fuzz/corpus) and table_fuzzer (any records saved and loaded
# back). Each works on a scratch corpus, so the committed one never grows and
# crash inputs stay out of the work tree. Prints executions and coverage; exits
# non-zero if either fuzzer finds anything or does not run to its end.
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

work=$(mktemp -d "${TMPDIR:-/tmp}/quillory-fuzz-run.XXXXXX")
# Every input is written and saved twice, and each save flushes to the disk:
# on a RAM disk that flush costs nothing, which makes the run many times faster.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  scratch=$(mktemp -d /dev/shm/quillory-fuzz.XXXXXX)
else
  scratch=$work/scratch
  mkdir -p "$scratch"
fi
trap 'rm -rf "$scratch"' EXIT

# Runs one fuzzer in the background; its log is $work/NAME/fuzz.log.
start_fuzzer() {
  local name=$1 seeds=$2 dir=$work/$1
  mkdir -p "$dir/corpus" "$dir/artifacts" "$scratch/$name"
  [ -z "$seeds" ] || cp "$seeds"/* "$dir/corpus/"
  echo "$name: ${seconds}s from $(find "$dir/corpus" -type f | wc -l) seed files (log: $dir/fuzz.log)"
  # The fuzzer works in a scratch directory of its own under TMPDIR, so every
  # path handed to it is absolute. Sanitizer reports abort the run.
  TMPDIR=$scratch/$name \
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$root/$build/fuzz/$name" -max_total_time="$seconds" -timeout=20 -max_len=8192 \
    -use_value_profile=1 -dict="$root/fuzz/placement.dict" -artifact_prefix="$dir/artifacts/" \
    -print_final_stats=1 "$dir/corpus" >"$dir/fuzz.log" 2>&1 &
  pids[$name]=$!
}

# Status lines of a finished fuzzer, and whether it ran clean to its end.
report_fuzzer() {
  local name=$1 rc=$2 dir=$work/$1
  grep -E '^#[0-9]+.*(INITED|pulse|DONE)|^stat::|^Done ' "$dir/fuzz.log" | sed "s/^/$name: /"
  if [ "$rc" -ne 0 ] || ! grep -q '^Done ' "$dir/fuzz.log"; then
    echo "$name: FUZZING FAILED (exit $rc). End of the log:" >&2
    tail -n 80 "$dir/fuzz.log" >&2
    for artifact in "$dir"/artifacts/*; do
      [ -f "$artifact" ] || continue
      echo "$name: input that failed: $artifact ($(wc -c <"$artifact") bytes); reproduce with" >&2
      echo "  $root/$build/fuzz/$name $artifact" >&2
      head -c 4096 "$artifact" | od -A d -c | head -n 60 >&2
    done
    return 1
  fi
  echo "$name: final $(grep -E '^#[0-9]+' "$dir/fuzz.log" | tail -n 1)"
  echo "$name: corpus grew to $(find "$dir/corpus" -type f | wc -l) inputs (scratch copy, discarded)"
}

declare -A pids
start_fuzzer placement_fuzzer "$root/fuzz/corpus"
# Any bytes make records, so the file seeds serve the table side as well.
start_fuzzer table_fuzzer "$root/fuzz/corpus"

status=0
for name in placement_fuzzer table_fuzzer; do
  rc=0
  wait "${pids[$name]}" || rc=$?
  report_fuzzer "$name" "$rc" || status=1
done

if [ "$status" -ne 0 ]; then
  echo "The run's files are kept in $work" >&2
  exit 1
fi
rm -rf "$work"
