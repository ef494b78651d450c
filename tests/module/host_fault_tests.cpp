// Hosts that misbehave around the module, through the stand-in host: exports
// called out of order, the placement file changed or removed behind the
// module's back while the host runs, and the file locked by another process
// when the module saves. The test program itself is that other process: it
// acts on cues from the host's trace while the host keeps running.

#include "session_runner.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const std::string File = "Config/Quillory.ini";

// The line of the trace that starts with the prefix and comes after the
// position "from" (an index into TraceLines), or -1.
long FindLine(const std::vector<std::string>& lines, const std::string& prefix, long from) {
    for (size_t i = static_cast<size_t>(from + 1); i < lines.size(); ++i)
        if (lines[i].compare(0, prefix.size(), prefix) == 0)
            return static_cast<long>(i);
    return -1;
}

// Checks that the trace has a line starting with each prefix, in the order of
// the prefixes: gives the first prefix not found after the previous one's
// line, or "" when all are there.
std::string MissingInOrder(const std::string& trace, const std::vector<std::string>& prefixes) {
    const auto lines = TraceLines(trace);
    long at = -1;
    for (const std::string& prefix : prefixes) {
        at = FindLine(lines, prefix, at);
        if (at < 0)
            return prefix;
    }
    return "";
}

// How many thread timer messages an "await-quiet" line counted.
long TimerMessagesIn(const std::string& line) {
    const size_t at = line.find("; ");
    return at == std::string::npos ? -1 : std::stol(line.substr(at + 2));
}

class HostFaultTest : public ::testing::Test {
protected:
    void SetUp() override { InstallModule(); }

    // Runs the host and insists that the whole script ran: nothing crashed.
    Session Run(const std::string& script, const std::vector<Cue>& cues = {}) {
        Session session = RunHostWithCues(script, cues);
        EXPECT_EQ(session.exitCode, 0) << session.trace;
        EXPECT_FALSE(LinesStarting(session.trace, "script done").empty()) << session.trace;
        return session;
    }

    // After the module was freed: no timer of it came, none was dropped.
    static void ExpectNoTimerAfterTheFree(const Session& session) {
        EXPECT_EQ(Counter(session.trace, "timers-unloaded"), "0") << session.trace;
        EXPECT_TRUE(LinesStarting(session.trace, "dropped").empty()) << session.trace;
    }

    ScratchDirectory scratch;
    const std::string W = LayoutPrefix() + "W";
    const std::string F = LayoutPrefix() + "F";
};

