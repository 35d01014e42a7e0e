// UTF-8 to UTF-16 and back, for the Windows calls of the presets subsystem,
// which keeps every text as UTF-8 (Utf8Text.h) and calls the wide functions.
// Malformed input becomes U+FFFD. Windows only; std::bad_alloc when memory
// is short.
#pragma once
#include <windows.h>

#include <string>

std::wstring WideText(const char* utf8);
inline std::wstring WideText(const std::string& utf8) { return WideText(utf8.c_str()); }
std::string Utf8Text(const wchar_t* wide, size_t length);
inline std::string Utf8Text(const std::wstring& wide) { return Utf8Text(wide.data(), wide.size()); }

// The text of a dialog's control, as UTF-8.
std::string DialogItemText(HWND dialog, int id);
