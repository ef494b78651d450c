#include "tracking/passes.h"

#include "tracking/debounce_timers.h"
#include "tracking/placement_table.h"
#include "tracking/window_snapshot.h"

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

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

// Records are matched to windows by handle alone. The passes index one side by
// handle once, instead of scanning the whole layout for every window.

void ReleasePass() {
    const WindowSnapshot snapshot = SnapshotWindows();
    LayoutPlacements& current = gPlacementTable[CurrentLayout()];
    std::vector<WindowHandle> present;
    present.reserve(snapshot.size());
    for (const WindowRecord& window : snapshot)
        present.push_back(window.handle);
    std::sort(present.begin(), present.end(), std::less<WindowHandle>());
    for (auto& entry : current) {
        WindowRecord& record = entry.second;
        if (!std::binary_search(present.begin(), present.end(), record.handle,
                                std::less<WindowHandle>()))
            record.handle = nullptr;
    }
}

void RecordPass() {
    const WindowSnapshot snapshot = SnapshotWindows();
    const LayoutKey layout = CurrentLayout();
    if (snapshot.empty())
        return;
    LayoutPlacements& current = gPlacementTable[layout];
    // The bound records by handle; a stable sort keeps records bound to the
    // same window in key order, so the first found is the first in byte order,
    // the one that follows the window.
    using Binding = std::pair<WindowHandle, WindowRecord*>;
    std::vector<Binding> bound;
    for (auto& entry : current)
        if (entry.second.handle != nullptr)
            bound.emplace_back(entry.second.handle, &entry.second);
    const auto byHandle = [](const Binding& a, const Binding& b) {
        return std::less<WindowHandle>()(a.first, b.first);
    };
    std::stable_sort(bound.begin(), bound.end(), byHandle);
    for (const WindowRecord& window : snapshot) {
        const auto found =
            std::lower_bound(bound.begin(), bound.end(), Binding{window.handle, nullptr}, byHandle);
        if (found == bound.end() || found->first != window.handle)
            continue;
        found->second->left = window.left;
        found->second->top = window.top;
        ArmTimer(SaveTimer);
    }
}
