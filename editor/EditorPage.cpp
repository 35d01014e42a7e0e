#include "editor/EditorPage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "editor/DpiScale.h"
#include "editor/EditorLayout.h"
#include "editor/PageText.h"
#include "editor/SkinDrawing.h"
#include "editor/SkinSet.h"
#include "editor/Toolkit.h"
#include "editor/WindowDpi.h"
#include "effect/ITzPlugInProp.h"
#include "effect/TempoSync.h"
#include "presets/DataString.h"
#include "presets/PresetRecord.h"
#include "presets/PresetStore.h"

namespace {

constexpr int kDialogId = 106;
constexpr int kTitleId = 1;
constexpr UINT_PTR kTimerId = 0;
constexpr UINT kTimerMs = 75;
constexpr char kPlugInName[] = "zv:Delay";
// The clip lights of the dialog template, placed above the meters.
struct Placement {
    int id, x, y, width, height;
};
constexpr Placement kClipLights[] = {{kIdClipLeft, 231, 97, 12, 9}, {kIdClipRight, 261, 97, 12, 9}};
// A new DPI for a top-level window (wParam: the DPI), and for a child of a
// per-monitor aware window after its parent moved.
constexpr UINT kMsgDpiChanged = 0x02E0;
constexpr UINT kMsgDpiChangedAfterParent = 0x02E3;
// The plug-in's change notice after a saved state was loaded (high word of
// its WM_COMMAND; 0 and 1 tell of new formats).
constexpr WORD kNoticeStateReloaded = 100;

using Getter = HRESULT (STDMETHODCALLTYPE ITzPlugInProp::*)(int32_t*);
using Setter = HRESULT (STDMETHODCALLTYPE ITzPlugInProp::*)(int32_t, int32_t);
#define ZV_GETTER(name) &ITzPlugInProp::Get##name,
#define ZV_SETTER(name) &ITzPlugInProp::Set##name,
const Getter kGetters[kParamCount] = {ZV_PARAM_LIST(ZV_GETTER)};
const Setter kSetters[kParamCount] = {ZV_PARAM_LIST(ZV_SETTER)};
#undef ZV_GETTER
#undef ZV_SETTER

const char* ClassName(ControlClass kind) {
    switch (kind) {
    case ControlClass::kButton: return "zv:PushButton";
    case ControlClass::kValueBox: return "zv:Edit";
    case ControlClass::kSlider: return "zv:Slider";
    case ControlClass::kMeter: return "zv:Meter";
    case ControlClass::kStaticText: return "zv:StaticText";
    }
    return "";
}

// Sets a control's text only when it differs (a repaint otherwise).
void SetTextIfChanged(HWND dialog, int id, const std::string& text) {
    char current[260] = {};
    GetDlgItemTextA(dialog, id, current, sizeof(current));
    if (text != current) SetDlgItemTextA(dialog, id, text.c_str());
}

}  // namespace

IUnknown* CTzPlugInPropPage::CreateInstance(IUnknown* outer, HRESULT* hr) {
    CTzPlugInPropPage* page = new (std::nothrow) CTzPlugInPropPage(outer);
    if (!page) {
        if (hr) *hr = E_OUTOFMEMORY;
        return nullptr;
    }
    return reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(page));
}

CTzPlugInPropPage::CTzPlugInPropPage(IUnknown* outer)
    : CBasePropertyPage(outer, kDialogId, kTitleId, SIZE{kPageWidth, kPageHeight}) {
    RegisterToolkitClasses(EditorModule());
}

CTzPlugInPropPage::~CTzPlugInPropPage() {
    if (m_window) Deactivate();
    if (m_plugIn) OnDisconnect();
}

// ---------------------------------------------------------------------------
// Connection

HRESULT CTzPlugInPropPage::OnConnect(IUnknown* object) {
    if (m_plugIn) OnDisconnect();
    if (FAILED(object->QueryInterface(IID_ITzPlugInProp, reinterpret_cast<void**>(&m_plugIn))) || !m_plugIn) {
        m_plugIn = nullptr;
        return E_NOINTERFACE;
    }
    if (m_window) {
        m_plugIn->SetNotifyWindow(m_window, kIdPlugInNotify);
        CacheLinkReferences();   // another plug-in's values
        RefreshControls(0, 1, 1);
    }
    return S_OK;
}

HRESULT CTzPlugInPropPage::OnDisconnect() {
    if (!m_plugIn) return E_UNEXPECTED;
    if (m_window) m_plugIn->SetNotifyWindow(m_window, 0);
    m_plugIn->Release();
    m_plugIn = nullptr;
    return S_OK;
}

int32_t CTzPlugInPropPage::Get(EParam param) {
    int32_t value = 0;
    if (m_plugIn) (m_plugIn->*kGetters[param])(&value);
    return value;
}

