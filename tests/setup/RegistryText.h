// A REG_SZ value of HKLM\<key> in the 64-bit registry view, for the setup
// program's checks (zvdelay-setup-probe, zvdelay-setup-driver); empty when
// the key or the value is absent or not a string.
#pragma once

#include <windows.h>

#include <string>

inline std::wstring ReadMachineString(const wchar_t* key, const wchar_t* name) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ | KEY_WOW64_64KEY, &handle) != ERROR_SUCCESS) {
        return L"";
    }
    wchar_t value[1024] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    DWORD type = 0;
    const LONG err = RegQueryValueExW(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(handle);
    return err == ERROR_SUCCESS && type == REG_SZ ? std::wstring(value) : std::wstring();
}
