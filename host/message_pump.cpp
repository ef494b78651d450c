#include "message_pump.h"

#include "module_session.h"
#include "trace.h"

#include <algorithm>

ThreadTimerCounts gThreadTimers;

namespace {

// Counts a thread timer message and says whether it may be dispatched.
bool AdmitThreadTimer(const MSG& message) {
    gThreadTimers.latestTick = GetTickCount64();
    if (gModule.handle == nullptr) {
        // An undispatched timer keeps coming: the first few are enough to see.
        if (++gThreadTimers.whileUnloaded <= 5)
            Trace("dropped a thread timer message (id " + std::to_string(message.wParam) +
                  ") with no module loaded");
        return false;
    }
    if (gModule.exited)
        ++gThreadTimers.afterExit;
    else
        ++gThreadTimers.whileRunning;
    return true;
}

} // namespace

bool PumpMessages(DWORD milliseconds, const std::function<bool()>& done) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_TIMER && message.hwnd == nullptr &&
                !AdmitThreadTimer(message))
                continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done && done())
            return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return false;
        DWORD slice = static_cast<DWORD>(end - now);
        if (done)
            slice = std::min<DWORD>(slice, 10);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, slice, QS_ALLINPUT);
    }
}
