// The DLL as a COM server: registration with Wine's own regsvr32, the
// registry entries and the filter mapper, class objects, aggregation,
// unloading, and saved states that earlier versions wrote.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "effect/ITzPlugInProp.h"
#include "filterbase/DShow.h"
#include "host/FilterSetupData.h"

namespace {

std::wstring WinPath(const std::string& unixPath) {
    std::wstring path = L"Z:";
    for (char c : unixPath) path += (c == '/') ? L'\\' : static_cast<wchar_t>(c);
    return path;
}

const std::wstring kDll = WinPath(ZV_DLL_PATH);
const wchar_t kFilterKey[] = L"CLSID\\{6A1F3B80-D27E-4C95-8E14-3B7D0A5C92E6}";
const wchar_t kPageKey[] = L"CLSID\\{6A1F3B81-D27E-4C95-8E14-3B7D0A5C92E6}";
const wchar_t kOldFilterKey[] = L"Filter\\{6A1F3B80-D27E-4C95-8E14-3B7D0A5C92E6}";

DWORD RunRegsvr32(const std::wstring& args) {
    std::wstring command = L"regsvr32.exe /s " + args + L" \"" + kDll + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 9999;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 9999;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

bool KeyExists(const std::wstring& path) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::wstring ReadString(const std::wstring& path, const wchar_t* name) {
    wchar_t value[512] = {};
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
        return L"<missing>";
    }
    return value;
}

DWORD ReadDword(const std::wstring& path, const wchar_t* name) {
    DWORD value = 0xDEAD, size = sizeof(value);
    RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

std::vector<std::wstring> Subkeys(const std::wstring& path) {
    std::vector<std::wstring> names;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

class CServerDll {
public:
    CServerDll() {
        module = LoadLibraryW(kDll.c_str());
        if (!module) return;
        getClassObject = reinterpret_cast<decltype(getClassObject)>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
        canUnloadNow =
            reinterpret_cast<decltype(canUnloadNow)>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    }
    ~CServerDll() {
        if (module) FreeLibrary(module);
    }
    IClassFactory* Factory(REFCLSID clsid) {
        IClassFactory* factory = nullptr;
        getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
        return factory;
    }
    HMODULE module = nullptr;
    HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
};

// An outer object that aggregates whatever it is given.
class COuter : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    IUnknown* inner = nullptr;
    ULONG refs = 1;
};

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override { CoUninitialize(); }
};

}  // namespace

TEST_F(ServerTest, Regsvr32RegistersAndUnregistersEverything) {
    ASSERT_EQ(RunRegsvr32(L""), 0u);
    EXPECT_EQ(ReadString(kFilterKey, nullptr), L"Tavrin:zv Delay");
    EXPECT_EQ(ReadString(kPageKey, nullptr), L"Tavrin:zv Delay Property Page");
    const std::wstring server = std::wstring(kFilterKey) + L"\\InprocServer32";
    EXPECT_EQ(_wcsicmp(ReadString(server, nullptr).c_str(), kDll.c_str()), 0) << ReadString(server, nullptr);
    EXPECT_EQ(ReadString(server, L"ThreadingModel"), L"Both");
    EXPECT_EQ(ReadString(std::wstring(kPageKey) + L"\\InprocServer32", L"ThreadingModel"), L"Both");
    EXPECT_EQ(ReadString(kOldFilterKey, nullptr), L"Tavrin:zv Delay");
    const std::wstring pins = std::wstring(kFilterKey) + L"\\Pins";
    std::vector<std::wstring> pinKeys = Subkeys(pins);
    std::sort(pinKeys.begin(), pinKeys.end());
    EXPECT_EQ(pinKeys, (std::vector<std::wstring>{L"In", L"Out"}));
    EXPECT_EQ(ReadDword(pins + L"\\In", L"Direction"), 0u);
    EXPECT_EQ(ReadDword(pins + L"\\Out", L"Direction"), 1u);
    for (const wchar_t* value : {L"AllowedMany", L"AllowedZero", L"IsRendered"}) {
        EXPECT_EQ(ReadDword(pins + L"\\In", value), 0u);
        EXPECT_EQ(ReadDword(pins + L"\\Out", value), 0u);
    }
    EXPECT_TRUE(KeyExists(pins + L"\\In\\Types\\{73647561-0000-0010-8000-00AA00389B71}\\"
                                 L"{00000000-0000-0000-0000-000000000000}"));
    EXPECT_TRUE(KeyExists(pins + L"\\Out\\Types\\{73647561-0000-0010-8000-00AA00389B71}\\"
                                  L"{00000000-0000-0000-0000-000000000000}"));

    // Registered: COM creates it by class, and the filter mapper lists it.
    IBaseFilter* filter = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ZvDelay, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               reinterpret_cast<void**>(&filter)),
              S_OK);
    EXPECT_EQ(filter->Release(), 0u);
    IFilterMapper2* mapper = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                               reinterpret_cast<void**>(&mapper)),
              S_OK);
    IEnumMoniker* found = nullptr;
    GUID audio[2] = {MEDIATYPE_Audio, GUID_NULL};
    ASSERT_EQ(mapper->EnumMatchingFilters(&found, 0, FALSE, 0, TRUE, 1, audio, nullptr, nullptr, FALSE, TRUE, 0,
                                          nullptr, nullptr, nullptr),
              S_OK);
    bool listed = false;
    IMoniker* moniker = nullptr;
    while (found->Next(1, &moniker, nullptr) == S_OK) {
        IPropertyBag* bag = nullptr;
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag)))) {
            VARIANT name;
            VariantInit(&name);
            if (SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR &&
                wcscmp(name.bstrVal, L"Tavrin:zv Delay") == 0) {
                listed = true;
            }
            VariantClear(&name);
            bag->Release();
        }
        moniker->Release();
    }
    found->Release();
    mapper->Release();
    EXPECT_TRUE(listed);

    ASSERT_EQ(RunRegsvr32(L"/u"), 0u);
    EXPECT_FALSE(KeyExists(kFilterKey));
    EXPECT_FALSE(KeyExists(kPageKey));
    EXPECT_FALSE(KeyExists(kOldFilterKey));
    EXPECT_EQ(RunRegsvr32(L"/u"), 0u);   // unregistering twice is fine
}

