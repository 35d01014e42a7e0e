#include "host/ClassFactory.h"

volatile LONG CClassFactory::s_serverLocks = 0;

LONG CClassFactory::ServerLocks() { return s_serverLocks; }

HRESULT CClassFactory::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

ULONG CClassFactory::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_refCount)); }

ULONG CClassFactory::Release() {
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

HRESULT CClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer && riid != IID_IUnknown) return E_NOINTERFACE;
    HRESULT hr = S_OK;
    // The object's non-delegating IUnknown, with a count of 0.
    IUnknown* object = m_template->create(outer, &hr);
    if (!object) return FAILED(hr) ? hr : E_OUTOFMEMORY;
    if (FAILED(hr)) {
        object->AddRef();
        object->Release();   // deletes it
        return hr;
    }
    object->AddRef();
    hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

HRESULT CClassFactory::LockServer(BOOL lock) {
    if (lock)
        InterlockedIncrement(&s_serverLocks);
    else
        InterlockedDecrement(&s_serverLocks);
    return S_OK;
}
