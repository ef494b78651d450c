// Small helpers shared by the test programs: a fresh working directory per
// test (the module works relative to it), and whole-file reads and writes.
#pragma once

#include <windows.h>

#include <string>

// Creates an empty folder under %TEMP%, makes it the current directory, and on
// destruction goes back and removes it with everything in it.
class ScratchDirectory {
public:
    explicit ScratchDirectory(bool withConfigFolder = true);
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
};

bool FileExists(const std::string& path);
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
// Names of the files in a folder, sorted, without "." and "..".
std::string ListFolder(const std::string& folder);

// Runs the thread's message loop for the given time, dispatching everything.
void PumpMessagesFor(DWORD milliseconds);
