#include "persistence/placement_file.h"

#include "persistence/file_commit.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>

#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

const char* const PlacementFilePath = "Config/Quillory.ini";

namespace {

// Set when the file was there at start-up but could not be read (locked by
// another program, too large to hold in memory): it still holds the user's
// places, and this run, which knows none of them, must not replace it.
bool gKeepUnreadFile = false;

// A size token reads like "%d" the other way round: leading blanks, a sign and
// decimal digits, the rest of the token ignored; no digit or an overflow fails.
// The stream is reused from token to token (setting it up is the dear part).
bool ReadSize(std::stringstream& stream, const std::string& token, int32_t& value) {
    stream.clear();
    stream.str(token);
    int number = 0;
    stream >> number;
    if (stream.fail() || stream.bad())
        return false;
    value = number;
    return true;
}

// GetLongValue gives a long, which is 32 bits on Windows; elsewhere saturate the
// way the 32-bit strtol does, so every build reads a file alike.
int32_t ToCoordinate(long value) {
    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

// A section header is one line: a title holding a line break could not be
// written inside one without breaking, or injecting, sections.
bool IsOneLine(const char* text) {
    return std::strpbrk(text, "\r\n") == nullptr;
}

} // namespace

void FillTableFromDocument(const PlacementDocument& document, PlacementTable& table) {
    PlacementDocument::TNamesDepend sections;
    document.GetAllSections(sections);
    std::vector<std::string> tokens;
    std::stringstream sizes;
    for (const auto& section : sections) {
        const char* name = section.pItem;
        // The parser takes a header line that lacks its "]" for the start of a
        // name that runs on into the next line. Such a line is no header, and
        // the keys after it are no placement.
        if (!IsOneLine(name))
            continue;
        tokens.clear();
        boost::algorithm::split(tokens, name, boost::algorithm::is_any_of(";"),
                                boost::algorithm::token_compress_off);
        if (tokens.size() < 4)
            continue;

        WindowRecord record;
        const bool sizesRead =
            ReadSize(sizes, tokens[1], record.width) && ReadSize(sizes, tokens[2], record.height);
        const long left = document.GetLongValue(name, "Left", MissingCoordinate);
        const long top = document.GetLongValue(name, "Top", MissingCoordinate);
        if (!sizesRead || left == MissingCoordinate || top == MissingCoordinate)
            continue;
        record.left = ToCoordinate(left);
        record.top = ToCoordinate(top);

        // The title is all of the name after its third ';', later ';' included.
        record.title = tokens[3];
        for (size_t i = 4; i < tokens.size(); ++i)
            record.title.append(";").append(tokens[i]);

        table[tokens[0]][FormatWindowKey(record)] = record;
    }
}

void FillDocumentFromTable(const PlacementTable& table, PlacementDocument& document) {
    std::string section;
    for (const auto& [layout, records] : table) {
        for (const auto& [key, record] : records) {
            if (!IsOneLine(record.title.c_str()))
                continue;
            // Every record sits under FormatWindowKey of its own size and title.
            section.assign(layout).append(";").append(key);
            document.SetLongValue(section.c_str(), "Left", record.left);
            document.SetLongValue(section.c_str(), "Top", record.top);
        }
    }
}

void LoadPlacements() {
    // The document is empty at the one start-up load; resetting first keeps a
    // repeated start-up from merging the file into what an earlier save built.
    PlacementFile.Reset();
    const SI_Error loaded = PlacementFile.LoadFile(PlacementFilePath);
    gKeepUnreadFile = loaded < 0 && PathExists(PlacementFilePath);
    gPlacementTable.clear();
    FillTableFromDocument(PlacementFile, gPlacementTable);
}

void SavePlacements() {
    PlacementFile.Reset();
    // A file that began with a UTF-8 mark switched the document to UTF-8, and
    // only an empty document can be switched back. The file is 8-bit text and
    // is never written with a mark.
    PlacementFile.SetUnicode(false);
    FillDocumentFromTable(gPlacementTable, PlacementFile);
    if (gKeepUnreadFile)
        return;
    std::string bytes;
    PlacementFile.Save(bytes, false);
    CommitFile(PlacementFilePath, bytes);
}
