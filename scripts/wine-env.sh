# Sourced by the scripts that run Windows programs: one Wine prefix for the
# project, a virtual X display, and the Wine programs by their 64-bit paths
# (/usr/bin/wine would pick the 32-bit loader, which this kernel cannot run).

QUILLORY_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
export WINEPREFIX=${WINEPREFIX:-$QUILLORY_ROOT/build/wineprefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}

# Creates the prefix once. Without a window manager on the virtual display,
# Wine waits 2 s for every managed window to go away; unmanaged windows don't.
quillory_prepare_prefix() {
  if [ ! -f "$WINEPREFIX/.quillory-ready" ]; then
    mkdir -p "$WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE" wineboot --init >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    "$WINESERVER" -w
    touch "$WINEPREFIX/.quillory-ready"
  fi
}

# Starts Xvfb on a display it picks itself and a persistent wineserver, so that
# each Windows program starts in well under a second.
quillory_start_display() {
  local fdfile
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  QUILLORY_XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
  done
  if [ ! -s "$fdfile" ]; then
    echo "Xvfb did not start" >&2
    rm -f "$fdfile"
    return 1
  fi
  export DISPLAY=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"
  quillory_prepare_prefix
  "$WINESERVER" -p
}

# Stops what quillory_start_display started, by pid; safe to call twice.
quillory_stop_display() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  if [ -n "${QUILLORY_XVFB_PID:-}" ]; then
    kill "$QUILLORY_XVFB_PID" 2>/dev/null || true
    wait "$QUILLORY_XVFB_PID" 2>/dev/null || true
    QUILLORY_XVFB_PID=
  fi
}
