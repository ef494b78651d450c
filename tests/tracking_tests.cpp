// Window tracking against the real window system: snapshots of real windows,
// the layout key, the passes moving real windows, and the hook and timers
// driven by real messages.

#include "persistence/placement_file.h"
#include "test_support.h"
#include "tracking/debounce_timers.h"
#include "tracking/passes.h"
#include "tracking/placement_table.h"
#include "tracking/window_snapshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// Found by argument lookup, so at global scope like POINT itself.
bool operator==(const POINT& a, const POINT& b) {
    return a.x == b.x && a.y == b.y;
}
std::ostream& operator<<(std::ostream& out, const POINT& p) {
    return out << "(" << p.x << "," << p.y << ")";
}

namespace {

const char* const WindowClass = "QuilloryTestWindow";

void RegisterWindowClass() {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = WindowClass;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        return RegisterClassA(&wc) != 0;
    }();
    ASSERT_TRUE(registered);
}

// A top-level window (a popup with a caption, as the host's dialogs are) that
// is destroyed with its owner object unless destroyed before.
struct TestWindow {
    HWND handle = nullptr;

    TestWindow(const std::string& title, int left, int top, int width, int height,
               bool visible = true, HWND owner = nullptr, DWORD exStyle = 0,
               DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU) {
        RegisterWindowClass();
        handle = CreateWindowExA(exStyle, WindowClass, title.c_str(),
                                 style | (visible ? WS_VISIBLE : 0), left, top, width, height,
                                 owner, nullptr, GetModuleHandleA(nullptr), nullptr);
        EXPECT_NE(handle, nullptr);
    }
    ~TestWindow() { Destroy(); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    void Destroy() {
        if (handle)
            DestroyWindow(handle);
        handle = nullptr;
    }
    RECT Rect() const {
        RECT r{};
        GetWindowRect(handle, &r);
        return r;
    }
    POINT Position() const {
        const RECT r = Rect();
        return POINT{r.left, r.top};
    }
    void MoveTo(int left, int top) const {
        SetWindowPos(handle, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void Resize(int width, int height) const {
        SetWindowPos(handle, nullptr, 0, 0, width, height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // The record a snapshot would make of this window.
    WindowRecord Record() const {
        const RECT r = Rect();
        char title[256] = {};
        GetWindowTextA(handle, title, sizeof title);
        return WindowRecord{handle, r.left, r.top, r.right - r.left, r.bottom - r.top, title};
    }
};

std::vector<HWND> Handles(const WindowSnapshot& snapshot) {
    std::vector<HWND> handles;
    for (const auto& record : snapshot)
        handles.push_back(record.handle);
    return handles;
}

bool Contains(const WindowSnapshot& snapshot, HWND window) {
    const auto handles = Handles(snapshot);
    return std::find(handles.begin(), handles.end(), window) != handles.end();
}

// Every test starts with an empty table, no pending timer and a windowed render
// window, in a scratch working directory (a save may run).
class TrackingTest : public ::testing::Test {
protected:
    void SetUp() override {
        gPlacementTable.clear();
        CancelTimers();
        FullscreenRenderWindow = nullptr;
        layout = CurrentLayoutKey(false);
    }
    void TearDown() override {
        CancelTimers();
        gPlacementTable.clear();
        FullscreenRenderWindow = nullptr;
    }
    // A stored, unbound record for a window of this size and title.
    void Store(const LayoutKey& key, int left, int top, int width, int height,
               const std::string& title) {
        const WindowRecord record{nullptr, left, top, width, height, title};
        gPlacementTable[key][FormatWindowKey(record)] = record;
    }
    WindowRecord& At(const LayoutKey& key, const WindowRecord& window) {
        return gPlacementTable[key][FormatWindowKey(window)];
    }

    ScratchDirectory scratch;
    LayoutKey layout;
};

} // namespace

// ---------------------------------------------------------------------------
// Snapshot

TEST_F(TrackingTest, SnapshotHoldsVisibleTitledSizedTopLevelWindowsOnly) {
    TestWindow plain("Plain", 100, 110, 300, 200);
    TestWindow hidden("Hidden", 10, 10, 300, 200, false);
    TestWindow untitled("", 10, 10, 300, 200);
    TestWindow noWidth("No width", 10, 10, 0, 200, true, nullptr, 0, WS_POPUP);
    TestWindow noHeight("No height", 10, 10, 200, 0, true, nullptr, 0, WS_POPUP);
    TestWindow dialog("Owned dialog", 50, 60, 250, 150, true, plain.handle, WS_EX_DLGMODALFRAME);
    TestWindow tool("Tool window", 70, 80, 120, 90, true, plain.handle, WS_EX_TOOLWINDOW);
    const HWND child = CreateWindowExA(0, "BUTTON", "Child button", WS_CHILD | WS_VISIBLE, 5, 5, 80,
                                       20, plain.handle, nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);

    // A window of another thread, alive while the snapshot is taken.
    HWND foreign = nullptr;
    HANDLE created = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread other([&] {
        TestWindow window("Other thread", 10, 10, 300, 200);
        foreign = window.handle;
        SetEvent(created);
        WaitForSingleObject(done, INFINITE);
    });
    WaitForSingleObject(created, INFINITE);

    const WindowSnapshot snapshot = SnapshotWindows();
    SetEvent(done);
    other.join();
    CloseHandle(created);
    CloseHandle(done);

    EXPECT_EQ(snapshot.size(), 3u);
    for (HWND present : {plain.handle, dialog.handle, tool.handle})
        EXPECT_TRUE(Contains(snapshot, present));
    for (HWND absent :
         {hidden.handle, untitled.handle, noWidth.handle, noHeight.handle, child, foreign})
        EXPECT_FALSE(Contains(snapshot, absent));

    for (const auto& record : snapshot) {
        if (record.handle != plain.handle)
            continue;
        const WindowRecord expected = plain.Record();
        EXPECT_EQ(record.left, 100);
        EXPECT_EQ(record.top, 110);
        EXPECT_EQ(record.width, 300);
        EXPECT_EQ(record.height, 200);
        EXPECT_EQ(record.title, "Plain");
        EXPECT_EQ(FormatWindowKey(record), FormatWindowKey(expected));
    }

    // Shown, the hidden window is there; hidden again, it is gone.
    ShowWindow(hidden.handle, SW_SHOWNOACTIVATE);
    EXPECT_TRUE(Contains(SnapshotWindows(), hidden.handle));
    ShowWindow(hidden.handle, SW_HIDE);
    EXPECT_FALSE(Contains(SnapshotWindows(), hidden.handle));
}

TEST_F(TrackingTest, SnapshotCutsLongTitlesAndKeepsEqualWindowsInEnumerationOrder) {
    const std::string longTitle(300, 'x');
    TestWindow longWindow(longTitle, 10, 10, 200, 100);
    TestWindow first("Twin", 20, 20, 200, 100);
    TestWindow second("Twin", 30, 30, 200, 100);
    TestWindow minimised("Minimised", 40, 40, 200, 100);
    ShowWindow(minimised.handle, SW_SHOWMINNOACTIVE);

    // The system's own enumeration order, to compare with.
    std::vector<HWND> enumerated;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&enumerated));

    const WindowSnapshot snapshot = SnapshotWindows();
    std::vector<HWND> expectedOrder;
    for (HWND window : enumerated)
        if (Contains(snapshot, window))
            expectedOrder.push_back(window);
    EXPECT_EQ(Handles(snapshot), expectedOrder);
    EXPECT_EQ(snapshot.size(), 4u);

    for (const auto& record : snapshot) {
        if (record.handle == longWindow.handle) {
            EXPECT_EQ(record.title, std::string(254, 'x'));
        }
        if (record.handle == minimised.handle) {
            const RECT r = minimised.Rect();
            EXPECT_EQ(record.left, r.left);
            EXPECT_EQ(record.top, r.top);
            EXPECT_EQ(record.width, r.right - r.left);
        }
    }
    EXPECT_TRUE(Contains(snapshot, first.handle));
    EXPECT_TRUE(Contains(snapshot, second.handle));
}

// ---------------------------------------------------------------------------
// Layout key

TEST(LayoutKeyTest, NamesTheBoundsOfAllMonitorsAndTheRenderMode) {
    struct Case {
        std::vector<RECT> monitors;
        bool fullscreen;
        const char* key;
    };
    const std::vector<Case> cases = {
        {{{0, 0, 1920, 1080}}, false, "1920x1080xW"},
        {{{0, 0, 1920, 1080}}, true, "1920x1080xF"},
        {{{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}}, false, "3840x1080xW"},
        {{{0, 0, 1920, 1080}, {-1920, 0, 0, 1080}}, false, "3840x1080xW"},
        {{{0, 0, 1920, 1080}, {0, 1080, 1920, 2160}}, false, "1920x2160xW"},
        {{{0, 0, 1920, 1080}, {1920, 200, 3200, 1224}}, false, "3200x1224xW"},
        {{}, false, "-19999998x-19999998xW"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LayoutKeyForMonitors(c.monitors, c.fullscreen), c.key);
}

TEST(LayoutKeyTest, RealDisplayGivesTheVirtualScreenSize) {
    const std::string size = std::to_string(GetSystemMetrics(SM_CXVIRTUALSCREEN)) + "x" +
                             std::to_string(GetSystemMetrics(SM_CYVIRTUALSCREEN));
    EXPECT_EQ(CurrentLayoutKey(false), size + "xW");
    EXPECT_EQ(CurrentLayoutKey(true), size + "xF");
}

// ---------------------------------------------------------------------------
// Passes

// One window meets the table in one RestorePass.
TEST_F(TrackingTest, RestorePassMovesToStoredUnboundPlacesAndLearnsNewOnes) {
    const HWND gone = [] {
        TestWindow destroyed("Gone", 0, 0, 10, 10);
        return destroyed.handle;
    }();
    struct Case {
        const char* what;
        bool stored;
        POINT place;      // stored left/top
        HWND boundTo;     // the stored record's handle
        bool expectMoved; // to the stored place; else the window stays put
    };
    const std::vector<Case> cases = {
        {"new key is learned", false, {0, 0}, nullptr, false},
        {"stored unbound place", true, {400, 300}, nullptr, true},
        {"partly off-screen place", true, {-8, 0}, nullptr, true},
        {"minimised parking place", true, {-32000, -32000}, nullptr, false},
        {"beyond every monitor", true, {5000, 100}, nullptr, false},
        {"record held by a destroyed window", true, {400, 300}, gone, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        gPlacementTable.clear();
        TestWindow window("Restore me", 120, 130, 320, 240);
        const WindowRecord before = window.Record();
        if (c.stored) {
            Store(layout, c.place.x, c.place.y, before.width, before.height, before.title);
            At(layout, before).handle = c.boundTo;
        }
        RestorePass();

        const POINT expectedPlace = c.expectMoved ? c.place : POINT{120, 130};
        EXPECT_EQ(window.Position(), expectedPlace);
        ASSERT_EQ(gPlacementTable[layout].size(), 1u);
        const WindowRecord& record = At(layout, before);
        EXPECT_EQ(record.handle, c.boundTo ? c.boundTo : window.handle);
        EXPECT_EQ(record.left, c.stored ? c.place.x : before.left);
        EXPECT_EQ(record.top, c.stored ? c.place.y : before.top);
        EXPECT_EQ(record.width, before.width);
        EXPECT_EQ(record.height, before.height);
        EXPECT_EQ(record.title, "Restore me");
    }
}

TEST_F(TrackingTest, BoundWindowIsNotMovedAgainUntilReleased) {
    TestWindow window("Bound", 100, 100, 300, 200);
    Store(layout, 400, 300, 300, 200, "Bound");
    RestorePass();
    EXPECT_EQ(window.Position(), (POINT{400, 300}));

    // Moved by the user and shown again with no release in between: stays put.
    window.MoveTo(50, 60);
    ShowWindow(window.handle, SW_HIDE);
    ShowWindow(window.handle, SW_SHOWNOACTIVATE);
    RestorePass();
    EXPECT_EQ(window.Position(), (POINT{50, 60}));

    // The record follows the window while it is bound.
    RecordPass();
    EXPECT_EQ(At(layout, window.Record()).left, 50);
    EXPECT_EQ(At(layout, window.Record()).top, 60);

    // Hidden when a release runs: unbound; moved meanwhile and shown again, it
    // goes back to the place the record kept.
    ShowWindow(window.handle, SW_HIDE);
    ReleasePass();
    EXPECT_EQ(At(layout, window.Record()).handle, nullptr);
    window.MoveTo(700, 10);
    ShowWindow(window.handle, SW_SHOWNOACTIVATE);
    RestorePass();
    EXPECT_EQ(window.Position(), (POINT{50, 60}));
    EXPECT_EQ(At(layout, window.Record()).handle, window.handle);
}

TEST_F(TrackingTest, OfEqualWindowsOnlyTheFirstIsBoundUntilItIsGone) {
    Store(layout, 500, 400, 200, 100, "Twin");
    auto first = std::make_unique<TestWindow>("Twin", 10, 10, 200, 100);
    TestWindow second("Twin", 20, 20, 200, 100);
    const WindowSnapshot snapshot = SnapshotWindows();
    ASSERT_EQ(snapshot.size(), 2u);
    const bool firstLeads = snapshot[0].handle == first->handle;
    TestWindow* leader = firstLeads ? first.get() : &second;
    TestWindow* follower = firstLeads ? &second : first.get();
    const POINT followerStart = follower->Position();

    RestorePass();
    EXPECT_EQ(leader->Position(), (POINT{500, 400}));
    EXPECT_EQ(follower->Position(), followerStart);
    EXPECT_EQ(At(layout, leader->Record()).handle, leader->handle);

    // The follower's moves are not recorded while the leader holds the record.
    follower->MoveTo(33, 44);
    RecordPass();
    EXPECT_EQ(At(layout, leader->Record()).left, 500);

    // Once the leader is gone and released, the follower takes the record.
    if (leader == first.get())
        first.reset();
    else
        second.Destroy();
    RestorePass();
    EXPECT_EQ(follower->Position(), (POINT{33, 44})) << "not before a release";
    ReleasePass();
    RestorePass();
    EXPECT_EQ(follower->Position(), (POINT{500, 400}));
}

TEST_F(TrackingTest, ResizedWindowIsBoundToTwoRecordsAndRecordsTheFirstInByteOrder) {
    TestWindow window("A", 10, 20, 980, 40);
    RestorePass();
    ASSERT_EQ(At(layout, window.Record()).handle, window.handle);

    window.Resize(1000, 40);
    Store(layout, 300, 200, 1000, 40, "A"); // stored and unbound: moved there
    RestorePass();
    EXPECT_EQ(window.Position(), (POINT{300, 200}));
    auto& records = gPlacementTable[layout];
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records["1000;40;A"].handle, window.handle);
    EXPECT_EQ(records["980;40;A"].handle, window.handle);

    window.MoveTo(70, 80);
    RecordPass();
    EXPECT_EQ(records["1000;40;A"].left, 70);
    EXPECT_EQ(records["980;40;A"].left, 10) << "only the first bound record is updated";

    // Resized back to a size it is still bound under: nothing moves it.
    window.Resize(980, 40);
    RestorePass();
    EXPECT_EQ(window.Position(), (POINT{70, 80}));

    // Resized to a new size: learned, not moved.
    window.Resize(500, 40);
    RestorePass();
    EXPECT_EQ(window.Position(), (POINT{70, 80}));
    EXPECT_EQ(records["500;40;A"].left, 70);
    EXPECT_EQ(records.size(), 3u);
}

TEST_F(TrackingTest, EmptySnapshotTouchesNothingButReleaseUnbindsAll) {
    const WindowRecord a{reinterpret_cast<HWND>(0x1111), 1, 2, 3, 4, "A"};
    const WindowRecord b{reinterpret_cast<HWND>(0x2222), 5, 6, 7, 8, "B"};
    gPlacementTable["other"][FormatWindowKey(a)] = a;

    RestorePass();
    RecordPass();
    EXPECT_EQ(gPlacementTable.count(layout), 0u) << "no layout created";
    EXPECT_EQ(SaveTimer.id, 0u);

    ReleasePass();
    ASSERT_EQ(gPlacementTable.count(layout), 1u) << "release creates the current layout";
    EXPECT_TRUE(gPlacementTable[layout].empty());

    gPlacementTable[layout][FormatWindowKey(a)] = a;
    gPlacementTable[layout][FormatWindowKey(b)] = b;
    ReleasePass();
    for (const auto& entry : gPlacementTable[layout])
        EXPECT_EQ(entry.second.handle, nullptr);
    EXPECT_EQ(gPlacementTable["other"][FormatWindowKey(a)].handle, a.handle)
        << "other layouts keep their bindings";
}

TEST_F(TrackingTest, RecordPassArmsTheSaveOnlyForBoundWindows) {
    TestWindow window("Record", 10, 10, 200, 100);
    RecordPass();
    EXPECT_EQ(SaveTimer.id, 0u) << "nothing bound, nothing to save";
    RestorePass();
    EXPECT_EQ(SaveTimer.id, 0u) << "learning does not save";
    RecordPass();
    EXPECT_NE(SaveTimer.id, 0u);
}

TEST_F(TrackingTest, FullscreenAndWindowedLayoutsKeepTheirOwnPlaces) {
    const LayoutKey windowed = CurrentLayoutKey(false);
    const LayoutKey fullscreen = CurrentLayoutKey(true);
    ASSERT_NE(windowed, fullscreen);
    TestWindow window("Layouts", 10, 10, 200, 100);
    Store(windowed, 300, 300, 200, 100, "Layouts");
    Store(fullscreen, 600, 500, 200, 100, "Layouts");

    TestWindow render("Render", 0, 0, 50, 50, false);
    FullscreenRenderWindow = render.handle;
    RestorePass();
    EXPECT_EQ(window.Position(), (POINT{600, 500}));
    window.MoveTo(610, 510);
    RecordPass();
    EXPECT_EQ(At(fullscreen, window.Record()).left, 610);
    EXPECT_EQ(At(windowed, window.Record()).left, 300);
    EXPECT_EQ(At(windowed, window.Record()).handle, nullptr);

    FullscreenRenderWindow = nullptr;
    RestorePass();
    EXPECT_EQ(window.Position(), (POINT{300, 300}));
    ReleasePass(); // the window still exists: the windowed binding stays
    EXPECT_EQ(At(windowed, window.Record()).handle, window.handle);
    EXPECT_EQ(At(fullscreen, window.Record()).handle, window.handle)
        << "bindings of a layout not current survive";
}

// ---------------------------------------------------------------------------
// Hook and debounce timers

namespace {

double NowMs() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / frequency;
}

// Timers may come due late on a loaded machine, never early; the slack covers
// only the difference between the system's clock and this one.
constexpr double ClockSlackMs = 5.0;

struct Firing {
    const DebounceTimer* timer;
    double at;
};

// Runs the message loop like the host does, noting when each of the module's
// timers runs its work.
std::vector<Firing> PumpAndLog(DWORD milliseconds) {
    const DebounceTimer* const timers[] = {&RestoreTimer, &ReleaseTimer, &RecordTimer, &SaveTimer};
    std::vector<Firing> firings;
    const double end = NowMs() + milliseconds;
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            unsigned runs[4];
            for (int i = 0; i < 4; ++i)
                runs[i] = timers[i]->runs;
            const double at = NowMs();
            TranslateMessage(&message);
            DispatchMessageA(&message);
            for (int i = 0; i < 4; ++i)
                for (unsigned n = runs[i]; n != timers[i]->runs; ++n)
                    firings.push_back({timers[i], at});
        }
        const double now = NowMs();
        if (now >= end)
            break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now) + 1,
                                  QS_ALLINPUT);
    }
    return firings;
}

