// The COM server's entry points: class objects, unloading, registration.
#include <windows.h>

#include <new>

#include "host/ClassFactory.h"
#include "host/ClassTemplates.h"
#include "host/Registration.h"

namespace {
HINSTANCE g_module = nullptr;
}

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        g_module = instance;
        for (int i = 0; i < g_cTemplates; ++i) {
            if (g_Templates[i].init) g_Templates[i].init(TRUE, g_Templates[i].clsid);
        }
    } else if (reason == DLL_PROCESS_DETACH) {
        for (int i = 0; i < g_cTemplates; ++i) {
            if (g_Templates[i].init) g_Templates[i].init(FALSE, g_Templates[i].clsid);
        }
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    for (int i = 0; i < g_cTemplates; ++i) {
        if (*g_Templates[i].clsid != rclsid) continue;
        CClassFactory* factory = new (std::nothrow) CClassFactory(&g_Templates[i]);
        if (!factory) return E_OUTOFMEMORY;
        factory->AddRef();
        *ppv = static_cast<IClassFactory*>(factory);
        return S_OK;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
    return CClassFactory::ServerLocks() > 0 || CBaseObject::ObjectsActive() > 0 ? S_FALSE : S_OK;
}

// Registration builds key names as strings: no exception may leave.
STDAPI DllRegisterServer() {
    try {
        return RegisterAllServers(g_module);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

STDAPI DllUnregisterServer() {
    try {
        return UnregisterAllServers();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // extern "C"
