// CEditorPage: the filter's property page, as hosts reach it through
// ISpecifyPropertyPages. For now a plain page that names the effect; the
// skinned editor grows inside it.
#pragma once
#include <ocidl.h>

#include "filterbase/Unknown.h"

struct ITzPlugInProp;

class CEditorPage : public CUnknown, public IPropertyPage {
public:
    static IUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

    ZV_DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
    HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    HRESULT STDMETHODCALLTYPE Deactivate() override;
    HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
    HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
    HRESULT STDMETHODCALLTYPE Show(UINT cmdShow) override;
    HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override;
    HRESULT STDMETHODCALLTYPE IsPageDirty() override;
    HRESULT STDMETHODCALLTYPE Apply() override;
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR helpDir) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg) override;

private:
    explicit CEditorPage(IUnknown* outer) : CUnknown(outer) {}
    ~CEditorPage() override;
    void ReleaseObjects();

    IPropertyPageSite* m_site = nullptr;
    ITzPlugInProp* m_effect = nullptr;
    HWND m_window = nullptr;
};
