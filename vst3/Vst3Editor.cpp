#include "vst3/Vst3Editor.h"

#include <cstring>

#include "vst3/Vst3Delay.h"

using zvvst3::CFace;
using zvvst3::TableOf;

namespace {

// How often the view takes the page's edits to the host and the host's
// values to the page (the page itself redraws at its 75 ms tick).
constexpr UINT kExchangeMs = 30;

CVst3Editor* Self(void* self) { return CFace<CVst3Editor>::Of(self); }

v3_result V3_API QueryInterface(void* self, const v3_tuid iid, void** object) {
    return Self(self)->QueryInterface(iid, object);
}
uint32_t V3_API AddRef(void* self) { return Self(self)->AddRef(); }
uint32_t V3_API Release(void* self) { return Self(self)->Release(); }

v3_result V3_API IsPlatformTypeSupported(void*, const char* type) {
    return type && std::strcmp(type, V3_VIEW_PLATFORM_TYPE_HWND) == 0 ? V3_TRUE : V3_FALSE;
}
v3_result V3_API Attached(void* self, void* parent, const char* type) { return Self(self)->Attached(parent, type); }
v3_result V3_API Removed(void* self) { return Self(self)->Removed(); }
// Keys and the wheel reach the page's windows from the system.
v3_result V3_API OnWheel(void*, float) { return V3_FALSE; }
v3_result V3_API OnKey(void*, int16_t, int16_t, int16_t) { return V3_FALSE; }
v3_result V3_API GetSize(void* self, v3_view_rect* rect) { return Self(self)->GetSize(rect); }
// The page has one size: what the host gives it is not taken.
v3_result V3_API OnSize(void*, v3_view_rect* rect) { return rect ? V3_OK : V3_INVALID_ARG; }
v3_result V3_API OnFocus(void*, v3_bool) { return V3_OK; }
v3_result V3_API SetFrame(void* self, v3_plugin_frame** frame) { return Self(self)->SetFrame(frame); }
v3_result V3_API CanResize(void*) { return V3_FALSE; }
v3_result V3_API CheckSizeConstraint(void* self, v3_view_rect* rect) { return Self(self)->GetSize(rect); }

const v3_plugin_view_cpp kViewTable = {
    {QueryInterface, AddRef, Release},
    {IsPlatformTypeSupported, Attached, Removed, OnWheel, OnKey, OnKey, GetSize, OnSize, OnFocus, SetFrame, CanResize,
     CheckSizeConstraint},
};

v3_result V3_API SetContentScale(void* self, float factor) { return Self(self)->SetContentScale(factor); }

const v3_plugin_view_content_scale_cpp kScaleTable = {
    {QueryInterface, AddRef, Release},
    {SetContentScale},
};

}  // namespace

v3_plugin_view** CVst3Editor::Create(CVst3Delay& owner) {
    CVst3Editor* view = new (std::nothrow) CVst3Editor(owner);
    if (!view) return nullptr;
    if (!view->m_editor) {
        view->Release();
        return nullptr;
    }
    return reinterpret_cast<v3_plugin_view**>(&view->m_viewFace);
}

CVst3Editor::CVst3Editor(CVst3Delay& owner) : m_owner(owner), m_effect(owner) {
    m_viewFace = {&kViewTable, this};
    m_scaleFace = {&kScaleTable, this};
    m_owner.AddRef();
    m_effect.AttachAutomation(&m_link);
    m_effect.LoadParams(m_owner.ControllerBlock());
    EnsureEditor();
}

CVst3Editor::~CVst3Editor() {
    Removed();
    m_editor.reset();
    SetFrame(nullptr);
    m_owner.Release();
}

v3_result CVst3Editor::QueryInterface(const v3_tuid iid, void** object) {
    if (!object) return V3_INVALID_ARG;
    *object = nullptr;
    if (v3_tuid_match(iid, v3_funknown_iid) || v3_tuid_match(iid, v3_plugin_view_iid)) {
        *object = &m_viewFace;
    } else if (v3_tuid_match(iid, v3_plugin_view_content_scale_iid)) {
        *object = &m_scaleFace;
    } else {
        return V3_NO_INTERFACE;
    }
    AddRef();
    return V3_OK;
}

uint32_t CVst3Editor::Release() {
    const uint32_t left = --m_refs;
    if (left == 0) delete this;
    return left;
}

v3_result CVst3Editor::Attached(void* parent, const char* platformType) {
    if (!parent || !platformType || std::strcmp(platformType, V3_VIEW_PLATFORM_TYPE_HWND) != 0) return V3_FALSE;
    if (!EnsureEditor() || !m_editor->Open(static_cast<HWND>(parent))) return V3_FALSE;
    Exchange();
    SetTimer(m_editor->Window(), reinterpret_cast<UINT_PTR>(this), kExchangeMs, OnTimer);
    return V3_OK;
}

