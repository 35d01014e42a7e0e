// The toolkit's IAccessible. Called by oleacc, in process or from a screen
// reader's process through COM, on the thread that owns the control.
#include "editor/controls/ControlAccessible.h"

#include <oleacc.h>

#include <cstdio>
#include <string>

#include "editor/Toolkit.h"
#include "editor/controls/ControlSupport.h"

namespace {

const IID kIidAccessible = __uuidof(IAccessible);   // not oleacc's export: the library is loaded late

using LresultFromObjectFn = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
using CreateStdAccessibleObjectFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);

struct Oleacc {
    LresultFromObjectFn lresultFromObject = nullptr;
    CreateStdAccessibleObjectFn createStandard = nullptr;
};

// Loaded once per process and kept; a missing library or entry point leaves
// both null.
const Oleacc& OleaccFunctions() {
    static const Oleacc functions = [] {
        Oleacc found;
        if (HMODULE module = LoadLibraryW(L"oleacc.dll")) {
            found.lresultFromObject = reinterpret_cast<LresultFromObjectFn>(
                reinterpret_cast<void*>(GetProcAddress(module, "LresultFromObject")));
            found.createStandard =
                reinterpret_cast<CreateStdAccessibleObjectFn>(
                    reinterpret_cast<void*>(GetProcAddress(module, "CreateStdAccessibleObject")));
        }
        if (!found.lresultFromObject || !found.createStandard) found = Oleacc{};
        return found;
    }();
    return functions;
}

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

BSTR MakeBstr(const std::string& text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0) return nullptr;
    BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(length - 1));
    if (result) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, result, length);
    return result;
}

LONG RoleNumber(EAccessibleRole role) {
    switch (role) {
    case EAccessibleRole::kPushButton: return ROLE_SYSTEM_PUSHBUTTON;
    case EAccessibleRole::kMenuButton: return ROLE_SYSTEM_BUTTONMENU;
    case EAccessibleRole::kSlider: return ROLE_SYSTEM_SLIDER;
    case EAccessibleRole::kValueBox: return ROLE_SYSTEM_TEXT;
    case EAccessibleRole::kStaticText: return ROLE_SYSTEM_STATICTEXT;
    case EAccessibleRole::kImage: return ROLE_SYSTEM_GRAPHIC;
    case EAccessibleRole::kMeter: return ROLE_SYSTEM_PROGRESSBAR;
    }
    return ROLE_SYSTEM_CLIENT;
}

std::string WindowText(HWND window) {
    char text[257] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

}  // namespace

class CControlAccessible final : public IAccessible {
public:
    CControlAccessible(HWND window, EAccessibleRole role) : m_window(window), m_role(role) {
        OleaccFunctions().createStandard(window, OBJID_CLIENT, kIidAccessible, reinterpret_cast<void**>(&m_standard));
    }

