#include "persistence/file_commit.h"

#include <windows.h>

#include <algorithm>

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool WriteWhole(HANDLE file, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return FlushFileBuffers(file) != 0;
}

} // namespace

bool CommitFile(const std::string& path, const std::string& bytes) {
    // A file the user marked read-only stays as it is. Windows refuses to move
    // onto it anyway; saying so here keeps every file system alike.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return false;

    // GetTempFileName creates the file, with a name no other writer uses, in the
    // same folder, so that the final move stays within one volume.
    char temporary[MAX_PATH];
    if (GetTempFileNameA(FolderOf(path).c_str(), "qly", 0, temporary) == 0)
        return false;

    bool written = false;
    const HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        written = WriteWhole(file, bytes);
        written = CloseHandle(file) && written;
    }
    if (written &&
        MoveFileExA(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(temporary);
    return false;
}

bool PathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
