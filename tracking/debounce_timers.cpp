#include "tracking/debounce_timers.h"

#include "persistence/placement_file.h"
#include "tracking/passes.h"

#include <algorithm>

HHOOK gHookHandle = nullptr;

namespace {

LONGLONG Frequency() {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return std::max<LONGLONG>(1, f.QuadPart);
    }();
    return frequency;
}

// Both conversions round up, so that a deadline is never early.
LONGLONG TicksFromMs(UINT ms) {
    return (static_cast<LONGLONG>(ms) * Frequency() + 999) / 1000;
}
UINT MsFromTicks(LONGLONG ticks) {
    return static_cast<UINT>((ticks * 1000 + Frequency() - 1) / Frequency());
}

LONGLONG Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// Runs a timer's work once its deadline has passed. The timer is killed first,
// so an arming during the work starts a fresh countdown and one more run.
// Nothing thrown by the work (out of memory, formatting) may leave into the
// host's message dispatch; what the work changed before the failure stays.
void Expire(DebounceTimer& timer, HWND window, UINT_PTR id, void (*work)()) noexcept {
    KillTimer(window, id);
    if (timer.id != id)
        return; // not this timer's pending countdown (cancelled meanwhile)
    timer.id = 0;
    const LONGLONG left = timer.deadline - Now();
    if (left > 0) {
        timer.id = SetTimer(nullptr, 0, MsFromTicks(left), timer.procedure);
        return;
    }
    ++timer.runs;
    try {
        work();
    } catch (...) {
    }
}

void CALLBACK RestoreTimerProc(HWND window, UINT, UINT_PTR id, DWORD) {
    Expire(RestoreTimer, window, id, RestorePass);
}
void CALLBACK ReleaseTimerProc(HWND window, UINT, UINT_PTR id, DWORD) {
    Expire(ReleaseTimer, window, id, ReleasePass);
}
void CALLBACK RecordTimerProc(HWND window, UINT, UINT_PTR id, DWORD) {
    Expire(RecordTimer, window, id, RecordPass);
}
void CALLBACK SaveTimerProc(HWND window, UINT, UINT_PTR id, DWORD) {
    Expire(SaveTimer, window, id, SavePlacements);
}

} // namespace

DebounceTimer RestoreTimer{0, 50, RestoreTimerProc, 0, 0};
DebounceTimer ReleaseTimer{0, 100, ReleaseTimerProc, 0, 0};
DebounceTimer RecordTimer{0, 200, RecordTimerProc, 0, 0};
DebounceTimer SaveTimer{0, 300, SaveTimerProc, 0, 0};

void ArmTimer(DebounceTimer& timer) {
    timer.deadline = Now() + TicksFromMs(timer.interval);
    // A failure returns 0, so the next arming simply tries a new timer.
    if (timer.id == 0)
        timer.id = SetTimer(nullptr, 0, timer.interval, timer.procedure);
}

void CancelTimers() {
    for (DebounceTimer* timer : {&RestoreTimer, &ReleaseTimer, &RecordTimer, &SaveTimer}) {
        if (timer->id != 0)
            KillTimer(nullptr, timer->id);
        timer->id = 0;
    }
}

LRESULT CALLBACK CallWndHook(int nCode, WPARAM wParam, LPARAM lParam) {
    if (nCode >= 0) {
        switch (reinterpret_cast<const CWPSTRUCT*>(lParam)->message) {
        case WM_CREATE:
        case WM_SHOWWINDOW:
            ArmTimer(RestoreTimer);
            break;
        case WM_DESTROY:
            ArmTimer(ReleaseTimer);
            break;
        case WM_MOVE:
            ArmTimer(RecordTimer);
            break;
        default:
            break;
        }
    }
    return CallNextHookEx(gHookHandle, nCode, wParam, lParam);
}
