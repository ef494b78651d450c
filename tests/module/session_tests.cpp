// Whole sessions of the simulator with the module, through the stand-in host:
// the road of a window across two runs, a failed start-up, unloading with
// timers pending, fullscreen and windowed layouts, and what the module asks of
// the host. Every session runs in a fresh folder laid out like the simulator's.

#include "session_runner.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string File = "Config/Quillory.ini";

const std::string ExpectedReport = "Module Quillory has thrown an exception.\\n\\nMessage:\\n"
                                   "requested start-up fault\\n\\n"
                                   "No further messages will be shown about exceptions in "
                                   "Quillory.";

// A section as the trace prints it: CR LF ends taken off.
std::string Printed(const std::string& name, int left, int top) {
    return "[" + name + "]\nLeft = " + std::to_string(left) + "\nTop = " + std::to_string(top) +
           "\n";
}

// The number after "text" in the line, e.g. MillisecondsIn("... 503 ms after", "changed after ").
long NumberAfter(const std::string& line, const std::string& text) {
    const size_t at = line.find(text);
    return at == std::string::npos ? -1 : std::stol(line.substr(at + text.size()));
}

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override { InstallModule(); }

    // Runs the host and insists that the whole script ran.
    Session Run(const std::string& script) {
        Session session = RunHost(script);
        EXPECT_EQ(session.exitCode, 0) << session.trace;
        EXPECT_FALSE(LinesStarting(session.trace, "script done").empty()) << session.trace;
        return session;
    }

    ScratchDirectory scratch;
    const std::string W = LayoutPrefix() + "W";
    const std::string F = LayoutPrefix() + "F";
};

// Opened and learned, moved, written about half a second later, closed; the
// next run of the host puts it back where it was moved.
TEST_F(SessionTest, WindowReopensWhereItWasMovedInTheNextRun) {
    const Session first = Run("load\n"
                              "init\n"
                              "open pad main 640 480 40 40 Orbiter Launchpad\n"
                              "open map tool 420 310 100 120 Map\n"
                              "await-file 5000\n"
                              "where map\n"
                              "file\n"
                              "move map 600 350\n"
                              "file\n"
                              "await-file 5000\n"
                              "file\n"
                              "close map\n"
                              "wait 400\n"
                              "exit\n"
                              "free\n"
                              "counters\n");
    EXPECT_EQ(PlaceOf(first.trace, "map"), "100,120") << first.trace; // learned, not moved
    const auto prints = FilePrints(first.trace);
    ASSERT_EQ(prints.size(), 3u) << first.trace;
    // The learned place was written after the window's own first move...
    EXPECT_NE(prints[0].find(Printed(W + ";420;310;Map", 100, 120)), std::string::npos)
        << prints[0];
    // ...and the new one is not there the moment the window moves...
    EXPECT_EQ(prints[1], prints[0]);
    // ...but about half a second later.
    EXPECT_NE(prints[2].find(Printed(W + ";420;310;Map", 600, 350)), std::string::npos)
        << prints[2];
    const auto changed = LinesStarting(first.trace, "await-file: changed");
    ASSERT_EQ(changed.size(), 2u) << first.trace; // the learned place, then the move
    const long sinceMove = NumberAfter(changed[1], ", ");
    EXPECT_GE(sinceMove, 450) << changed[1]; // 200 ms to record, 300 ms to save
    EXPECT_LT(sinceMove, 5000) << changed[1];
    EXPECT_EQ(ReadFileBytes(File), Section(W + ";420;310;Map", 600, 350) + "\r\n\r\n" +
                                       Section(W + ";640;480;Orbiter Launchpad", 40, 40));

    const Session second = Run("load\n"
                               "init\n"
                               "open pad main 640 480 40 40 Orbiter Launchpad\n"
                               "open map tool 420 310 100 120 Map\n"
                               "open log tool 300 200 100 120 Log\n"
                               "wait 500\n"
                               "where map log\n"
                               "move map 0 0\n"
                               "close map\n"
                               "wait 400\n"
                               "open map tool 420 310 250 250 Map\n"
                               "wait 500\n"
                               "where map\n");
    const auto places = LinesStarting(second.trace, "where ");
    ASSERT_EQ(places.size(), 3u) << second.trace;
    EXPECT_EQ(places[0], "where map: 600,350 420x310 \"Map\"");
    EXPECT_EQ(places[1], "where log: 100,120 300x200 \"Log\""); // a new key is learned
    // Reopened in the same run: released when closed, restored again.
    EXPECT_EQ(places[2], "where map: 600,350 420x310 \"Map\"");
}

