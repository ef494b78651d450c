// The host's trace: one line per event on standard output, each stamped with
// the milliseconds since the host started, flushed at once so that a session
// that dies still leaves what it did.
#pragma once

#include <string>

// Prints "<ms> ms | <text>".
void Trace(const std::string& text);

// Milliseconds since the host started.
unsigned long long HostMilliseconds();

// The text in double quotes, with backslash, quote, CR, LF and other control
// bytes written as escapes, so a trace line stays one line.
std::string Quote(const std::string& text);

// A handle or pointer as 0x-prefixed hexadecimal.
std::string Hex(const void* pointer);
