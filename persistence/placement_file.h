// "Config/Quillory.ini": the placement table kept across runs, one INI section
// per remembered window, named LayoutKey;WindowKey, with "Left" and "Top".
#pragma once

#include "persistence/simple_ini.h"
#include "tracking/placement_table.h"

#include <cstdint>

// Relative to the host's working directory; "Config" is never created.
extern const char* const PlacementFilePath;

// Stands for an absent or unreadable coordinate; a section holding it is not loaded.
constexpr int32_t MissingCoordinate = -99999;

// The module-lifetime document that mirrors the file: after a load it holds the
// file as parsed, after each save exactly what that save wrote.
extern PlacementDocument PlacementFile;

// Start-up: reads the file into PlacementFile, then empties gPlacementTable and
// files every readable section into it, unbound. A missing or unreadable file
// leaves the table empty. May throw std::bad_alloc.
void LoadPlacements();

// Rebuilds PlacementFile from gPlacementTable and replaces the file with it in
// one step; on any failure the old file stays as it was. A file that existed
// but could not be read at start-up is never replaced. Reports nothing.
void SavePlacements();

// The two halves of the above, without file access.
void FillTableFromDocument(const PlacementDocument& document, PlacementTable& table);
void FillDocumentFromTable(const PlacementTable& table, PlacementDocument& document);
