// What the module needs of the host, Orbiter.exe. The host exports these as C++
// functions under their MSVC-decorated names; the build's import library for
// "Orbiter.exe" binds these plain names to them (see orbiter_*.def.in).
#pragma once

#include <windows.h>

extern "C" {
// void InitLib(HINSTANCE): told the module's own instance handle at attach.
__declspec(dllimport) void OrbiterInitLib(HINSTANCE module);
// int Date2Int(char*): the host's integer for a date text such as "Apr 25 2006".
__declspec(dllimport) int OrbiterDate2Int(char* date);
}
