// The module's face towards the host and the system: the DLL entry routine and
// the five exported functions.

#include "module/host_functions.h"
#include "persistence/placement_file.h"
#include "report/exception_report.h"
#include "tracking/debounce_timers.h"
#include "tracking/window_snapshot.h"

#include <exception>

#ifdef QUILLORY_FAULT_SWITCH
#include "module/fault_switch.h"
#endif

namespace {

HINSTANCE gModuleInstance = nullptr;
using ExitFunction = void (*)(HINSTANCE);
ExitFunction gExitFunction = nullptr;
int gModuleVersion = 0;

} // namespace

extern "C" {

void InitModule(HINSTANCE instance) {
    if (ModuleDisabled)
        return;
    gModuleInstance = instance;
    try {
#ifdef QUILLORY_FAULT_SWITCH
        ThrowIfStartupFaultRequested();
#endif
        // A host that starts the module twice restarts it: the first hook must
        // not stay behind, as nothing would remove it and it would outlive the
        // module; a failing restart leaves the module inert, like a first start.
        if (gHookHandle != nullptr) {
            UnhookWindowsHookEx(gHookHandle);
            gHookHandle = nullptr;
            CancelTimers();
        }
        LoadPlacements();
        gHookHandle =
            SetWindowsHookExA(WH_CALLWNDPROC, CallWndHook, gModuleInstance, GetCurrentThreadId());
        // The first pass deals with the windows that are open already.
        ArmTimer(RestoreTimer);
    } catch (const std::exception& failure) {
        ReportException("Quillory", failure);
    }
}

void ExitModule(HINSTANCE) {
    if (gHookHandle != nullptr)
        UnhookWindowsHookEx(gHookHandle);
    // The handle is forgotten, so a second exit cannot remove a hook that
    // someone else installed later under the same value. Pending timers are
    // killed: once the module is unloaded they would call code that is gone.
    // Nothing is saved.
    gHookHandle = nullptr;
    CancelTimers();
}

void opcOpenRenderViewport(HWND renderWindow, DWORD, DWORD, BOOL fullscreen) {
    FullscreenRenderWindow = fullscreen ? renderWindow : nullptr;
}

void opcCloseRenderViewport() {
    FullscreenRenderWindow = nullptr;
}

int GetModuleVersion() {
    if (gModuleVersion == 0) {
        char date[] = "Apr 25 2006";
        gModuleVersion = OrbiterDate2Int(date);
    }
    return gModuleVersion;
}

} // extern "C"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        OrbiterInitLib(instance);
        gExitFunction = reinterpret_cast<ExitFunction>(
            reinterpret_cast<void*>(GetProcAddress(instance, "ExitModule")));
        if (gExitFunction == nullptr)
            gExitFunction = reinterpret_cast<ExitFunction>(
                reinterpret_cast<void*>(GetProcAddress(instance, "opcDLLExit")));
        break;
    case DLL_PROCESS_DETACH:
        if (gExitFunction != nullptr)
            gExitFunction(instance);
        break;
    default:
        break;
    }
    return TRUE;
}
