// CBasePropertyPage: IPropertyPage written once. The page is a dialog
// resource created as a child of the frame the host gives; its dialog
// procedure hands every message to OnReceiveMessage. A derived page connects
// to its object in OnConnect and lets go of it in OnDisconnect.
//
// All of it runs on the host's user-interface thread.
#pragma once
#include <windows.h>
#include <ocidl.h>

#include "filterbase/Unknown.h"

class CBasePropertyPage : public CUnknown, public IPropertyPage {
public:
    ZV_DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
    // E_UNEXPECTED without objects or when already active; E_OUTOFMEMORY when
    // the dialog cannot be created.
    HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    HRESULT STDMETHODCALLTYPE Deactivate() override;
    HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
    // One or more objects: OnConnect with the first; none: OnDisconnect.
    HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
    HRESULT STDMETHODCALLTYPE Show(UINT cmdShow) override;
    HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override;
    HRESULT STDMETHODCALLTYPE IsPageDirty() override;
    HRESULT STDMETHODCALLTYPE Apply() override;
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR helpDir) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg) override;

    HWND Window() const { return m_window; }

protected:
    // dialogId: the page's dialog resource; titleId: its title string.
    CBasePropertyPage(IUnknown* outer, int dialogId, int titleId, SIZE size);
    ~CBasePropertyPage() override;

    virtual HRESULT OnConnect(IUnknown* object) = 0;
    virtual HRESULT OnDisconnect() = 0;
    virtual HRESULT OnActivate() { return S_OK; }
    virtual HRESULT OnDeactivate() { return S_OK; }
    virtual HRESULT OnApplyChanges() { return S_OK; }
    // The dialog procedure's body; the answer is the dialog procedure's.
    virtual INT_PTR OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The size GetPageInfo reports; the size given at construction unless
    // the page says otherwise.
    virtual SIZE PageSize() const { return m_size; }
    void SetDirty(bool dirty);

    IPropertyPageSite* m_site = nullptr;
    HWND m_window = nullptr;
    const int m_dialogId;
    const int m_titleId;
    const SIZE m_size;
    bool m_objectsSet = false;
    bool m_dirty = false;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};
