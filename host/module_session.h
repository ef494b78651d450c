// The module as the host holds it: the library handle from LoadLibrary, its
// exports found by name, and where in its life it is.
#pragma once

#include <windows.h>

#include <string>

struct ModuleExports {
    void (*initModule)(HINSTANCE) = nullptr;
    void (*exitModule)(HINSTANCE) = nullptr;
    void (*openRenderViewport)(HWND, DWORD, DWORD, BOOL) = nullptr;
    void (*closeRenderViewport)() = nullptr;
    int (*getModuleVersion)() = nullptr;
    // Only in test builds of the module: makes its next start-up fail.
    void (*requestStartupFault)() = nullptr;
};

struct ModuleSession {
    HMODULE handle = nullptr;     // null before the load and after the free
    HMODULE lastHandle = nullptr; // what the latest LoadLibrary returned
    ModuleExports exports;
    bool exited = false; // ExitModule called since the latest load or start
};
extern ModuleSession gModule;

// Where the simulator keeps its plug-in modules, relative to its folder.
extern std::string gModulePath;

// LoadLibrary and the lookup of the exports; throws std::runtime_error when
// the library does not load.
void LoadPlugin(const std::string& path);
// FreeLibrary; the exports are forgotten.
void FreePlugin();