// Every edit from the page is recorded as the user's.
void CTzPlugInPropPage::Set(EParam param, int32_t value) {
    if (m_plugIn) (m_plugIn->*kSetters[param])(value, 1);
}

// ---------------------------------------------------------------------------
// Window

INT_PTR CTzPlugInPropPage::OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(window);
        return TRUE;
    case WM_ERASEBKGND:
        PaintBackground(reinterpret_cast<HDC>(wParam));
        if (m_firstErase) OnFirstErase();
        SetWindowLongPtrW(window, DWLP_MSGRESULT, 1);
        return TRUE;
    case WM_TIMER:
        if (wParam == kTimerId) OnTimerTick();
        return TRUE;
    case WM_LBUTTONDOWN:
        DestroyOpenEditor();
        return TRUE;
    case WM_COMMAND:
        OnCommand(wParam, lParam);
        return TRUE;
    case kSliderChanged:
        OnSliderChanged(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)), static_cast<int32_t>(wParam));
        return TRUE;
    case kSliderDoubleClicked:
        OnSliderDoubleClicked(static_cast<int>(wParam));
        return TRUE;
    case kValueBoxStep:
        OnValueBoxStep(IdFromStepParam(wParam), StepFromParam(wParam));
        return TRUE;
    case kMsgGetCurrentData:
        FormatDataString(reinterpret_cast<char**>(wParam));
        SetWindowLongPtrW(window, DWLP_MSGRESULT, 0);
        return TRUE;
    case kControlAccessibleText:
        SetWindowLongPtrW(window, DWLP_MSGRESULT, AccessibleText(LOWORD(wParam), HIWORD(wParam),
                                                                 reinterpret_cast<struct AccessibleText*>(lParam)));
        return TRUE;
    case kSliderEditRequest:
        if (const ParamBinding* b = FindBinding(static_cast<int>(wParam))) {
            if (b->box) SendMessageA(Control(b->box), kValueBoxOpenEditor, static_cast<WPARAM>(lParam), 0);
        }
        return TRUE;
    case kMsgDpiChanged:
        FollowDpi(LOWORD(wParam));
        return FALSE;
    case kMsgDpiChangedAfterParent:
    case WM_SIZE:
        // A host whose window moved to another monitor resizes the page:
        // its DPI may have changed with it.
        if (m_window && !m_followingDpi) FollowDpi(m_hostDpi ? m_hostDpi : WindowDpi(m_window));
        return FALSE;
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    default:
        return FALSE;
    }
}

void CTzPlugInPropPage::OnInitDialog(HWND window) {
    m_window = window;
    if (m_plugIn) m_plugIn->SetNotifyWindow(window, kIdPlugInNotify);
    m_dpi = m_hostDpi ? m_hostDpi : WindowDpi(window);
    m_skin = std::make_unique<CSkinSet>();
    m_skin->Load(EditorModule(), m_dpi);
    CreateReadoutFont();
    CreateControls();
    for (int id : {kIdClipLeft, kIdClipRight}) {
        SendDlgItemMessageA(window, id, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(m_skin->Indicator(111)));
    }
    try {
        // Held here too: opening may show a message box, in whose loop the
        // host may already tear the page down again.
        const std::shared_ptr<PresetStore> store = std::make_shared<PresetStore>(EditorModule(), window, kPlugInName);
        m_presets = store;
        const std::string presetFile = m_fileFolder.empty() ? std::string() : m_fileFolder + "\\" + kPresetFileName;
        store->Open(presetFile.empty() ? nullptr : presetFile.c_str(), kPlugInKey, kPresetFileName);
    } catch (const std::bad_alloc&) {
        m_presets.reset();   // the page works without presets
    }
    if (m_window != window) return;
    SetSliderRanges();
    CacheLinkReferences();
    RefreshControls(0, 1, 1);
    UpdateMeters();
    SetTimer(window, kTimerId, kTimerMs, nullptr);
    m_firstErase = 1;
}

int CTzPlugInPropPage::Px(int designPixels) const { return ScaleToDpi(designPixels, m_dpi); }

