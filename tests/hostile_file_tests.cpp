// Hostile placement files and faults around the file, one table of cases. Each
// case lays out the working directory, starts up (LoadPlacements), may learn
// records and cause a fault before the save, checks what the save did, and then
// what the next start-up would load. Throughout, the user's readable
// placements must survive, a failed save must leave the old file as it was and
// no save may leave a temporary file behind.

#include "persistence/placement_file.h"
#include "table_text.h"
#include "test_support.h"
#include "tracking/placement_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

const std::string File = "Config/Quillory.ini";

std::string Section(const std::string& name, int32_t left, int32_t top) {
    return "[" + name + "]\r\nLeft = " + std::to_string(left) + "\r\nTop = " + std::to_string(top) +
           "\r\n";
}

// Sections as a save writes them: two empty lines between them.
std::string Sections(const std::vector<std::string>& sections) {
    std::string text;
    for (const auto& section : sections)
        text += (text.empty() ? "" : "\r\n\r\n") + section;
    return text;
}

// Deterministic bytes that are no placement file (xorshift32).
std::string Garbage(size_t size, uint32_t seed, bool withNul) {
    std::string bytes(size, '\0');
    for (auto& byte : bytes) {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        byte = static_cast<char>(seed >> 24);
        if (!withNul && byte == '\0')
            byte = '\x01';
    }
    return bytes;
}

// The time a step takes, printed as a benchmark figure (never asserted).
void Timed(const char* what, const std::function<void()>& step) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    step();
    QueryPerformanceCounter(&end);
    std::printf("    %-44s %9.1f ms\n", what,
                1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                    static_cast<double>(frequency.QuadPart));
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveConfigFolder() {
    DeleteFileA(File.c_str());
    ASSERT_TRUE(RemoveDirectoryA("Config"));
}

// 100,000 records over four layouts, every title and size different, no two
// section names alike without regard to case; and the file a save makes of them.
struct ManyRecords {
    PlacementTable table;
    std::string file;
};

const ManyRecords& HundredThousandRecords() {
    static const ManyRecords many = [] {
        ManyRecords m;
        const char* layouts[] = {"1280x1024xW", "1920x1080xF", "1920x1080xW", "3840x1080xW"};
        for (int i = 0; i < 100000; ++i) {
            const WindowRecord r = Record(i % 3000 - 1000, (i * 7) % 2000 - 500, 100 + i % 900,
                                          50 + i % 700, "Window " + std::to_string(i) + " ; \xE9");
            m.table[layouts[i % 4]][FormatWindowKey(r)] = r;
        }
        std::vector<std::string> sections;
        for (const auto& [layout, records] : m.table)
            for (const auto& [key, r] : records)
                sections.push_back(Section(layout + ";" + key, r.left, r.top));
        m.file = Sections(sections);
        return m;
    }();
    return many;
}

// A file the user keeps, and the table that loads from it.
const std::string UserFile =
    Sections({Section("W;100;50;Map", 10, 20), Section("W;200;80;Notes", -30, 40)});
const std::string UserTable = "W|100;50;Map|10,20|100,50,Map\n"
                              "W|200;80;Notes|-30,40|200,80,Notes\n";

// A record learned in this run: the table then holds the user's two and it.
void LearnOne() {
    Put("W", Record(5, 6, 300, 90, "Learned"));
}
const std::string LearnedFile =
    Sections({Section("W;100;50;Map", 10, 20), Section("W;200;80;Notes", -30, 40),
              Section("W;300;90;Learned", 5, 6)});
const std::string LearnedTable = UserTable + "W|300;90;Learned|5,6|300,90,Learned\n";

