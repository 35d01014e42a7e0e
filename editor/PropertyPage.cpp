#include "editor/PropertyPage.h"

#include <new>

#include "effect/ITzPlugInProp.h"

namespace {
const SIZE kPageSize = {420, 240};
const wchar_t kTitle[] = L"zv Delay";
}  // namespace

IUnknown* CEditorPage::CreateInstance(IUnknown* outer, HRESULT* hr) {
    CEditorPage* page = new (std::nothrow) CEditorPage(outer);
    if (!page && hr) *hr = E_OUTOFMEMORY;
    return page ? reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(page)) : nullptr;
}

CEditorPage::~CEditorPage() {
    Deactivate();
    ReleaseObjects();
    if (m_site) m_site->Release();
}

HRESULT CEditorPage::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IPropertyPage) return GetInterface(static_cast<IPropertyPage*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

void CEditorPage::ReleaseObjects() {
    if (m_effect) m_effect->Release();
    m_effect = nullptr;
}

HRESULT CEditorPage::SetPageSite(IPropertyPageSite* site) {
    if (site && m_site) return E_UNEXPECTED;
    if (m_site) m_site->Release();
    m_site = site;
    if (m_site) m_site->AddRef();
    return S_OK;
}

HRESULT CEditorPage::Activate(HWND parent, LPCRECT rect, BOOL) {
    if (!rect) return E_POINTER;
    if (m_window) return E_UNEXPECTED;
    m_window = CreateWindowExW(0, L"STATIC", L"zvDelayDX stereo delay", WS_CHILD | SS_CENTER, rect->left, rect->top,
                               rect->right - rect->left, rect->bottom - rect->top, parent, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    return m_window ? S_OK : E_FAIL;
}

HRESULT CEditorPage::Deactivate() {
    if (m_window) DestroyWindow(m_window);
    m_window = nullptr;
    return S_OK;
}

HRESULT CEditorPage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info) return E_POINTER;
    const size_t bytes = sizeof(kTitle);
    LPOLESTR title = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!title) return E_OUTOFMEMORY;
    memcpy(title, kTitle, bytes);
    info->cb = sizeof(PROPPAGEINFO);
    info->pszTitle = title;
    info->size = kPageSize;
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return S_OK;
}

HRESULT CEditorPage::SetObjects(ULONG count, IUnknown** objects) {
    ReleaseObjects();
    if (count == 0) return S_OK;
    if (!objects) return E_POINTER;
    for (ULONG i = 0; i < count && !m_effect; ++i) {
        if (objects[i]) objects[i]->QueryInterface(IID_ITzPlugInProp, reinterpret_cast<void**>(&m_effect));
    }
    return m_effect ? S_OK : E_NOINTERFACE;
}

HRESULT CEditorPage::Show(UINT cmdShow) {
    if (!m_window) return E_UNEXPECTED;
    ShowWindow(m_window, cmdShow);
    return S_OK;
}

HRESULT CEditorPage::Move(LPCRECT rect) {
    if (!rect) return E_POINTER;
    if (!m_window) return E_UNEXPECTED;
    MoveWindow(m_window, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
    return S_OK;
}

HRESULT CEditorPage::IsPageDirty() { return S_FALSE; }

HRESULT CEditorPage::Apply() { return S_OK; }

HRESULT CEditorPage::Help(LPCOLESTR) { return E_NOTIMPL; }

HRESULT CEditorPage::TranslateAccelerator(MSG*) { return S_FALSE; }