std::vector<double> TimesOf(const std::vector<Firing>& firings, const DebounceTimer& timer) {
    std::vector<double> times;
    for (const auto& firing : firings)
        if (firing.timer == &timer)
            times.push_back(firing.at);
    return times;
}

// Checks debouncing against the triggering messages' times: a timer fires only
// once its interval has passed since the latest trigger, at most once per quiet
// gap, and exactly once after the last trigger. On an idle machine, triggers
// closer than the interval thus give exactly one firing.
void ExpectDebounced(const std::vector<double>& triggers, const std::vector<double>& firings,
                     const DebounceTimer& timer) {
    ASSERT_FALSE(triggers.empty());
    const double interval = timer.interval;
    size_t next = 0; // first trigger after the firing under test
    double previousFiring = -1e300;
    for (const double fired : firings) {
        while (next < triggers.size() && triggers[next] <= fired)
            ++next;
        ASSERT_GT(next, 0u) << "fired before any trigger";
        const double lastTrigger = triggers[next - 1];
        EXPECT_GE(fired - lastTrigger, interval - ClockSlackMs) << "fired too soon";
        EXPECT_LT(previousFiring, lastTrigger) << "fired twice for one quiet gap";
        previousFiring = fired;
    }
    ASSERT_FALSE(firings.empty()) << "never fired";
    EXPECT_GT(firings.back(), triggers.back()) << "no firing after the last trigger";
    size_t longGaps = 0;
    for (size_t i = 1; i < triggers.size(); ++i)
        if (triggers[i] - triggers[i - 1] >= interval - ClockSlackMs)
            ++longGaps;
    EXPECT_LE(firings.size(), longGaps + 1);
}

