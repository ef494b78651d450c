// The placement file's few needs of the file system: replacing a file whole,
// so that a crash, a power cut or a full disk during a save never leaves a
// short or mixed file behind, and telling whether a file is there at all.
#pragma once

#include <string>

// Writes bytes to a fresh temporary file beside path, makes sure they all reached
// the disk, then puts it in path's place in one step. On any failure (folder
// missing, path read-only or locked, short write) path keeps its old contents,
// the temporary file is removed and false is returned.
bool CommitFile(const std::string& path, const std::string& bytes);

// Whether anything (a file, a folder) exists at path.
bool PathExists(const std::string& path);