// The window goes; a later Attached opens a new one.
v3_result CVst3Editor::Removed() {
    if (!m_editor || !m_editor->Window()) return V3_OK;
    KillTimer(m_editor->Window(), reinterpret_cast<UINT_PTR>(this));
    Exchange();   // what the page did last still reaches the host
    m_editor.reset();
    return V3_OK;
}

v3_result CVst3Editor::GetSize(v3_view_rect* rect) {
    if (!rect) return V3_INVALID_ARG;
    if (!EnsureEditor()) return V3_FALSE;
    const SIZE size = m_editor->Size();
    *rect = v3_view_rect{0, 0, static_cast<int32_t>(size.cx), static_cast<int32_t>(size.cy)};
    return V3_OK;
}

// The page (a new one after Removed), at the host's scale when it gave one.
bool CVst3Editor::EnsureEditor() {
    if (m_editor) return true;
    m_editor = CEmbeddedEditor::Create(static_cast<ITzPlugInProp*>(&m_effect));
    if (m_editor && m_scale > 0.0) m_editor->SetScale(m_scale);
    return m_editor != nullptr;
}

v3_result CVst3Editor::SetFrame(v3_plugin_frame** frame) {
    if (frame) TableOf<v3_funknown>(frame)->ref(frame);
    if (m_frame) TableOf<v3_funknown>(m_frame)->unref(m_frame);
    m_frame = frame;
    return V3_OK;
}

// A scale the page cannot take (outside 100 % to 300 %) is refused. While
// attached, the frame is asked for the page's new size.
v3_result CVst3Editor::SetContentScale(float factor) {
    if (!(factor >= 1.0f && factor <= 3.0f)) return V3_FALSE;
    m_scale = factor;
    if (!m_editor) return V3_OK;
    if (!m_editor->SetScale(m_scale)) return V3_FALSE;
    if (m_frame && m_editor->Window()) {
        v3_view_rect rect{};
        GetSize(&rect);
        TableOf<v3_plugin_frame_cpp>(m_frame)->frame.resize_view(
            m_frame, reinterpret_cast<v3_plugin_view**>(&m_viewFace), &rect);
    }
    return V3_OK;
}

void CALLBACK CVst3Editor::OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
    reinterpret_cast<CVst3Editor*>(id)->Exchange();
}

// The page's edits first (so that the controller holds them before its
// values are compared), then the host's values into the page's effect:
// only those that differ, and none while the page holds the parameter.
void CVst3Editor::Exchange() {
    m_link.TakeNotices([this](EHostNotice notice, int index, MP_DATA value) {
        const int32_t internal = NormalisedToParam(index, value);
        // A value outside a gesture is a gesture of its own for the host.
        const bool alone = notice == EHostNotice::kValueChanged && !m_gestureOpen[index];
        if (alone) m_owner.EditFromEditor(EHostNotice::kBeginCapture, index, internal);
        m_owner.EditFromEditor(notice, index, internal);
        if (alone) m_owner.EditFromEditor(EHostNotice::kEndCapture, index, internal);
        if (notice == EHostNotice::kBeginCapture) m_gestureOpen[index] = true;
        if (notice == EHostNotice::kEndCapture) m_gestureOpen[index] = false;
    });
    const ParamBlock block = m_owner.ControllerBlock();
    for (int i = 0; i < kParamCount; ++i) {
        if (m_gestureOpen[i] || block[i] == m_link.InForce(i)) continue;
        m_effect.SetParamValue(i, block[i], 0);
    }
}

// ---- What only processing knows ---------------------------------------------

HRESULT CVst3Editor::CPageEffect::GetLeftClip(int32_t which) { return m_owner.ProcessingEffect().GetLeftClip(which); }
HRESULT CVst3Editor::CPageEffect::SetLeftClip(int32_t which, int32_t value) {
    return m_owner.ProcessingEffect().SetLeftClip(which, value);
}
HRESULT CVst3Editor::CPageEffect::GetRightClip(int32_t which) { return m_owner.ProcessingEffect().GetRightClip(which); }
HRESULT CVst3Editor::CPageEffect::SetRightClip(int32_t which, int32_t value) {
    return m_owner.ProcessingEffect().SetRightClip(which, value);
}
HRESULT CVst3Editor::CPageEffect::GetPeakLevels(float* left, float* right) {
    return m_owner.ProcessingEffect().GetPeakLevels(left, right);
}
HRESULT CVst3Editor::CPageEffect::IsStreaming() { return m_owner.ProcessingEffect().IsStreaming(); }
HRESULT CVst3Editor::CPageEffect::IsBypassed() { return m_owner.ProcessingEffect().IsBypassed(); }
HRESULT CVst3Editor::CPageEffect::SetBypass(int32_t bypass) { return m_owner.ProcessingEffect().SetBypass(bypass); }
HRESULT CVst3Editor::CPageEffect::CountDownClip(int32_t side) { return m_owner.ProcessingEffect().CountDownClip(side); }
