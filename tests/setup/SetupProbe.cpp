// zvdelay-setup-probe [EXPECTED_FOLDER [EXPECTED_VERSION]]: checks, from inside a Windows
// session, what the setup program left behind, the way a host and the
// plug-in's preset store see it:
//   - the filter is created with CoCreateInstance from its CLSID, and the
//     module that serves it is the DLL InprocServer32 names (its version
//     record says EXPECTED_VERSION when given);
//   - "PluginPath" under HKLM\SOFTWARE\Classes\CLSID\{filter} names the
//     folder of that DLL (EXPECTED_FOLDER when given), and the preset file
//     zvDelayDX.ini there is a preset file of this plug-in;
//   - the system device enumerator lists the filter by its name in the
//     DirectShow filter category.
// Prints one line per check; exit code 0 when every check passed, else 1.
//
// zvdelay-setup-probe --hold SECONDS: creates the filter and keeps it (and
// so the DLL) loaded for that long, as a running host would; prints "holding"
// once it is loaded.
#include <windows.h>

#include <dshow.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "RegistryText.h"

namespace {

const CLSID kFilterClsid = {0x6A1F3B80, 0xD27E, 0x4C95, {0x8E, 0x14, 0x3B, 0x7D, 0x0A, 0x5C, 0x92, 0xE6}};
const wchar_t kClassKey[] = L"SOFTWARE\\Classes\\CLSID\\{6A1F3B80-D27E-4C95-8E14-3B7D0A5C92E6}";
const wchar_t kFilterName[] = L"Tavrin:zv Delay";

int failures = 0;

void Check(bool ok, const std::wstring& what) {
    std::wprintf(L"%ls: %ls\n", ok ? L"ok" : L"FAIL", what.c_str());
    if (!ok) ++failures;
}

bool SameText(const std::wstring& a, const std::wstring& b) { return lstrcmpiW(a.c_str(), b.c_str()) == 0; }

std::wstring Folder(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring LongPath(const std::wstring& path) {
    wchar_t full[MAX_PATH * 2] = {};
    const DWORD n = GetLongPathNameW(path.c_str(), full, MAX_PATH * 2);
    return n > 0 && n < MAX_PATH * 2 ? std::wstring(full) : path;
}

// "a.b.c.d" from the file version of a module's version record.
std::wstring FileVersion(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return L"";
    std::string block(size, '\0');
    if (!GetFileVersionInfoW(path.c_str(), 0, size, &block[0])) return L"";
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(&block[0], L"\\", reinterpret_cast<void**>(&info), &length) || !info) return L"";
    wchar_t text[64];
    std::swprintf(text, 64, L"%lu.%lu.%lu.%lu", static_cast<unsigned long>(HIWORD(info->dwFileVersionMS)),
                  static_cast<unsigned long>(LOWORD(info->dwFileVersionMS)),
                  static_cast<unsigned long>(HIWORD(info->dwFileVersionLS)),
                  static_cast<unsigned long>(LOWORD(info->dwFileVersionLS)));
    return text;
}

std::wstring TrimSlash(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path;
}

bool FilterListed() {
    ICreateDevEnum* devices = nullptr;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                reinterpret_cast<void**>(&devices)))) {
        return false;
    }
    bool found = false;
    IEnumMoniker* monikers = nullptr;
    if (devices->CreateClassEnumerator(CLSID_LegacyAmFilterCategory, &monikers, 0) == S_OK) {
        IMoniker* moniker = nullptr;
        while (!found && monikers->Next(1, &moniker, nullptr) == S_OK) {
            IPropertyBag* bag = nullptr;
            if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag)))) {
                VARIANT name, clsid;
                VariantInit(&name);
                VariantInit(&clsid);
                if (SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) &&
                    SUCCEEDED(bag->Read(L"CLSID", &clsid, nullptr)) && name.vt == VT_BSTR && clsid.vt == VT_BSTR) {
                    CLSID value = {};
                    found = lstrcmpW(name.bstrVal, kFilterName) == 0 &&
                            SUCCEEDED(CLSIDFromString(clsid.bstrVal, &value)) && IsEqualCLSID(value, kFilterClsid);
                }
                VariantClear(&name);
                VariantClear(&clsid);
                bag->Release();
            }
            moniker->Release();
        }
        monikers->Release();
    }
    devices->Release();
    return found;
}

}  // namespace

