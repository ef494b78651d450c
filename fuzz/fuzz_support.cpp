#include "fuzz_support.h"

#include "persistence/placement_file.h"
#include "tracking/placement_table.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

std::string gScratch;

void RemoveScratch() {
    if (gScratch.empty() || chdir("/") != 0)
        return;
    std::remove((gScratch + "/" + PlacementFilePath).c_str());
    rmdir((gScratch + "/Config").c_str());
    rmdir(gScratch.c_str());
}

} // namespace

void EnterScratchDirectory() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/quillory-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data()))
        Fail("cannot make a scratch directory");
    gScratch = pattern;
    if (chdir(gScratch.c_str()) != 0 || mkdir("Config", 0755) != 0)
        Fail("cannot prepare the scratch directory");
    std::atexit(RemoveScratch);
}

void Fail(const char* what) {
    std::fprintf(stderr, "placement fuzzer: %s\n", what);
    std::abort();
}

std::string Escaped(const std::string& bytes, size_t limit) {
    std::string text;
    for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '\n') {
            text += "\\n\n";
        } else if (c < 0x20 || c >= 0x7F || c == '\\') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            text += hex;
        } else {
            text += static_cast<char>(c);
        }
    }
    if (bytes.size() > limit)
        text += "... (" + std::to_string(bytes.size()) + " bytes)";
    return text;
}

void WriteWhole(const char* path, const uint8_t* data, size_t size) {
    FILE* file = std::fopen(path, "wb");
    if (!file)
        Fail("cannot write the input file");
    const bool complete = std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !complete)
        Fail("cannot write the input file");
}

std::string ReadWhole(const char* path) {
    std::string bytes;
    FILE* file = std::fopen(path, "rb");
    if (!file)
        Fail("the save left no file behind");
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.append(buffer, n);
    std::fclose(file);
    return bytes;
}

void RequireOnlyThePlacementFile() {
    DIR* folder = opendir("Config");
    if (!folder)
        Fail("the Config folder is gone");
    std::string others;
    while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && name != "Quillory.ini")
            others += " " + name;
    }
    closedir(folder);
    if (!others.empty()) {
        std::fprintf(stderr, "left in Config:%s\n", others.c_str());
        Fail("a save left a temporary file behind");
    }
}

// SimpleIni ends lines with CR LF on Windows and with LF elsewhere, so the
// native build's files end their lines in LF (the Wine tests check the Windows
// form byte for byte); either way one form throughout.
void RequireWrittenForm(const std::string& saved) {
    if (saved.compare(0, 3, "\xEF\xBB\xBF") == 0)
        Fail("a save wrote a byte-order mark");
    if (saved.find('\0') != std::string::npos)
        Fail("a save wrote a NUL byte");
    const size_t firstEnd = saved.find_first_of("\r\n");
    if (firstEnd == std::string::npos) {
        if (!saved.empty())
            Fail("a saved file does not end with a line end");
        return;
    }
    const std::string lineEnd = saved.compare(firstEnd, 2, "\r\n") == 0 ? "\r\n" : "\n";
    for (size_t i = firstEnd; i < saved.size(); ++i) {
        if (saved[i] != '\r' && saved[i] != '\n')
            continue;
        if (saved.compare(i, lineEnd.size(), lineEnd) != 0) {
            std::fprintf(stderr, "at byte %zu of:\n%s\n", i, Escaped(saved).c_str());
            Fail("a save mixed line-end forms or wrote a lone CR");
        }
        i += lineEnd.size() - 1;
    }
    if (saved.size() < lineEnd.size() ||
        saved.compare(saved.size() - lineEnd.size(), lineEnd.size(), lineEnd) != 0)
        Fail("a saved file does not end with its last line's line end");
    if (saved.size() >= 2 * lineEnd.size() &&
        saved.compare(saved.size() - 2 * lineEnd.size(), 2 * lineEnd.size(), lineEnd + lineEnd) ==
            0)
        Fail("a saved file ends with an empty line");
}

void RequireRecordsUnderTheirOwnKeys() {
    for (const auto& [layout, records] : gPlacementTable) {
        if (layout.find(';') != std::string::npos)
            Fail("a loaded layout key contains ';'");
        for (const auto& [key, record] : records) {
            if (key != FormatWindowKey(record))
                Fail("a loaded record is not filed under its own window key");
            if (record.handle != nullptr)
                Fail("a loaded record is bound");
            if (record.left == MissingCoordinate || record.top == MissingCoordinate)
                Fail("a record with the missing-coordinate value was loaded");
        }
    }
}

void RequireSameSave(const std::string& first, const std::string& second) {
    if (second == first)
        return;
    size_t at = 0;
    while (at < first.size() && at < second.size() && first[at] == second[at])
        ++at;
    std::fprintf(stderr,
                 "first save (%zu bytes):\n%s\nsecond save (%zu bytes):\n%s\n"
                 "they differ from byte %zu on\n",
                 first.size(), Escaped(first).c_str(), second.size(), Escaped(second).c_str(), at);
    Fail("loading and saving a saved file changed it");
}

std::string SaveAndRead() {
    SavePlacements();
    RequireOnlyThePlacementFile();
    const std::string saved = ReadWhole(PlacementFilePath);
    RequireWrittenForm(saved);
    return saved;
}
