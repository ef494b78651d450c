// The host's message loop. The host itself sets no thread timers, so every
// WM_TIMER without a window belongs to a module; the loop counts them by the
// module's state, and once no module is loaded it drops them instead of
// dispatching: dispatching calls the timer procedure, code that may be gone.
#pragma once

#include <windows.h>

#include <functional>

struct ThreadTimerCounts {
    long whileRunning = 0;    // dispatched while the module was loaded and not exited
    long afterExit = 0;       // dispatched after ExitModule, module still loaded
    long whileUnloaded = 0;   // dropped: no module loaded
    ULONGLONG latestTick = 0; // when the latest of them came, 0 before the first
};
extern ThreadTimerCounts gThreadTimers;

// Pumps messages for the given time, or until done() (checked at least every
// 10 ms) is true; returns whether done() ended it.
bool PumpMessages(DWORD milliseconds, const std::function<bool()>& done = nullptr);
