// The host's own windows, by the names a script gives them: an unowned main
// window, real dialog boxes made from an in-memory template, and tool windows.
// The dialog boxes and tool windows are owned by the earliest-opened main
// window that is still open, as the simulator's are owned by its launchpad or render window.
#pragma once

#include <windows.h>

#include <map>
#include <string>

enum class WindowKind { Main, Dialog, Tool };

struct HostWindow {
    HWND handle;
    WindowKind kind;
    unsigned opened; // order of opening, 1 for the first window of the session
};

// Name -> window, for the windows that are still alive.
using HostWindows = std::map<std::string, HostWindow>;
extern HostWindows gHostWindows;

// Creates the window hidden, gives it its exact outer size and place, then
// shows it, so every message the module sees is about the final window.
HWND OpenHostWindow(const std::string& name, WindowKind kind, int width, int height, int left,
                    int top, const std::string& title);

// Destroys the named window and forgets it.
void CloseHostWindow(const std::string& name);

// The named window, or null.
HWND FindHostWindow(const std::string& name);

// The name of a window of the host, "none" for null, or a description of a
// window the host does not know.
std::string NameOfWindow(HWND window);

// "left,top widthxheight title" of the window's outer rectangle, plus
// " hidden" when it is not visible.
std::string DescribeWindow(HWND window);

// The render window that the viewport callbacks are told about: a titled
// top-level window, windowed with a caption or a borderless popup covering the
// primary monitor for fullscreen.
HWND OpenRenderWindow(bool fullscreen, int width, int height);
void CloseRenderWindow();
extern HWND gRenderWindow;