// A stored place is used only where some part of the window is on a monitor.
TEST_F(SessionTest, RestoresOnlyToPlacesOnAMonitor) {
    struct Case {
        int left, top;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {600, 350, "600,350"},       {-400, 100, "-400,100"}, // 20 pixels still on the screen
        {0, -300, "0,-300"},         {5000, 5000, "100,120"},
        {-420, 100, "100,120"}, // right edge just off the screen
        {-99999, -99999, "100,120"},
    };
    for (const Case& c : cases) {
        WriteFileBytes(File, Section(W + ";420;310;Map", c.left, c.top));
        const Session session = Run("load\n"
                                    "init\n"
                                    "open map tool 420 310 100 120 Map\n"
                                    "wait 400\n"
                                    "where map\n");
        EXPECT_EQ(PlaceOf(session.trace, "map"), c.expected) << c.left << "," << c.top;
    }
}

// One message box with the exact report, found on screen and closed; then no
// hook, no timer and no file, and a second InitModule shows nothing.
TEST_F(SessionTest, FailedStartUpShowsOneBoxAndLeavesTheModuleInert) {
    struct Case {
        const char* windowsBefore; // script lines before the start-up
        const char* owner;
    };
    const std::vector<Case> cases = {
        {"", "none"},
        {"open pad main 640 480 40 40 Orbiter Launchpad\n", "pad"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.owner);
        const std::string stored = Section(W + ";420;310;Map", 600, 350);
        WriteFileBytes(File, stored);
        const Session session =
            Run(std::string(c.windowsBefore) + "load\n"
                                               "fault\n"
                                               "init\n"
                                               "open map tool 420 310 100 120 Map\n"
                                               "wait 600\n"
                                               "where map\n"
                                               "move map 500 300\n"
                                               "hide map\n"
                                               "show map\n"
                                               "close map\n"
                                               "open map tool 420 310 100 120 Map\n"
                                               "wait 1200\n"
                                               "where map\n"
                                               "init\n"
                                               "wait 300\n"
                                               "where map\n"
                                               "counters\n"
                                               "exit\n"
                                               "free\n");
        const auto boxes = LinesStarting(session.trace, "message box ");
        ASSERT_EQ(boxes.size(), 1u) << session.trace;
        EXPECT_EQ(boxes[0], std::string("message box 1: caption=\"Quillory\" owner=") + c.owner +
                                " topmost=no icon=error text=\"" + ExpectedReport +
                                "\"; OK pressed")
            << "(Wine does not give message boxes the topmost style)";
        const auto returns = LinesStarting(session.trace, "InitModule returned");
        ASSERT_EQ(returns.size(), 2u) << session.trace;
        EXPECT_EQ(returns[0], "InitModule returned; message boxes during the call: 1");
        EXPECT_EQ(returns[1], "InitModule returned; message boxes during the call: 0");
        for (const std::string& place : LinesStarting(session.trace, "where map: "))
            EXPECT_EQ(place, "where map: 100,120 420x310 \"Map\"") << session.trace;
        EXPECT_EQ(Counter(session.trace, "timers"), "0") << session.trace;
        EXPECT_EQ(Counter(session.trace, "boxes"), "1");
        EXPECT_EQ(ReadFileBytes(File), stored);
        EXPECT_EQ(ListFolder("Config"), "Quillory.ini");
    }
}

