// The help file and the HTML Help control that shows it.
#pragma once
#include <windows.h>

#include <cstddef>

// The help file's name.
inline constexpr char kHelpFileName[] = "TavrinzvDelay.chm";
// "TavrinzvDelay.chm" beside the module: the module's path with everything
// after its last ':' or '\' replaced (cut to the buffer).
void HelpFilePath(HINSTANCE module, char* path, size_t size);
// The HTML Help control's registered path (HKEY_CLASSES_ROOT, environment
// strings expanded) into path[size], terminated; false when there is none or
// it does not fit.
bool RegisteredHtmlHelpPath(char* path, size_t size);
// Shows the file's default topic; false when the file or the HTML Help
// control is missing. The control is loaded on first use (from its
// registered path, else by name) and a failure is not retried.
bool OpenHelpFile(HWND owner, const char* path);
