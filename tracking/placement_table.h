// The module's memory of where windows belong: per display arrangement
// (LayoutKey), one record per window identity (WindowKey).
#pragma once

#include "tracking/window_record.h"

#include <map>
#include <string>

// "%dx%dx%s" of the virtual desktop's width, height and "F"/"W".
using LayoutKey = std::string;
// "%d;%d;%s" of a record's width, height and title.
using WindowKey = std::string;

// std::string's ordering compares bytes as unsigned values, shorter prefix
// first: exactly the byte-wise order the table is walked and saved in.
// operator[] is the lookup-or-insert, count()/find() the presence test.
using LayoutPlacements = std::map<WindowKey, WindowRecord>;
using PlacementTable = std::map<LayoutKey, LayoutPlacements>;

WindowKey FormatWindowKey(const WindowRecord& record);

// The one table of the module, alive from load to unload.
extern PlacementTable gPlacementTable;
