#include "tracking/debounce_timers.h"

#include "persistence/placement_file.h"
#include "tracking/passes.h"

HHOOK gHookHandle = nullptr;

namespace {

// Runs a timer's work once it has come due. The timer is killed first, so an
// arming during the work starts a fresh countdown and one more run. Nothing
// thrown by the work (out of memory, formatting) may leave into the host's
// message dispatch; what the work changed before the failure stays.
void Expire(DebounceTimer& timer, HWND window, UINT_PTR id, void (*work)()) noexcept {
    KillTimer(window, id);
    if (timer.id == id)
        timer.id = 0;
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

DebounceTimer RestoreTimer{0, 50, RestoreTimerProc};
DebounceTimer ReleaseTimer{0, 100, ReleaseTimerProc};
DebounceTimer RecordTimer{0, 200, RecordTimerProc};
DebounceTimer SaveTimer{0, 300, SaveTimerProc};

void ArmTimer(DebounceTimer& timer) {
    // With the identifier of a pending thread timer SetTimer replaces it and
    // its countdown starts again; with 0 it creates a new one. A failure
    // returns 0, so the next arming simply tries a new timer.
    timer.id = SetTimer(nullptr, timer.id, timer.interval, timer.procedure);
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
