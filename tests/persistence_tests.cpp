// The placement table and the placement file, against real files in a scratch
// working directory.

#include "persistence/placement_file.h"
#include "table_text.h"
#include "test_support.h"
#include "tracking/placement_table.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

const std::string File = "Config/Quillory.ini";

std::string Section(const std::string& name, const std::string& left, const std::string& top) {
    return "[" + name + "]\r\nLeft = " + left + "\r\nTop = " + top + "\r\n";
}

class PlacementFileTest : public ::testing::Test {
protected:
    void SetUp() override { gPlacementTable.clear(); }
    void TearDown() override { gPlacementTable.clear(); }
    ScratchDirectory scratch;
};

} // namespace

TEST(WindowKeyTest, FormatsWidthHeightAndTitleUnchanged) {
    struct Case {
        WindowRecord record;
        const char* key;
    };
    const std::vector<Case> cases = {
        {WindowRecord{}, "0;0;"},
        {Record(1, 2, 420, 310, "Map"), "420;310;Map"},
        {Record(1, 2, 420, -5, "Map"), "420;-5;Map"},
        {Record(0, 0, 640, 480, "A;B"), "640;480;A;B"},
        {Record(0, 0, 640, 480, "map"), "640;480;map"},
        {Record(0, 0, -2147483647 - 1, 2147483647, "\xE9t\xE9"),
         "-2147483648;2147483647;\xE9t\xE9"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatWindowKey(c.record), c.key);
}

TEST(PlacementTableTest, OrdersKeysBytewiseWithoutCaseFolding) {
    LayoutPlacements records;
    for (const char* key : {"980;40;A", "\xE9", "AB", "1000;40;A", "a", "A", "~"})
        records[key];
    std::vector<std::string> order;
    for (const auto& entry : records)
        order.push_back(entry.first);
    EXPECT_EQ(order,
              (std::vector<std::string>{"1000;40;A", "980;40;A", "A", "AB", "a", "~", "\xE9"}));
}

TEST(PlacementTableTest, LookupInsertsDefaultsAndPresenceTestInsertsNothing) {
    PlacementTable table;
    EXPECT_EQ(table.count("1920x1080xW"), 0u);
    LayoutPlacements& layout = table["1920x1080xW"];
    EXPECT_TRUE(layout.empty());
    EXPECT_EQ(table.size(), 1u);
    EXPECT_EQ(layout.count("420;310;Map"), 0u);
    EXPECT_TRUE(layout.empty());
    const WindowRecord& record = layout["420;310;Map"];
    EXPECT_EQ(Describe(table), "1920x1080xW|420;310;Map|0,0|0,0,\n");
    EXPECT_EQ(record.handle, nullptr);
}

TEST_F(PlacementFileTest, WritesTheWorkedExampleAndReadsItBack) {
    Put("3840x1080xW", Record(1630, 118, 296, 412, "Camera"));
    Put("3840x1080xW", Record(-8, 0, 640, 480, "Notes;old"));
    SavePlacements();
    const std::string expected = "[3840x1080xW;296;412;Camera]\r\n"
                                 "Left = 1630\r\n"
                                 "Top = 118\r\n"
                                 "\r\n"
                                 "\r\n"
                                 "[3840x1080xW;640;480;Notes;old]\r\n"
                                 "Left = -8\r\n"
                                 "Top = 0\r\n";
    const std::string written = ReadFileBytes(File);
    EXPECT_EQ(written.size(), 111u);
    EXPECT_EQ(written, expected);

    gPlacementTable.clear();
    Put("stale", Record(1, 1, 1, 1, "gone"));
    LoadPlacements();
    EXPECT_EQ(Describe(gPlacementTable), "3840x1080xW|296;412;Camera|1630,118|296,412,Camera\n"
                                         "3840x1080xW|640;480;Notes;old|-8,0|640,480,Notes;old\n");

    SavePlacements();
    EXPECT_EQ(ReadFileBytes(File), expected);
    EXPECT_EQ(ListFolder("Config"), "Quillory.ini"); // no temporary file left behind
}

TEST_F(PlacementFileTest, WritesLayoutsAndRecordsInByteOrderBoundOrNot) {
    Put("800x600xW", Record(5, 6, 980, 40, "A"));
    Put("800x600xW", Record(7, 8, 1000, 40, "A"));
    Put("1920x1080xF", Record(1, 2, 10, 20, "B"));
    gPlacementTable["1920x1080xF"]["10;20;B"].handle = reinterpret_cast<WindowHandle>(0x1234);
    gPlacementTable["empty-layout"];
    SavePlacements();
    EXPECT_EQ(ReadFileBytes(File), Section("1920x1080xF;10;20;B", "1", "2") + "\r\n\r\n" +
                                       Section("800x600xW;1000;40;A", "7", "8") + "\r\n\r\n" +
                                       Section("800x600xW;980;40;A", "5", "6"));
}

TEST_F(PlacementFileTest, EmptyTableSavesZeroBytesAndNoFileLoadsEmpty) {
    Put("L", Record(1, 2, 3, 4, "T"));
    LoadPlacements(); // no file yet: the table is emptied all the same
    EXPECT_TRUE(gPlacementTable.empty());
    SavePlacements();
    ASSERT_TRUE(FileExists(File));
    EXPECT_EQ(ReadFileBytes(File), "");
}

TEST(PlacementFileFolderTest, MissingConfigFolderWritesNothing) {
    ScratchDirectory scratch(false);
    gPlacementTable.clear();
    Put("L", Record(1, 2, 3, 4, "T"));
    SavePlacements();
    EXPECT_FALSE(FileExists("Config"));
    EXPECT_EQ(ListFolder("."), "");
    LoadPlacements();
    EXPECT_TRUE(gPlacementTable.empty());
}

TEST_F(PlacementFileTest, ReadOnlyOrLockedFileKeepsItsBytesUntilWritableAgain) {
    const std::string old = Section("L;3;4;Old", "10", "20");
    Put("L", Record(1, 2, 3, 4, "T"));
    const std::string fresh = Section("L;3;4;T", "1", "2");

    WriteFileBytes(File, old);
    ASSERT_TRUE(SetFileAttributesA(File.c_str(), FILE_ATTRIBUTE_READONLY));
    SavePlacements();
    EXPECT_EQ(ReadFileBytes(File), old);
    EXPECT_EQ(ListFolder("Config"), "Quillory.ini");
    ASSERT_TRUE(SetFileAttributesA(File.c_str(), FILE_ATTRIBUTE_NORMAL));
    SavePlacements();
    EXPECT_EQ(ReadFileBytes(File), fresh);

    WriteFileBytes(File, old);
    const HANDLE lock =
        CreateFileA(File.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    SavePlacements();
    CloseHandle(lock);
    EXPECT_EQ(ReadFileBytes(File), old);
    EXPECT_EQ(ListFolder("Config"), "Quillory.ini");
    SavePlacements();
    EXPECT_EQ(ReadFileBytes(File), fresh);
}

// Every odd form a section can take, loaded and saved back: what cannot be read
// as a placement is skipped and gone after the save, what can is written plain.
TEST_F(PlacementFileTest, SkipsMalformedSectionsAndWritesTheRestPlain) {
    struct Case {
        std::string name, left, top;
        const char* loadsAs; // Describe() line, or nullptr when skipped
    };
    const std::vector<Case> cases = {
        {"W;640;480;Plain", "1", "2", "W|640;480;Plain|1,2|640,480,Plain"},
        {"W;640;480", "1", "2", nullptr},
        {"W;640;480;", "3", "4", "W|640;480;|3,4|640,480,"},
        {"W;640;480;My;Title", "5", "6", "W|640;480;My;Title|5,6|640,480,My;Title"},
        {"W;0640;480;Zeros", "7", "8", "W|640;480;Zeros|7,8|640,480,Zeros"},
        {"W;640px;480;Suffix", "9", "10", "W|640;480;Suffix|9,10|640,480,Suffix"},
        {"W;0x280;480;Hex", "11", "12", "W|0;480;Hex|11,12|0,480,Hex"},
        {"W;+640;480;Plus", "13", "14", "W|640;480;Plus|13,14|640,480,Plus"},
        {"W; 640 ;480;Blanks", "15", "16", "W|640;480;Blanks|15,16|640,480,Blanks"},
        {"W;;480;Empty", "1", "2", nullptr},
        {"W;px640;480;Prefix", "1", "2", nullptr},
        {"W;99999999999;480;Huge", "1", "2", nullptr},
        {"W;640;99999999999;HugeHeight", "1", "2", nullptr},
        {"W;640;480;HexLeft", "0x64", "-0", "W|640;480;HexLeft|100,0|640,480,HexLeft"},
        {"W;640;480;Letters", "12abc", "1", nullptr},
        {"W;640;480;Fraction", "1.5", "1", nullptr},
        {"W;640;480;EmptyLeft", "", "1", nullptr},
        {"W;640;480;Parked", "-99999", "1", nullptr},
        {"W;640;480;ParkedTop", "1", "-99999", nullptr},
        {"W;-640;-480;Negative", "-100", "-200",
         "W|-640;-480;Negative|-100,-200|-640,-480,Negative"},
    };
    std::string file = "; a comment line\r\nstray = 1\r\n";
    std::string expectedTable;
    for (const auto& c : cases)
        file += Section(c.name, c.left, c.top) + "Foreign = key\r\n\r\n";
    // Key spellings and missing keys.
    file += "[W;640;480;LowerCase]\r\nleft = 21\r\ntop = 22\r\n";
    file += "[W;640;480;NoLeft]\r\nTop = 1\r\n";
    WriteFileBytes(File, file);

    LoadPlacements();
    // Expected lines in table order: by window key, all in layout W.
    std::map<std::string, std::string> lines;
    auto expect = [&](const std::string& line) {
        lines[line.substr(2, line.find('|', 2) - 2)] = line + "\n";
    };
    for (const auto& c : cases)
        if (c.loadsAs)
            expect(c.loadsAs);
    expect("W|640;480;LowerCase|21,22|640,480,LowerCase");
    for (const auto& line : lines)
        expectedTable += line.second;
    EXPECT_EQ(Describe(gPlacementTable), expectedTable);

    SavePlacements();
    const std::string saved = ReadFileBytes(File);
    EXPECT_EQ(saved.find("Foreign"), std::string::npos);
    EXPECT_EQ(saved.find("comment"), std::string::npos);
    EXPECT_EQ(saved.find("stray"), std::string::npos);
    for (const char* gone : {"Huge", "[W;640;480]", "Parked", "Letters", "Fraction", "NoLeft"})
        EXPECT_EQ(saved.find(gone), std::string::npos) << gone;
    EXPECT_NE(saved.find("[W;640;480;Zeros]\r\nLeft = 7\r\nTop = 8\r\n"), std::string::npos);
    EXPECT_NE(saved.find("[W;640;480;Blanks]"), std::string::npos);
    EXPECT_NE(saved.find("[W;0;480;Hex]\r\nLeft = 11\r\n"), std::string::npos);
    EXPECT_NE(saved.find("[W;640;480;HexLeft]\r\nLeft = 100\r\nTop = 0\r\n"), std::string::npos);
    EXPECT_NE(saved.find("[W;640;480;]\r\n"), std::string::npos);

    // The saved file is a fixed point: loading and saving it again changes nothing.
    LoadPlacements();
    EXPECT_EQ(Describe(gPlacementTable), expectedTable);
    SavePlacements();
    EXPECT_EQ(ReadFileBytes(File), saved);
}

TEST_F(PlacementFileTest, SizesThatReadAlikeOrNamesThatDifferInCaseFileOneRecord) {
    // On loading: case-insensitive headers merge into one section named as the
    // first, each key keeping the value given last; sizes reading alike file
    // the section visited later in name order ("W;640..." after "W;0640...").
    WriteFileBytes(File, Section("W;640;480;Title", "1", "2") +
                             Section("W;640;480;TITLE", "3", "") + "Top = 4\r\n" +
                             Section("W;0640;480;T", "5", "6") + Section("W;640;480;T", "7", "8"));
    LoadPlacements();
    EXPECT_EQ(Describe(gPlacementTable), "W|640;480;T|7,8|640,480,T\n"
                                         "W|640;480;Title|3,4|640,480,Title\n");

    // On saving: records whose names differ only in case become one section
    // named as the first in table order, with the coordinates of the second.
    gPlacementTable.clear();
    Put("W", Record(1, 2, 10, 10, "ABC"));
    Put("W", Record(3, 4, 10, 10, "abc"));
    SavePlacements();
    EXPECT_EQ(ReadFileBytes(File), Section("W;10;10;ABC", "3", "4"));
}

TEST_F(PlacementFileTest, TitlesWithLineBreaksStayInTheTableButOutOfTheFile) {
    Put("W", Record(1, 2, 10, 10, "Before"));
    Put("W", Record(3, 4, 10, 10, "Evil\n[W;10;10;Injected]\r\nLeft = 0"));
    Put("W", Record(5, 6, 10, 10, "Carriage\rReturn"));
    Put("W", Record(7, 8, 10, 10, "Zafter"));
    SavePlacements();
    EXPECT_EQ(gPlacementTable["W"].size(), 4u);
    EXPECT_EQ(ReadFileBytes(File), Section("W;10;10;Before", "1", "2") + "\r\n\r\n" +
                                       Section("W;10;10;Zafter", "7", "8"));
    LoadPlacements();
    EXPECT_EQ(Describe(gPlacementTable), "W|10;10;Before|1,2|10,10,Before\n"
                                         "W|10;10;Zafter|7,8|10,10,Zafter\n");
}

TEST_F(PlacementFileTest, ByteOrderMarkIsReadPastAndNeverWritten) {
    WriteFileBytes(File, "\xEF\xBB\xBF" + Section("W;10;10;\xC3\xA9t\xC3\xA9", "1", "2"));
    LoadPlacements();
    EXPECT_EQ(Describe(gPlacementTable), "W|10;10;\xC3\xA9t\xC3\xA9|1,2|10,10,\xC3\xA9t\xC3\xA9\n");
    SavePlacements();
    EXPECT_EQ(ReadFileBytes(File), Section("W;10;10;\xC3\xA9t\xC3\xA9", "1", "2"));
}

TEST_F(PlacementFileTest, TitlesWithBracketsOrTrailingBlanksComeBackCut) {
    Put("W", Record(1, 2, 10, 10, "Tail  "));
    Put("W", Record(3, 4, 10, 10, "Log [x] y"));
    Put("W", Record(5, 6, 10, 10, "\x80\xFF high"));
    SavePlacements();
    LoadPlacements();
    EXPECT_EQ(Describe(gPlacementTable), "W|10;10;Log [x|3,4|10,10,Log [x\n"
                                         "W|10;10;Tail|1,2|10,10,Tail\n"
                                         "W|10;10;\x80\xFF high|5,6|10,10,\x80\xFF high\n");
}

TEST_F(PlacementFileTest, FileUnreadableAtStartIsNeverReplacedInThatRun) {
    const std::string users = Section("W;10;10;Mine", "1", "2");
    WriteFileBytes(File, users);
    const HANDLE lock =
        CreateFileA(File.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    LoadPlacements();
    CloseHandle(lock);
    EXPECT_TRUE(gPlacementTable.empty());

    Put("W", Record(5, 6, 20, 20, "Learned"));
    SavePlacements();
    EXPECT_EQ(ReadFileBytes(File), users) << "the user's places survive";

    // Read at the next start, it is saved normally again.
    LoadPlacements();
    Put("W", Record(5, 6, 20, 20, "Learned"));
    SavePlacements();
    EXPECT_EQ(ReadFileBytes(File), users + "\r\n\r\n" + Section("W;20;20;Learned", "5", "6"));
}

TEST_F(PlacementFileTest, ByteOrderMarkSwitchesNoLaterSaveToAMark) {
    WriteFileBytes(File, "\xEF\xBB\xBF" + Section("W;10;10;A", "1", "2"));
    LoadPlacements();
    EXPECT_TRUE(PlacementFile.IsUnicode()) << "the parser switched on reading the mark";
    SavePlacements();
    EXPECT_FALSE(PlacementFile.IsUnicode());
    std::string text;
    PlacementFile.Save(text, true); // even asked for one, a mark is not written
    EXPECT_EQ(text, Section("W;10;10;A", "1", "2"));
}
