// The message hook and the four one-shot timers it arms. The hook does no work
// of its own: each watched message (re)starts a timer, and the pass runs from
// the timer procedure once the burst of messages has ended.
#pragma once

#include <windows.h>

// A one-shot thread timer (no window) whose countdown every arming restarts:
// its work runs once, no sooner than one interval after the latest arming.
//
// Arming lies on the path of every message the host's UI thread is sent, so it
// only notes the new deadline, and asks the system for a timer only when none
// is pending. A timer that comes due before the deadline (it was armed again
// meanwhile) is set again for the time that is left.
//
// id is the system's identifier while a timer is pending and 0 while idle: the
// procedure forgets it when it kills the timer, so a freed identifier handed
// out again for another timer can never make one timer stand in for another.
struct DebounceTimer {
    UINT_PTR id;
    const UINT interval; // milliseconds
    const TIMERPROC procedure;
    LONGLONG deadline; // performance-counter ticks
    unsigned runs;     // how often the work has run: for tests and benchmarks
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
