#include "editor/HelpViewer.h"

#include <cstring>

namespace {

constexpr char kHelpFileName[] = "TavrinzvDelay.chm";
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
    LONG size = sizeof(registered);
    if (RegQueryValueA(HKEY_CLASSES_ROOT, kHtmlHelpKey, registered, &size) == ERROR_SUCCESS && registered[0]) {
        char expanded[MAX_PATH] = {};
        const DWORD n = ExpandEnvironmentStringsA(registered, expanded, sizeof(expanded));
        if (n > 0 && n <= sizeof(expanded)) control = LoadLibraryA(expanded);
    }
    if (!control) control = LoadLibraryA("hhctrl.ocx");
    if (control) g_htmlHelp = reinterpret_cast<HtmlHelpProc>(GetProcAddress(control, MAKEINTRESOURCEA(14)));
    return g_htmlHelp;
}

}  // namespace

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
