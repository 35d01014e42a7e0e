#include "editor/WindowDpi.h"

#include <algorithm>

#include "editor/DpiScale.h"

namespace {

using DpiForWindowFn = UINT(WINAPI*)(HWND);
using DpiForSystemFn = UINT(WINAPI*)();
using MetricForDpiFn = int(WINAPI*)(int, UINT);

template <class Function>
Function User32Function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

int DpiOfDc(HWND window) {
    HDC dc = GetDC(window);
    if (!dc) return kDesignDpi;
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(window, dc);
    return dpi;
}

}  // namespace

int WindowDpi(HWND window) {
    static const auto forWindow = User32Function<DpiForWindowFn>("GetDpiForWindow");
    const int dpi = forWindow && window ? static_cast<int>(forWindow(window)) : DpiOfDc(window);
    return std::max(dpi, kDesignDpi);
}

int SystemDpi() {
    // Not cached: the answer depends on the calling thread's awareness.
    static const auto forSystem = User32Function<DpiForSystemFn>("GetDpiForSystem");
    return std::max(forSystem ? static_cast<int>(forSystem()) : DpiOfDc(nullptr), kDesignDpi);
}

int MetricForWindow(HWND window, int index) {
    static const auto forDpi = User32Function<MetricForDpiFn>("GetSystemMetricsForDpi");
    return forDpi ? forDpi(index, static_cast<UINT>(WindowDpi(window))) : GetSystemMetrics(index);
}
