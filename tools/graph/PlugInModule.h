// CPlugInModule: the plug-in DLL loaded by path and asked for its objects
// through DllGetClassObject, as COM would after a registration, but without
// touching the registry (so a build can run its own DLL whatever is
// registered in the prefix).
#pragma once
#include <windows.h>
#include <ole2.h>

#include <string>

class CPlugInModule {
public:
    CPlugInModule() = default;
    // Unloads, if the DLL says it can be.
    ~CPlugInModule();
    CPlugInModule(const CPlugInModule&) = delete;
    CPlugInModule& operator=(const CPlugInModule&) = delete;

    // Loads the DLL and finds DllGetClassObject. Returns an empty string or a
    // message for the user.
    std::string Load(const std::wstring& path);
    // An object of the class, through its class factory.
    HRESULT CreateInstance(REFCLSID clsid, REFIID riid, void** ppv);
    // Frees the DLL once DllCanUnloadNow answers S_OK (every object of it
    // released); otherwise it stays loaded until the process ends.
    void Unload();
    // The DLL's own answer: S_OK once none of its objects is alive.
    HRESULT CanUnloadNow() const { return m_canUnloadNow ? m_canUnloadNow() : E_UNEXPECTED; }

private:
    HMODULE m_module = nullptr;
    HRESULT(STDAPICALLTYPE* m_getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* m_canUnloadNow)() = nullptr;
};
