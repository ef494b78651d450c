#include "session_runner.h"

#include "test_support.h"

#include <windows.h>

#include <sstream>
#include <stdexcept>

namespace {

// "/a/b" as Wine's drive for "/" sees it, "Z:\a\b".
std::string WinePath(const std::string& path) {
    std::string dos = path;
    for (char& c : dos)
        if (c == '/')
            c = '\\';
    return path.empty() || path[0] != '/' ? dos : "Z:" + dos;
}

// Waits until the trace holds the line "cue NAME", while the host runs and the
// deadline has not passed.
bool AwaitCue(const std::string& traceFile, const std::string& name, HANDLE host,
              ULONGLONG deadline) {
    const std::string line = "cue " + name;
    for (;;) {
        for (const std::string& traced : TraceLines(ReadFileBytes(traceFile)))
            if (traced == line)
                return true;
        if (GetTickCount64() >= deadline || WaitForSingleObject(host, 10) == WAIT_OBJECT_0) {
            // The host may have printed the line just before it ended.
            for (const std::string& traced : TraceLines(ReadFileBytes(traceFile)))
                if (traced == line)
                    return true;
            return false;
        }
    }
}

} // namespace

void InstallModule() {
    CreateDirectoryA("Modules", nullptr);
    CreateDirectoryA("Modules\\Plugin", nullptr);
    if (!CopyFileA(WinePath(QUILLORY_MODULE_DLL).c_str(), "Modules\\Plugin\\Quillory.dll", FALSE))
        throw std::runtime_error("cannot copy the module from " + WinePath(QUILLORY_MODULE_DLL));
}

Session RunHost(const std::string& script) {
    return RunHostWithCues(script, {});
}

Session RunHostWithCues(const std::string& script, const std::vector<Cue>& cues) {
    static int runs = 0;
    const std::string number = std::to_string(++runs);
    const std::string scriptFile = "session-" + number + ".txt";
    const std::string traceFile = "trace-" + number + ".txt";
    WriteFileBytes(scriptFile, script);

    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const HANDLE output = CreateFileA(traceFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                      &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot create " + traceFile);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = output;
    startup.hStdError = output;
    const std::string exe = WinePath(QUILLORY_HOST_EXE);
    std::string commandLine = "\"" + exe + "\" " + scriptFile;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    CloseHandle(output);
    if (!started)
        throw std::runtime_error("cannot start " + exe);

    const ULONGLONG deadline = GetTickCount64() + 60000;
    std::string failure; // why the cues stopped, empty if all were acted on
    for (const Cue& cue : cues) {
        if (!AwaitCue(traceFile, cue.name, process.hProcess, deadline)) {
            failure = "cue " + cue.name + " did not come";
            break;
        }
        try {
            cue.act();
            WriteFileBytes(cue.name, "");
        } catch (const std::exception& error) {
            failure = "cue " + cue.name + ": " + error.what();
            break;
        }
    }

    Session session{-1, ""};
    const ULONGLONG now = GetTickCount64();
    // A host left waiting for a signal that will not come is stopped at once.
    const DWORD left = !failure.empty() || now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    if (WaitForSingleObject(process.hProcess, left) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        session.exitCode = static_cast<int>(code);
    } else {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    session.trace = ReadFileBytes(traceFile);
    if (!failure.empty())
        session.trace += "(test) " + failure + "\n";
    return session;
}

std::vector<std::string> TraceLines(const std::string& trace) {
    std::vector<std::string> lines;
    std::istringstream in(trace);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t bar = line.find(" | ");
        lines.push_back(bar == std::string::npos ? line : line.substr(bar + 3));
    }
    return lines;
}

std::vector<std::string> LinesStarting(const std::string& trace, const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& line : TraceLines(trace))
        if (line.compare(0, prefix.size(), prefix) == 0)
            found.push_back(line);
    return found;
}

std::string Counter(const std::string& trace, const std::string& key) {
    const auto lines = LinesStarting(trace, "counters:");
    if (lines.empty())
        return "";
    const std::string& line = lines.back();
    const size_t at = line.find(" " + key + "=");
    if (at == std::string::npos)
        return "";
    const size_t start = at + key.size() + 2;
    if (line[start] == '"')
        return line.substr(start, line.find('"', start + 1) + 1 - start);
    return line.substr(start, line.find(' ', start) - start);
}

std::string PlaceOf(const std::string& trace, const std::string& name) {
    const auto lines = LinesStarting(trace, "where " + name + ": ");
    if (lines.empty())
        return "";
    const std::string rest = lines.back().substr(name.size() + 8);
    return rest.substr(0, rest.find(' '));
}

std::vector<std::string> FilePrints(const std::string& trace) {
    std::vector<std::string> prints;
    bool inPrint = false;
    for (const std::string& line : TraceLines(trace)) {
        if (line == "file: missing") {
            prints.push_back("missing");
            inPrint = false;
        } else if (line.compare(0, 6, "file: ") == 0) {
            prints.emplace_back();
            inPrint = true;
        } else if (inPrint && line.compare(0, 6, "file> ") == 0) {
            prints.back() += line.substr(6) + "\n";
        } else {
            inPrint = false;
        }
    }
    return prints;
}

std::string LayoutPrefix() {
    return std::to_string(GetSystemMetrics(SM_CXVIRTUALSCREEN)) + "x" +
           std::to_string(GetSystemMetrics(SM_CYVIRTUALSCREEN)) + "x";
}

std::string Section(const std::string& name, int left, int top) {
    return "[" + name + "]\r\nLeft = " + std::to_string(left) + "\r\nTop = " + std::to_string(top) +
           "\r\n";
}
