#include "host_windows.h"

#include <stdexcept>
#include <vector>

HostWindows gHostWindows;
HWND gRenderWindow = nullptr;

namespace {

const char* const kFrameClass = "QuilloryHostFrame";

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        DestroyWindow(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            DestroyWindow(window);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void RegisterFrameClass() {
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSA frame = {};
    frame.lpfnWndProc = FrameProc;
    frame.hInstance = GetModuleHandleA(nullptr);
    frame.hCursor = LoadCursor(nullptr, IDC_ARROW);
    frame.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    frame.lpszClassName = kFrameClass;
    if (!RegisterClassA(&frame))
        throw std::runtime_error("cannot register the host's window class");
    registered = true;
}

unsigned gWindowsOpened = 0;

HWND FirstMainWindow() {
    const HostWindow* first = nullptr;
    for (const auto& entry : gHostWindows)
        if (entry.second.kind == WindowKind::Main &&
            (first == nullptr || entry.second.opened < first->opened))
            first = &entry.second;
    return first != nullptr ? first->handle : nullptr;
}

// In-memory dialog template: the words of a DLGTEMPLATE, its caption and two
// items (a line of text and an OK button), DWORD-aligned where required.
class DialogTemplate {
public:
    explicit DialogTemplate(const std::string& title) {
        const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
        AddDword(style);
        AddDword(0);         // extended style
        words_.push_back(2); // items
        for (int i = 0; i < 4; ++i)
            words_.push_back(i < 2 ? 0 : 100); // x, y, cx, cy: replaced by pixels later
        words_.push_back(0);                   // no menu
        words_.push_back(0);                   // standard dialog class
        AddText(title);
        AddItem(WS_CHILD | WS_VISIBLE | SS_LEFT, 7, 7, 80, 10, 0xFFFF, 0x0082, "Stand-in dialog");
        AddItem(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 7, 20, 40, 14, IDOK, 0x0080,
                "OK");
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void AddDword(DWORD value) {
        words_.push_back(LOWORD(value));
        words_.push_back(HIWORD(value));
    }
    void AddText(const std::string& text) {
        const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
        std::vector<wchar_t> wide(length > 0 ? length : 1, L'\0');
        MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
        for (const wchar_t c : wide)
            words_.push_back(static_cast<WORD>(c));
    }
    void AddItem(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
                 const std::string& text) {
        if (words_.size() % 2)
            words_.push_back(0);
        AddDword(style);
        AddDword(0);
        for (short v : {x, y, cx, cy})
            words_.push_back(static_cast<WORD>(v));
        words_.push_back(id);
        words_.push_back(0xFFFF);
        words_.push_back(atom);
        AddText(text);
        words_.push_back(0); // no creation data
    }
    std::vector<WORD> words_;
};

} // namespace

HWND OpenHostWindow(const std::string& name, WindowKind kind, int width, int height, int left,
                    int top, const std::string& title) {
    if (gHostWindows.count(name))
        throw std::runtime_error("window " + name + " is open already");
    RegisterFrameClass();
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    const HWND owner = kind == WindowKind::Main ? nullptr : FirstMainWindow();
    HWND window = nullptr;
    switch (kind) {
    case WindowKind::Main:
        window = CreateWindowExA(0, kFrameClass, title.c_str(), WS_OVERLAPPEDWINDOW, left, top,
                                 width, height, nullptr, nullptr, instance, nullptr);
        break;
    case WindowKind::Tool:
        window = CreateWindowExA(WS_EX_TOOLWINDOW, kFrameClass, title.c_str(),
                                 WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, left, top,
                                 width, height, owner, nullptr, instance, nullptr);
        break;
    case WindowKind::Dialog: {
        const DialogTemplate dialog(title);
        window = CreateDialogIndirectParamA(instance, dialog.get(), owner, DialogProc, 0);
        break;
    }
    }
    if (window == nullptr)
        throw std::runtime_error("cannot create window " + name);
    SetWindowPos(window, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    gHostWindows[name] = HostWindow{window, kind, ++gWindowsOpened};
    return window;
}

void CloseHostWindow(const std::string& name) {
    const auto found = gHostWindows.find(name);
    if (found == gHostWindows.end())
        throw std::runtime_error("no window " + name);
    DestroyWindow(found->second.handle);
    gHostWindows.erase(found);
}

HWND FindHostWindow(const std::string& name) {
    const auto found = gHostWindows.find(name);
    return found == gHostWindows.end() ? nullptr : found->second.handle;
}

std::string NameOfWindow(HWND window) {
    if (window == nullptr)
        return "none";
    if (window == gRenderWindow)
        return "render";
    for (const auto& [name, known] : gHostWindows)
        if (known.handle == window)
            return name;
    char className[64] = {}, title[128] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    return std::string("other(class=") + className + " title=" + title + ")";
}

std::string DescribeWindow(HWND window) {
    if (!IsWindow(window))
        return "gone";
    RECT outer{};
    GetWindowRect(window, &outer);
    char title[256] = {};
    GetWindowTextA(window, title, sizeof title);
    return std::to_string(outer.left) + "," + std::to_string(outer.top) + " " +
           std::to_string(outer.right - outer.left) + "x" +
           std::to_string(outer.bottom - outer.top) + " \"" + title + "\"" +
           (IsWindowVisible(window) ? "" : " hidden");
}

HWND OpenRenderWindow(bool fullscreen, int width, int height) {
    if (gRenderWindow != nullptr)
        throw std::runtime_error("the render window is open already");
    RegisterFrameClass();
    const DWORD style = fullscreen ? WS_POPUP : WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    gRenderWindow = CreateWindowExA(0, kFrameClass, "Orbiter Render Window", style, 0, 0, width,
                                    height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (gRenderWindow == nullptr)
        throw std::runtime_error("cannot create the render window");
    ShowWindow(gRenderWindow, SW_SHOWNOACTIVATE);
    return gRenderWindow;
}

void CloseRenderWindow() {
    if (gRenderWindow != nullptr)
        DestroyWindow(gRenderWindow);
    gRenderWindow = nullptr;
}
