// Watches for message boxes that a module shows while the host waits in one of
// its calls (InitModule shows its failure report there, modally). A thread of
// its own finds each box of the host's UI thread on screen, notes its caption,
// text, owner and style, and presses OK, so the session goes on unattended.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct BoxReport {
    std::string caption;
    std::string text;
    HWND owner;
    bool topmost;
    std::string icon; // "error", "other" or "none"
};

class BoxWatcher {
public:
    // Starts watching the given thread's top-level dialog windows; windows
    // that exist already are not boxes of the call being watched.
    explicit BoxWatcher(DWORD uiThread);
    // Stops the thread.
    ~BoxWatcher();
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;

    // Stops watching and returns the boxes found, in the order they appeared.
    std::vector<BoxReport> Finish();

private:
    void Watch();
    static BOOL CALLBACK Visit(HWND window, LPARAM self);

    DWORD uiThread_;
    std::set<HWND> seen_; // the watching thread's only, apart from the start
    std::mutex mutex_;
    std::vector<BoxReport> reports_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
