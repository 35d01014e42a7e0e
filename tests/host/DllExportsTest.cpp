// Loads the built plug-in DLL as a host would and checks its exports.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

std::wstring DllPath() {
    // The build passes a Unix path; Wine maps it through drive Z:.
    std::string unixPath = ZV_DLL_PATH;
    std::wstring path = L"Z:";
    for (char c : unixPath) path += (c == '/') ? L'\\' : static_cast<wchar_t>(c);
    return path;
}

}  // namespace

TEST(DllExports, LoadsAndExportsTheFourServerEntries) {
    HMODULE dll = LoadLibraryW(DllPath().c_str());
    ASSERT_NE(dll, nullptr) << "LoadLibrary failed: " << GetLastError();
    for (const char* name : {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer"}) {
        EXPECT_NE(GetProcAddress(dll, name), nullptr) << name;
    }
    typedef HRESULT(STDAPICALLTYPE * CanUnload)();
    auto canUnload = reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_OK);
    EXPECT_TRUE(FreeLibrary(dll));
}
