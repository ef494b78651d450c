// The host's library functions that modules import from Orbiter.exe, and what
// the host remembers of the calls its modules made to them.
#pragma once

#include <windows.h>

#include <string>

extern "C" {
// Exported as void InitLib(HINSTANCE): a module announces its instance handle
// while it is being attached.
void HostInitLib(HINSTANCE module);
// Exported as int Date2Int(char*): the host's integer for a date text.
int HostDate2Int(char* date);
}

struct HostFunctionCalls {
    int initLibCalls = 0;
    HINSTANCE initLibHandle = nullptr; // of the latest call
    int date2IntCalls = 0;
    std::string date2IntText; // of the latest call
};
extern HostFunctionCalls gHostCalls;

// What Date2Int answers: by default the date as yyyymmdd ("Apr 25 2006" gives
// 20060425, text that is no such date gives 0); a script can fix the answer.
extern bool gDate2IntFixed;
extern int gDate2IntAnswer;

// "Mmm dd yyyy" as yyyymmdd, or 0.
int DateAsNumber(const std::string& date);
