#include "trace.h"

#include <windows.h>

#include <cstdio>

namespace {
const ULONGLONG gStartTick = GetTickCount64();
}

unsigned long long HostMilliseconds() {
    return GetTickCount64() - gStartTick;
}

void Trace(const std::string& text) {
    std::printf("%6llu ms | %s\n", HostMilliseconds(), text.c_str());
    std::fflush(stdout);
}

std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        switch (c) {
        case '\\':
            quoted += "\\\\";
            break;
        case '"':
            quoted += "\\\"";
            break;
        case '\n':
            quoted += "\\n";
            break;
        case '\r':
            quoted += "\\r";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(c));
                quoted += escape;
            } else {
                quoted += c;
            }
        }
    }
    return quoted + "\"";
}

std::string Hex(const void* pointer) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(pointer)));
    return text;
}
