#include "editor/EmbeddedEditor.h"

#include <ocidl.h>

#include <cmath>
#include <new>

#include "editor/DpiScale.h"
#include "editor/EditorPage.h"
#include "presets/PresetLocation.h"

namespace {

constexpr double kMinimumScale = 1.0;
constexpr double kMaximumScale = 3.0;
constexpr char kUserFolderName[] = "zvDelayDX";

// A page site that answers what the page may ask: the page is never dirty
// (every edit applies at once), so nothing waits on it.
class CHostPageSite : public IPropertyPageSite {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IPropertyPageSite) {
            *ppv = static_cast<IPropertyPageSite*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // Static: it outlives every page.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* lcid) override {
        if (!lcid) return E_POINTER;
        *lcid = LOCALE_USER_DEFAULT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown** unknown) override {
        if (unknown) *unknown = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return E_NOTIMPL; }
};
CHostPageSite g_site;

}  // namespace

std::unique_ptr<CEmbeddedEditor> CEmbeddedEditor::Create(IUnknown* effect) {
    if (!effect) return nullptr;
    std::unique_ptr<CEmbeddedEditor> editor(new (std::nothrow) CEmbeddedEditor());
    if (!editor) return nullptr;
    HRESULT hr = S_OK;
    IUnknown* inner = CTzPlugInPropPage::CreateInstance(nullptr, &hr);
    if (!inner) return nullptr;
    if (FAILED(inner->QueryInterface(IID_IPropertyPage, reinterpret_cast<void**>(&editor->m_page))) ||
        !editor->m_page) {
        editor->m_page = nullptr;
        return nullptr;
    }
    editor->m_pageObject = static_cast<CTzPlugInPropPage*>(static_cast<CBasePropertyPage*>(editor->m_page));
    editor->m_pageObject->SetFileFolder(FileFolder().c_str());
    editor->m_page->SetPageSite(&g_site);
    IUnknown* objects[] = {effect};
    if (FAILED(editor->m_page->SetObjects(1, objects))) return nullptr;   // the destructor lets go
    return editor;
}

CEmbeddedEditor::~CEmbeddedEditor() {
    if (!m_page) return;
    if (Window()) m_page->Deactivate();
    m_page->SetObjects(0, nullptr);
    m_page->SetPageSite(nullptr);
    m_page->Release();
}

bool CEmbeddedEditor::SetScale(double scale) {
    if (!(scale >= kMinimumScale && scale <= kMaximumScale)) return false;
    m_pageObject->SetHostDpi(static_cast<int>(std::lround(scale * kDesignDpi)));
    return true;
}

SIZE CEmbeddedEditor::Size() const { return m_pageObject->Size(); }

bool CEmbeddedEditor::Open(HWND parent) {
    if (!parent || Window()) return false;
    const SIZE size = Size();
    RECT rect{0, 0, size.cx, size.cy};
    return SUCCEEDED(m_page->Activate(parent, &rect, FALSE));
}

bool CEmbeddedEditor::Show(bool show) { return SUCCEEDED(m_page->Show(show ? SW_SHOW : SW_HIDE)); }

HWND CEmbeddedEditor::Window() const { return m_pageObject->Window(); }

std::string CEmbeddedEditor::FileFolder() {
    char path[MAX_PATH] = {};
    if (FindPresetFile(CTzPlugInPropPage::kPlugInKey, CTzPlugInPropPage::kPresetFileName, path, sizeof(path))) {
        std::string folder = path;
        const size_t slash = folder.rfind('\\');
        if (slash != std::string::npos) return folder.substr(0, slash);
    }
    char appData[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA("APPDATA", appData, sizeof(appData));
    if (n == 0 || n >= sizeof(appData)) return std::string();
    const std::string folder = std::string(appData) + "\\" + kUserFolderName;
    CreateDirectoryA(folder.c_str(), nullptr);   // fails harmlessly when it exists
    return folder;
}
