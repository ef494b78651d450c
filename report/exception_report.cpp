#include "report/exception_report.h"

#include <windows.h>

bool ModuleDisabled = false;

namespace {

// The failure's what() text, held only while one report runs. It and the module
// name reach the display step through module state, not the enumeration's
// context value.
const char* gReporterMessage = nullptr;

void DisplayReport(HWND owner) {
    if (ModuleDisabled)
        return;
    // Set before the box is shown: the box runs a modal loop on this thread,
    // and a report arriving meanwhile must show nothing.
    ModuleDisabled = true;
    std::string text;
    try {
        text.append("Module ")
            .append(gReporterModuleName)
            .append(" has thrown an exception.\n\nMessage:\n")
            .append(gReporterMessage ? gReporterMessage : "")
            .append("\n\nNo further messages will be shown about exceptions in ")
            .append(gReporterModuleName)
            .append(".");
    } catch (...) {
        // Out of memory for the text: the flag is set all the same and no
        // second attempt is made, as with a box that fails to show.
        return;
    }
    MessageBoxA(owner, text.c_str(), gReporterModuleName.c_str(),
                MB_OK | MB_ICONERROR | MB_TOPMOST);
}

BOOL CALLBACK DisplayForWindow(HWND window, LPARAM) {
    DisplayReport(window);
    return TRUE;
}

} // namespace

void ReportException(const std::string& moduleName, const std::exception& failure) noexcept {
    try {
        gReporterModuleName = moduleName;
    } catch (...) {
        // No memory for the copy: report under whatever name is held.
    }
    gReporterMessage = failure.what();
    // The first window the system enumerates owns the box; with none, the
    // direct call shows it without an owner. Later steps find the flag set.
    EnumThreadWindows(GetCurrentThreadId(), DisplayForWindow, 0);
    DisplayReport(nullptr);
    gReporterMessage = nullptr;
}