// Another holder of the file at save time, and what it may share.
HANDLE gHolder = INVALID_HANDLE_VALUE;
std::function<void()> Hold(DWORD access, DWORD sharing) {
    return [=] {
        LearnOne();
        gHolder = CreateFileA(File.c_str(), access, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(gHolder, INVALID_HANDLE_VALUE);
    };
}
// The save while the file was held either failed whole or succeeded whole; once
// the holder lets go, the next save writes the table.
std::function<void()> Released(bool oldFileSurvives) {
    return [=] {
        CloseHandle(gHolder);
        gHolder = INVALID_HANDLE_VALUE;
        const std::string whileHeld = ReadFileBytes(File);
        if (oldFileSurvives)
            EXPECT_EQ(whileHeld, UserFile);
        else
            EXPECT_TRUE(whileHeld == UserFile || whileHeld == LearnedFile) << whileHeld;
        std::printf("    while held, the save %s\n",
                    whileHeld == UserFile ? "left the old file" : "replaced the file");
        EXPECT_EQ(ListFolder("Config"), "Quillory.ini");
        SavePlacements();
        EXPECT_EQ(ReadFileBytes(File), LearnedFile);
    };
}

struct HostileCase {
    const char* name;
    std::function<void()> before;    // lays out the working directory before start-up
    std::string loadsAs;             // Describe() of the table after LoadPlacements
    std::function<void()> afterLoad; // learned records and faults before the save
    std::function<void()> saved;     // checks what the save did
    std::string reloadsAs;           // Describe() of what the next start-up loads
};

void SavedIs(const std::string& bytes) {
    EXPECT_EQ(ReadFileBytes(File), bytes);
}

std::vector<HostileCase> Cases() {
    const auto nothing = [] {};
    const auto userFile = [] { WriteFileBytes(File, UserFile); };
    std::vector<HostileCase> cases;

    // --- Hostile contents at start-up ------------------------------------------
    cases.push_back({"binary garbage around a section, no NUL",
                     [] {
                         WriteFileBytes(File, Garbage(512 << 10, 7, false) + "\r\n" +
                                                  Section("W;10;10;Kept", 1, 2) + "[Tail]\r\n" +
                                                  Garbage(512 << 10, 11, false));
                     },
                     "W|10;10;Kept|1,2|10,10,Kept\n", nothing,
                     [] { SavedIs(Section("W;10;10;Kept", 1, 2)); },
                     "W|10;10;Kept|1,2|10,10,Kept\n"});
    cases.push_back({"binary garbage with every byte value",
                     [] { WriteFileBytes(File, Garbage(1 << 20, 3, true)); }, "", LearnOne,
                     [] { SavedIs(Section("W;300;90;Learned", 5, 6)); },
                     "W|300;90;Learned|5,6|300,90,Learned\n"});
    // The parser reads the file as one string: it ends at the first NUL, so a
    // section after it is not loaded and the next save drops it.
    cases.push_back({"NUL byte between sections",
                     [] {
                         WriteFileBytes(File, Section("W;1;1;Before", 1, 2) + std::string(1, '\0') +
                                                  Section("W;1;1;After", 3, 4));
                     },
                     "W|1;1;Before|1,2|1,1,Before\n", nothing,
                     [] { SavedIs(Section("W;1;1;Before", 1, 2)); },
                     "W|1;1;Before|1,2|1,1,Before\n"});
    // A file that a crash left full of zero bytes holds nothing to keep.
    cases.push_back({"file of zero bytes only",
                     [] { WriteFileBytes(File, std::string(4096, '\0')); }, "", LearnOne,
                     [] { SavedIs(Section("W;300;90;Learned", 5, 6)); },
                     "W|300;90;Learned|5,6|300,90,Learned\n"});
    // 100 MB: the user's two sections at either end of a mass of comment lines.
    // It loads whole; the save keeps both placements and drops the comments, as
    // every save writes only the table.
    cases.push_back({"100 MB file",
                     [] {
                         const std::string line = "; " + std::string(96, 'x') + "\r\n";
                         std::string bytes = Section("W;100;50;Map", 10, 20) + "\r\n";
                         bytes.reserve(100u << 20);
                         while (bytes.size() + line.size() < (100u << 20) - 100)
                             bytes += line;
                         bytes += Section("W;200;80;Notes", -30, 40);
                         WriteFileBytes(File, bytes);
                         std::printf("    (file of %zu bytes)\n", bytes.size());
                     },
                     UserTable, nothing, [] { SavedIs(UserFile); }, UserTable});
    cases.push_back(
        {"100,000 sections", [] { WriteFileBytes(File, HundredThousandRecords().file); },
         Describe(HundredThousandRecords().table), nothing,
         [] { SavedIs(HundredThousandRecords().file); }, Describe(HundredThousandRecords().table)});
    {
        std::string copies;
        for (int i = 0; i < 10000; ++i)
            copies += Section(i % 2 ? "w;10;10;SAME" : "W;10;10;Same", i, -i);
        cases.push_back({"10,000 headers of one section in two spellings",
                         [copies] { WriteFileBytes(File, copies); },
                         "W|10;10;Same|9999,-9999|10,10,Same\n", nothing,
                         [] { SavedIs(Section("W;10;10;Same", 9999, -9999)); },
                         "W|10;10;Same|9999,-9999|10,10,Same\n"});
    }
    {
        const std::string title(1 << 20, 'T');
        cases.push_back({"1 MB title",
                         [title] { WriteFileBytes(File, Section("W;1;1;" + title, 1, 2)); },
                         "W|1;1;" + title + "|1,2|1,1," + title + "\n", nothing,
                         [title] { SavedIs(Section("W;1;1;" + title, 1, 2)); },
                         "W|1;1;" + title + "|1,2|1,1," + title + "\n"});
    }
    // The library reads a number through a 64-byte buffer: a longer value, even
    // zero-padded digits, is no number, and its section is skipped.
    cases.push_back({"coordinate longer than 63 characters",
                     [] {
                         WriteFileBytes(File, "[W;1;1;Padded]\r\nLeft = " + std::string(70, '0') +
                                                  "5\r\nTop = 1\r\n" + UserFile);
                     },
                     UserTable, nothing, [] { SavedIs(UserFile); }, UserTable});
    // A header line without "]" is skipped; the key lines after it must not
    // make a record whose title holds the line break and the next key's name.
    cases.push_back({"header line without closing bracket",
                     [] {
                         WriteFileBytes(File, Section("W;1;2;Good", 5, 6) +
                                                  "[W;3;4;Broken\r\nLeft = 7\r\nTop = 8\r\n");
                     },
                     "W|1;2;Good|5,6|1,2,Good\n", nothing,
                     [] { SavedIs(Section("W;1;2;Good", 5, 6)); }, "W|1;2;Good|5,6|1,2,Good\n"});
    cases.push_back({"byte-order mark only", [] { WriteFileBytes(File, "\xEF\xBB\xBF"); }, "",
                     LearnOne, [] { SavedIs(Section("W;300;90;Learned", 5, 6)); },
                     "W|300;90;Learned|5,6|300,90,Learned\n"});
    cases.push_back({"byte-order mark, a comment and CR-only line ends",
                     [] {
                         WriteFileBytes(File,
                                        "\xEF\xBB\xBF; mine\r[W;100;50;Map]\rLeft = 10\rTop = "
                                        "20\r\r\r[W;200;80;Notes]\rLeft = -30\rTop = 40\r");
                     },
                     UserTable, LearnOne, [] { SavedIs(LearnedFile); }, LearnedTable});

    // --- Titles learned in this run, from the table side -----------------------
    // Their sizes sort after the user's records, so each file and table below
    // lists the user's two first.
    {
        std::string high;
        for (int byte = 0x80; byte <= 0xFF; ++byte)
            high += static_cast<char>(byte);
        cases.push_back(
            {"title of every byte 0x80 to 0xFF", userFile, UserTable,
             [high] { Put("W", Record(1, 2, 500, 500, high)); },
             [high] { SavedIs(UserFile + "\r\n\r\n" + Section("W;500;500;" + high, 1, 2)); },
             UserTable + "W|500;500;" + high + "|1,2|500,500," + high + "\n"});
    }
    // "]" ends the header: the title comes back cut there, the others intact.
    cases.push_back({"titles with a closing bracket", userFile, UserTable,
                     [] {
                         Put("W", Record(1, 2, 500, 500, "]Leading"));
                         Put("W", Record(3, 4, 501, 500, "Inner ] Left = 99"));
                     },
                     [] {
                         SavedIs(Sections({UserFile, Section("W;500;500;]Leading", 1, 2),
                                           Section("W;501;500;Inner ] Left = 99", 3, 4)}));
                     },
                     UserTable + "W|500;500;|1,2|500,500,\n"
                                 "W|501;500;Inner|3,4|501,500,Inner\n"});
    // Blanks inside the name stay; blanks next to "]" are dropped on reading.
    cases.push_back({"titles with leading and trailing blanks", userFile, UserTable,
                     [] {
                         Put("W", Record(1, 2, 500, 500, "  Lead"));
                         Put("W", Record(3, 4, 501, 500, "\tTab\t"));
                         Put("W", Record(5, 6, 502, 500, "   "));
                     },
                     [] {
                         SavedIs(Sections({UserFile, Section("W;500;500;  Lead", 1, 2),
                                           Section("W;501;500;\tTab\t", 3, 4),
                                           Section("W;502;500;   ", 5, 6)}));
                     },
                     UserTable + "W|500;500;  Lead|1,2|500,500,  Lead\n"
                                 "W|501;500;\tTab|3,4|501,500,\tTab\n"
                                 "W|502;500;|5,6|502,500,\n"});
    // A line break cannot sit in a header: such records stay out of the file.
    cases.push_back({"titles with CR or LF at either end", userFile, UserTable,
                     [] {
                         Put("W", Record(1, 2, 500, 500, "\r\n"));
                         Put("W", Record(3, 4, 500, 500, "Tail\n"));
                         Put("W", Record(5, 6, 500, 500, "\rHead"));
                         Put("W", Record(7, 8, 500, 500, "\n[W;100;50;Map]\nLeft = 0\nTop = 0"));
                     },
                     [] {
                         SavedIs(UserFile);
                         EXPECT_EQ(gPlacementTable["W"].size(), 6u);
                     },
                     UserTable});
    // File syntax inside a title is header text like any other.
    cases.push_back({"titles that look like file syntax", userFile, UserTable,
                     [] {
                         Put("W", Record(1, 2, 500, 500, "; not a comment"));
                         Put("W", Record(3, 4, 500, 500, "#[nested = 1"));
                         Put("W", Record(5, 6, 500, 500, "Left = 5"));
                     },
                     [] {
                         SavedIs(Sections({UserFile, Section("W;500;500;#[nested = 1", 3, 4),
                                           Section("W;500;500;; not a comment", 1, 2),
                                           Section("W;500;500;Left = 5", 5, 6)}));
                     },
                     UserTable + "W|500;500;#[nested = 1|3,4|500,500,#[nested = 1\n"
                                 "W|500;500;; not a comment|1,2|500,500,; not a comment\n"
                                 "W|500;500;Left = 5|5,6|500,500,Left = 5\n"});
    // The document takes names as C strings: a title is written up to a NUL.
    cases.push_back({"title holding a NUL byte", nothing, "",
                     [] { Put("W", Record(1, 2, 10, 10, std::string("Nul\0Inside", 10))); },
                     [] { SavedIs(Section("W;10;10;Nul", 1, 2)); }, "W|10;10;Nul|1,2|10,10,Nul\n"});

    // --- The file and its folder changed between start-up and save -------------
    cases.push_back({"file replaced between load and save", userFile, UserTable,
                     [] { WriteFileBytes(File, Section("W;1;1;Foreign", 1, 1)); },
                     [] { SavedIs(UserFile); }, UserTable});
    cases.push_back({"file deleted between load and save", userFile, UserTable,
                     [] { ASSERT_TRUE(DeleteFileA(File.c_str())); }, [] { SavedIs(UserFile); },
                     UserTable});
    cases.push_back({"Config folder deleted between load and save", userFile, UserTable,
                     RemoveConfigFolder,
                     [] {
                         EXPECT_FALSE(FileExists("Config"));
                         EXPECT_EQ(ListFolder("."), "");
                         // Every later save tries again.
                         ASSERT_TRUE(CreateDirectoryA("Config", nullptr));
                         SavePlacements();
                         SavedIs(UserFile);
                     },
                     UserTable});
    cases.push_back({"Config folder replaced by a file", userFile, UserTable,
                     [] {
                         RemoveConfigFolder();
                         WriteFileBytes("Config", "not a folder");
                     },
                     [] {
                         EXPECT_EQ(ReadFileBytes("Config"), "not a folder");
                         EXPECT_EQ(ListFolder("."), "Config");
                     },
                     ""});
    cases.push_back({"placement file is a folder",
                     [] { ASSERT_TRUE(CreateDirectoryA(File.c_str(), nullptr)); }, "", LearnOne,
                     [] {
                         EXPECT_TRUE(IsFolder(File));
                         EXPECT_EQ(ListFolder("Config"), "Quillory.ini");
                         EXPECT_EQ(ListFolder(File), "");
                     },
                     ""});

    // --- Another holder of the file at save time -------------------------------
    cases.push_back({"file held for writing, no sharing", userFile, UserTable,
                     Hold(GENERIC_WRITE, 0), Released(true), LearnedTable});
    cases.push_back({"file held for reading, shared for reading", userFile, UserTable,
                     Hold(GENERIC_READ, FILE_SHARE_READ), Released(true), LearnedTable});
    cases.push_back({"file held, shared for reading and writing", userFile, UserTable,
                     Hold(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE),
                     Released(true), LearnedTable});
    cases.push_back({"file held, shared for everything", userFile, UserTable,
                     Hold(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE),
                     Released(false), LearnedTable});
    return cases;
}

} // namespace

TEST(HostileFileTest, KeepsWhatCanBeKeptAndNeverLeavesAMess) {
    for (const auto& c : Cases()) {
        SCOPED_TRACE(c.name);
        std::printf("  %s\n", c.name);
        gPlacementTable.clear();
        ScratchDirectory scratch;
        c.before();
        Timed("load", LoadPlacements);
        EXPECT_EQ(Describe(gPlacementTable), c.loadsAs);
        c.afterLoad();
        Timed("save", SavePlacements);
        c.saved();
        if (IsFolder("Config")) {
            EXPECT_EQ(ListFolder("Config").find(' '), std::string::npos)
                << "left in Config: " << ListFolder("Config");
        }

        // The next start-up, and from there on a fixed point.
        LoadPlacements();
        EXPECT_EQ(Describe(gPlacementTable), c.reloadsAs);
        SavePlacements();
        const std::string first = FileExists(File) ? ReadFileBytes(File) : "(none)";
        LoadPlacements();
        EXPECT_EQ(Describe(gPlacementTable), c.reloadsAs);
        SavePlacements();
        EXPECT_EQ(FileExists(File) ? ReadFileBytes(File) : "(none)", first);
        gPlacementTable.clear();
    }
}
