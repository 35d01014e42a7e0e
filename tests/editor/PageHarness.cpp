#include "PageHarness.h"

#include <vector>

#include "editor/EditorPage.h"
#include "tests/host/PlugInTestSupport.h"

namespace {

// A page site that answers what a page may ask and nothing more.
class CTestSite : public IPropertyPageSite {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IPropertyPageSite) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
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
CTestSite g_site;

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

CPageHarness::CPageHarness() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"zvTestFrame";
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    RegisterClassW(&wc);
    // A borderless frame at the screen's origin: screenshots need no cropping
    // arithmetic.
    frame = CreateWindowW(L"zvTestFrame", L"zvDelayDX editor", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 506, 381, nullptr,
                          nullptr, wc.hInstance, nullptr);
    ShowWindow(frame, SW_SHOW);
    filter = NewPlugIn();
    if (filter) filter->QueryInterface(IID_ITzPlugInProp, reinterpret_cast<void**>(&prop));
}

CPageHarness::~CPageHarness() {
    Close();
    if (prop) prop->Release();
    if (filter) filter->Release();
    DestroyWindow(frame);
    Pump(0);
}

bool CPageHarness::Open() {
    HRESULT hr = S_OK;
    IUnknown* inner = CTzPlugInPropPage::CreateInstance(nullptr, &hr);
    if (!inner) return false;
    inner->QueryInterface(IID_IPropertyPage, reinterpret_cast<void**>(&page));
    if (!page) return false;
    page->SetPageSite(&g_site);
    IUnknown* objects[] = {object ? object : filter};
    if (FAILED(page->SetObjects(1, objects))) return false;
    // The frame takes the size the page asks for (506 x 381 at 96 DPI).
    PROPPAGEINFO info{};
    if (FAILED(page->GetPageInfo(&info))) return false;
    CoTaskMemFree(info.pszTitle);
    SetWindowPos(frame, nullptr, 0, 0, info.size.cx, info.size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT rect{0, 0, info.size.cx, info.size.cy};
    if (FAILED(page->Activate(frame, &rect, FALSE))) return false;
    page->Show(SW_SHOW);
    Pump(0);
    return Page() != nullptr;
}

void CPageHarness::Close() {
    if (!page) return;
    page->Deactivate();
    page->SetObjects(0, nullptr);
    page->SetPageSite(nullptr);
    page->Release();
    page = nullptr;
    Pump(0);
}

HWND CPageHarness::Page() const { return FindWindowExW(frame, nullptr, nullptr, nullptr); }

std::string CPageHarness::Text(int id) const {
    char text[260] = {};
    GetWindowTextA(Control(id), text, sizeof(text));
    return text;
}

void CPageHarness::Pump(DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (ms) Sleep(5);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

CTzPlugInPropPage* CPageHarness::PageObject() const {
    return page ? static_cast<CTzPlugInPropPage*>(static_cast<CBasePropertyPage*>(page)) : nullptr;
}

void CPageHarness::Tick(int n) const {
    for (int i = 0; i < n; ++i) SendMessageW(Page(), WM_TIMER, 0, 0);
}

namespace {

MenuScript* g_menu = nullptr;
BoxScript* g_box = nullptr;

std::vector<MenuItemSeen> ReadMenu(HMENU menu) {
    std::vector<MenuItemSeen> items;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MenuItemSeen item;
        char text[256] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof(text), MF_BYPOSITION);
        item.text = text;
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        item.checked = (state & MF_CHECKED) != 0;
        item.separator = (state & MF_SEPARATOR) != 0;
        if (HMENU sub = GetSubMenu(menu, i)) item.sub = ReadMenu(sub);
        items.push_back(item);
    }
    return items;
}

void Press(HWND window, UINT key) {
    PostMessageW(window, WM_KEYDOWN, key, 0);
    PostMessageW(window, WM_KEYUP, key, 0xC0000000);
}

void CALLBACK MenuTimer(HWND, UINT, UINT_PTR id, DWORD) {
    HWND window = FindWindowW(L"#32768", nullptr);
    if (!window || !IsWindowVisible(window) || !g_menu) return;
    KillTimer(nullptr, id);
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(window, 0x01E1 /* MN_GETHMENU */, 0, 0));
    g_menu->items = ReadMenu(menu);
    g_menu->seen = true;
    if (g_menu->choose < 0) {
        if (g_menu->holdMs) {
            SetTimer(nullptr, 0, g_menu->holdMs, [](HWND, UINT, UINT_PTR timer, DWORD) {
                KillTimer(nullptr, timer);
                EndMenu();
            });
        } else {
            EndMenu();
        }
        g_menu = nullptr;
        return;
    }
    int downs = 0;
    for (int i = 0; i <= g_menu->choose && i < static_cast<int>(g_menu->items.size()); ++i) {
        if (!g_menu->items[static_cast<size_t>(i)].separator) ++downs;
    }
    for (int i = 0; i < downs; ++i) Press(window, VK_DOWN);
    if (g_menu->subChoose >= 0) {
        Press(window, VK_RIGHT);   // opens the sub-menu on its first item
        for (int i = 0; i < g_menu->subChoose; ++i) Press(window, VK_DOWN);
    }
    Press(window, VK_RETURN);
    g_menu = nullptr;
}

BOOL CALLBACK FindBox(HWND window, LPARAM found) {
    char cls[32] = {}, caption[256] = {};
    GetClassNameA(window, cls, sizeof(cls));
    GetWindowTextA(window, caption, sizeof(caption));
    if (std::string(cls) == "#32770" && g_box && g_box->caption == caption && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK BoxTimer(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
    if (!box) return;
    KillTimer(nullptr, id);
    char text[512] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
    BoxScript* script = g_box;
    g_box = nullptr;
    script->text = text;
    script->seen = true;
    if (script->act) {
        script->act(box);
    } else {
        PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(script->answer), 0);
    }
}

}  // namespace

void AnswerNextMenu(MenuScript* script) {
    g_menu = script;
    SetTimer(nullptr, 0, 30, MenuTimer);
}

void AnswerNextBox(BoxScript* script) {
    g_box = script;
    SetTimer(nullptr, 0, 30, BoxTimer);
}

void KeepCursorInside() {
    POINT at{};
    GetCursorPos(&at);
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    if (at.x <= desktop.left + 50 || at.y <= desktop.top + 50 || at.x >= desktop.right - 50 ||
        at.y >= desktop.bottom - 50)
        SetCursorPos(600, 600);
}

int GdiHighWater(int count) {
    std::vector<HGDIOBJ> objects;
    int highest = 0;
    for (int i = 0; i < count; ++i) {
        HGDIOBJ o = CreateSolidBrush(RGB(i & 255, 0, 0));
        if (!o) break;
        objects.push_back(o);
        highest = std::max(highest, static_cast<int>(reinterpret_cast<UINT_PTR>(o) & 0xFFFF));
    }
    for (HGDIOBJ o : objects) DeleteObject(o);
    return highest;
}
