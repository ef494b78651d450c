#include "host_functions.h"

#include "trace.h"

#include <cstdio>
#include <cstring>

HostFunctionCalls gHostCalls;
bool gDate2IntFixed = false;
int gDate2IntAnswer = 0;

int DateAsNumber(const std::string& date) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char month[4] = {};
    int day = 0, year = 0;
    char rest = 0;
    if (std::sscanf(date.c_str(), "%3s %d %d%c", month, &day, &year, &rest) != 3)
        return 0;
    for (int m = 0; m < 12; ++m)
        if (std::strcmp(month, months[m]) == 0 && day >= 1 && day <= 31 && year > 0 && year < 10000)
            return year * 10000 + (m + 1) * 100 + day;
    return 0;
}

extern "C" void HostInitLib(HINSTANCE module) {
    ++gHostCalls.initLibCalls;
    gHostCalls.initLibHandle = module;
    // Called under the loader lock, from inside LoadLibrary: only note it.
}

extern "C" int HostDate2Int(char* date) {
    ++gHostCalls.date2IntCalls;
    gHostCalls.date2IntText = date != nullptr ? date : "";
    const int answer = gDate2IntFixed ? gDate2IntAnswer : DateAsNumber(gHostCalls.date2IntText);
    Trace("Date2Int(" + Quote(gHostCalls.date2IntText) + ") -> " + std::to_string(answer));
    return answer;
}
