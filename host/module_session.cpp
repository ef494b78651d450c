#include "module_session.h"

#include <stdexcept>

ModuleSession gModule;
std::string gModulePath = "Modules\\Plugin\\Quillory.dll";

namespace {

template <typename Function> Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

} // namespace

void LoadPlugin(const std::string& path) {
    const HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr)
        throw std::runtime_error("LoadLibrary(" + path + ") failed, error " +
                                 std::to_string(GetLastError()));
    gModule.handle = module;
    gModule.lastHandle = module;
    gModule.exited = false;
    ModuleExports& e = gModule.exports;
    e.initModule = Export<decltype(e.initModule)>(module, "InitModule");
    e.exitModule = Export<decltype(e.exitModule)>(module, "ExitModule");
    e.openRenderViewport = Export<decltype(e.openRenderViewport)>(module, "opcOpenRenderViewport");
    e.closeRenderViewport =
        Export<decltype(e.closeRenderViewport)>(module, "opcCloseRenderViewport");
    e.getModuleVersion = Export<decltype(e.getModuleVersion)>(module, "GetModuleVersion");
    e.requestStartupFault =
        Export<decltype(e.requestStartupFault)>(module, "QuilloryRequestStartupFault");
}

void FreePlugin() {
    if (gModule.handle == nullptr)
        throw std::runtime_error("no module is loaded");
    FreeLibrary(gModule.handle);
    gModule.handle = nullptr;
    gModule.exports = ModuleExports{};
}
