// One window's identity and placement: the entry type of the placement table
// and of a window snapshot.
#pragma once

#include <cstdint>
#include <string>

// The window system's handle type, declared here so that the table and the
// placement file build without <windows.h> (the native fuzzing build). With
// STRICT, <windows.h> declares HWND as exactly this pointer type.
struct HWND__;
using WindowHandle = HWND__*;

struct WindowRecord {
    WindowHandle handle = nullptr; // bound live window, or null; never stored in the file
    int32_t left = 0;              // outer rectangle in virtual-screen pixels
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::string title; // window text, bytes as the system's ANSI code page gives them
};