    void Detach() {
        m_window = nullptr;
        if (m_standard) m_standard->Release();
        m_standard = nullptr;
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kIidAccessible) {
            *ppv = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_references)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&m_references);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // IDispatch: no type information; clients call the IAccessible methods.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // What this control says of itself.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (!name) return E_POINTER;
        *name = nullptr;
        if (!m_window) return RPC_E_DISCONNECTED;
        if (!IsSelf(child)) return E_INVALIDARG;
        std::string text;
        if (!AskParent(0, &text)) text = UsesTextAsName() ? WindowText(m_window) : std::string();
        if (text.empty()) return S_FALSE;
        *name = MakeBstr(text);
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        if (!value) return E_POINTER;
        *value = nullptr;
        if (!m_window) return RPC_E_DISCONNECTED;
        if (!IsSelf(child)) return E_INVALIDARG;
        std::string text;
        if (!AskParent(1, &text)) text = DefaultValue();
        if (text.empty()) return S_FALSE;
        *value = MakeBstr(text);
        return *value ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!role) return E_POINTER;
        VariantInit(role);
        if (!m_window) return RPC_E_DISCONNECTED;
        if (!IsSelf(child)) return E_INVALIDARG;
        role->vt = VT_I4;
        role->lVal = RoleNumber(m_role);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (!state) return E_POINTER;
        VariantInit(state);
        if (!m_window) return RPC_E_DISCONNECTED;
        if (!IsSelf(child)) return E_INVALIDARG;
        LONG bits = 0;
        if (!IsWindowVisible(m_window)) bits |= STATE_SYSTEM_INVISIBLE;
        if (!IsWindowEnabled(m_window)) bits |= STATE_SYSTEM_UNAVAILABLE;
        if (GetWindowLongA(m_window, GWL_STYLE) & WS_TABSTOP) bits |= STATE_SYSTEM_FOCUSABLE;
        if (GetFocus() == m_window) bits |= STATE_SYSTEM_FOCUSED;
        if (IsButton() && SendMessageA(m_window, kButtonGetToggle, 0, 0) != 0) bits |= STATE_SYSTEM_PRESSED;
        if (m_role == EAccessibleRole::kStaticText || m_role == EAccessibleRole::kMeter) bits |= STATE_SYSTEM_READONLY;
        if (m_role == EAccessibleRole::kMenuButton) bits |= STATE_SYSTEM_HASPOPUP;
        state->vt = VT_I4;
        state->lVal = bits;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        if (!action) return E_POINTER;
        *action = nullptr;
        if (!m_window) return RPC_E_DISCONNECTED;
        if (!IsSelf(child)) return E_INVALIDARG;
        if (!IsButton()) return S_FALSE;
        *action = MakeBstr(m_role == EAccessibleRole::kMenuButton ? "Open" : "Press");
        return *action ? S_OK : E_OUTOFMEMORY;
    }
    // A button is pressed as the Space key presses it, after the client's
    // call has returned (a menu button's menu runs a loop of its own).
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        if (!m_window) return RPC_E_DISCONNECTED;
        if (!IsSelf(child)) return E_INVALIDARG;
        if (!IsButton()) return DISP_E_MEMBERNOTFOUND;
        if (!IsWindowEnabled(m_window)) return E_FAIL;
        PostMessageA(m_window, WM_KEYDOWN, VK_SPACE, 0);
        PostMessageA(m_window, WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0000001));
        return S_OK;
    }

    // The rest is the window's: the system's object knows it.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (parent) *parent = nullptr;
        return Standard() ? m_standard->get_accParent(parent) : Missing();
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (count) *count = 0;
        return Standard() ? m_standard->get_accChildCount(count) : Missing();
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** dispatch) override {
        if (dispatch) *dispatch = nullptr;
        return Standard() ? m_standard->get_accChild(child, dispatch) : Missing();
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        if (text) *text = nullptr;
        return Standard() ? m_standard->get_accDescription(child, text) : Missing();
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override {
        if (text) *text = nullptr;
        return Standard() ? m_standard->get_accHelp(child, text) : Missing();
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        if (file) *file = nullptr;
        return Standard() ? m_standard->get_accHelpTopic(file, child, topic) : Missing();
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* text) override {
        if (text) *text = nullptr;
        return Standard() ? m_standard->get_accKeyboardShortcut(child, text) : Missing();
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
        if (child) VariantInit(child);
        return Standard() ? m_standard->get_accFocus(child) : Missing();
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        if (children) VariantInit(children);
        return Standard() ? m_standard->get_accSelection(children) : Missing();
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
        return Standard() ? m_standard->accSelect(flags, child) : Missing();
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* x, LONG* y, LONG* w, LONG* h, VARIANT child) override {
        return Standard() ? m_standard->accLocation(x, y, w, h, child) : Missing();
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        if (end) VariantInit(end);
        return Standard() ? m_standard->accNavigate(direction, start, end) : Missing();
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
        if (child) VariantInit(child);
        return Standard() ? m_standard->accHitTest(x, y, child) : Missing();
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return m_window ? E_NOTIMPL : RPC_E_DISCONNECTED; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return m_window ? E_NOTIMPL : RPC_E_DISCONNECTED; }

private:
    ~CControlAccessible() = default;

    bool Standard() const { return m_window && m_standard; }
    HRESULT Missing() const { return m_window ? E_NOTIMPL : RPC_E_DISCONNECTED; }
    bool IsButton() const { return m_role == EAccessibleRole::kPushButton || m_role == EAccessibleRole::kMenuButton; }
    bool UsesTextAsName() const { return IsButton() || m_role == EAccessibleRole::kStaticText; }

    // The parent's name (what 0) or value (what 1) for this control.
    bool AskParent(int what, std::string* text) const {
        char buffer[160] = {};
        AccessibleText request{buffer, static_cast<int>(sizeof buffer)};
        if (!SendMessageA(GetParent(m_window), kControlAccessibleText,
                          MAKEWPARAM(static_cast<WORD>(ControlId(m_window)), static_cast<WORD>(what)),
                          reinterpret_cast<LPARAM>(&request)))
            return false;
        buffer[sizeof buffer - 1] = 0;
        *text = buffer;
        return true;
    }
    // Without the parent's word: a value box shows its value, a slider has
    // its number.
    std::string DefaultValue() const {
        if (m_role == EAccessibleRole::kValueBox) return WindowText(m_window);
        if (m_role == EAccessibleRole::kSlider) {
            char number[16];
            std::snprintf(number, sizeof number, "%d",
                          static_cast<int>(SendMessageA(m_window, kSliderGetValue, 0, 0)));
            return number;
        }
        return std::string();
    }

    LONG m_references = 1;
    HWND m_window;
    EAccessibleRole m_role;
    IAccessible* m_standard = nullptr;
};

LRESULT AnswerGetObject(HWND window, CControlAccessible** slot, EAccessibleRole role, WPARAM wParam, LPARAM lParam) {
    const Oleacc& oleacc = OleaccFunctions();
    if (static_cast<LONG>(static_cast<DWORD>(lParam)) != OBJID_CLIENT || !oleacc.lresultFromObject)
        return DefWindowProcA(window, WM_GETOBJECT, wParam, lParam);
    if (!*slot) *slot = new (std::nothrow) CControlAccessible(window, role);
    if (!*slot) return DefWindowProcA(window, WM_GETOBJECT, wParam, lParam);
    return oleacc.lresultFromObject(kIidAccessible, wParam, static_cast<IAccessible*>(*slot));
}

void DetachAccessible(CControlAccessible** slot) {
    if (!*slot) return;
    (*slot)->Detach();
    (*slot)->Release();
    *slot = nullptr;
}

void AnnounceValueChange(HWND window) { NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, window, OBJID_CLIENT, CHILDID_SELF); }
void AnnounceStateChange(HWND window) { NotifyWinEvent(EVENT_OBJECT_STATECHANGE, window, OBJID_CLIENT, CHILDID_SELF); }
void AnnounceNameChange(HWND window) { NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_CLIENT, CHILDID_SELF); }
