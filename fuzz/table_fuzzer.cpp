// Fuzzes the placement file from the table side: the fuzzer's bytes become the
// records of a placement table (any sizes and coordinates, layout keys of any
// form a table can hold, titles of any bytes, line breaks, brackets and NULs
// included), which is saved and loaded.
// A record must come back exactly when its section can stand in a header line
// as it is: its name holds no line break, NUL or "]" and has no blank at either
// end, no other record's section reads back under the
// same name without regard to case, and neither coordinate is the missing
// value. Whatever the titles hold, loading may not find more records than were
// saved (no title can make sections of its own), and from the first reload on
// load and save are a fixed point.

#include "fuzz_support.h"

#include "persistence/placement_file.h"
#include "tracking/placement_table.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <map>
#include <string>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The name a record's section may be written under, or "" when it is surely
// left out. The document takes names as C strings, so a title is written up to
// a NUL; whether a line break after the NUL leaves the record out is the
// save's choice, so such a record counts as written.
std::string WrittenName(const LayoutKey& layout, const WindowKey& key) {
    const std::string name = layout + ";" + key;
    const std::string written = name.substr(0, name.find('\0'));
    return written.find_first_of("\r\n") == std::string::npos ? written : "";
}

// The name the header line "[written]" reads back as: up to the first "]" or
// line break, blanks next to the brackets dropped.
std::string ReadBackName(const std::string& written) {
    std::string name = written.substr(0, written.find_first_of("]\r\n"));
    const size_t first = name.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    name.erase(0, first);
    while (!name.empty() && IsBlank(name.back()))
        name.pop_back();
    return name;
}

std::string Folded(std::string text) {
    for (auto& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool StandsAsItIs(const LayoutKey& layout, const WindowKey& key) {
    const std::string name = layout + ";" + key;
    return name.find_first_of(std::string("\r\n]\0", 4)) == std::string::npos &&
           !IsBlank(name.front()) && !IsBlank(name.back());
}

// A layout key comes from the display ("%dx%dx%s") or from a header loaded
// from the file, so it never holds ";", a line break, NUL or "]", nor starts
// with a blank. Titles are the window's text: any bytes.
LayoutKey AsLayoutKey(std::string text) {
    std::string layout;
    for (char c : text)
        if (std::string(";\r\n]\0", 5).find(c) == std::string::npos &&
            !(layout.empty() && IsBlank(c)))
            layout += c;
    return layout;
}

size_t Count(const PlacementTable& table) {
    size_t count = 0;
    for (const auto& entry : table)
        count += entry.second.size();
    return count;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    EnterScratchDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    gPlacementTable.clear();
    const int records = input.ConsumeIntegralInRange(0, 24);
    for (int i = 0; i < records && input.remaining_bytes() > 0; ++i) {
        const LayoutKey layout = AsLayoutKey(input.ConsumeRandomLengthString(16));
        WindowRecord record;
        record.width = input.ConsumeIntegral<int32_t>();
        record.height = input.ConsumeIntegral<int32_t>();
        record.left = input.ConsumeBool() ? input.ConsumeIntegral<int32_t>()
                                          : input.ConsumeIntegralInRange(-100000, 5000);
        record.top = input.ConsumeIntegralInRange(-100000, 5000);
        record.title = input.ConsumeRandomLengthString(48);
        gPlacementTable[layout][FormatWindowKey(record)] = record;
    }
    const PlacementTable saved = gPlacementTable;

    std::map<std::string, int> readBack; // folded read-back name -> records under it
    for (const auto& [layout, entries] : saved)
        for (const auto& entry : entries) {
            const std::string written = WrittenName(layout, entry.first);
            if (!written.empty())
                ++readBack[Folded(ReadBackName(written))];
        }

    const std::string file = SaveAndRead();
    LoadPlacements();
    RequireRecordsUnderTheirOwnKeys();
    if (Count(gPlacementTable) > Count(saved))
        Fail("loading found more records than were saved");
    for (const auto& [layout, entries] : saved) {
        for (const auto& [key, record] : entries) {
            if (!StandsAsItIs(layout, key) || readBack[Folded(layout + ";" + key)] != 1 ||
                record.left == MissingCoordinate || record.top == MissingCoordinate)
                continue;
            const auto found = gPlacementTable.find(layout);
            const WindowRecord* back = nullptr;
            if (found != gPlacementTable.end() && found->second.count(key))
                back = &found->second.at(key);
            if (!back || back->left != record.left || back->top != record.top ||
                back->width != record.width || back->height != record.height ||
                back->title != record.title) {
                std::fprintf(stderr, "record [%s] of layout [%s] at %d,%d in the file:\n%s\n",
                             Escaped(key).c_str(), Escaped(layout).c_str(), record.left, record.top,
                             Escaped(file).c_str());
                Fail("a record whose section stands as it is did not come back as saved");
            }
        }
    }

    const std::string first = SaveAndRead();
    LoadPlacements();
    RequireSameSave(first, SaveAndRead());
    return 0;
}
