#!/usr/bin/env bash
# Benchmarks: builds the x86_64 build and prints the table of costs measured
# under Wine (hook per message, passes against their snapshot, placement file
# against plain file calls). Usage: bench.sh [messages]  (default 200000)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset wine64 >/dev/null
cmake --build --preset wine64 --target quillory_bench
source scripts/wine-env.sh
trap quillory_stop_display EXIT
quillory_start_display
bash scripts/wine-run.sh build/wine64/bench/quillory_bench.exe "${1:-200000}"
