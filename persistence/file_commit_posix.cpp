#include "persistence/file_commit.h"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

bool CommitFile(const std::string& path, const std::string& bytes) {
    std::vector<char> temporary(path.begin(), path.end());
    const char pattern[] = ".XXXXXX";
    temporary.insert(temporary.end(), pattern, pattern + sizeof pattern);
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        return false;

    bool written = true;
    for (size_t done = 0; written && done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        written = n > 0;
        if (written)
            done += static_cast<size_t>(n);
    }
    written = fsync(fd) == 0 && written;
    written = close(fd) == 0 && written;
    if (written && std::rename(temporary.data(), path.c_str()) == 0)
        return true;
    unlink(temporary.data());
    return false;
}

bool PathExists(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}
