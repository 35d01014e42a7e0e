#include "presets/PresetLocation.h"

#include <windows.h>

#include <cwchar>
#include <cstring>
#include <new>
#include <string>

#include "presets/BoundedText.h"
#include "presets/Utf8Text.h"
#include "presets/WideText.h"

namespace {

// A string value of HKEY_LOCAL_MACHINE\keyPath (name null: the default
// value), whatever its length, as UTF-8. Registry strings need not be
// terminated, so the text is cut at the length the registry reports.
bool ReadMachineString(const std::string& keyPath, const wchar_t* name, std::string& value) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, WideText(keyPath).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD type = 0, bytes = 0;
    bool ok = RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
              (type == REG_SZ || type == REG_EXPAND_SZ);
    if (ok) {
        std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
        ok = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&text[0]), &bytes) == ERROR_SUCCESS;
        if (ok) value = Utf8Text(text.c_str(), wcsnlen(text.c_str(), bytes / sizeof(wchar_t)));
    }
    RegCloseKey(key);
    return ok;
}

// The found path, at most kPresetPathChars characters.
bool Found(const std::string& found, char* path, size_t size) {
    CopyBounded(path, size, CutToUnits(found, kPresetPathChars).c_str());
    return true;
}

bool FindIn(const char* keyPath, const char* fileName, char* path, size_t size) {
    std::string folder;
    if (ReadMachineString(keyPath, L"PluginPath", folder) && !folder.empty()) {
        return Found(folder + (folder.back() == '\\' ? "" : "\\") + fileName, path, size);
    }
    std::string library;
    if (ReadMachineString(std::string(keyPath) + "\\InProcserver32", nullptr, library) &&
        ContainsNoCase(library.c_str(), ".dll")) {
        const size_t slash = library.rfind('\\');
        if (slash != std::string::npos) return Found(library.substr(0, slash + 1) + fileName, path, size);
    }
    return false;
}

}  // namespace

bool FindPresetFile(const char* keyPath, const char* fileName, char* path, size_t size) {
    if (!path || size == 0) return false;
    path[0] = '\0';
    if (!keyPath || !*keyPath) return false;
    try {
        return FindIn(keyPath, fileName ? fileName : "", path, size);
    } catch (const std::bad_alloc&) {
        path[0] = '\0';
        return false;
    }
}
