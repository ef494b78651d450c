#!/usr/bin/env bash
# The main job: builds the shipped 32-bit module and says where it is.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset dll32 >/dev/null
cmake --build --preset dll32
echo "Built: $(pwd)/build/dll32/module/Quillory.dll"
