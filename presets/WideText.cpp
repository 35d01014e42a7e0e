#include "presets/WideText.h"

std::wstring WideText(const char* utf8) {
    if (!utf8 || !*utf8) return std::wstring();
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], length);
    wide.resize(wide.size() - 1);   // the terminator
    return wide;
}

std::string Utf8Text(const wchar_t* wide, size_t length) {
    if (!wide || length == 0) return std::string();
    const int count = static_cast<int>(length);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, count, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, wide, count, &utf8[0], bytes, nullptr, nullptr);
    return utf8;
}

std::string DialogItemText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    const int length = GetWindowTextW(control, &text[0], static_cast<int>(text.size()));
    return Utf8Text(text.data(), static_cast<size_t>(length > 0 ? length : 0));
}