class HookTest : public TrackingTest {
protected:
    void SetUp() override {
        TrackingTest::SetUp();
        gHookHandle = SetWindowsHookExA(WH_CALLWNDPROC, CallWndHook, nullptr, GetCurrentThreadId());
        ASSERT_NE(gHookHandle, nullptr);
    }
    void TearDown() override {
        UnhookWindowsHookEx(gHookHandle);
        gHookHandle = nullptr;
        TrackingTest::TearDown();
    }
    bool NonePending() const {
        return RestoreTimer.id == 0 && ReleaseTimer.id == 0 && RecordTimer.id == 0 &&
               SaveTimer.id == 0;
    }
};

} // namespace

TEST_F(HookTest, EachWatchedMessageArmsItsOwnTimerOnly) {
    // Which timers are pending after an action, as letters: Restore, reLease, reCord, Save.
    auto pending = [] {
        std::string letters;
        for (auto [timer, letter] : {std::pair{&RestoreTimer, 'R'},
                                     {&ReleaseTimer, 'L'},
                                     {&RecordTimer, 'C'},
                                     {&SaveTimer, 'S'}})
            if (timer->id != 0)
                letters += letter;
        return letters;
    };
    struct Case {
        const char* what;
        void (*act)(TestWindow& window, HWND child);
        const char* armed;
    };
    const std::vector<Case> cases = {
        {"hide", [](TestWindow& w, HWND) { ShowWindow(w.handle, SW_HIDE); }, "R"},
        {"show",
         [](TestWindow& w, HWND) {
             ShowWindow(w.handle, SW_HIDE);
             CancelTimers();
             ShowWindow(w.handle, SW_SHOWNOACTIVATE);
         },
         "R"},
        {"move", [](TestWindow& w, HWND) { w.MoveTo(321, 123); }, "C"},
        {"move a child control",
         [](TestWindow&, HWND child) { MoveWindow(child, 7, 7, 50, 20, FALSE); }, "C"},
        // Creation sends WM_CREATE, then WM_MOVE for the first placement.
        {"create a child control",
         [](TestWindow& w, HWND) {
             CreateWindowExA(0, "STATIC", "x", WS_CHILD, 0, 0, 5, 5, w.handle, nullptr, nullptr,
                             nullptr);
         },
         "RC"},
        {"destroy a hidden child control",
         [](TestWindow&, HWND child) {
             ShowWindow(child, SW_HIDE);
             CancelTimers();
             DestroyWindow(child);
         },
         "L"},
        {"destroy a hidden window",
         [](TestWindow& w, HWND) {
             ShowWindow(w.handle, SW_HIDE);
             CancelTimers();
             w.Destroy();
         },
         "L"},
        {"another message",
         [](TestWindow& w, HWND) { SendMessageA(w.handle, WM_SETTEXT, 0, (LPARAM) "New title"); },
         ""},
        {"a posted message", [](TestWindow& w, HWND) { PostMessageA(w.handle, WM_MOVE, 0, 0); },
         ""},
    };
    for (const auto& c : cases) {
        TestWindow window("Hooked", 10, 10, 200, 100);
        const HWND child = CreateWindowExA(0, "BUTTON", "b", WS_CHILD | WS_VISIBLE, 1, 1, 40, 20,
                                           window.handle, nullptr, nullptr, nullptr);
        CancelTimers();
        c.act(window, child);
        EXPECT_EQ(pending(), c.armed) << c.what;
        CancelTimers();
        PumpMessagesFor(0); // deliver what was posted
        // Posted messages reach the window without passing the hook.
        EXPECT_EQ(pending(), "") << c.what << ", after delivery";
        CancelTimers();
    }
}