TEST_F(ServerTest, ClassObjectsFactoriesAndUnloading) {
    CServerDll dll;
    ASSERT_NE(dll.module, nullptr);
    void* none = nullptr;
    const GUID unknownClass = {0x12345678, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_EQ(dll.getClassObject(unknownClass, IID_IClassFactory, &none), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(dll.getClassObject(CLSID_ZvDelay, IID_IBaseFilter, &none), E_NOINTERFACE);

    IClassFactory* pageFactory = dll.Factory(CLSID_ZvDelayPropertyPage);
    ASSERT_NE(pageFactory, nullptr);
    IPropertyPage* page = nullptr;
    EXPECT_EQ(pageFactory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page)), S_OK);
    PROPPAGEINFO info{};
    EXPECT_EQ(page->GetPageInfo(&info), S_OK);
    CoTaskMemFree(info.pszTitle);
    EXPECT_EQ(page->Release(), 0u);
    EXPECT_EQ(pageFactory->Release(), 0u);

    IClassFactory* factory = dll.Factory(CLSID_ZvDelay);
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(dll.canUnloadNow(), S_FALSE);   // the factory itself is alive
    COuter outer;
    IUnknown* inner = nullptr;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IBaseFilter, reinterpret_cast<void**>(&inner)), E_NOINTERFACE);
    EXPECT_EQ(inner, nullptr);
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
    outer.inner = inner;
    IBaseFilter* aggregated = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&aggregated)), S_OK);
    IUnknown* identity = nullptr;
    aggregated->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));   // the outer's identity
    identity->Release();
    aggregated->Release();
    EXPECT_EQ(outer.refs, 1u);
    EXPECT_EQ(inner->Release(), 0u);

    for (int i = 0; i < 1000; ++i) {
        IBaseFilter* filter = nullptr;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&filter)), S_OK);
        ASSERT_EQ(filter->Release(), 0u);
    }
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_EQ(dll.canUnloadNow(), S_FALSE);   // locked
    factory = dll.Factory(CLSID_ZvDelay);
    factory->LockServer(FALSE);
    factory->Release();
    EXPECT_EQ(dll.canUnloadNow(), S_OK);
}

TEST_F(ServerTest, SavedStatesOfEarlierVersionsLoadToTheSameValues) {
    struct Fixture {
        const char* file;
        ParamBlock expected;
    } fixtures[] = {
        {"state-defaults.bin", kDefaultBlock},
        {"state-distinct.bin",
         {{1234, 7, 55, 20, 75, 36000, 9, 0, 100, 100, 100, 65, 120, 45, 250, 130, -120, 2, 1405, 0, 1}}},
    };
    CServerDll dll;
    IClassFactory* factory = dll.Factory(CLSID_ZvDelay);
    ASSERT_NE(factory, nullptr);
    for (const Fixture& f : fixtures) {
        SCOPED_TRACE(f.file);
        std::ifstream in(std::string(ZV_FIXTURE_DIR) + "/" + f.file, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_EQ(bytes.size(), 196u);
        IStream* stream = nullptr;
        CreateStreamOnHGlobal(nullptr, TRUE, &stream);
        stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
        LARGE_INTEGER zero{};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        IPersistStream* persist = nullptr;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPersistStream, reinterpret_cast<void**>(&persist)), S_OK);
        EXPECT_EQ(persist->Load(stream), S_OK);
        ITzPlugInProp* prop = nullptr;
        persist->QueryInterface(IID_ITzPlugInProp, reinterpret_cast<void**>(&prop));
        ParamBlock loaded{};
        prop->GetAllParams(loaded.v);
        for (int i = 0; i < kParamCount; ++i) EXPECT_EQ(loaded[i], f.expected[i]) << kParamTable[i].name;
        // Saving again gives the same bytes.
        IStream* again = nullptr;
        CreateStreamOnHGlobal(nullptr, TRUE, &again);
        persist->Save(again, TRUE);
        again->Seek(zero, STREAM_SEEK_SET, nullptr);
        std::vector<uint8_t> resaved(196);
        ULONG read = 0;
        again->Read(resaved.data(), 196, &read);
        EXPECT_EQ(resaved, bytes);
        if (getenv("ZV_WRITE_FIXTURES")) {
            // Regenerates the files from the expected values (run once, then committed).
            prop->SetAllParams(f.expected.v);
            IStream* fresh = nullptr;
            CreateStreamOnHGlobal(nullptr, TRUE, &fresh);
            persist->Save(fresh, TRUE);
            fresh->Seek(zero, STREAM_SEEK_SET, nullptr);
            fresh->Read(resaved.data(), 196, &read);
            std::ofstream out(std::string(ZV_FIXTURE_DIR) + "/" + f.file, std::ios::binary);
            out.write(reinterpret_cast<const char*>(resaved.data()), 196);
            fresh->Release();
        }
        again->Release();
        prop->Release();
        persist->Release();
        stream->Release();
    }
    factory->Release();
}
