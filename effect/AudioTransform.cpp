#include "effect/AudioTransform.h"

#include <cstring>

#include "effect/OutputGains.h"

CAudioTransform::CAudioTransform() : m_notifier(GetSystemChangeNotifier()) {
    // A quiet NaN's bits with the value NaN converts to, so the first look-up
    // is right whatever arrives.
    for (int i = 0; i < kParamCount; ++i) {
        m_inForceCache[i].store((uint64_t{0x7FC00001u} << 32) | static_cast<uint32_t>(kDefaultBlock[i]),
                                std::memory_order_relaxed);
    }
}

CAudioTransform::~CAudioTransform() {
    if (m_streaming) {
        m_streaming = 0;
        ReleaseStreaming();
    }
}

// ---------------------------------------------------------------------------
// Parameters

HRESULT CAudioTransform::GetParamValue(int index, int32_t* value) {
    if (!value) return E_POINTER;
    *value = m_live[index];
    return S_OK;
}

HRESULT CAudioTransform::SetParamValue(int index, int32_t value, int32_t notify) {
    value = ClampParam(index, value);
    CAutoLock lock(&m_paramLock);
    if (m_live[index] != value) {
        m_live[index] = value;
        m_dirty = 1;
    }
    if (m_automation) {
        // Passed on whether or not the value changed: the automation object
        // then holds exactly what the editor shows.
        const float normalised = ParamToNormalised(index, value);
        m_automation->SetParam(static_cast<DWORD>(index), normalised);
        if (notify) ReportParamChange(index, normalised);
    }
    return S_OK;
}

// Keeps the host's idea of which controls are held in step with the edits.
// With Link on, up to eight parameters stay captured together (a linked drag
// moves a left and a right control); otherwise touching another parameter
// ends the capture of the one before. Parameter lock held.
void CAudioTransform::ReportParamChange(int index, float normalised) {
    if (!m_automation) return;
    DWORD i = static_cast<DWORD>(index);
    if (m_live[kParamLink] == 1 && m_captureCount < 8) {
        bool held = false;
        for (int k = 0; k < 8; ++k) held = held || m_capture[k] == index;
        if (!held) {
            m_capture[m_captureCount] = index;
            m_automation->ParamsBeginCapture(&i, 1);
            ++m_captureCount;
        }
    } else if (!(m_capture[0] == index && m_captureCount <= 1)) {
        EndAllCaptures();
        m_capture[0] = index;
        if (index != -1) {
            m_automation->ParamsBeginCapture(&i, 1);
            m_captureCount = 1;
        }
    }
    if (m_capture[0] != -1) {
        float value = normalised;
        m_automation->ParamsChanged(&i, 1, &value);
    }
}

// Ends every open capture, one index per call, in list order. Parameter
// lock held, automation attached.
void CAudioTransform::EndAllCaptures() {
    for (int k = 0; k < 8; ++k) {
        if (m_capture[k] == -1) continue;
        DWORD held = static_cast<DWORD>(m_capture[k]);
        m_automation->ParamsEndCapture(&held, 1);
        m_capture[k] = -1;
    }
    m_captureCount = 0;
}

HRESULT CAudioTransform::EndParamCapture() {
    CAutoLock lock(&m_paramLock);
    if (m_captureHold || !m_automation || m_capture[0] == -1) return S_OK;
    EndAllCaptures();
    return S_OK;
}

HRESULT CAudioTransform::SetCaptureHold(int32_t hold) {
    m_captureHold = hold;
    return S_OK;
}

HRESULT CAudioTransform::GetAllParams(int32_t* block) {
    if (!block) return E_POINTER;
    CAutoLock lock(&m_paramLock);
    std::memcpy(block, m_live.v, sizeof(m_live.v));
    return S_OK;
}

HRESULT CAudioTransform::SetAllParams(const int32_t* block) {
    if (!block) return E_POINTER;
    // A copy: the caller's block may be our own live or alternate block.
    ParamBlock b;
    std::memcpy(b.v, block, sizeof(b.v));
    CAutoLock lock(&m_paramLock);
    for (int i = 0; i < kParamCount; ++i) SetParamValue(i, b[i], 1);
    m_dirty = 1;
    for (int i = 0; i < kParamCount; ++i) m_live[i] = ClampParam(i, m_live[i]);
    EndParamCapture();
    return S_OK;
}

int32_t CAudioTransform::RefreshFromAutomation(ParamBlock* dest) {
    // The whole refresh under the parameter lock: between a setter's store
    // into the live block and its SetParam, the automation object still holds
    // the old value, and a refresh reading it then would put it back over
    // the new one (a SetAllParams would leave a block made of two). The
    // streaming thread holds the filter lock here, which comes first.
    CAutoLock lock(&m_paramLock);
    if (m_automation) {
        for (int i = 0; i < kParamCount; ++i) {
            const float inForce = m_automation->ValueInForce(static_cast<DWORD>(i));
            uint32_t bits;
            std::memcpy(&bits, &inForce, sizeof(bits));
            // The conversion is a pure function of the value's bits: most
            // buffers see the same values again and reuse the last result.
            uint64_t cached = m_inForceCache[i].load(std::memory_order_relaxed);
            if (static_cast<uint32_t>(cached >> 32) != bits) {
                cached = (static_cast<uint64_t>(bits) << 32) |
                         static_cast<uint32_t>(NormalisedToParam(i, inForce));
                m_inForceCache[i].store(cached, std::memory_order_relaxed);
            }
            const int32_t value = static_cast<int32_t>(static_cast<uint32_t>(cached));
            if (value != m_live[i]) {
                m_live[i] = value;
                m_dirty = 1;
            }
        }
    }
    if (dest) *dest = m_live;
    const int32_t changed = m_dirty;
    m_dirty = 0;
    if (changed) m_refreshPending = 1;
    return changed;
}