TEST_F(HookTest, NegativeCodeArmsNothingAndIsStillPassedOn) {
    TestWindow window("Negative", 10, 10, 200, 100);
    CancelTimers();
    CWPSTRUCT message{0, 0, WM_MOVE, window.handle};
    EXPECT_EQ(CallWndHook(-1, 0, reinterpret_cast<LPARAM>(&message)), 0);
    EXPECT_TRUE(NonePending());
    EXPECT_EQ(CallWndHook(HC_ACTION, 0, reinterpret_cast<LPARAM>(&message)), 0);
    EXPECT_NE(RecordTimer.id, 0u);
}

TEST_F(HookTest, BuildingADialogGivesOneRestorePassAfterTheLastMessage) {
    TestWindow dialog("Burst", 200, 150, 400, 300, false);
    for (int i = 0; i < 30; ++i)
        CreateWindowExA(0, "BUTTON", "Control", WS_CHILD | WS_VISIBLE, 5, 5 + 8 * i, 80, 8,
                        dialog.handle, nullptr, nullptr, nullptr);
    ShowWindow(dialog.handle, SW_SHOWNOACTIVATE);
    const double lastMessage = NowMs();
    const auto firings = PumpAndLog(400);
    ExpectDebounced({lastMessage}, TimesOf(firings, RestoreTimer), RestoreTimer);
    EXPECT_EQ(TimesOf(firings, RestoreTimer).size(), 1u);
    EXPECT_EQ(At(layout, dialog.Record()).handle, dialog.handle) << "the pass ran";
}

