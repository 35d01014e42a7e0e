#include "host/Registration.h"

#include <cstdio>
#include <string>

#include "filterbase/DShow.h"
#include "host/ClassTemplates.h"

namespace {

std::wstring GuidText(REFGUID guid) {
    wchar_t text[64];
    StringFromGUID2(guid, text, 64);
    return text;
}

std::wstring ClsidKey(REFCLSID clsid) { return L"CLSID\\" + GuidText(clsid); }

HRESULT SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
    const LONG err = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    return err == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(err);
}

HRESULT CreateKey(HKEY parent, const std::wstring& path, HKEY* key) {
    const LONG err = RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                                     key, nullptr);
    return err == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(err);
}

// "CLSID\{clsid}" = name; "InprocServer32" = module path, ThreadingModel Both.
HRESULT RegisterServer(const CFactoryTemplate& t, const std::wstring& modulePath) {
    HKEY classKey = nullptr;
    HRESULT hr = CreateKey(HKEY_CLASSES_ROOT, ClsidKey(*t.clsid), &classKey);
    if (FAILED(hr)) return hr;
    hr = SetString(classKey, nullptr, t.name);
    HKEY serverKey = nullptr;
    if (SUCCEEDED(hr)) hr = CreateKey(classKey, L"InprocServer32", &serverKey);
    if (SUCCEEDED(hr)) hr = SetString(serverKey, nullptr, modulePath);
    if (SUCCEEDED(hr)) hr = SetString(serverKey, L"ThreadingModel", L"Both");
    if (serverKey) RegCloseKey(serverKey);
    RegCloseKey(classKey);
    return hr;
}

bool NotThere(HRESULT hr) { return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND); }

// Registers (or, with reg false, unregisters) every template that has a
// setup record with the system filter mapper, preferring IFilterMapper2.
HRESULT RegisterFilters(bool reg) {
    const HRESULT init = CoInitialize(nullptr);
    HRESULT hr = S_OK;
    IFilterMapper2* mapper2 = nullptr;
    IFilterMapper* mapper = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                reinterpret_cast<void**>(&mapper2)))) {
        hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                              reinterpret_cast<void**>(&mapper));
    }
    for (int i = 0; SUCCEEDED(hr) && i < g_cTemplates; ++i) {
        const CFactoryTemplate& t = g_Templates[i];
        const AMOVIESETUP_FILTER* setup = t.setup;
        if (!setup) continue;
        if (mapper2) {
            hr = mapper2->UnregisterFilter(nullptr, nullptr, *t.clsid);
            if (reg) {
                REGFILTER2 rf2{};
                rf2.dwVersion = 1;
                rf2.dwMerit = setup->dwMerit;
                rf2.cPins = setup->nPins;
                rf2.rgPins = setup->lpPin;
                hr = mapper2->RegisterFilter(*t.clsid, t.name, nullptr, nullptr, nullptr, &rf2);
            }
        } else {
            hr = mapper->UnregisterFilter(*t.clsid);
            if (reg) hr = RegisterWithOldMapper(mapper, *setup);
        }
        if (NotThere(hr)) hr = S_OK;
    }
    if (mapper2) mapper2->Release();
    if (mapper) mapper->Release();
    CoFreeUnusedLibraries();
    if (SUCCEEDED(init)) CoUninitialize();
    return hr;
}

