// Prints the cost of the module's work on the host's UI thread, each figure
// side by side with the anchor it is judged against, all measured in one run:
//   1. the hook per message, against no hook and an empty WH_CALLWNDPROC hook;
//   2. each pass, against the snapshot it starts from;
//   3. saving and loading the placement file, against plain file calls writing
//      (and replacing) and reading the same bytes; and the memory per record.
// Usage: quillory_bench.exe [messages [hook|passes|file]]   (default 200000, all)

#include "persistence/file_commit.h"
#include "persistence/placement_file.h"
#include "tracking/debounce_timers.h"
#include "tracking/passes.h"
#include "tracking/placement_table.h"
#include "tracking/window_snapshot.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Live heap bytes, counted by this program's own operator new and delete, so
// that the memory the document and the table hold can be read exactly.

namespace {
std::atomic<long long> gLiveBytes{0};
}

void* operator new(size_t size) {
    void* block = HeapAlloc(GetProcessHeap(), 0, size ? size : 1);
    if (!block)
        throw std::bad_alloc();
    gLiveBytes += static_cast<long long>(HeapSize(GetProcessHeap(), 0, block));
    return block;
}
void operator delete(void* block) noexcept {
    if (!block)
        return;
    gLiveBytes -= static_cast<long long>(HeapSize(GetProcessHeap(), 0, block));
    HeapFree(GetProcessHeap(), 0, block);
}
void* operator new[](size_t size) {
    return operator new(size);
}
void operator delete[](void* pointer) noexcept {
    operator delete(pointer);
}
void operator delete(void* pointer, size_t) noexcept {
    operator delete(pointer);
}
void operator delete[](void* pointer, size_t) noexcept {
    operator delete(pointer);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    try {
        return operator new(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return operator new(size, std::nothrow);
}

namespace {

double NowUs() {
    static const double perUs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1e6;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / perUs;
}

// The median of several timed runs of one piece of work, in microseconds.
double MedianUs(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = NowUs();
        work();
        times.push_back(NowUs() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void Row(const char* what, const std::string& size, double figure, const char* unit,
         const char* anchorName, double anchor) {
    std::printf("| %-34s | %-22s | %12.1f %-3s | %-18s | %12.1f %-3s | %6.2f |\n", what,
                size.c_str(), figure, unit, anchorName, anchor, unit, figure / anchor);
}

void Header(const char* title) {
    std::printf("\n%s\n\n", title);
    std::printf("| %-34s | %-22s | %16s | %-18s | %16s | %6s |\n", "measured", "size", "figure",
                "anchor", "anchor figure", "ratio");
    std::printf("|%s|%s|%s|%s|%s|%s|\n", std::string(36, '-').c_str(), std::string(24, '-').c_str(),
                std::string(18, '-').c_str(), std::string(20, '-').c_str(),
                std::string(18, '-').c_str(), std::string(8, '-').c_str());
}

const char* const WindowClass = "QuilloryBenchWindow";

HWND MakeWindow(const std::string& title, int index, bool visible = true) {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = WindowClass;
        return RegisterClassA(&wc) != 0;
    }();
    (void)registered;
    return CreateWindowExA(0, WindowClass, title.c_str(),
                           WS_POPUP | WS_CAPTION | (visible ? WS_VISIBLE : 0), 10 + index % 40 * 20,
                           10 + index % 30 * 20, 200 + index % 7, 120 + index % 5, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

void Pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
}

// ---------------------------------------------------------------------------
// 1. Hook cost per message

LRESULT CALLBACK EmptyHook(int code, WPARAM wParam, LPARAM lParam) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void BenchHook(int messages) {
    Header("Hook cost per message (SendMessage to a window of the thread)");
    const HWND window = MakeWindow("Hook target", 0);
    struct Kind {
        const char* name;
        UINT message;
    };
    for (const Kind& kind :
         {Kind{"ignored message (WM_USER)", WM_USER}, Kind{"WM_MOVE", WM_MOVE}}) {
        // The three set-ups take turns, a slice of the messages each per round:
        // a hook call goes through Wine's server, whose speed drifts, and the
        // drift then falls on all three alike.
        constexpr int Rounds = 10;
        const int perRound = std::max(1, messages / Rounds);
        const HOOKPROC setups[3] = {nullptr, EmptyHook, CallWndHook};
        std::vector<double> nsPerMessage[3];
        for (int round = 0; round < Rounds; ++round) {
            for (int i = 0; i < 3; ++i) {
                const HHOOK hook = setups[i] ? SetWindowsHookExA(WH_CALLWNDPROC, setups[i], nullptr,
                                                                 GetCurrentThreadId())
                                             : nullptr;
                if (setups[i] == CallWndHook)
                    gHookHandle = hook;
                const double start = NowUs();
                for (int m = 0; m < perRound; ++m)
                    SendMessageA(window, kind.message, 0, 0);
                nsPerMessage[i].push_back((NowUs() - start) * 1000.0 / perRound);
                if (hook)
                    UnhookWindowsHookEx(hook);
                gHookHandle = nullptr;
                CancelTimers();
                Pump();
            }
        }
        double medians[3];
        for (int i = 0; i < 3; ++i) {
            std::sort(nsPerMessage[i].begin(), nsPerMessage[i].end());
            medians[i] = nsPerMessage[i][Rounds / 2];
        }
        const double none = medians[0];
        const double empty = medians[1];
        const double module = medians[2];
        const std::string size = std::to_string(messages) + " messages";
        std::string what = std::string("no hook, ") + kind.name;
        Row(what.c_str(), size, none, "ns", "empty hook", empty);
        what = std::string("module hook, ") + kind.name;
        Row(what.c_str(), size, module, "ns", "empty hook", empty);

        // The module's own share of a watched message: arming a pending timer,
        // against what re-arming it through the system on every message costs.
        if (kind.message == WM_MOVE) {
            const double arm = MedianUs(5, [&] {
                for (int m = 0; m < messages; ++m)
                    ArmTimer(RecordTimer);
            });
            UINT_PTR id = 0;
            const double reset = MedianUs(5, [&] {
                for (int m = 0; m < messages; ++m)
                    id = SetTimer(nullptr, id, RecordTimer.interval, nullptr);
            });
            KillTimer(nullptr, id);
            CancelTimers();
            Pump();
            Row("ArmTimer, timer pending", size, arm * 1000.0 / messages, "ns",
                "SetTimer each time", reset * 1000.0 / messages);
        }
    }
    DestroyWindow(window);
}

// ---------------------------------------------------------------------------
// 2. Pass cost against the snapshot

void BenchPasses() {
    Header("Pass cost against its snapshot (all windows bound, steady state)");
    const LayoutKey layout = CurrentLayoutKey(false);
    for (int windows : {10, 50, 200}) {
        std::vector<HWND> handles;
        for (int i = 0; i < windows; ++i)
            handles.push_back(MakeWindow("Bench window " + std::to_string(i), i));
        Pump();
        for (int records : {10, 1000, 10000}) {
            gPlacementTable.clear();
            // Filler records first, in byte order ahead of the windows' own,
            // so that matching by handle scans the whole layout.
            auto& current = gPlacementTable[layout];
            for (int i = 0; static_cast<int>(current.size()) < records - windows; ++i) {
                const WindowRecord filler{nullptr,      i,   i,
                                          100 + i % 50, 100, "A filler " + std::to_string(i)};
                current[FormatWindowKey(filler)] = filler;
            }
            RestorePass(); // learns and binds every window
            // The four are timed in turn within each round, so that a change in
            // the system's speed during the run (the window queries go through
            // Wine's server) falls on all of them alike.
            const int rounds = windows >= 200 ? 9 : 21;
            std::vector<double> times[4];
            for (int round = 0; round < rounds; ++round) {
                const std::function<void()> steps[4] = {
                    [] {
                        const WindowSnapshot s = SnapshotWindows();
                        const LayoutKey k = CurrentLayoutKey(FullscreenRenderWindow != nullptr);
                        (void)s;
                        (void)k;
                    },
                    RestorePass, RecordPass, ReleasePass};
                for (int i = 0; i < 4; ++i) {
                    const double start = NowUs();
                    steps[i]();
                    times[i].push_back(NowUs() - start);
                }
            }
            auto median = [](std::vector<double>& t) {
                std::sort(t.begin(), t.end());
                return t[t.size() / 2];
            };
            const double snapshot = median(times[0]);
            const double restore = median(times[1]);
            const double record = median(times[2]);
            const double release = median(times[3]);
            CancelTimers();
            const std::string size = std::to_string(windows) + " windows, " +
                                     std::to_string(current.size()) + " records";
            Row("RestorePass", size, restore, "us", "snapshot + key", snapshot);
            Row("RecordPass", size, record, "us", "snapshot + key", snapshot);
            Row("ReleasePass", size, release, "us", "snapshot + key", snapshot);
        }
        for (HWND handle : handles)
            DestroyWindow(handle);
        Pump();
    }
    gPlacementTable.clear();
}

// ---------------------------------------------------------------------------
// 3. Placement file cost

void FillTable(int records) {
    gPlacementTable.clear();
    for (int i = 0; i < records; ++i) {
        const WindowRecord record{nullptr,       -50 + i % 3000,
                                  i % 2000,      200 + i % 300,
                                  100 + i % 200, "Dialog number " + std::to_string(i)};
        gPlacementTable[i % 2 ? "3840x1080xW" : "1920x1080xF"][FormatWindowKey(record)] = record;
    }
}

std::string ReadPlain(const char* path) {
    std::string bytes;
    const HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    LARGE_INTEGER size;
    GetFileSizeEx(file, &size);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    return bytes;
}

void BenchFile() {
    Header("Placement file cost against plain file calls on the same bytes");
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string work =
        std::string(folder) + "quillory-bench-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(work.c_str(), nullptr);
    SetCurrentDirectoryA(work.c_str());
    CreateDirectoryA("Config", nullptr);

    for (int records : {10, 1000, 10000, 100000}) {
        FillTable(records);
        const int runs = records >= 100000 ? 3 : 9;
        const double save = MedianUs(runs, SavePlacements);
        const std::string bytes = ReadPlain(PlacementFilePath);
        const double plainWrite = MedianUs(runs, [&] { CommitFile("Config/plain.ini", bytes); });
        const double load = MedianUs(runs, LoadPlacements);
        const double plainRead = MedianUs(runs, [] { ReadPlain(PlacementFilePath); });

        // Memory held after a load: the document (the file as parsed) and the table.
        PlacementFile.Reset();
        gPlacementTable.clear();
        const long long before = gLiveBytes;
        PlacementFile.LoadFile(PlacementFilePath);
        const long long document = gLiveBytes - before;
        FillTableFromDocument(PlacementFile, gPlacementTable);
        const long long table = gLiveBytes - before - document;

        const std::string size =
            std::to_string(records) + " records, " + std::to_string(bytes.size() / 1024) + " KiB";
        Row("SavePlacements", size, save / 1000.0, "ms", "write + replace", plainWrite / 1000.0);
        Row("LoadPlacements", size, load / 1000.0, "ms", "read", plainRead / 1000.0);

        // Where the time goes: the halves of a save and of a load.
        const double fillDocument = MedianUs(runs, [] {
            PlacementFile.Reset();
            FillDocumentFromTable(gPlacementTable, PlacementFile);
        });
        const double render = MedianUs(runs, [] {
            std::string text;
            PlacementFile.Save(text, false);
        });
        const double parse = MedianUs(runs, [] {
            PlacementFile.Reset();
            PlacementFile.LoadFile(PlacementFilePath);
        });
        const double fillTable = MedianUs(runs, [] {
            gPlacementTable.clear();
            FillTableFromDocument(PlacementFile, gPlacementTable);
        });
        Row("  save: table into document", size, fillDocument / 1000.0, "ms", "write + replace",
            plainWrite / 1000.0);
        Row("  save: document into text", size, render / 1000.0, "ms", "write + replace",
            plainWrite / 1000.0);
        Row("  load: parse the file", size, parse / 1000.0, "ms", "read", plainRead / 1000.0);
        Row("  load: document into table", size, fillTable / 1000.0, "ms", "read",
            plainRead / 1000.0);
        std::printf("| %-34s | %-22s | %12.0f %-3s | %-18s | %12.0f %-3s | %6s |\n",
                    "memory per record: document", size.c_str(),
                    static_cast<double>(document) / records, "B", "table",
                    static_cast<double>(table) / records, "B", "");
    }
    gPlacementTable.clear();
    PlacementFile.Reset();
    DeleteFileA(PlacementFilePath);
    DeleteFileA("Config/plain.ini");
    RemoveDirectoryA("Config");
    SetCurrentDirectoryA(folder);
    RemoveDirectoryA(work.c_str());
}

} // namespace

// Usage: quillory_bench.exe [messages [hook|passes|file]]
int main(int argc, char** argv) {
    const int messages = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 200000;
    const std::string only = argc > 2 ? argv[2] : "";
    std::printf("Quillory benchmark (x86_64 build under Wine); medians of repeated runs\n");
    if (only.empty() || only == "hook")
        BenchHook(messages);
    if (only.empty() || only == "passes")
        BenchPasses();
    if (only.empty() || only == "file")
        BenchFile();
    return 0;
}
