// The two facts every pass starts from: which titled windows the calling thread
// shows right now, and which display arrangement is in force.
#pragma once

#include "tracking/placement_table.h"
#include "tracking/window_record.h"

#include <windows.h>

#include <vector>

// The calling thread's visible top-level windows with a title and a non-zero
// width and height, in the order the system enumerates them.
using WindowSnapshot = std::vector<WindowRecord>;

// The host's fullscreen render window, or null; only whether it is null matters.
extern HWND FullscreenRenderWindow;

WindowSnapshot SnapshotWindows();

// "%dx%dx%s": size of the rectangle bounding every monitor, "F" or "W".
LayoutKey CurrentLayoutKey(bool fullscreen);

// The same key from given monitor rectangles (an empty list gives the bounds'
// starting values, -19999998 each way).
LayoutKey LayoutKeyForMonitors(const std::vector<RECT>& monitors, bool fullscreen);