// ExitModule and FreeLibrary while timers of every kind are pending, then a
// second of the message loop: no crash and no timer message of the module.
TEST_F(SessionTest, UnloadingWithTimersPendingLeavesNoTimerBehind) {
    struct Case {
        const char* name;
        const char* beforeUnload; // runs right after the move
        const char* unload;
        bool saved; // whether the moved place reaches the file
    };
    const std::vector<Case> cases = {
        {"restore pending", "open log tool 300 200 10 10 Log\n", "exit\nfree\n", false},
        {"record pending", "", "exit\nfree\n", false},
        {"save pending", "wait 300\n", "exit\nfree\n", false},
        {"release pending", "close map\n", "exit\nfree\n", false},
        {"exit twice", "wait 300\n", "exit\nexit\nfree\n", false},
        {"free without exit", "wait 300\n", "free\n", false},
        {"exit after the save", "await-file 5000\n", "exit\nexit\nfree\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA(File.c_str());
        const Session session = Run(std::string("load\n"
                                                "init\n"
                                                "open map tool 420 310 100 120 Map\n"
                                                "await-file 5000\n"
                                                "move map 600 350\n") +
                                    c.beforeUnload + c.unload +
                                    "wait 1000\n"
                                    "counters\n");
        EXPECT_EQ(Counter(session.trace, "timers-after-exit"), "0") << session.trace;
        EXPECT_EQ(Counter(session.trace, "timers-unloaded"), "0") << session.trace;
        EXPECT_TRUE(LinesStarting(session.trace, "dropped").empty()) << session.trace;
        EXPECT_NE(Counter(session.trace, "timers"), "0") << session.trace;
        const std::string place =
            c.saved ? Section(W + ";420;310;Map", 600, 350) : Section(W + ";420;310;Map", 100, 120);
        EXPECT_EQ(ReadFileBytes(File), place);
    }
}

// Fullscreen and windowed render windows keep their places apart, in the run
// and in the file.
TEST_F(SessionTest, FullscreenAndWindowedLayoutsKeepTheirOwnPlaces) {
    const Session first = Run("load\n"
                              "init\n"
                              "open map tool 420 310 100 120 Map\n"
                              "wait 400\n"
                              "move map 200 150\n"
                              "wait 1200\n"
                              "close map\n"
                              "wait 400\n"
                              "viewport fullscreen 1280 1024\n"
                              "open map tool 420 310 100 120 Map\n"
                              "wait 400\n"
                              "where map\n"
                              "move map 700 500\n"
                              "wait 1200\n"
                              "close map\n"
                              "wait 400\n"
                              "viewport close\n"
                              "viewport windowed 640 480\n"
                              "open map tool 420 310 0 0 Map\n"
                              "wait 400\n"
                              "where map\n"
                              "close map\n"
                              "wait 400\n"
                              "viewport close\n"
                              "viewport fullscreen 1280 1024\n"
                              "open map tool 420 310 0 0 Map\n"
                              "wait 400\n"
                              "where map\n"
                              "viewport close\n"
                              "exit\n"
                              "free\n");
    const auto places = LinesStarting(first.trace, "where map: ");
    ASSERT_EQ(places.size(), 3u) << first.trace;
    EXPECT_EQ(places[0], "where map: 100,120 420x310 \"Map\""); // new under F: learned
    EXPECT_EQ(places[1], "where map: 200,150 420x310 \"Map\""); // W again
    EXPECT_EQ(places[2], "where map: 700,500 420x310 \"Map\""); // F again
    const std::string file = ReadFileBytes(File);
    EXPECT_NE(file.find(Section(F + ";420;310;Map", 700, 500)), std::string::npos) << file;
    EXPECT_NE(file.find(Section(W + ";420;310;Map", 200, 150)), std::string::npos) << file;

    const Session second = Run("load\n"
                               "init\n"
                               "viewport fullscreen 1280 1024\n"
                               "open map tool 420 310 0 0 Map\n"
                               "wait 400\n"
                               "where map\n");
    EXPECT_EQ(PlaceOf(second.trace, "map"), "700,500") << second.trace;
}

// GetModuleVersion asks the host once, again only after a 0; InitLib comes once
// per attach with the module's own handle; a thread of the host that starts and
// ends changes nothing.
TEST_F(SessionTest, AsksTheHostAsTheHostExpects) {
    const Session session = Run("load\n"
                                "counters\n"
                                "date2int 0\n"
                                "version\n"
                                "version\n"
                                "date2int 4242\n"
                                "version\n"
                                "version\n"
                                "date2int 99\n"
                                "version\n"
                                "counters\n"
                                "init\n"
                                "open map tool 420 310 100 120 Map\n"
                                "await-file 5000\n"
                                "thread\n"
                                "thread\n"
                                "move map 300 200\n"
                                "await-file 5000\n"
                                "version\n"
                                "counters\n"
                                "exit\n"
                                "free\n"
                                "load\n"
                                "date2int date\n"
                                "version\n"
                                "counters\n");
    EXPECT_NE(session.trace.find("InitLib called 1 time(s) meanwhile, handle module"),
              std::string::npos)
        << session.trace;
    const auto versions = LinesStarting(session.trace, "GetModuleVersion -> ");
    const std::vector<std::string> expected = {
        "GetModuleVersion -> 0 (Date2Int asked 1 time(s))",
        "GetModuleVersion -> 0 (Date2Int asked 1 time(s))",
        "GetModuleVersion -> 4242 (Date2Int asked 1 time(s))",
        "GetModuleVersion -> 4242 (Date2Int asked 0 time(s))",
        "GetModuleVersion -> 4242 (Date2Int asked 0 time(s))",
        "GetModuleVersion -> 4242 (Date2Int asked 0 time(s))",     // after the threads
        "GetModuleVersion -> 20060425 (Date2Int asked 1 time(s))", // loaded afresh
    };
    EXPECT_EQ(versions, expected) << session.trace;

    const auto counters = LinesStarting(session.trace, "counters: ");
    ASSERT_EQ(counters.size(), 4u) << session.trace;
    EXPECT_EQ(counters[0].substr(0, 60),
              "counters: initlib=1 initlib-handle=module date2int=0 date2in");
    EXPECT_NE(counters[1].find("initlib=1 initlib-handle=module date2int=3 "
                               "date2int-text=\"Apr 25 2006\""),
              std::string::npos)
        << counters[1];
    // The threads neither announced the module again nor stopped its hook:
    // the move after them was recorded and saved.
    EXPECT_NE(counters[2].find("initlib=1 initlib-handle=module date2int=3 "), std::string::npos)
        << counters[2];
    EXPECT_EQ(LinesStarting(session.trace, "thread ").size(), 2u);
    EXPECT_EQ(LinesStarting(session.trace, "await-file: changed").size(), 2u) << session.trace;
    EXPECT_EQ(ReadFileBytes(File), Section(W + ";420;310;Map", 300, 200));
    // A second load is a second attach.
    EXPECT_NE(counters[3].find("initlib=2 initlib-handle=module date2int=4 "), std::string::npos)
        << counters[3];
}

} // namespace
