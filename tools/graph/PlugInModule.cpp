#include "tools/graph/PlugInModule.h"

#include <cstdio>

CPlugInModule::~CPlugInModule() { Unload(); }

std::string CPlugInModule::Load(const std::wstring& path) {
    Unload();
    std::string name;
    for (wchar_t c : path) name += c < 128 ? static_cast<char>(c) : '?';
    m_module = LoadLibraryW(path.c_str());
    if (!m_module) {
        char text[64];
        std::snprintf(text, sizeof text, " (error %lu)", static_cast<unsigned long>(GetLastError()));
        return "cannot load \"" + name + "\"" + text;
    }
    m_getClassObject = reinterpret_cast<decltype(m_getClassObject)>(
        reinterpret_cast<void*>(GetProcAddress(m_module, "DllGetClassObject")));
    m_canUnloadNow =
        reinterpret_cast<decltype(m_canUnloadNow)>(reinterpret_cast<void*>(GetProcAddress(m_module, "DllCanUnloadNow")));
    if (!m_getClassObject) {
        FreeLibrary(m_module);
        m_module = nullptr;
        return "\"" + name + "\" is not a COM server (no DllGetClassObject)";
    }
    return {};
}

HRESULT CPlugInModule::CreateInstance(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!m_getClassObject) return E_UNEXPECTED;
    IClassFactory* factory = nullptr;
    HRESULT hr = m_getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(nullptr, riid, ppv);
    factory->Release();
    return hr;
}

void CPlugInModule::Unload() {
    if (!m_module) return;
    if (m_canUnloadNow && m_canUnloadNow() == S_OK) FreeLibrary(m_module);
    m_module = nullptr;
    m_getClassObject = nullptr;
    m_canUnloadNow = nullptr;
}
