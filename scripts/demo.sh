#!/usr/bin/env bash
# The demo: the stand-in Orbiter.exe with the module, under Wine on a virtual
# screen. The simulator opens its launchpad, two dialog boxes and a tool
# window; the "user" drags each of them somewhere else with the mouse (real X
# input through xdotool); the simulator exits and starts again, and the windows
# reopen where the user left them. Prints a short trace and writes screenshots
# of the virtual screen to out/demo/.
#
#   bash scripts/demo.sh [BUILD_DIR]    (default build/wine64: Orbiter.exe and
#                                        the x86_64 module, which Wine can run)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build/wine64}
out=$root/out/demo
folder=$out/orbiter # the simulator's folder: Orbiter.exe, Modules, Config

export WINEPREFIX=${WINEPREFIX:-$root/build/demo-prefix}
source scripts/wine-env.sh

for f in "$build/host/Orbiter.exe" "$build/module/Quillory.dll"; do
  [ -f "$f" ] || { echo "demo: $f is missing; build the wine64 preset first" >&2; exit 1; }
done
rm -rf "$out"
mkdir -p "$folder/Modules/Plugin" "$folder/Config"
cp "$build/host/Orbiter.exe" "$folder/"
cp "$build/module/Quillory.dll" "$folder/Modules/Plugin/"

# The windows: name, kind, width, height, where the simulator opens them,
# title; and where the user drags each of them in the first run.
windows=(
  "launchpad main 560 420 20 20 Orbiter Launchpad"
  "map tool 420 310 80 140 Map MFD"
  "camera dialog 300 220 140 400 Camera"
  "info dialog 320 240 520 300 Object info"
)
declare -A drag_to=([launchpad]="60 560" [map]="820 40" [camera]="920 400" [info]="880 700")

open_lines() {
  local w
  for w in "${windows[@]}"; do echo "open $w"; done
}

script_run() { # $1 = 1 or 2
  echo "say run $1: the simulator starts and loads Quillory"
  echo "load"
  echo "init"
  open_lines
  echo "wait 800"
  echo "where"
  echo "await-signal shot 60000"
  if [ "$1" = 1 ]; then
    echo "say the user drags the windows"
    echo "await-signal dragged 120000"
    echo "say the user has let go; half a second after each drag its place was saved"
    echo "wait 1000"
    echo "where"
    echo "file"
    echo "await-signal shot 60000"
  fi
  echo "say run $1: the simulator closes its windows and exits"
  for w in "${windows[@]}"; do echo "close ${w%% *}"; done
  echo "wait 300"
  echo "exit"
  echo "free"
}

trace=
host_pid=

# Waits until the running host's trace holds the text.
await_trace() {
  local _
  for _ in $(seq 600); do
    grep -qF -- "$1" "$trace" 2>/dev/null && return 0
    kill -0 "$host_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "demo: the host did not get to \"$1\"" >&2
  cat "$trace" >&2
  return 1
}

signal() { touch "$folder/$1"; }

screenshot() { # $1 = file name, $2 = what it shows
  xwd -root -silent -display "$DISPLAY" | convert xwd:- "png:$out/$1"
  echo "demo: screenshot out/demo/$1 ($2)"
}

# The window's place now, from the latest "where NAME:" line of the trace.
place_of() {
  grep -F "| where $1: " "$trace" | tail -n1 | sed 's/.*| where [^:]*: \([-0-9]*\),\([-0-9]*\) .*/\1 \2/'
}

# Drags a window by its caption with the mouse, in steps, as a user would.
drag() { # $1 = name
  local name=$1 left top width to_left to_top x y
  read -r left top < <(place_of "$name")
  local w fields
  for w in "${windows[@]}"; do
    read -r -a fields <<<"$w"
    if [ "${fields[0]}" = "$name" ]; then width=${fields[2]}; fi
  done
  read -r to_left to_top <<<"${drag_to[$name]}"
  x=$((left + width / 2))
  y=$((top + 8))
  xdotool mousemove "$x" "$y" sleep 0.2 mousedown 1 sleep 0.2
  local i
  for i in 1 2 3 4 5; do
    xdotool mousemove $((x + (to_left - left) * i / 5)) $((y + (to_top - top) * i / 5)) sleep 0.1
  done
  xdotool sleep 0.2 mouseup 1 sleep 0.3
  echo "demo: dragged $name from $left,$top to $to_left,$to_top"
}

run_host() { # $1 = run number
  script_run "$1" >"$folder/run$1.txt"
  trace=$out/run$1-trace.txt
  (cd "$folder" && exec "$WINE" Orbiter.exe "run$1.txt") >"$trace" 2>&1 &
  host_pid=$!
}

finish_host() {
  wait "$host_pid" || { echo "demo: the host failed" >&2; cat "$trace" >&2; return 1; }
  # The short trace: what the host did, without the file's lines.
  grep -v -e '| file> ' -e '| signal ' "$trace" | sed 's/^/  host /'
}

trap 'echo "demo: failed at line $LINENO" >&2' ERR
trap quillory_stop_display EXIT
quillory_start_display
echo "demo: virtual screen $DISPLAY, Wine prefix $WINEPREFIX"

run_host 1
await_trace "| where info:"
screenshot 1-opened.png "run 1: the windows where the simulator opens them"
signal shot
await_trace "the user drags the windows"
for w in "${windows[@]}"; do
  drag "${w%% *}"
done
signal dragged
await_trace "| file: "
screenshot 2-moved.png "run 1: where the user left them"
signal shot
finish_host
moved_trace=$trace

run_host 2
await_trace "| where info:"
screenshot 3-reopened.png "run 2: the windows reopened by Quillory"
signal shot
finish_host

echo "demo: placement file Config/Quillory.ini:"
sed 's/\r$//; s/^/  /' "$folder/Config/Quillory.ini"

status=0
echo "demo: window          opened at     left at in run 1   reopened at in run 2"
for w in "${windows[@]}"; do
  name=${w%% *}
  read -r -a fields <<<"$w"
  left=$(trace=$moved_trace place_of "$name")
  reopened=$(place_of "$name")
  mark=ok
  [ "$left" = "$reopened" ] || { mark=WRONG; status=1; }
  printf 'demo: %-14s %-13s %-18s %s  %s\n' "$name" "${fields[4]},${fields[5]}" \
    "${left/ /,}" "${reopened/ /,}" "$mark"
done
[ "$status" = 0 ] && echo "demo: every window reopened where the user had left it"
exit $status
