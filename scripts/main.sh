#!/usr/bin/env bash
# The main job, on a fresh machine too: installs what the build needs, builds
# the shipped 32-bit module and the x86_64 build that Wine runs, shows the demo
# (the stand-in Orbiter.exe under Wine on a virtual screen: windows dragged by
# the user reopen where they were left in the next run; trace on the terminal,
# screenshots in out/demo/), and lays out the user's install in dist/.
# QUILLORY_BUILD names another folder for the two build trees (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

trees=${QUILLORY_BUILD:-build}
cmake --preset dll32 -B "$trees/dll32" >/dev/null
cmake --build "$trees/dll32"
cmake --preset wine64 -B "$trees/wine64" >/dev/null
cmake --build "$trees/wine64"

bash scripts/demo.sh "$trees/wine64"

cmake --build "$trees/dll32" --target dist
echo "Built: $(pwd)/$trees/dll32/module/Quillory.dll (shipped, 32-bit)"
echo "Install package: $(pwd)/dist/ (Modules/Plugin/Quillory.dll and Quillory-install.txt)"
echo "Demo screenshots: $(pwd)/out/demo/1-opened.png 2-moved.png 3-reopened.png"