// Each way of calling the exports out of order, then the same ordinary life:
// a window opened is learned and saved, moved and saved again; then ExitModule,
// FreeLibrary, and windows still made, moved, hidden and destroyed on the
// host's thread, where a hook or timer left behind would call freed code.
TEST_F(HostFaultTest, ExportsCalledOutOfOrderLeaveTheModuleWorking) {
    const std::string afterwards = "open log tool 300 200 10 10 Log\n"
                                   "await-file 5000\n"
                                   "move log 600 350\n"
                                   "await-file 5000\n"
                                   "file\n"
                                   "exit\n"
                                   "free\n"
                                   "open late tool 200 100 30 30 Late\n"
                                   "move late 40 50\n"
                                   "move log 70 80\n"
                                   "hide log\n"
                                   "show log\n"
                                   "close late\n"
                                   "open late dialog 200 100 30 30 Late\n"
                                   "close late\n"
                                   "close log\n"
                                   "wait 1000\n"
                                   "counters\n";
    const std::string log = Section(W + ";300;200;Log", 600, 350);
    const std::string rewritten = "; put here while the host runs\r\n" +
                                  Section(W + ";420;310;Map", 250, 260) +
                                  Section(W + ";640;480;Notes", 5, 6);
    struct Case {
        const char* name;
        std::string calls;                // from the load until the module should be tracking
        std::vector<Cue> cues;            // what the test does meanwhile
        std::vector<std::string> inOrder; // trace lines (their beginnings) expected in order
        std::string file;                 // the placement file at the end
    };
    const std::vector<Case> cases = {
        {"ExitModule before InitModule",
         "load\nexit\ninit\n",
         {},
         {"ExitModule returned", "InitModule returned; message boxes during the call: 0"},
         log},
        {"opcCloseRenderViewport before any open, before and after InitModule",
         "load\nviewport close\ninit\nviewport close\n",
         {},
         {"opcCloseRenderViewport called", "InitModule returned", "opcCloseRenderViewport called"},
         log}, // windowed sections only
        {"GetModuleVersion before InitModule",
         "load\nversion\ninit\nversion\n",
         {},
         {"Date2Int(\"Apr 25 2006\") -> 20060425",
          "GetModuleVersion -> 20060425 (Date2Int asked 1 time(s))", "InitModule returned",
          "GetModuleVersion -> 20060425 (Date2Int asked 0 time(s))"},
         log},
        // The second start reads the file again, rewritten meanwhile: the open
        // window goes to the place stored there, and its record and the
        // record of a window never opened are kept.
        {"InitModule twice without ExitModule",
         "load\n"
         "init\n"
         "open map tool 420 310 100 120 Map\n"
         "await-file 5000\n"
         "say cue rewrite\n"
         "await-signal rewrite 30000\n"
         "init\n"
         "await-file 5000\n"
         "where map\n",
         {{"rewrite", [&] { WriteFileBytes(File, rewritten); }}},
         {"InitModule returned", "signal rewrite", "InitModule returned", "await-file: changed",
          "where map: 250,260 420x310 \"Map\""},
         log + "\r\n\r\n" + Section(W + ";420;310;Map", 250, 260) + "\r\n\r\n" +
             Section(W + ";640;480;Notes", 5, 6)},
        // Unhooked, the module does not see the move; started again, it reads
        // the file and puts the window back where the file has it.
        {"ExitModule, then InitModule again",
         "load\n"
         "init\n"
         "open map tool 420 310 100 120 Map\n"
         "await-file 5000\n"
         "exit\n"
         "move map 300 300\n"
         "wait 800\n"
         "file\n"
         "init\n"
         "await-quiet 1000 20000\n"
         "where map\n",
         {},
         {"ExitModule returned", "move map: 300,300", "file: ", "file> [" + W + ";420;310;Map]",
          "file> Left = 100", "file> Top = 120", "InitModule returned", "await-quiet: quiet",
          "where map: 100,120 420x310 \"Map\""},
         log + "\r\n\r\n" + Section(W + ";420;310;Map", 100, 120)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA(File.c_str());
        const Session session = Run(c.calls + afterwards, c.cues);
        EXPECT_EQ(MissingInOrder(session.trace, c.inOrder), "") << session.trace;
        // The log window was learned, and its move saved, before the exit.
        const auto changed = LinesStarting(session.trace, "await-file: changed");
        EXPECT_GE(changed.size(), 2u) << session.trace;
        ExpectNoTimerAfterTheFree(session);
        // Nothing after the free reached the file.
        EXPECT_EQ(ReadFileBytes(File), c.file);
        EXPECT_EQ(ListFolder("Config"), "Quillory.ini");
    }
}

// The placement file replaced, emptied, deleted, its folder deleted and made
// again, each while the host runs after the module has read the file. The
// module never reads it again: each save writes the table as loaded plus what
// was learned and moved, over whatever is there; with no folder it writes
// nothing and creates no folder, and it saves again once the folder is back.
TEST_F(HostFaultTest, OutsideChangesToThePlacementFileAreOverwritten) {
    WriteFileBytes(File, "; stored by an earlier run\r\n" + Section(W + ";420;310;Map", 600, 350) +
                             "[" + W + ";300;200;Log]\r\nLeft=30\r\nTop=40\r\n" +
                             Section(F + ";420;310;Map", 700, 500) +
                             Section(W + ";640;480", 1, 2)); // three parts: not a placement
    // The table as loaded, with the map window at a place.
    const auto table = [&](int left, int top) {
        return Section(F + ";420;310;Map", 700, 500) + "\r\n\r\n" +
               Section(W + ";300;200;Log", 30, 40) + "\r\n\r\n" +
               Section(W + ";420;310;Map", left, top);
    };
    struct Step {
        const char* name;
        std::function<void()> change; // what happens to the file behind the module's back
        int left, top;                // where the map window is moved then
        bool written;                 // whether the save can write
    };
    const std::vector<Step> steps = {
        {"replaced by other sections",
         [&] {
             WriteFileBytes(File, Section(W + ";420;310;Map", 10, 10) +
                                      Section(W + ";500;400;Foreign", 1, 2));
         },
         610, 360, true},
        {"replaced by bytes that are not INI text",
         [&] { WriteFileBytes(File, std::string("\0\x01\xff\xfe[[\r\n=\n]", 10)); }, 620, 370,
         true},
        {"emptied", [&] { WriteFileBytes(File, ""); }, 630, 380, true},
        {"deleted", [&] { DeleteFileA(File.c_str()); }, 640, 390, true},
        {"Config folder deleted",
         [&] {
             DeleteFileA(File.c_str());
             if (!RemoveDirectoryA("Config"))
                 throw std::runtime_error("cannot remove the Config folder");
         },
         650, 400, false},
        {"Config folder made again", [&] { CreateDirectoryA("Config", nullptr); }, 660, 410, true},
    };

    struct Seen {
        bool folder;
        std::string files, bytes;
    };
    std::vector<Seen> seen; // what each step left, looked at before the next change
    const auto look = [&] {
        seen.push_back({FileExists("Config"), ListFolder("Config"), ReadFileBytes(File)});
    };
    std::string script = "load\n"
                         "init\n"
                         "open map tool 420 310 100 120 Map\n"
                         "await-file 5000\n"
                         "where map\n";
    std::vector<Cue> cues;
    for (size_t i = 0; i < steps.size(); ++i) {
        const std::string cue = "step" + std::to_string(i);
        cues.push_back({cue, [&, i] {
                            look();
                            steps[i].change();
                        }});
        script += "say cue " + cue + "\nawait-signal " + cue + " 30000\n" + "move map " +
                  std::to_string(steps[i].left) + " " + std::to_string(steps[i].top) + "\n" +
                  (steps[i].written ? "await-file 5000\n" : "await-quiet 1000 20000\n");
    }
    script += "say cue end\nawait-signal end 30000\nexit\nfree\ncounters\n";
    cues.push_back({"end", look});

    const Session session = Run(script, cues);
    EXPECT_EQ(PlaceOf(session.trace, "map"), "600,350") << session.trace; // restored at start
    ASSERT_EQ(seen.size(), steps.size() + 1) << session.trace;
    EXPECT_EQ(seen[0].bytes, table(600, 350)); // the first save, before any change
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(steps[i].name);
        const Seen& after = seen[i + 1];
        if (steps[i].written) {
            EXPECT_TRUE(after.folder);
            EXPECT_EQ(after.files, "Quillory.ini");
            EXPECT_EQ(after.bytes, table(steps[i].left, steps[i].top));
        } else {
            EXPECT_FALSE(after.folder) << "the module made the folder";
        }
    }
    // The moves were recorded and saved when nothing could be written, too.
    const auto quiet = LinesStarting(session.trace, "await-quiet: quiet");
    ASSERT_EQ(quiet.size(), 1u) << session.trace;
    EXPECT_GE(TimerMessagesIn(quiet[0]), 2) << quiet[0];
    EXPECT_EQ(LinesStarting(session.trace, "await-file: changed").size(), steps.size())
        << session.trace;
    EXPECT_EQ(ReadFileBytes(File), table(660, 410));
    ExpectNoTimerAfterTheFree(session);
}

