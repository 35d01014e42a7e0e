#include "filterbase/Unknown.h"

volatile LONG CBaseObject::s_objectCount = 0;

CBaseObject::CBaseObject() { InterlockedIncrement(&s_objectCount); }

CBaseObject::~CBaseObject() { InterlockedDecrement(&s_objectCount); }

LONG CBaseObject::ObjectsActive() { return s_objectCount; }

CUnknown::CUnknown(IUnknown* outer)
    : m_owner(outer ? outer : reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(this))) {}

CUnknown::~CUnknown() = default;

HRESULT STDMETHODCALLTYPE CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown)) {
        // The identity IUnknown is the non-delegating one, even when aggregated.
        *ppv = static_cast<INonDelegatingUnknown*>(this);
        NonDelegatingAddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingAddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingRelease() {
    LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) {
        // A destructor that hands out and drops a reference must not come back here.
        m_refCount = 1;
        delete this;
        return 0;
    }
    return static_cast<ULONG>(count);
}

HRESULT CUnknown::GetInterface(IUnknown* itf, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = itf;
    itf->AddRef();
    return S_OK;
}
