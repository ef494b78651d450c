#include "tracking/window_snapshot.h"

#include <boost/format.hpp>

#include <algorithm>
#include <exception>

HWND FullscreenRenderWindow = nullptr;

namespace {

// GetWindowTextA's count, terminator included: at most 254 bytes of title.
constexpr int TitleCapacity = 255;

// An enumeration's context: the list being filled and a failure (out of
// memory) caught inside the callback, so that no exception crosses the window
// system; the enumeration stops and the failure is raised again after it.
template <class Item> struct Collection {
    std::vector<Item> items;
    std::exception_ptr failure;

    template <class Fill> BOOL Add(Fill fill) noexcept {
        try {
            fill(items);
            return TRUE;
        } catch (...) {
            failure = std::current_exception();
            return FALSE;
        }
    }
    std::vector<Item> Take() {
        if (failure)
            std::rethrow_exception(failure);
        return std::move(items);
    }
};

BOOL CALLBACK AddWindow(HWND window, LPARAM context) {
    WINDOWINFO info{};
    info.cbSize = sizeof info;
    // A window whose query fails (destroyed meanwhile) is skipped, so nothing
    // uninitialised enters the snapshot.
    if (!GetWindowInfo(window, &info) || !(info.dwStyle & WS_VISIBLE))
        return TRUE;
    char title[TitleCapacity];
    const int length = GetWindowTextA(window, title, TitleCapacity);
    const RECT& outer = info.rcWindow;
    const int32_t width = outer.right - outer.left;
    const int32_t height = outer.bottom - outer.top;
    if (length <= 0 || width == 0 || height == 0)
        return TRUE;
    return reinterpret_cast<Collection<WindowRecord>*>(context)->Add([&](auto& snapshot) {
        snapshot.push_back(WindowRecord{window, outer.left, outer.top, width, height,
                                        std::string(title, static_cast<size_t>(length))});
    });
}

BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT monitor, LPARAM context) {
    return reinterpret_cast<Collection<RECT>*>(context)->Add(
        [&](auto& monitors) { monitors.push_back(*monitor); });
}

} // namespace

WindowSnapshot SnapshotWindows() {
    Collection<WindowRecord> windows;
    EnumThreadWindows(GetCurrentThreadId(), AddWindow, reinterpret_cast<LPARAM>(&windows));
    return windows.Take();
}

LayoutKey LayoutKeyForMonitors(const std::vector<RECT>& monitors, bool fullscreen) {
    RECT bounds{9999999, 9999999, -9999999, -9999999};
    for (const RECT& monitor : monitors) {
        bounds.left = std::min(bounds.left, monitor.left);
        bounds.top = std::min(bounds.top, monitor.top);
        bounds.right = std::max(bounds.right, monitor.right);
        bounds.bottom = std::max(bounds.bottom, monitor.bottom);
    }
    const int32_t width = bounds.right - bounds.left;
    const int32_t height = bounds.bottom - bounds.top;
    return (boost::format("%dx%dx%s") % width % height % (fullscreen ? "F" : "W")).str();
}

LayoutKey CurrentLayoutKey(bool fullscreen) {
    Collection<RECT> monitors;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    return LayoutKeyForMonitors(monitors.Take(), fullscreen);
}
