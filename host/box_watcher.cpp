#include "box_watcher.h"

#include <cstring>

namespace {

const int kMessageTextId = 0xFFFF; // the message box's text control

bool IsDialogClass(HWND window) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    return std::strcmp(className, "#32770") == 0;
}

std::string TextOf(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
    const int got = GetWindowTextA(window, text.data(), length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

struct StaticScan {
    std::string text;
    std::string icon = "none";
};

BOOL CALLBACK VisitControl(HWND control, LPARAM context) {
    auto& scan = *reinterpret_cast<StaticScan*>(context);
    char className[16] = {};
    GetClassNameA(control, className, sizeof className);
    if (_stricmp(className, "Static") != 0)
        return TRUE;
    if ((GetWindowLongPtrA(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        // The system's icons are shared: the error icon is one handle per process.
        const auto shown = reinterpret_cast<HICON>(SendMessageA(control, STM_GETICON, 0, 0));
        scan.icon = shown == LoadIcon(nullptr, IDI_ERROR) ? "error" : "other";
    } else if (scan.text.empty())
        scan.text = TextOf(control);
    return TRUE;
}

BOOL CALLBACK NoteExisting(HWND window, LPARAM seen) {
    reinterpret_cast<std::set<HWND>*>(seen)->insert(window);
    return TRUE;
}

} // namespace

BoxWatcher::BoxWatcher(DWORD uiThread) : uiThread_(uiThread) {
    EnumThreadWindows(uiThread_, NoteExisting, reinterpret_cast<LPARAM>(&seen_));
    thread_ = std::thread([this] { Watch(); });
}

BoxWatcher::~BoxWatcher() {
    Finish();
}

std::vector<BoxReport> BoxWatcher::Finish() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    return reports_;
}

void BoxWatcher::Watch() {
    while (!stop_) {
        EnumThreadWindows(uiThread_, Visit, reinterpret_cast<LPARAM>(this));
        Sleep(10);
    }
}

BOOL CALLBACK BoxWatcher::Visit(HWND window, LPARAM context) {
    auto& self = *reinterpret_cast<BoxWatcher*>(context);
    if (self.seen_.count(window) || !IsWindowVisible(window) || !IsDialogClass(window))
        return TRUE;
    self.seen_.insert(window);
    BoxReport report;
    report.caption = TextOf(window);
    StaticScan scan;
    EnumChildWindows(window, VisitControl, reinterpret_cast<LPARAM>(&scan));
    const HWND textControl = GetDlgItem(window, kMessageTextId);
    report.text = textControl != nullptr ? TextOf(textControl) : scan.text;
    report.owner = GetWindow(window, GW_OWNER);
    report.topmost = (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    report.icon = scan.icon;
    {
        std::lock_guard<std::mutex> lock(self.mutex_);
        self.reports_.push_back(report);
    }
    // What pressing OK sends; the box's own loop ends the dialog.
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return TRUE;
}
