// Orbiter.exe, the stand-in host: loads a module as the simulator does and runs
// one scripted session of windows against it, printing a trace.
//
//   Orbiter.exe [--module PATH] SCRIPT
//
// Script commands (one a line):
//   load [PATH]          LoadLibrary the module (default Modules\Plugin\Quillory.dll)
//   fault                ask a test build of the module to fail its next start-up
//   init                 InitModule(module handle), pressing OK on any message box
//   exit                 ExitModule(module handle)
//   free                 FreeLibrary
//   version              GetModuleVersion
//   date2int N | date    fix what Date2Int answers, or answer with the date again
//   viewport fullscreen|windowed W H    open a render window, opcOpenRenderViewport
//   viewport close       opcCloseRenderViewport, close the render window
//   open NAME main|dialog|tool W H LEFT TOP TITLE...
//   move NAME LEFT TOP | hide NAME | show NAME | close NAME
//   wait MS              run the message loop
//   await-file MS        run the message loop until Config\Quillory.ini changes
//   await-signal NAME MS run the message loop until a file NAME appears (then
//                        removes it), so an outside driver can act meanwhile
//   await-quiet MS LIMIT run the message loop until no thread timer message has
//                        come for MS ms (at most LIMIT ms): a module's pending
//                        work, a save that may write nothing included, is done
//   where [NAME...]      print window places (all windows without a name)
//   counters             print what the host has counted
//   file                 print the placement file
//   thread               start a thread and let it end
//   say TEXT...          print a line of narrative

#include "box_watcher.h"
#include "host_functions.h"
#include "host_windows.h"
#include "message_pump.h"
#include "module_session.h"
#include "script.h"
#include "trace.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

const char* const kPlacementFile = "Config\\Quillory.ini";

int gBoxesSeen = 0;
ULONGLONG gLastMoveTick = 0;

struct Fault : std::runtime_error {
    using std::runtime_error::runtime_error;
};

int Number(const std::string& word) {
    size_t used = 0;
    int value = 0;
    try {
        value = std::stoi(word, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != word.size())
        throw Fault("not a number: " + word);
    return value;
}

const std::string& Word(const ScriptCommand& command, size_t index) {
    if (index >= command.words.size())
        throw Fault(command.words[0] + ": missing argument " + std::to_string(index));
    return command.words[index];
}

std::string Rest(const ScriptCommand& command, size_t from) {
    std::string text;
    for (size_t i = from; i < command.words.size(); ++i)
        text += (i > from ? " " : "") + command.words[i];
    return text;
}

HWND Named(const ScriptCommand& command) {
    const HWND window = FindHostWindow(Word(command, 1));
    if (window == nullptr)
        throw Fault("no window " + command.words[1]);
    return window;
}

const ModuleExports& Exports(const char* what) {
    if (gModule.handle == nullptr)
        throw Fault(std::string(what) + ": no module is loaded");
    return gModule.exports;
}

std::string ReadBytes(const char* path, bool& exists) {
    std::ifstream in(path, std::ios::binary);
    exists = static_cast<bool>(in);
    std::ostringstream bytes;
    if (exists)
        bytes << in.rdbuf();
    return bytes.str();
}

std::string InitLibHandle() {
    const HINSTANCE handle = gHostCalls.initLibHandle;
    if (handle == nullptr)
        return "none";
    return handle == gModule.lastHandle ? "module" : Hex(handle);
}

void Load(const ScriptCommand& command) {
    const std::string path = command.words.size() > 1 ? command.words[1] : gModulePath;
    const int initLibBefore = gHostCalls.initLibCalls;
    LoadPlugin(path);
    Trace("load " + path + " -> " + Hex(gModule.handle) + "; InitLib called " +
          std::to_string(gHostCalls.initLibCalls - initLibBefore) + " time(s) meanwhile, handle " +
          InitLibHandle());
}

void Init() {
    const ModuleExports& e = Exports("init");
    if (e.initModule == nullptr)
        throw Fault("the module exports no InitModule");
    gModule.exited = false; // a start after an exit runs the module again
    std::vector<BoxReport> boxes;
    {
        BoxWatcher watcher(GetCurrentThreadId());
        e.initModule(reinterpret_cast<HINSTANCE>(gModule.handle));
        boxes = watcher.Finish();
    }
    for (const BoxReport& box : boxes) {
        ++gBoxesSeen;
        Trace("message box " + std::to_string(gBoxesSeen) + ": caption=" + Quote(box.caption) +
              " owner=" + NameOfWindow(box.owner) + " topmost=" + (box.topmost ? "yes" : "no") +
              " icon=" + box.icon + " text=" + Quote(box.text) + "; OK pressed");
    }
    Trace("InitModule returned; message boxes during the call: " + std::to_string(boxes.size()));
}

void Exit() {
    const ModuleExports& e = Exports("exit");
    if (e.exitModule == nullptr)
        throw Fault("the module exports no ExitModule");
    e.exitModule(reinterpret_cast<HINSTANCE>(gModule.handle));
    gModule.exited = true;
    Trace("ExitModule returned");
}

void Viewport(const ScriptCommand& command) {
    const ModuleExports& e = Exports("viewport");
    const std::string& mode = Word(command, 1);
    if (mode == "close") {
        if (e.closeRenderViewport)
            e.closeRenderViewport();
        CloseRenderWindow();
        Trace("opcCloseRenderViewport called; render window closed");
        return;
    }
    if (mode != "fullscreen" && mode != "windowed")
        throw Fault("viewport: fullscreen, windowed or close, not " + mode);
    const bool fullscreen = mode == "fullscreen";
    const int width = Number(Word(command, 2)), height = Number(Word(command, 3));
    const HWND render = OpenRenderWindow(fullscreen, width, height);
    if (e.openRenderViewport)
        e.openRenderViewport(render, static_cast<DWORD>(width), static_cast<DWORD>(height),
                             fullscreen ? TRUE : FALSE);
    Trace("render window " + DescribeWindow(render) + "; opcOpenRenderViewport(" + Hex(render) +
          ", " + std::to_string(width) + ", " + std::to_string(height) + ", " +
          (fullscreen ? "TRUE" : "FALSE") + ") called");
}

void Open(const ScriptCommand& command) {
    const std::string& name = Word(command, 1);
    const std::string& kindWord = Word(command, 2);
    WindowKind kind;
    if (kindWord == "main")
        kind = WindowKind::Main;
    else if (kindWord == "dialog")
        kind = WindowKind::Dialog;
    else if (kindWord == "tool")
        kind = WindowKind::Tool;
    else
        throw Fault("open: main, dialog or tool, not " + kindWord);
    const HWND window =
        OpenHostWindow(name, kind, Number(Word(command, 3)), Number(Word(command, 4)),
                       Number(Word(command, 5)), Number(Word(command, 6)), Rest(command, 7));
    Trace("open " + name + " (" + kindWord + ", owner " +
          NameOfWindow(GetWindow(window, GW_OWNER)) + "): " + DescribeWindow(window));
}

void Where(const ScriptCommand& command) {
    if (command.words.size() == 1) {
        for (const auto& [name, window] : gHostWindows)
            Trace("where " + name + ": " + DescribeWindow(window.handle));
        if (gRenderWindow != nullptr)
            Trace("where render: " + DescribeWindow(gRenderWindow));
        return;
    }
    for (size_t i = 1; i < command.words.size(); ++i) {
        const HWND window = FindHostWindow(command.words[i]);
        Trace("where " + command.words[i] + ": " +
              (window != nullptr ? DescribeWindow(window) : std::string("not open")));
    }
}

void PrintFile() {
    bool exists = false;
    const std::string bytes = ReadBytes(kPlacementFile, exists);
    if (!exists) {
        Trace("file: missing");
        return;
    }
    Trace("file: " + std::to_string(bytes.size()) + " bytes");
    std::istringstream lines(bytes);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        Trace("file> " + line);
    }
}