int Hold(int seconds) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IBaseFilter* filter = nullptr;
    if (FAILED(CoCreateInstance(kFilterClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(&filter)))) {
        std::wprintf(L"FAIL: CoCreateInstance of the filter\n");
        return 1;
    }
    std::wprintf(L"holding\n");
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(seconds) * 1000);
    filter->Release();
    CoUninitialize();
    return 0;
}

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && lstrcmpW(argv[1], L"--hold") == 0) return Hold(_wtoi(argv[2]));
    const std::wstring expected = argc > 1 ? TrimSlash(argv[1]) : std::wstring();
    const std::wstring expectedVersion = argc > 2 ? std::wstring(argv[2]) : std::wstring();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    IBaseFilter* filter = nullptr;
    const HRESULT hr = CoCreateInstance(kFilterClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                        reinterpret_cast<void**>(&filter));
    wchar_t hrText[32];
    std::swprintf(hrText, 32, L"0x%08lx", static_cast<unsigned long>(hr));
    Check(SUCCEEDED(hr) && filter, std::wstring(L"CoCreateInstance of the filter: ") + hrText);

    const std::wstring server = ReadMachineString((std::wstring(kClassKey) + L"\\InprocServer32").c_str(), nullptr);
    Check(!server.empty(), L"InprocServer32: " + server);
    std::wstring loaded;
    if (HMODULE module = GetModuleHandleW(L"zvDelayDX.dll")) {
        wchar_t path[MAX_PATH * 2] = {};
        GetModuleFileNameW(module, path, MAX_PATH * 2);
        loaded = path;
    }
    Check(!loaded.empty() && SameText(LongPath(loaded), LongPath(server)), L"the filter's module: " + loaded);
    if (!expectedVersion.empty()) {
        const std::wstring version = FileVersion(server);
        Check(version == expectedVersion, L"its version record: " + version);
    }
    if (filter) filter->Release();

    const std::wstring pluginPath = TrimSlash(ReadMachineString(kClassKey, L"PluginPath"));
    Check(!pluginPath.empty(), L"PluginPath: " + pluginPath);
    Check(SameText(LongPath(pluginPath), LongPath(Folder(server))), L"PluginPath is the folder of the DLL");
    if (!expected.empty()) {
        Check(SameText(LongPath(pluginPath), LongPath(expected)), L"PluginPath is " + expected);
    }

    // What the preset store does: PluginPath joined with the file name, and
    // the file's [Plug-in] CLSID must be the class key.
    const std::wstring presetFile = pluginPath + L"\\zvDelayDX.ini";
    const DWORD attributes = GetFileAttributesW(presetFile.c_str());
    Check(attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY),
          L"preset file: " + presetFile);
    wchar_t key[256] = {};
    GetPrivateProfileStringW(L"Plug-in", L"CLSID", L"", key, 256, presetFile.c_str());
    Check(SameText(key, kClassKey), std::wstring(L"its [Plug-in] CLSID: ") + key);
    wchar_t name[256] = {};
    GetPrivateProfileStringW(L"Preset1", L"Name", L"", name, 256, presetFile.c_str());
    Check(name[0] != 0, std::wstring(L"its first preset: ") + name);

    Check(FilterListed(), L"the device enumerator lists \"Tavrin:zv Delay\" among the DirectShow filters");

    CoUninitialize();
    std::wprintf(L"%ls\n", failures ? L"probe FAILED" : L"probe passed");
    return failures ? 1 : 0;
}