void SetDword(HKEY key, const wchar_t* name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

// Pins\In and Pins\Out with their flags and one audio media type each, and
// "Filter\{clsid}" = name. Results are not checked: this description is a
// courtesy to hosts that still read it.
void WriteOlderStyleDescription(const CFactoryTemplate& t) {
    const std::wstring clsidKey = ClsidKey(*t.clsid);
    const std::wstring audioTypes =
        L"\\Types\\" + GuidText(MEDIATYPE_Audio) + L"\\" + GuidText(GUID_NULL);
    struct PinKey {
        const wchar_t* name;
        DWORD direction;
    } pins[] = {{L"In", 0}, {L"Out", 1}};
    for (const PinKey& pin : pins) {
        const std::wstring pinPath = clsidKey + L"\\Pins\\" + pin.name;
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, pinPath.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
            ERROR_SUCCESS) {
            SetDword(key, L"AllowedMany", 0);
            SetDword(key, L"AllowedZero", 0);
            SetDword(key, L"Direction", pin.direction);
            SetDword(key, L"IsRendered", 0);
            RegCloseKey(key);
        }
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, (pinPath + audioTypes).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr) == ERROR_SUCCESS) {
            RegCloseKey(key);
        }
    }
    HKEY filterKey = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, (L"Filter\\" + GuidText(*t.clsid)).c_str(), 0, nullptr, 0, KEY_WRITE,
                        nullptr, &filterKey, nullptr) == ERROR_SUCCESS) {
        SetString(filterKey, nullptr, t.name);
        RegCloseKey(filterKey);
    }
}

// Deletes a key with all its subkeys, depth first. A key that cannot be
// opened counts as deleted.
void DeleteTree(HKEY parent, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS) return;
    wchar_t child[256];
    for (;;) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        const std::wstring before = child;
        DeleteTree(key, before);
        // A child that would not go away would make this loop forever.
        length = 256;
        if (RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
            before == child) {
            break;
        }
    }
    RegCloseKey(key);
    RegDeleteKeyW(parent, path.c_str());
}

}  // namespace

HRESULT RegisterWithOldMapper(IFilterMapper* mapper, const AMOVIESETUP_FILTER& setup) {
    HRESULT hr = mapper->RegisterFilter(*setup.clsID, setup.strName, setup.dwMerit);
    for (UINT p = 0; SUCCEEDED(hr) && p < setup.nPins; ++p) {
        const AMOVIESETUP_PIN& pin = setup.lpPin[p];
        hr = mapper->RegisterPin(*setup.clsID, pin.strName, pin.bRendered, pin.bOutput, pin.bZero, pin.bMany,
                                 pin.clsConnectsToFilter ? *pin.clsConnectsToFilter : GUID_NULL,
                                 pin.strConnectsToPin);
        for (UINT m = 0; SUCCEEDED(hr) && m < pin.nMediaTypes; ++m) {
            hr = mapper->RegisterPinType(*setup.clsID, pin.strName, *pin.lpMediaType[m].clsMajorType,
                                         *pin.lpMediaType[m].clsMinorType);
        }
    }
    return hr;
}

HRESULT RegisterAllServers(HINSTANCE module) {
    char path[MAX_PATH + 1] = {};
    if (!GetModuleFileNameA(module, path, MAX_PATH)) return HRESULT_FROM_WIN32(GetLastError());
    std::wstring modulePath;
    {
        wchar_t wide[MAX_PATH + 1] = {};
        MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH);
        modulePath = wide;
    }
    for (int i = 0; i < g_cTemplates; ++i) {
        const HRESULT hr = RegisterServer(g_Templates[i], modulePath);
        if (FAILED(hr)) return hr;
    }
    const HRESULT hr = RegisterFilters(true);
    if (SUCCEEDED(hr)) WriteOlderStyleDescription(g_Templates[0]);
    return hr;
}

HRESULT UnregisterAllServers() {
    HRESULT hr = RegisterFilters(false);
    if (SUCCEEDED(hr)) {
        for (int i = 0; i < g_cTemplates; ++i) DeleteTree(HKEY_CLASSES_ROOT, ClsidKey(*g_Templates[i].clsid));
    }
    if (hr == S_OK) {
        for (int i = 0; i < g_cTemplates; ++i) DeleteTree(HKEY_CLASSES_ROOT, L"Filter\\" + GuidText(*g_Templates[i].clsid));
    }
    return hr;
}