void CTzPlugInPropPage::CreateReadoutFont() {
    m_readoutFont = CreateFontA(Px(12), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
    m_ownsReadoutFont = m_readoutFont != nullptr;
    if (!m_readoutFont) m_readoutFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void CTzPlugInPropPage::DeleteReadoutFont() {
    if (m_ownsReadoutFont) DeleteObject(m_readoutFont);
    m_readoutFont = nullptr;
    m_ownsReadoutFont = false;
}

void CTzPlugInPropPage::CreateControls() {
    const HINSTANCE module = EditorModule();
    for (int i = 0; i < kLayoutCount; ++i) {
        const ControlRow& row = kLayout[i];
        DWORD style = WS_CHILD | WS_VISIBLE | row.style;
        if (row.kind == ControlClass::kButton || row.kind == ControlClass::kValueBox ||
            row.kind == ControlClass::kSlider) {
            style |= WS_TABSTOP;
        }
        if (row.id == kIdMeterLeft) PlaceClipLights();
        const char* text = row.text ? row.text : "";
        if (row.id == kIdSetup && m_plugIn) text = m_plugIn->GetSetup() == 1 ? "Setup B" : "Setup A";
        void* creation = row.kind == ControlClass::kMeter ? nullptr : m_skin->Background();
        HWND control = CreateWindowExA(0, ClassName(row.kind), text, style, Px(row.x), Px(row.y), Px(row.width),
                                       Px(row.height), m_window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)),
                                       module, creation);
        if (!control) continue;
        FitControl(row, control);
        switch (row.kind) {
        case ControlClass::kButton:
            if (row.focusAdjusted) {
                SendMessageA(control, kButtonFocusAdjust, reinterpret_cast<WPARAM>(row.focusAdjust), 0);
            }
            if (row.id == kIdBypass && m_plugIn) SendMessageA(control, kButtonSetToggle, m_plugIn->IsBypassed(), 0);
            break;
        case ControlClass::kSlider:
            for (int s = 0; s < kSliderSettingCount; ++s) {
                const SliderSetting& setting = kSliderSettings[s];
                if (setting.id != row.id) continue;
                if (setting.squared) SendMessageA(control, kSliderSquaredDrag, 1, 0);
                if (setting.pageStep) SendMessageA(control, kSliderPageStep, setting.pageStep, 0);
                SendMessageA(control, kSliderTickSpacing, setting.tickSpacing, 0);
            }
            break;
        case ControlClass::kMeter:
            SendMessageA(control, kMeterRange, static_cast<WPARAM>(-600), 0);
            SendMessageA(control, kMeterDecayStep, 20, 0);
            break;
        case ControlClass::kValueBox:
        case ControlClass::kStaticText:
            break;
        }
    }
    ArrangeTabOrder();
}

// The DPI, the background picture and the pictures of a control, for the
// page's DPI; at 96 the very pictures the module holds.
void CTzPlugInPropPage::FitControl(const ControlRow& row, HWND control) {
    const LPARAM background = row.kind == ControlClass::kMeter ? 0 : reinterpret_cast<LPARAM>(m_skin->Background());
    SendMessageA(control, kControlSetDpi, static_cast<WPARAM>(m_dpi), background);
    const auto image = reinterpret_cast<WPARAM>(m_skin->Pixels(row.image));
    const auto pressed = reinterpret_cast<LPARAM>(row.pressedImage ? m_skin->Pixels(row.pressedImage) : nullptr);
    switch (row.kind) {
    case ControlClass::kButton: SendMessageA(control, kButtonSetFaces, image, pressed); break;
    case ControlClass::kValueBox: SendMessageA(control, kValueBoxFrame, image, 0); break;
    case ControlClass::kSlider: SendMessageA(control, kSliderThumb, image, 0); break;
    case ControlClass::kMeter: SendMessageA(control, kMeterStrips, image, pressed); break;
    case ControlClass::kStaticText:
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_readoutFont), FALSE);
        break;
    }
}

// Tab, Shift+Tab and a host's dialog manager go through the tab stops in
// z-order: it becomes the reading order (the controls do not overlap, so
// nothing else changes).
void CTzPlugInPropPage::ArrangeTabOrder() {
    HWND previous = HWND_TOP;
    for (int i = 0; i < kReadingOrderCount; ++i) {
        HWND control = Control(kReadingOrder[i]);
        if (!control) continue;
        SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
        previous = control;
    }
}

