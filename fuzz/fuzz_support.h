// What the placement file fuzzers share: a private scratch working directory
// with a "Config" folder, whole-file reads and writes, and the checks every
// save must pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Makes a scratch directory under TMPDIR, moves into it and creates "Config";
// it is removed at exit. Corpus and artifact paths must therefore be absolute.
void EnterScratchDirectory();

[[noreturn]] void Fail(const char* what);

// The text with control and high bytes shown as \xNN, cut after limit bytes.
std::string Escaped(const std::string& bytes, size_t limit = 2000);

void WriteWhole(const char* path, const uint8_t* data, size_t size);
std::string ReadWhole(const char* path);

// A save replaces the file through a temporary one beside it; only the file
// itself may be left in the folder.
void RequireOnlyThePlacementFile();

// One line-end form throughout, no byte-order mark, no NUL, no empty line at
// the end.
void RequireWrittenForm(const std::string& saved);

// Every record of the table sits under its own window key, unbound, and holds
// no missing coordinate; no layout key holds ";".
void RequireRecordsUnderTheirOwnKeys();

// Aborts with both texts shown when a save is not the one before it.
void RequireSameSave(const std::string& first, const std::string& second);

// SavePlacements, then the checks every save must pass; the bytes it wrote.
std::string SaveAndRead();
