#include "tracking/passes.h"

#include "tracking/debounce_timers.h"
#include "tracking/placement_table.h"
#include "tracking/window_snapshot.h"

#include <algorithm>

namespace {

LayoutKey CurrentLayout() {
    return CurrentLayoutKey(FullscreenRenderWindow != nullptr);
}

// Whether any part of a window at (left, top) with this size would lie on a
// monitor. Arrangements of equal bounding size share a layout, and a place may
// have been recorded in the minimised parking position; such a place would put
// the window where the user cannot see or reach it.
bool ReachableAt(const WindowRecord& window, int32_t left, int32_t top) {
    const RECT outer{left, top, left + window.width, top + window.height};
    return MonitorFromRect(&outer, MONITOR_DEFAULTTONULL) != nullptr;
}

} // namespace

void RestorePass() {
    const WindowSnapshot snapshot = SnapshotWindows();
    const LayoutKey layout = CurrentLayout();
    if (snapshot.empty())
        return;
    LayoutPlacements& current = gPlacementTable[layout];
    for (const WindowRecord& window : snapshot) {
        const WindowKey key = FormatWindowKey(window);
        const bool stored = current.count(key) != 0;
        WindowRecord& record = current[key];
        if (record.handle != nullptr)
            continue; // bound already, to this window or another: left alone
        if (!stored) {
            record = window; // learn all six fields, bound to the window
            continue;
        }
        record.handle = window.handle;
        if (ReachableAt(window, record.left, record.top))
            SetWindowPos(window.handle, nullptr, record.left, record.top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    }
}

void ReleasePass() {
    const WindowSnapshot snapshot = SnapshotWindows();
    LayoutPlacements& current = gPlacementTable[CurrentLayout()];
    for (auto& [key, record] : current) {
        const bool present =
            std::any_of(snapshot.begin(), snapshot.end(),
                        [&](const WindowRecord& window) { return window.handle == record.handle; });
        if (!present)
            record.handle = nullptr;
    }
}

void RecordPass() {
    const WindowSnapshot snapshot = SnapshotWindows();
    const LayoutKey layout = CurrentLayout();
    if (snapshot.empty())
        return;
    LayoutPlacements& current = gPlacementTable[layout];
    for (const WindowRecord& window : snapshot) {
        for (auto& [key, record] : current) {
            if (record.handle == window.handle) {
                record.left = window.left;
                record.top = window.top;
                ArmTimer(SaveTimer);
                break;
            }
        }
    }
}
