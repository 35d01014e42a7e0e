#include "editor/HelpViewer.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char kHtmlHelpKey[] = "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
constexpr UINT kDisplayTopic = 0;   // HH_DISPLAY_TOPIC

using HtmlHelpProc = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

// UI thread only, like the page that calls it.
HtmlHelpProc g_htmlHelp = nullptr;
bool g_loadTried = false;

HtmlHelpProc LoadHtmlHelp() {
    if (g_loadTried) return g_htmlHelp;
    g_loadTried = true;
    HMODULE control = nullptr;
    char registered[MAX_PATH] = {};
    if (RegisteredHtmlHelpPath(registered, sizeof(registered))) control = LoadLibraryA(registered);
    if (!control) control = LoadLibraryA("hhctrl.ocx");
    if (control) g_htmlHelp = reinterpret_cast<HtmlHelpProc>(
        reinterpret_cast<void*>(GetProcAddress(control, MAKEINTRESOURCEA(14))));
    return g_htmlHelp;
}

}  // namespace

// The registry does not promise a terminated string: a value that fills the
// whole buffer without one is too long to be a path of ours, and anything
// shorter gets its terminator after what was read.
bool RegisteredHtmlHelpPath(char* path, size_t size) {
    if (!path || size < 2 || size > MAX_PATH) return false;
    LONG length = static_cast<LONG>(size);
    const bool read = RegQueryValueA(HKEY_CLASSES_ROOT, kHtmlHelpKey, path, &length) == ERROR_SUCCESS &&
                      (static_cast<size_t>(length) < size || path[size - 1] == 0);
    path[read ? std::min(static_cast<size_t>(length), size - 1) : 0] = 0;
    if (!path[0]) return false;
    char expanded[MAX_PATH] = {};
    const DWORD n = ExpandEnvironmentStringsA(path, expanded, sizeof(expanded));
    if (n == 0 || n > sizeof(expanded) || n > size) {
        path[0] = 0;
        return false;
    }
    lstrcpynA(path, expanded, static_cast<int>(size));
    return true;
}

void HelpFilePath(HINSTANCE module, char* path, size_t size) {
    if (!path || size == 0) return;
    path[0] = 0;
    const DWORD length = GetModuleFileNameA(module, path, static_cast<DWORD>(size));
    if (length >= size) path[size - 1] = 0;
    size_t start = 0;
    for (size_t i = 0; path[i]; ++i) {
        if (path[i] == ':' || path[i] == '\\') start = i + 1;
    }
    lstrcpynA(path + start, kHelpFileName, static_cast<int>(size - start));
}

bool OpenHelpFile(HWND owner, const char* path) {
    HtmlHelpProc htmlHelp = LoadHtmlHelp();
    if (!htmlHelp || !path) return false;
    return htmlHelp(owner, path, kDisplayTopic, 0) != nullptr;
}