HRESULT CAudioTransform::ReloadFromAutomation() {
    ParamBlock block;
    RefreshFromAutomation(&block);
    const HRESULT hr = SetAllParams(block.v);
    if (SUCCEEDED(hr)) PostChangeCode(kChangeStateReloaded);
    return hr;
}

HRESULT CAudioTransform::ComputeGains() {
    ComputeOutputGains(m_live, m_gains);
    m_gainsReady = 1;
    return S_OK;
}

HRESULT CAudioTransform::RefreshParameters() {
    ParamBlock scratch;
    RefreshFromAutomation(&scratch);
    return ComputeGains();
}

// ---------------------------------------------------------------------------
// Formats and notification windows

HRESULT CAudioTransform::GetFormat(WAVEFORMATEX* format, int32_t which) {
    const WAVEFORMATEX* kept = which == 0 ? m_inputFormat : which == 1 ? m_outputFormat : nullptr;
    if (!kept) return VFW_E_NOT_CONNECTED;
    if (!format) return E_POINTER;
    std::memcpy(format, kept, sizeof(WAVEFORMATEX));
    return S_OK;
}

HRESULT CAudioTransform::SetNotifyWindow(HWND window, uint32_t id) {
    CAutoLock lock(&m_paramLock);
    NotifyEntry* entry = nullptr;
    for (NotifyEntry& e : m_notify) {
        if (e.window == window && window) entry = &e;
    }
    if (!entry) {
        for (NotifyEntry& e : m_notify) {
            if (!e.window) entry = &e;   // the last empty one wins
        }
    }
    if (!entry) return id ? E_OUTOFMEMORY : S_OK;
    entry->id = id;
    entry->window = id ? window : nullptr;
    return S_OK;
}

void CAudioTransform::PostChangeCode(uint32_t code) {
    CAutoLock lock(&m_paramLock);
    for (NotifyEntry& e : m_notify) {
        if (!e.window) continue;
        if (m_notifier && m_notifier->WindowExists(e.window)) {
            m_notifier->PostCommand(e.window, static_cast<WPARAM>((code << 16) | (e.id & 0xFFFF)));
        } else {
            e.window = nullptr;
            e.id = 0;
        }
    }
}

// ---------------------------------------------------------------------------
// Meters and flags

HRESULT CAudioTransform::GetLeftClip(int32_t which) { return m_clip[which == 0 ? 0 : 2]; }

HRESULT CAudioTransform::SetLeftClip(int32_t which, int32_t value) {
    m_clip[which == 0 ? 0 : 2] = value;
    return S_OK;
}

HRESULT CAudioTransform::GetRightClip(int32_t which) { return m_clip[which == 0 ? 1 : 3]; }

HRESULT CAudioTransform::SetRightClip(int32_t which, int32_t value) {
    m_clip[which == 0 ? 1 : 3] = value;
    return S_OK;
}

HRESULT CAudioTransform::GetPeakLevels(float* left, float* right) {
    if (!left || !right) return E_POINTER;
    *left = static_cast<float>(m_peakLeft);
    *right = static_cast<float>(m_peakRight);
    m_peakRead = 1;
    return S_OK;
}

HRESULT CAudioTransform::SetStreaming(int32_t streaming) {
    m_streaming = streaming;
    return S_OK;
}

HRESULT CAudioTransform::IsStreaming() { return m_streaming; }

HRESULT CAudioTransform::IsBypassed() { return m_bypass; }

HRESULT CAudioTransform::SetBypass(int32_t bypass) {
    m_bypass = bypass;
    return S_OK;
}

HRESULT CAudioTransform::IsUpToDate() {
    if (m_automation && m_automation->TestAndClearChanged() == S_OK) m_refreshPending = 1;
    return m_refreshPending == 0 ? 1 : 0;
}

HRESULT CAudioTransform::SetRefreshPending(int32_t pending) {
    m_refreshPending = pending;
    return S_OK;
}

// ---------------------------------------------------------------------------
// Setups and undo

HRESULT CAudioTransform::GetSetup() { return m_activeSetup; }

HRESULT CAudioTransform::SelectSetup(int32_t setup) {
    if (setup != 0 && setup != 1) return E_INVALIDARG;
    CAutoLock lock(&m_paramLock);
    if (setup == m_activeSetup) return S_OK;
    const ParamBlock kept = m_live;
    m_activeSetup = setup;
    SetAllParams(m_alternate.v);
    m_alternate = kept;
    return S_OK;
}

HRESULT CAudioTransform::CopySetup(int32_t from, int32_t to) {
    CAutoLock lock(&m_paramLock);
    if (from == 0 && to == 1) {
        m_alternate = m_live;
    } else if (from == 1 && to == 0) {
        m_live = m_alternate;
        // Through the setters, so that automation and the host learn the values.
        SetAllParams(m_live.v);
    }
    return S_OK;
}

HRESULT CAudioTransform::SaveUndoState(int32_t paramIndex) {
    CAutoLock lock(&m_paramLock);
    // One snapshot per drag: repeated changes of the parameter whose capture
    // is still open share the snapshot taken at its first change.
    if ((paramIndex >= 0 && paramIndex != m_undoIndex) || m_capture[0] == -1 || paramIndex == -2) {
        m_undo = m_live;
    }
    m_undoIndex = paramIndex;
    return S_OK;
}

HRESULT CAudioTransform::Undo() {
    CAutoLock lock(&m_paramLock);
    const ParamBlock previous = m_live;
    m_live = m_undo;
    m_undo = previous;
    SetAllParams(m_live.v);
    m_dirty = 1;
    return S_OK;
}
