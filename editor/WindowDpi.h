// The DPI the editor draws at. The page never changes the process's DPI
// awareness (it lives in the host's process): it follows the DPI Windows
// gives its window, GetDpiForWindow where the system has it (looked up at
// run time), else the DPI of the window's device context. A host that is
// not DPI aware gets 96 and lets Windows scale the page. UI thread.
#pragma once
#include <windows.h>

// The DPI of a window, at least 96.
int WindowDpi(HWND window);
// The DPI a new window of the calling thread would get (before the page has
// a window), at least 96.
int SystemDpi();
// A system metric (SM_CXSMICON, ...) at a window's DPI, where the system can
// say; else at the system's.
int MetricForWindow(HWND window, int index);
