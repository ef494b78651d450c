// The message hook and the four one-shot timers it arms. The hook does no work
// of its own: each watched message (re)starts a timer, and the pass runs from
// the timer procedure once the burst of messages has ended.
#pragma once

#include <windows.h>

// A one-shot thread timer (no window). id is the system's identifier while the
// timer is pending and 0 while it is idle: the procedure forgets it when it
// kills the timer, so a freed identifier handed out again for another timer can
// never let arming one timer restart another's countdown.
struct DebounceTimer {
    UINT_PTR id;
    const UINT interval; // milliseconds
    const TIMERPROC procedure;
};

extern DebounceTimer RestoreTimer; // 50 ms, runs RestorePass
extern DebounceTimer ReleaseTimer; // 100 ms, runs ReleasePass
extern DebounceTimer RecordTimer;  // 200 ms, runs RecordPass
extern DebounceTimer SaveTimer;    // 300 ms, runs SavePlacements

// Starts the timer, or restarts the countdown of a pending one.
void ArmTimer(DebounceTimer& timer);

// Kills every pending timer, so that no procedure of the module runs afterwards.
void CancelTimers();

// The WH_CALLWNDPROC hook procedure; installed for the host's UI thread only.
LRESULT CALLBACK CallWndHook(int nCode, WPARAM wParam, LPARAM lParam);

// The installed hook, or null.
extern HHOOK gHookHandle;