TEST_F(HookTest, ClosingAWindowWithManyControlsGivesOneReleasePass) {
    TestWindow window("Many controls", 10, 10, 400, 300);
    for (int i = 0; i < 30; ++i)
        CreateWindowExA(0, "BUTTON", "Control", WS_CHILD | WS_VISIBLE, 5, 5 + 8 * i, 80, 8,
                        window.handle, nullptr, nullptr, nullptr);
    PumpAndLog(400); // learned and bound
    ASSERT_EQ(At(layout, window.Record()).handle, window.handle);
    const WindowRecord identity = window.Record();
    window.Destroy();
    const double destroyed = NowMs();
    const auto firings = PumpAndLog(400);
    ExpectDebounced({destroyed}, TimesOf(firings, ReleaseTimer), ReleaseTimer);
    EXPECT_EQ(TimesOf(firings, ReleaseTimer).size(), 1u);
    EXPECT_EQ(At(layout, identity).handle, nullptr) << "released";
}

TEST_F(HookTest, DragGivesOneRecordPassThenOneSaveWithTheNewPlace) {
    TestWindow window("Drag me", 100, 100, 300, 200);
    PumpAndLog(900); // learned; the creation's own moves recorded and saved
    std::vector<double> moves;
    std::vector<Firing> firings;
    // Longer than any interval, with moves far closer than the record interval.
    for (int step = 1; step <= 60; ++step) {
        window.MoveTo(100 + 5 * step, 100 + 3 * step);
        moves.push_back(NowMs());
        const auto during = PumpAndLog(20);
        firings.insert(firings.end(), during.begin(), during.end());
    }
    const auto after = PumpAndLog(1200);
    firings.insert(firings.end(), after.begin(), after.end());

    const auto records = TimesOf(firings, RecordTimer);
    const auto saves = TimesOf(firings, SaveTimer);
    ExpectDebounced(moves, records, RecordTimer);
    ExpectDebounced(records, saves, SaveTimer);
    EXPECT_EQ(records.size(), 1u);
    EXPECT_EQ(saves.size(), 1u);

    const WindowRecord now = window.Record();
    EXPECT_EQ(now.left, 400);
    EXPECT_EQ(now.top, 280);
    const std::string section =
        "[" + layout + ";" + FormatWindowKey(now) + "]\r\nLeft = 400\r\nTop = 280\r\n";
    EXPECT_NE(ReadFileBytes("Config/Quillory.ini").find(section), std::string::npos);
}

