#include "tools/graph/EditorWindow.h"

#include "host/FilterSetupData.h"
#include "tools/graph/PlugInModule.h"

namespace {

// The page asks its site for nothing it needs.
class CSite : public IPropertyPageSite {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        *ppv = (riid == IID_IUnknown || riid == IID_IPropertyPageSite) ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* lcid) override {
        *lcid = LOCALE_USER_DEFAULT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown** unknown) override {
        *unknown = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return E_NOTIMPL; }
};
CSite g_site;

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace

CEditorWindow::~CEditorWindow() { Close(); }

std::string CEditorWindow::Open(CPlugInModule& module, IBaseFilter* filter) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"zvGraphEditorFrame";
    RegisterClassW(&wc);
    m_frame = CreateWindowW(wc.lpszClassName, L"zvDelayDX", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 506, 381,
                            nullptr, nullptr, wc.hInstance, nullptr);
    if (!m_frame) return "cannot create the editor's frame window";
    HRESULT hr = module.CreateInstance(CLSID_ZvDelayPropertyPage, IID_IPropertyPage, reinterpret_cast<void**>(&m_page));
    if (FAILED(hr)) return "cannot create the editor page";
    IUnknown* objects[] = {filter};
    RECT rect{0, 0, 506, 381};
    m_page->SetPageSite(&g_site);
    if (FAILED(m_page->SetObjects(1, objects)) || FAILED(m_page->Activate(m_frame, &rect, FALSE))) {
        Close();
        return "cannot show the editor page";
    }
    m_page->Show(SW_SHOW);
    PumpMessages();
    return {};
}

void CEditorWindow::Close() {
    if (m_page) {
        m_page->Deactivate();
        m_page->SetObjects(0, nullptr);
        m_page->SetPageSite(nullptr);
        m_page->Release();
        m_page = nullptr;
    }
    if (m_frame) DestroyWindow(m_frame);
    m_frame = nullptr;
    PumpMessages();
}

void CEditorWindow::WaitPumping(HANDLE handle, DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now >= end ? 0 : static_cast<DWORD>(end - now);
        const DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_ALLINPUT);
        PumpMessages();
        if (r != WAIT_OBJECT_0 + 1 || left == 0) return;
    }
}
