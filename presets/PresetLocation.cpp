#include "presets/PresetLocation.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "presets/BoundedText.h"

namespace {

// A string value of HKEY_LOCAL_MACHINE\keyPath (name null: the default
// value), whatever its length. Registry strings need not be terminated, so
// the text is cut at the length the registry reports.
bool ReadMachineString(const std::string& keyPath, const char* name, std::string& value) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    DWORD type = 0, bytes = 0;
    bool ok = RegQueryValueExA(key, name, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
              (type == REG_SZ || type == REG_EXPAND_SZ);
    if (ok) {
        std::string text(bytes + 1, '\0');
        ok = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&text[0]), &bytes) == ERROR_SUCCESS;
        if (ok) value.assign(text.c_str(), strnlen(text.c_str(), bytes));
    }
    RegCloseKey(key);
    return ok;
}

bool FindIn(const char* keyPath, const char* fileName, char* path, size_t size) {
    std::string folder;
    if (ReadMachineString(keyPath, "PluginPath", folder) && !folder.empty()) {
        const char* format = folder.back() == '\\' ? "%s%s" : "%s\\%s";
        std::snprintf(path, size, format, folder.c_str(), fileName);
        return true;
    }
    std::string library;
    if (ReadMachineString(std::string(keyPath) + "\\InProcserver32", nullptr, library) &&
        ContainsNoCase(library.c_str(), ".dll")) {
        const size_t slash = library.rfind('\\');
        if (slash != std::string::npos) {
            std::snprintf(path, size, "%s%s", library.substr(0, slash + 1).c_str(), fileName);
            return true;
        }
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
