#include "editor/PropertyPageBase.h"

#include <cstring>

#include "editor/SkinDrawing.h"

CBasePropertyPage::CBasePropertyPage(IUnknown* outer, int dialogId, int titleId, SIZE size)
    : CUnknown(outer), m_dialogId(dialogId), m_titleId(titleId), m_size(size) {}

CBasePropertyPage::~CBasePropertyPage() {
    if (m_window) Deactivate();
    if (m_site) m_site->Release();
}

HRESULT CBasePropertyPage::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IPropertyPage) return GetInterface(static_cast<IPropertyPage*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CBasePropertyPage::SetPageSite(IPropertyPageSite* site) {
    if (site && m_site) return E_UNEXPECTED;
    if (m_site) m_site->Release();
    m_site = site;
    if (m_site) m_site->AddRef();
    return S_OK;
}

INT_PTR CALLBACK CBasePropertyPage::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CBasePropertyPage* page;
    if (message == WM_INITDIALOG) {
        page = reinterpret_cast<CBasePropertyPage*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
    } else {
        page = reinterpret_cast<CBasePropertyPage*>(GetWindowLongPtrW(window, DWLP_USER));
    }
    return page ? page->OnReceiveMessage(window, message, wParam, lParam) : FALSE;
}

HRESULT CBasePropertyPage::Activate(HWND parent, LPCRECT rect, BOOL) {
    if (!rect) return E_POINTER;
    if (!m_objectsSet || m_window) return E_UNEXPECTED;
    HWND window = CreateDialogParamA(EditorModule(), MAKEINTRESOURCEA(m_dialogId), parent, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
    if (!window) return E_OUTOFMEMORY;
    m_window = window;
    OnActivate();
    Move(rect);
    ShowWindow(m_window, SW_SHOWNORMAL);
    return S_OK;
}

HRESULT CBasePropertyPage::Deactivate() {
    if (!m_window) return E_UNEXPECTED;
    // A dialog parent would otherwise walk into a destroyed child's controls.
    SetWindowLongPtrW(m_window, GWL_EXSTYLE, GetWindowLongPtrW(m_window, GWL_EXSTYLE) & ~WS_EX_CONTROLPARENT);
    OnDeactivate();
    HWND window = m_window;
    DestroyWindow(window);
    m_window = nullptr;
    return S_OK;
}

HRESULT CBasePropertyPage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info) return E_POINTER;
    WCHAR title[128] = {};
    const int length = LoadStringW(EditorModule(), static_cast<UINT>(m_titleId), title, 128);
    const size_t bytes = (static_cast<size_t>(length > 0 ? length : 0) + 1) * sizeof(WCHAR);
    LPOLESTR copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!copy) return E_OUTOFMEMORY;
    std::memcpy(copy, title, bytes);
    copy[bytes / sizeof(WCHAR) - 1] = 0;
    info->cb = sizeof(PROPPAGEINFO);
    info->pszTitle = copy;
    info->size = PageSize();
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return S_OK;
}

HRESULT CBasePropertyPage::SetObjects(ULONG count, IUnknown** objects) {
    if (count == 0) {
        if (m_objectsSet) OnDisconnect();
        m_objectsSet = false;
        return S_OK;
    }
    if (!objects || !objects[0]) return E_POINTER;
    const HRESULT hr = OnConnect(objects[0]);
    m_objectsSet = SUCCEEDED(hr);
    return hr;
}

HRESULT CBasePropertyPage::Show(UINT cmdShow) {
    if (!m_window) return E_UNEXPECTED;
    ShowWindow(m_window, static_cast<int>(cmdShow));
    InvalidateRect(m_window, nullptr, TRUE);
    return S_OK;
}

HRESULT CBasePropertyPage::Move(LPCRECT rect) {
    if (!rect) return E_POINTER;
    if (!m_window) return E_UNEXPECTED;
    MoveWindow(m_window, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
    return S_OK;
}

HRESULT CBasePropertyPage::IsPageDirty() { return m_dirty ? S_OK : S_FALSE; }

HRESULT CBasePropertyPage::Apply() {
    if (!m_objectsSet) return E_UNEXPECTED;
    if (!m_dirty) return S_OK;
    const HRESULT hr = OnApplyChanges();
    if (SUCCEEDED(hr)) SetDirty(false);
    return hr;
}

HRESULT CBasePropertyPage::Help(LPCOLESTR) { return E_NOTIMPL; }

HRESULT CBasePropertyPage::TranslateAccelerator(MSG*) { return E_NOTIMPL; }

void CBasePropertyPage::SetDirty(bool dirty) {
    m_dirty = dirty;
    if (m_site) m_site->OnStatusChange(dirty ? PROPPAGESTATUS_DIRTY : PROPPAGESTATUS_CLEAN);
}
