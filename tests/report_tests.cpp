// The one-time exception report: the message box found on screen, its owner,
// caption and text, and the flag that keeps every later report silent.

#include "host/box_watcher.h"
#include "report/exception_report.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* const WindowClass = "QuilloryReportTestWindow";

// Runs reports on a thread of its own that has the given number of top-level
// windows, while a watcher notes and closes every box of that thread. Returns
// the boxes and the thread's windows in the system's enumeration order.
struct ReportRun {
    std::vector<BoxReport> boxes;
    std::vector<HWND> windows;
};

ReportRun RunReports(int windowCount,
                     const std::vector<std::pair<std::string, std::string>>& reports) {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = WindowClass;
        return RegisterClassA(&wc) != 0;
    }();
    EXPECT_TRUE(registered);

    ReportRun run;
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD threadId = 0;
    std::thread reporter([&] {
        threadId = GetCurrentThreadId();
        std::vector<HWND> created;
        for (int i = 0; i < windowCount; ++i)
            created.push_back(CreateWindowExA(0, WindowClass,
                                              ("Window " + std::to_string(i)).c_str(),
                                              WS_POPUP | WS_CAPTION | WS_VISIBLE, 10 + 30 * i, 10,
                                              200, 100, nullptr, nullptr, nullptr, nullptr));
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND window, LPARAM list) {
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&run.windows));
        SetEvent(ready);
        WaitForSingleObject(go, INFINITE);
        for (const auto& [name, message] : reports)
            ReportException(name, std::runtime_error(message));
        for (HWND window : created)
            DestroyWindow(window);
    });
    WaitForSingleObject(ready, INFINITE);
    {
        BoxWatcher watcher(threadId);
        SetEvent(go);
        reporter.join();
        run.boxes = watcher.Finish();
    }
    CloseHandle(ready);
    CloseHandle(go);
    return run;
}

std::string ExpectedText(const std::string& name, const std::string& message) {
    return "Module " + name + " has thrown an exception.\n\nMessage:\n" + message +
           "\n\nNo further messages will be shown about exceptions in " + name + ".";
}

class ReportTest : public ::testing::Test {
protected:
    // The flag is never cleared in a real load; each case here is a fresh load.
    void SetUp() override { ModuleDisabled = false; }
    void TearDown() override { ModuleDisabled = false; }
};

} // namespace

TEST_F(ReportTest, ShowsOneBoxWithoutOwnerWhenTheThreadHasNoWindows) {
    const ReportRun run = RunReports(0, {{"Quillory", "bad allocation"}});
    ASSERT_EQ(run.boxes.size(), 1u);
    const BoxReport& box = run.boxes[0];
    EXPECT_EQ(box.caption, "Quillory");
    EXPECT_EQ(box.text, ExpectedText("Quillory", "bad allocation"));
    EXPECT_EQ(box.owner, nullptr);
    // (Wine does not mark message boxes topmost, so that part of the style
    // cannot be seen here.)
    EXPECT_EQ(box.icon, "error");
    EXPECT_TRUE(ModuleDisabled);
    EXPECT_EQ(gReporterModuleName, "Quillory");
}

TEST_F(ReportTest, OneBoxOwnedByTheFirstEnumeratedWindow) {
    const ReportRun run = RunReports(3, {{"Quillory", "first"}});
    // The system may have windows of its own on the thread (an input-method
    // window, hidden): the first of all enumerated owns the box.
    ASSERT_GE(run.windows.size(), 3u);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].owner, run.windows.front());
}

TEST_F(ReportTest, LaterReportsInTheSameLoadShowNothing) {
    const ReportRun run =
        RunReports(1, {{"Quillory", "first"}, {"Other", "second"}, {"Quillory", "third"}});
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, ExpectedText("Quillory", "first"));
    EXPECT_TRUE(ModuleDisabled);
    EXPECT_EQ(gReporterModuleName, "Quillory") << "the latest report's name is kept";
}

TEST_F(ReportTest, UsesTheGivenNameEverywhereAndTheMessageBytesUnchanged) {
    struct Case {
        std::string name, message;
    };
    const std::vector<Case> cases = {
        {"Other Module", "disk full"},
        {"Quillory", ""},
        {"Quillory", "caf\xE9 \xC0 la cr\xE8me; [x] = y"},
    };
    for (const auto& c : cases) {
        ModuleDisabled = false;
        const ReportRun run = RunReports(0, {{c.name, c.message}});
        ASSERT_EQ(run.boxes.size(), 1u);
        EXPECT_EQ(run.boxes[0].caption, c.name);
        EXPECT_EQ(run.boxes[0].text, ExpectedText(c.name, c.message));
    }
    // The empty message: "Message:\n" directly followed by the closing lines.
    EXPECT_NE(ExpectedText("Q", "").find("Message:\n\n\nNo further"), std::string::npos);
}