void AwaitFile(const ScriptCommand& command) {
    const int limit = Number(Word(command, 1));
    bool existed = false;
    const std::string before = ReadBytes(kPlacementFile, existed);
    const ULONGLONG start = GetTickCount64();
    const bool changed = PumpMessages(static_cast<DWORD>(limit), [&] {
        bool exists = false;
        const std::string now = ReadBytes(kPlacementFile, exists);
        return exists != existed || now != before;
    });
    const ULONGLONG now = GetTickCount64();
    if (!changed) {
        Trace("await-file: no change within " + std::to_string(limit) + " ms");
        return;
    }
    std::string sinceMove;
    if (gLastMoveTick != 0)
        sinceMove = ", " + std::to_string(now - gLastMoveTick) + " ms after the latest move";
    Trace("await-file: changed after " + std::to_string(now - start) + " ms" + sinceMove);
}

void AwaitSignal(const ScriptCommand& command) {
    const std::string& name = Word(command, 1);
    const int limit = Number(Word(command, 2));
    const ULONGLONG start = GetTickCount64();
    const bool arrived = PumpMessages(static_cast<DWORD>(limit), [&] {
        return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
    });
    if (!arrived)
        throw Fault("no signal " + name + " within " + std::to_string(limit) + " ms");
    DeleteFileA(name.c_str());
    Trace("signal " + name + " after " + std::to_string(GetTickCount64() - start) + " ms");
}

long ThreadTimerMessages() {
    return gThreadTimers.whileRunning + gThreadTimers.afterExit + gThreadTimers.whileUnloaded;
}

void AwaitQuiet(const ScriptCommand& command) {
    const ULONGLONG quiet = static_cast<ULONGLONG>(Number(Word(command, 1)));
    const int limit = Number(Word(command, 2));
    const long before = ThreadTimerMessages();
    const ULONGLONG start = GetTickCount64();
    const bool calm = PumpMessages(static_cast<DWORD>(limit), [&] {
        return GetTickCount64() - std::max(start, gThreadTimers.latestTick) >= quiet;
    });
    if (!calm)
        throw Fault("thread timer messages kept coming for " + std::to_string(limit) + " ms");
    Trace("await-quiet: quiet after " + std::to_string(GetTickCount64() - start) + " ms; " +
          std::to_string(ThreadTimerMessages() - before) + " thread timer message(s) meanwhile");
}

