// Helpers for tests of the placement table and file: building records, filing
// them, and the whole table as text, so that tables compare in one assertion.
#pragma once

#include "tracking/placement_table.h"

#include <string>

inline WindowRecord Record(int32_t left, int32_t top, int32_t width, int32_t height,
                           std::string title) {
    return WindowRecord{nullptr, left, top, width, height, std::move(title)};
}

// Files the record in the module's table under its own key.
inline void Put(const LayoutKey& layout, const WindowRecord& record) {
    gPlacementTable[layout][FormatWindowKey(record)] = record;
}

// The table as "layout|key|left,top|width,height,title" lines, in table order.
inline std::string Describe(const PlacementTable& table) {
    std::string text;
    for (const auto& [layout, records] : table)
        for (const auto& [key, r] : records)
            text += layout + "|" + key + "|" + std::to_string(r.left) + "," +
                    std::to_string(r.top) + "|" + std::to_string(r.width) + "," +
                    std::to_string(r.height) + "," + r.title + (r.handle ? "|bound" : "") + "\n";
    return text;
}