void CTzPlugInPropPage::FollowDpi(int dpi) {
    if (!m_window || dpi < kDesignDpi || dpi == m_dpi) return;
    auto skin = std::make_unique<CSkinSet>();
    if (!skin->Load(EditorModule(), dpi)) return;   // keeps the page as it is
    DestroyOpenEditor();
    m_dpi = dpi;
    // The controls take the new pictures before the old ones go.
    std::swap(m_skin, skin);
    const HFONT oldFont = m_readoutFont;
    const bool ownedOldFont = m_ownsReadoutFont;
    CreateReadoutFont();
    for (int i = 0; i < kLayoutCount; ++i) {
        const ControlRow& row = kLayout[i];
        HWND control = Control(row.id);
        if (!control) continue;
        SetWindowPos(control, nullptr, Px(row.x), Px(row.y), Px(row.width), Px(row.height),
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
        FitControl(row, control);
    }
    PlaceClipLights();
    for (const Placement& light : kClipLights) {
        const int32_t shown =
            m_plugIn ? (light.id == kIdClipLeft ? m_plugIn->GetLeftClip(1) : m_plugIn->GetRightClip(1)) : 0;
        SendDlgItemMessageA(m_window, light.id, STM_SETIMAGE, IMAGE_BITMAP,
                            reinterpret_cast<LPARAM>(m_skin->Indicator(shown == 0 ? 111 : shown == 1 ? 112 : 113)));
    }
    if (ownedOldFont) DeleteObject(oldFont);
    skin.reset();
    m_followingDpi = true;
    SetWindowPos(m_window, nullptr, 0, 0, Px(kPageWidth), Px(kPageHeight),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_followingDpi = false;
    RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// The clip lights of the dialog template go above the meters.
void CTzPlugInPropPage::PlaceClipLights() {
    for (const Placement& light : kClipLights)
        MoveWindow(Control(light.id), Px(light.x), Px(light.y), Px(light.width), Px(light.height), FALSE);
}

void CTzPlugInPropPage::SetHostDpi(int dpi) {
    m_hostDpi = dpi;
    if (m_window) FollowDpi(dpi ? dpi : WindowDpi(m_window));
}

SIZE CTzPlugInPropPage::PageSize() const {
    const int dpi = m_window ? m_dpi : m_hostDpi ? m_hostDpi : SystemDpi();
    return SIZE{ScaleToDpi(kPageWidth, dpi), ScaleToDpi(kPageHeight, dpi)};
}

void CTzPlugInPropPage::SetSliderRanges() {
    for (int i = 0; i < kSliderSettingCount; ++i) {
        const SliderSetting& s = kSliderSettings[i];
        SendDlgItemMessageA(m_window, s.id, kSliderSetRange, static_cast<WPARAM>(s.minimum), s.maximum);
    }
}

void CTzPlugInPropPage::OnDestroy() {
    KillTimer(m_window, kTimerId);
    if (m_plugIn) m_plugIn->SetNotifyWindow(m_window, 0);
    DestroyOpenEditor();
    DeleteReadoutFont();
    m_skin.reset();
    // A presets command still in its modal loop keeps the store until it
    // returns.
    m_presets.reset();
    m_window = nullptr;
}

void CTzPlugInPropPage::PaintBackground(HDC dc) {
    if (!m_skin || !m_skin->Background()) return;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, m_skin->Background());
    BitBlt(dc, 0, 0, Px(kPageWidth), Px(kPageHeight), memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

// A tool-window frame paints its children before the page's first erase has
// landed: the page is drawn once more.
void CTzPlugInPropPage::OnFirstErase() {
    m_firstErase = 0;
    HWND w = GetParent(m_window);
    for (int level = 0; level < 3 && w; ++level, w = GetParent(w)) {
        if (GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) {
            InvalidateRect(m_window, nullptr, FALSE);
            return;
        }
    }
}

// ---------------------------------------------------------------------------
// Refresh

void CTzPlugInPropPage::ApplyEnableRules() {
    const int32_t sync = Get(kParamTempoSync), link = Get(kParamLink);
    auto apply = [this](int id, bool enable) {
        HWND control = Control(id);
        if (control && (IsWindowEnabled(control) != FALSE) != enable) EnableControl(m_window, id, enable);
    };
    apply(kIdTempoBox, sync != 0);
    for (int id : {kIdFactorLBox, kIdFactorLMenu, kIdFactorRBox, kIdFactorRMenu}) apply(id, sync != 0 || link != 0);
    for (int id : {kIdDelayLBox, kIdDelayLSlider, kIdDelayRBox, kIdDelayRSlider}) apply(id, sync == 0);
}

void CTzPlugInPropPage::RefreshControls(int id, int showText, int reload) {
    if (!m_plugIn || !m_window) return;
    ApplyEnableRules();
    if (reload) m_plugIn->RefreshParameters();
    if (id == kIdPlugInNotify) id = 0;
    for (int i = 0; i < kBindingCount; ++i) {
        const ParamBinding& b = kBindings[i];
        if (id != 0 && b.box != id && b.slider != id) continue;
        const int32_t v = Get(b.param);
        if (b.slider) SendDlgItemMessageA(m_window, b.slider, kSliderSetValue, static_cast<WPARAM>(v), 1);
        switch (b.param) {
        case kParamTempoSync:
            SetDlgItemTextA(m_window, b.box, ParamText(b.param, v).c_str());
            break;
        case kParamLink:
            SendDlgItemMessageA(m_window, b.box, kButtonSetToggle, static_cast<WPARAM>(v), 1);
            break;
        case kParamListen:
            SendDlgItemMessageA(m_window, b.box, kButtonSetToggle, static_cast<WPARAM>(v), 1);
            SetDlgItemTextA(m_window, b.box, ParamText(b.param, v).c_str());
            break;
        default:
            if (showText) SetDlgItemTextA(m_window, b.box, ParamText(b.param, v).c_str());
            break;
        }
    }
}

// ---------------------------------------------------------------------------
// Edits

void CTzPlugInPropPage::ReadLinkValues(int32_t (&values)[8]) {
    const EParam params[8] = {kParamDelayL, kParamDelayR, kParamFeedbkL, kParamFeedbkR,
                              kParamXfeedL, kParamXfeedR, kParamMixL,    kParamMixR};
    for (int i = 0; i < 8; ++i) values[i] = Get(params[i]);
}

void CTzPlugInPropPage::CacheLinkReferences() {
    int32_t v[8];
    ReadLinkValues(v);
    m_refDelayL = v[0];
    m_refDelayR = v[1];
    m_refFeedbkL = v[2];
    m_refFeedbkR = v[3];
    m_refXfeedL = v[4];
    m_refXfeedR = v[5];
    m_refMixL = v[6];
    m_refMixR = v[7];
    std::memcpy(m_linkSeen, v, sizeof v);
}

// After the page's own edits: what it left, read back as the setters
// clamped it. The references stay, so that a linked pair keeps its offset
// while one side is pinned at a bound.
void CTzPlugInPropPage::NoteLinkValues() { ReadLinkValues(m_linkSeen); }

// A value of the eight moved without the page (automation, the host's
// tempo): the references start again from what is there now, or the next
// linked edit would make the partner jump.
void CTzPlugInPropPage::FollowOutsideLinkChanges() {
    int32_t v[8];
    ReadLinkValues(v);
    if (std::memcmp(v, m_linkSeen, sizeof v) != 0) CacheLinkReferences();
}

void CTzPlugInPropPage::SetFromControl(int id, int32_t value) {
    const bool link = Get(kParamLink) != 0;
    // The level pairs: own parameter, partner, their references, the
    // partner's value box.
    struct Pair {
        int box, slider;
        EParam own, partner;
        int32_t *refOwn, *refPartner;
        int partnerBox;
    };
    const Pair pairs[] = {
        {10004, 10005, kParamFeedbkL, kParamFeedbkR, &m_refFeedbkL, &m_refFeedbkR, 10024},
        {10006, 10007, kParamXfeedL, kParamXfeedR, &m_refXfeedL, &m_refXfeedR, 10026},
        {10008, 10009, kParamMixL, kParamMixR, &m_refMixL, &m_refMixR, 10028},
        {10024, 10025, kParamFeedbkR, kParamFeedbkL, &m_refFeedbkR, &m_refFeedbkL, 10004},
        {10026, 10027, kParamXfeedR, kParamXfeedL, &m_refXfeedR, &m_refXfeedL, 10006},
        {10028, 10029, kParamMixR, kParamMixL, &m_refMixR, &m_refMixL, 10008},
    };
    if (id == kIdDelayLBox || id == kIdDelayLSlider || id == kIdDelayRBox || id == kIdDelayRSlider) {
        const bool left = id == kIdDelayLBox || id == kIdDelayLSlider;
        const EParam own = left ? kParamDelayL : kParamDelayR, partner = left ? kParamDelayR : kParamDelayL;
        int32_t& refOwn = left ? m_refDelayL : m_refDelayR;
        const int32_t refPartner = left ? m_refDelayR : m_refDelayL;
        Set(own, value);
        if (!link) {
            refOwn = value;
            RefreshControls(id, 1, 1);
        } else {
            Set(partner, LinkedRatio(refPartner, value, refOwn));
            RefreshControls(id, 1, 1);
            RefreshControls(left ? kIdDelayRBox : kIdDelayLBox, 1, 1);
        }
        NoteLinkValues();
        return;
    }
    for (const Pair& p : pairs) {
        if (id != p.box && id != p.slider) continue;
        Set(p.own, value);
        if (!link) {
            *p.refOwn = value;
            RefreshControls(id, 1, 1);
        } else {
            Set(p.partner, LinkedOffset(*p.refPartner, value, *p.refOwn));
            RefreshControls(id, 1, 1);
            RefreshControls(p.partnerBox, 1, 1);
        }
        NoteLinkValues();
        return;
    }
    if (id == kIdLowFreqBox || id == kIdLowFreqSlider) {
        SetLowFreqBelowHigh(value);
        RefreshControls(id, 1, 1);
    } else if (id == kIdHighFreqBox || id == kIdHighFreqSlider) {
        SetHighFreqAboveLow(value);
        RefreshControls(id, 1, 1);
    }
}

// The low cut stays at most one step above the high cut, and the other way
// round (the steps of the two count from different origins).
void CTzPlugInPropPage::SetLowFreqBelowHigh(int32_t value) {
    Set(kParamLowFreq, std::min(value, SaturateToInt32(static_cast<long long>(Get(kParamHighFreq)) + 1)));
}

void CTzPlugInPropPage::SetHighFreqAboveLow(int32_t value) {
    Set(kParamHighFreq, std::max(value, SaturateToInt32(static_cast<long long>(Get(kParamLowFreq)) - 1)));
}

// Tempo sync on: both delays follow Tempo and their note values. Runs after
// every change of Tempo or of a note value made on the page.
void CTzPlugInPropPage::ApplyTempo() {
    if (Get(kParamTempoSync) == 0) return;
    const int32_t tempo = Get(kParamTempo);
    const int32_t left = DelayFromTempo(tempo, Get(kParamFactorL));
    const int32_t right = DelayFromTempo(tempo, Get(kParamFactorR));
    Set(kParamDelayL, left);
    Set(kParamDelayR, right);
    m_refDelayL = left;
    m_refDelayR = right;
    NoteLinkValues();
    RefreshControls(0, 1, 1);
}

// Tempo sync off, Link on: one delay follows the other by the ratio of
// their note values.
void CTzPlugInPropPage::ApplyLinkRatio(int side) {
    if (Get(kParamTempoSync) != 0 || Get(kParamLink) == 0) return;
    const int32_t factorL = Get(kParamFactorL), factorR = Get(kParamFactorR);
    if (side == 1) {
        m_refDelayR = DelayByNoteRatio(m_refDelayL, factorR, factorL);
        Set(kParamDelayR, m_refDelayR);
    } else {
        m_refDelayL = DelayByNoteRatio(m_refDelayR, factorL, factorR);
        Set(kParamDelayL, m_refDelayL);
    }
    NoteLinkValues();
    RefreshControls(0, 1, 1);
}

void CTzPlugInPropPage::OnSliderChanged(int id, int32_t value) {
    if (!m_plugIn) return;
    m_plugIn->SaveUndoState(id);
    SetFromControl(id, value);
}

void CTzPlugInPropPage::OnSliderDoubleClicked(int id) {
    if (!m_plugIn) return;
    m_plugIn->SaveUndoState(-2);
    switch (id) {
    case kIdDelayLSlider:
        Set(kParamDelayL, 5000);
        m_refDelayL = 5000;
        ApplyLinkRatio(1);
        break;
    case kIdDelayRSlider:
        Set(kParamDelayR, 5000);
        m_refDelayR = 5000;
        ApplyLinkRatio(0);
        break;
    case 10005: case 10007: case 10025: case 10027:
        SetFromControl(id, 40);
        break;
    case 10009: case 10029:
        SetFromControl(id, 30);
        break;
    case kIdLowFreqSlider:
        Set(kParamLowFreq, 0);
        break;
    case kIdHighFreqSlider:
        Set(kParamHighFreq, 301);
        break;
    default:
        return;
    }
    NoteLinkValues();
    RefreshControls(Get(kParamLink) ? 0 : id, 1, 1);
}

void CTzPlugInPropPage::OnValueBoxStep(int id, int32_t step) {
    const ParamBinding* b = FindBinding(id);
    if (!m_plugIn || !b || b->box != id) return;
    // A step of 0 (focus lost, a typed value confirmed, a drag that did not
    // move) only shows the value again: no setter, no Link or tempo rule.
    if (step == 0) {
        RefreshControls(id, 1, 0);
        return;
    }
    m_plugIn->SaveUndoState(id);
    const int32_t next = SaturateToInt32(static_cast<long long>(Get(b->param)) + step);
    switch (b->param) {
    case kParamDelayL: case kParamDelayR: case kParamFeedbkL: case kParamFeedbkR:
    case kParamXfeedL: case kParamXfeedR: case kParamMixL: case kParamMixR:
        SetFromControl(id, next);
        return;
    case kParamFactorL: case kParamFactorR:
        Set(b->param, next);
        RefreshControls(id, 1, 1);
        ApplyTempo();
        ApplyLinkRatio(b->param == kParamFactorL ? 0 : 1);
        return;
    case kParamTempo:
        Set(kParamTempo, next);
        ApplyTempo();
        break;
    case kParamLowFreq:
        SetLowFreqBelowHigh(next);
        break;
    case kParamHighFreq:
        SetHighFreqAboveLow(next);
        break;
    case kParamDiffTime: case kParamDiffAmnt: case kParamLowQ: case kParamHighQ: case kParamOutput:
        Set(b->param, next);
        break;
    default:
        return;
    }
    RefreshControls(id, 1, 1);
}

// What a typed text sets in a box, by the box's rules: false when the text
// is no value of the box (it then keeps its value). "OFF" turns a filter
// off; "-Inf" is the lowest output level.
bool CTzPlugInPropPage::ReadTypedValue(int id, EParam param, const char* text, int32_t* value) {
    switch (param) {
    case kParamDelayL: case kParamDelayR: case kParamTempo:
        *value = ParseFixed(text, 1);
        return StartsWithNumber(text);
    case kParamOutput:
        *value = IsTypedWord(text, "-Inf") ? kParamTable[kParamOutput].minimum : ParseFixed(text, 1);
        return IsTypedWord(text, "-Inf") || StartsWithNumber(text);
    case kParamFeedbkL: case kParamFeedbkR: case kParamXfeedL: case kParamXfeedR: case kParamMixL: case kParamMixR:
    case kParamDiffTime: case kParamDiffAmnt: {
        BOOL read = FALSE;
        *value = SaturateToInt32(GetDlgItemInt(m_window, id, &read, FALSE));
        return read != FALSE;
    }
    case kParamFactorL: case kParamFactorR:
        *value = NoteValueFromText(text);
        return *value >= 0;
    case kParamLowQ: case kParamHighQ:
        return ParseQ(text, value);
    case kParamLowFreq: case kParamHighFreq: {
        const bool low = param == kParamLowFreq;
        if (IsTypedWord(text, "OFF")) {
            *value = low ? kParamTable[kParamLowFreq].minimum : kParamTable[kParamHighFreq].maximum;
            return true;
        }
        // The low cut's steps count from 1 (0 is off), the high cut's from 0.
        const int32_t k = FrequencyStepFromHertz(ParseFixed(text, 0));
        *value = low ? SaturateToInt32(static_cast<long long>(k) + 1) : k;
        return StartsWithNumber(text);
    }
    default:
        return false;
    }
}

// A value typed into a box and confirmed (WM_COMMAND code 0x300). Confirming
// the text the box already shows keeps the value: neighbouring filter steps
// share one rounded hertz text, and "OFF" and "-Inf." are words. Then, as
// for a text that is no value at all, nothing is set and no undo snapshot
// is taken; the step of 0 that follows shows the value again.
void CTzPlugInPropPage::OnTypedValue(int id) {
    const ParamBinding* b = FindBinding(id);
    if (!m_plugIn || !b || b->box != id) return;
    const EParam param = b->param;
    char text[30] = {};
    GetDlgItemTextA(m_window, id, text, sizeof(text));
    int32_t value = 0;
    if (ParamText(param, Get(param)) == text || !ReadTypedValue(id, param, text, &value)) return;
    m_plugIn->SaveUndoState(-2);
    switch (param) {
    case kParamDelayL: case kParamDelayR:
    case kParamFeedbkL: case kParamFeedbkR: case kParamXfeedL: case kParamXfeedR: case kParamMixL: case kParamMixR:
        SetFromControl(id, value);
        break;
    case kParamFactorL: case kParamFactorR:
        Set(param, value);
        RefreshControls(0, 1, 1);
        ApplyTempo();
        ApplyLinkRatio(param == kParamFactorL ? 0 : 1);
        break;
    case kParamTempo:
        Set(kParamTempo, value);
        ApplyTempo();
        RefreshControls(kIdTempoBox, 1, 1);
        break;
    case kParamLowFreq:
        SetLowFreqBelowHigh(value);
        RefreshControls(b->slider, 1, 1);
        break;
    case kParamHighFreq:
        SetHighFreqAboveLow(value);
        RefreshControls(b->slider, 1, 1);
        break;
    default:   // Output, DiffTime, DiffAmnt, LowQ, HighQ
        Set(param, value);
        RefreshControls(id, 1, 1);
        break;
    }
}

void CTzPlugInPropPage::OnCommand(WPARAM wParam, LPARAM) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    if (id == kIdPlugInNotify) {
        RefreshControls(0, 1, 1);
        // A reloaded state is a new block; other notices only may have moved
        // values.
        if (code == kNoticeStateReloaded) {
            CacheLinkReferences();
        } else {
            FollowOutsideLinkChanges();
        }
    } else if (code == kValueBoxTyped) {
        OnTypedValue(id);
    } else if (m_plugIn) {
        // A command may run a modal loop in which the host releases the
        // page: the page stays alive until the command is over.
        IUnknown* owner = GetOwner();
        owner->AddRef();
        OnButton(id, code);
        owner->Release();   // may delete the page: nothing may follow
    }
}

// The preset store asks for the current values as a Data string; the string
// it receives is its own (freed with FreePresetData).
void CTzPlugInPropPage::FormatDataString(char** data) {
    if (!data) return;
    char* text = AllocPresetData(kDataStringSize);
    if (text) {
        ParamBlock block{};
        for (int i = 0; i < kParamCount; ++i) block.v[i] = Get(static_cast<EParam>(i));
        ::FormatDataString(block, text, kDataStringSize);
    }
    *data = text;
}

// The name (what 0) or value (what 1) a screen reader hears for a control,
// asked by its accessible object. Names are the labels of the layout table
// (a button without one is called by its caption); values are what the
// page shows, with the unit the art prints beside it.
bool CTzPlugInPropPage::AccessibleText(int id, int what, struct AccessibleText* request) {
    if (!request || !request->text || request->size < 1) return false;
    const ControlRow* row = FindLayoutRow(id);
    if (!row) return false;
    std::string text;
    if (what == 0) {
        if (!row->name) return false;
        text = row->name;
    } else if (const ParamBinding* b = FindBinding(id)) {
        if (!m_plugIn) return false;
        text = AccessibleValueText(b->param, Get(b->param));
    } else if (id == kIdMeterLeft || id == kIdMeterRight) {
        int32_t peak = -9999;
        SendMessageA(Control(id), kMeterGetPeaks, reinterpret_cast<WPARAM>(&peak), 0);
        text = PeakLevelText(peak) + " dB";
    } else if (id == kIdReadout) {
        int32_t left = -9999, right = -9999;
        SendMessageA(Control(kIdMeterLeft), kMeterGetHighest, reinterpret_cast<WPARAM>(&left), 0);
        SendMessageA(Control(kIdMeterRight), kMeterGetHighest, reinterpret_cast<WPARAM>(&right), 0);
        text = "Left " + PeakLevelText(left) + " dB, right " + PeakLevelText(right) + " dB";
    }   // the other buttons have no value
    lstrcpynA(request->text, text.c_str(), request->size);
    return true;
}

// ---------------------------------------------------------------------------
// Timer

void CTzPlugInPropPage::UpdateClipLight(int which) {
    const int id = which == 0 ? kIdClipLeft : kIdClipRight;
    auto get = which == 0 ? &ITzPlugInProp::GetLeftClip : &ITzPlugInProp::GetRightClip;
    auto set = which == 0 ? &ITzPlugInProp::SetLeftClip : &ITzPlugInProp::SetRightClip;
    // The count is read and counted down in one atomic step: a clip the
    // audio thread stores after it stays whole for the next tick.
    const int32_t live = m_plugIn->CountDownClip(which);
    const int32_t shown = (m_plugIn->*get)(1);
    if (live != shown) {
        HBITMAP image = m_skin->Indicator(live == 0 ? 111 : live == 1 ? 112 : 113);
        SendDlgItemMessageA(m_window, id, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(image));
        (m_plugIn->*set)(1, live);
    }
}

void CTzPlugInPropPage::UpdateMeters() {
    if (!m_plugIn || !m_window) return;
    float left = 0.0f, right = 0.0f;
    m_plugIn->GetPeakLevels(&left, &right);
    SendDlgItemMessageA(m_window, kIdMeterLeft, kMeterLevels, static_cast<WPARAM>(LevelFromPeak(left)), 0);
    SendDlgItemMessageA(m_window, kIdMeterRight, kMeterLevels, static_cast<WPARAM>(LevelFromPeak(right)), 0);
    int32_t highestLeft = -9999, highestRight = -9999, unused = 0;
    SendDlgItemMessageA(m_window, kIdMeterLeft, kMeterGetHighest, reinterpret_cast<WPARAM>(&highestLeft),
                        reinterpret_cast<LPARAM>(&unused));
    SendDlgItemMessageA(m_window, kIdMeterRight, kMeterGetHighest, reinterpret_cast<WPARAM>(&highestRight),
                        reinterpret_cast<LPARAM>(&unused));
    const std::string l = PeakLevelText(highestLeft), r = PeakLevelText(highestRight);
    HDC dc = GetDC(m_window);
    HGDIOBJ old = SelectObject(dc, m_readoutFont);
    SIZE lw{}, rw{};
    GetTextExtentPoint32A(dc, l.c_str(), static_cast<int>(l.size()), &lw);
    GetTextExtentPoint32A(dc, r.c_str(), static_cast<int>(r.size()), &rw);
    SelectObject(dc, old);
    ReleaseDC(m_window, dc);
    // The gap is counted in 96-DPI pixels: the same blanks at every scale.
    const int gap = ReadoutGap(DesignFromDpi(lw.cx, m_dpi), DesignFromDpi(rw.cx, m_dpi));
    SetTextIfChanged(m_window, kIdReadout, l + std::string(static_cast<size_t>(gap), ' ') + r);
}

void CTzPlugInPropPage::OnTimerTick() {
    if (!m_plugIn) return;
    m_plugIn->SetCaptureHold(ToolkitCaptureFlag());
    m_plugIn->EndParamCapture();
    if (m_plugIn->IsUpToDate() == 0) {
        m_plugIn->SetRefreshPending(0);
        RefreshControls(0, 1, m_plugIn->IsHostStopped());
        FollowOutsideLinkChanges();
    }
    UpdateClipLight(0);
    UpdateClipLight(1);
    UpdateMeters();
    if (m_firstTick) {
        m_firstTick = 0;
        m_plugIn->SaveUndoState(-2);
        m_plugIn->CopySetup(0, 1);
        if (GetFocus() == Control(kIdBypass)) SetFocus(Control(kIdFeedbkLSlider));
    }
}