void Counters() {
    Trace("counters: initlib=" + std::to_string(gHostCalls.initLibCalls) + " initlib-handle=" +
          InitLibHandle() + " date2int=" + std::to_string(gHostCalls.date2IntCalls) +
          " date2int-text=" + Quote(gHostCalls.date2IntText) +
          " timers=" + std::to_string(gThreadTimers.whileRunning) +
          " timers-after-exit=" + std::to_string(gThreadTimers.afterExit) + " timers-unloaded=" +
          std::to_string(gThreadTimers.whileUnloaded) + " boxes=" + std::to_string(gBoxesSeen));
}

DWORD WINAPI IdleThread(LPVOID) {
    Sleep(20);
    return 0;
}

void RunThread() {
    DWORD id = 0;
    const HANDLE thread = CreateThread(nullptr, 0, IdleThread, nullptr, 0, &id);
    if (thread == nullptr)
        throw Fault("cannot start a thread");
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    Trace("thread " + std::to_string(id) + " started and ended");
}

void Run(const ScriptCommand& command) {
    const std::string& verb = command.words[0];
    if (verb == "load") {
        Load(command);
    } else if (verb == "fault") {
        const ModuleExports& e = Exports("fault");
        if (e.requestStartupFault == nullptr)
            throw Fault("this build of the module takes no fault requests");
        e.requestStartupFault();
        Trace("start-up fault requested");
    } else if (verb == "init") {
        Init();
    } else if (verb == "exit") {
        Exit();
    } else if (verb == "free") {
        FreePlugin();
        Trace("FreeLibrary done");
    } else if (verb == "version") {
        const ModuleExports& e = Exports("version");
        if (e.getModuleVersion == nullptr)
            throw Fault("the module exports no GetModuleVersion");
        const int calls = gHostCalls.date2IntCalls;
        const int version = e.getModuleVersion();
        Trace("GetModuleVersion -> " + std::to_string(version) + " (Date2Int asked " +
              std::to_string(gHostCalls.date2IntCalls - calls) + " time(s))");
    } else if (verb == "date2int") {
        gDate2IntFixed = Word(command, 1) != "date";
        if (gDate2IntFixed)
            gDate2IntAnswer = Number(command.words[1]);
        Trace("Date2Int will answer " +
              (gDate2IntFixed ? std::to_string(gDate2IntAnswer) : std::string("the date")));
    } else if (verb == "viewport") {
        Viewport(command);
    } else if (verb == "open") {
        Open(command);
    } else if (verb == "move") {
        const HWND window = Named(command);
        SetWindowPos(window, nullptr, Number(Word(command, 2)), Number(Word(command, 3)), 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        gLastMoveTick = GetTickCount64();
        Trace("move " + command.words[1] + ": " + DescribeWindow(window));
    } else if (verb == "hide" || verb == "show") {
        const HWND window = Named(command);
        ShowWindow(window, verb == "hide" ? SW_HIDE : SW_SHOW);
        Trace(verb + " " + command.words[1] + ": " + DescribeWindow(window));
    } else if (verb == "close") {
        CloseHostWindow(Word(command, 1));
        Trace("close " + command.words[1]);
    } else if (verb == "wait") {
        PumpMessages(static_cast<DWORD>(Number(Word(command, 1))));
    } else if (verb == "await-file") {
        AwaitFile(command);
    } else if (verb == "await-signal") {
        AwaitSignal(command);
    } else if (verb == "await-quiet") {
        AwaitQuiet(command);
    } else if (verb == "where") {
        Where(command);
    } else if (verb == "counters") {
        Counters();
    } else if (verb == "file") {
        PrintFile();
    } else if (verb == "thread") {
        RunThread();
    } else if (verb == "say") {
        Trace(Rest(command, 1));
    } else {
        throw Fault("unknown command " + verb);
    }
}

} // namespace

int main(int argc, char** argv) {
    std::string scriptPath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--module" && i + 1 < argc)
            gModulePath = argv[++i];
        else if (scriptPath.empty())
            scriptPath = arg;
    }
    if (scriptPath.empty()) {
        std::fprintf(stderr, "usage: Orbiter.exe [--module PATH] SCRIPT\n");
        return 2;
    }
    std::vector<ScriptCommand> script;
    try {
        script = ReadScript(scriptPath);
    } catch (const std::exception& failure) {
        Trace(std::string("error: ") + failure.what());
        return 2;
    }
    for (const ScriptCommand& command : script) {
        try {
            Run(command);
        } catch (const std::exception& failure) {
            Trace("error: line " + std::to_string(command.line) + ": " + failure.what());
            return 1;
        }
    }
    Trace("script done");
    return 0;
}