// Another process holds the file open, denying writers, while the host moves a
// window: the save that falls in that time leaves the old file byte for byte
// and no temporary file behind; once the file is let go the next move's save
// writes it.
TEST_F(HostFaultTest, FileLockedByAnotherProcessSurvivesTheSave) {
    WriteFileBytes(File, "; stored by an earlier run\r\n" + Section(W + ";420;310;Map", 600, 350));
    struct Lock {
        const char* name;
        DWORD share; // what the other process lets others do with the file
        int left, top;
    };
    const std::vector<Lock> locks = {
        {"opened with no sharing", 0, 500, 300},
        {"opened sharing reading only", FILE_SHARE_READ, 450, 250},
    };
    const auto saved = [&](int left, int top) { return Section(W + ";420;310;Map", left, top); };

    HANDLE held = INVALID_HANDLE_VALUE;
    std::vector<std::string> during;  // the file through the lock, as each save left it
    std::vector<std::string> folders; // Config's files while locked, as each save left them
    std::string script = "load\n"
                         "init\n"
                         "open map tool 420 310 100 120 Map\n"
                         "await-file 5000\n";
    std::vector<Cue> cues;
    int left = 600, top = 350; // where the map window was last saved
    for (size_t i = 0; i < locks.size(); ++i) {
        const std::string lock = "lock" + std::to_string(i), free = "free" + std::to_string(i);
        cues.push_back({lock, [&, i] {
                            held = CreateFileA(File.c_str(), GENERIC_READ, locks[i].share, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
                            if (held == INVALID_HANDLE_VALUE)
                                throw std::runtime_error("cannot open the file");
                        }});
        cues.push_back({free, [&] {
                            std::string bytes(65536, '\0');
                            DWORD read = 0;
                            SetFilePointer(held, 0, nullptr, FILE_BEGIN);
                            ReadFile(held, bytes.data(), static_cast<DWORD>(bytes.size()), &read,
                                     nullptr);
                            bytes.resize(read);
                            during.push_back(bytes);
                            folders.push_back(ListFolder("Config"));
                            CloseHandle(held);
                            held = INVALID_HANDLE_VALUE;
                        }});
        // Moved under the lock; once the lock is gone, moved by a pixel more.
        script += "say cue " + lock + "\nawait-signal " + lock + " 30000\n" + "move map " +
                  std::to_string(locks[i].left) + " " + std::to_string(locks[i].top) + "\n" +
                  "await-quiet 1000 20000\n" + "say cue " + free + "\nawait-signal " + free +
                  " 30000\n" + "move map " + std::to_string(locks[i].left + 1) + " " +
                  std::to_string(locks[i].top + 1) + "\n" + "await-file 5000\nfile\n";
        left = locks[i].left + 1;
        top = locks[i].top + 1;
    }
    script += "exit\nfree\ncounters\n";

    const Session session = Run(script, cues);
    ASSERT_EQ(during.size(), locks.size()) << session.trace;
    const auto quiet = LinesStarting(session.trace, "await-quiet: quiet");
    ASSERT_EQ(quiet.size(), locks.size()) << session.trace;
    const auto prints = FilePrints(session.trace);
    ASSERT_EQ(prints.size(), locks.size()) << session.trace;
    std::string last = saved(600, 350); // what the file held when the first lock came
    for (size_t i = 0; i < locks.size(); ++i) {
        SCOPED_TRACE(locks[i].name);
        // The save under the lock was tried: the move was recorded and saved.
        EXPECT_GE(TimerMessagesIn(quiet[i]), 2) << quiet[i];
        EXPECT_EQ(during[i], last) << "the locked file changed";
        EXPECT_EQ(folders[i], "Quillory.ini") << "a file was left beside it";
        const std::string next = saved(locks[i].left + 1, locks[i].top + 1);
        std::string printed = next;
        for (size_t at; (at = printed.find('\r')) != std::string::npos;)
            printed.erase(at, 1);
        EXPECT_EQ(prints[i], printed);
        last = next;
    }
    EXPECT_EQ(ReadFileBytes(File), saved(left, top));
    EXPECT_EQ(ListFolder("Config"), "Quillory.ini");
    ExpectNoTimerAfterTheFree(session);
}

} // namespace
