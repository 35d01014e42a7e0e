// CClassFactory: makes the objects of one class template.
#pragma once
#include "filterbase/Unknown.h"
#include "host/ClassTemplates.h"

class CClassFactory : public IClassFactory, public CBaseObject {
public:
    explicit CClassFactory(const CFactoryTemplate* classTemplate) : m_template(classTemplate) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // With an outer unknown only IUnknown may be asked for (aggregation).
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

    // Server locks held by clients; DllCanUnloadNow waits for them.
    static LONG ServerLocks();

private:
    const CFactoryTemplate* const m_template;
    volatile LONG m_refCount = 0;
    static volatile LONG s_serverLocks;
};
