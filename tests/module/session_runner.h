// Runs the stand-in host on a script in the current directory and reads what
// it printed. The host and the module are the ones this build made; their
// paths are this machine's and reach Wine through its drive for "/".
#pragma once

#include <functional>
#include <string>
#include <vector>

struct Session {
    int exitCode;      // -1 when the host had to be stopped
    std::string trace; // standard output and error
};

// Makes Modules\Plugin\Quillory.dll in the current directory from the build's
// module, as an install does.
void InstallModule();

// Writes the script to a file, runs Orbiter.exe on it and waits for it, at
// most a minute.
Session RunHost(const std::string& script);

// Something the test does while the host runs: when the host's trace shows the
// line "cue NAME" (its script says "say cue NAME"), act runs, then the file NAME
// is made in the current directory, which the script's "await-signal NAME MS"
// waits for. Cues come in the order given.
struct Cue {
    std::string name;
    std::function<void()> act;
};

// RunHost, acting on the cues as the host reaches them. If a cue does not come
// while the host runs, or its act throws, the host is stopped (exit code -1)
// and the trace ends with a line that says why.
Session RunHostWithCues(const std::string& script, const std::vector<Cue>& cues);

// The text of each trace line after its time stamp.
std::vector<std::string> TraceLines(const std::string& trace);

// The lines that start with the prefix, in order.
std::vector<std::string> LinesStarting(const std::string& trace, const std::string& prefix);

// The value of key=value in the last "counters:" line, or "" without one.
std::string Counter(const std::string& trace, const std::string& key);

// "left,top" of the last "where NAME:" line, or "" without one.
std::string PlaceOf(const std::string& trace, const std::string& name);

// The placement file as each "file" command printed it, lines joined by LF
// ("missing" for a file that did not exist).
std::vector<std::string> FilePrints(const std::string& trace);

// The display arrangement as the module names it, without the mode letter:
// "<width>x<height>x" of the virtual desktop.
std::string LayoutPrefix();

// One section of the placement file as the module writes it.
std::string Section(const std::string& name, int left, int top);