TEST_F(HookTest, TimersCountDownIndependentlyAndCanFireAgain) {
    TestWindow moved("Moved", 10, 10, 200, 100);
    auto closed = std::make_unique<TestWindow>("Closed", 300, 10, 200, 100);
    PumpAndLog(900);

    moved.MoveTo(50, 60);
    const double moveAt = NowMs();
    PumpAndLog(30);
    closed.reset();
    const double closeAt = NowMs();
    auto firings = PumpAndLog(500);
    ExpectDebounced({moveAt}, TimesOf(firings, RecordTimer), RecordTimer);
    ExpectDebounced({closeAt}, TimesOf(firings, ReleaseTimer), ReleaseTimer);
    EXPECT_EQ(TimesOf(firings, RecordTimer).size(), 1u);
    EXPECT_EQ(TimesOf(firings, ReleaseTimer).size(), 1u);

    // Armed again after it fired: a new timer, one more pass; the others stay idle.
    for (int round = 0; round < 2; ++round) {
        ShowWindow(moved.handle, SW_HIDE);
        ShowWindow(moved.handle, SW_SHOWNOACTIVATE);
        const double shownAt = NowMs();
        firings = PumpAndLog(250);
        ExpectDebounced({shownAt}, TimesOf(firings, RestoreTimer), RestoreTimer);
        EXPECT_EQ(TimesOf(firings, RestoreTimer).size(), 1u);
        EXPECT_TRUE(TimesOf(firings, ReleaseTimer).empty());
    }
}
