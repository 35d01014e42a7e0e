#include "effect/AudioTransform.h"

#include <cmath>
#include <cstring>

#include "effect/OutputGains.h"

namespace {
// Bits of a quiet NaN that no conversion has seen yet: the caches start with
// it and with what it converts to, so the first look-up is right whatever
// arrives.
constexpr uint32_t kUnseenBits = 0x7FC00001u;

}  // namespace

CAudioTransform::CInForceCache::CInForceCache() {
    float unseen;
    std::memcpy(&unseen, &kUnseenBits, sizeof(unseen));
    for (int i = 0; i < kParamCount; ++i) {
        bits[i] = kUnseenBits;
        value[i] = NormalisedToParam(i, unseen);
    }
}

CAudioTransform::CAudioTransform() : m_notifier(GetSystemChangeNotifier()) {}

CAudioTransform::~CAudioTransform() {
    if (m_streaming.exchange(0)) ReleaseStreaming();
}

// ---------------------------------------------------------------------------
// Changes

void CAudioTransform::BeginChange() {
    m_paramLock.Lock();
    ++m_changeDepth;
}

bool CAudioTransform::TryBeginChange() {
    if (!m_paramLock.TryLock()) return false;
    ++m_changeDepth;
    return true;
}

void CAudioTransform::Touch() {
    if (m_writing) return;
    m_handover.BeginWrite();
    m_writing = true;
}

void CAudioTransform::EndChange() {
    if (--m_changeDepth > 0) {
        m_paramLock.Unlock();
        return;
    }
    if (m_writing) {
        m_handover.Store(m_live);
        m_handover.EndWrite();
        m_writing = false;
    }
    // Taken out before the lock goes: another change may begin as soon as it
    // is released, and it starts with an empty outbox.
    Notice notices[kMaxNotices];
    const int32_t count = m_outboxCount;
    std::memcpy(notices, m_outbox, sizeof(Notice) * static_cast<size_t>(count));
    m_outboxCount = 0;
    IAutomationLink* automation = m_automation;
    m_paramLock.Unlock();

    // The host hears of the change with none of our locks held: its callback
    // may block, or call back into the plug-in on another thread.
    for (int32_t k = 0; k < count && automation; ++k) {
        automation->NotifyHost(notices[k].kind, notices[k].index, notices[k].value);
    }
}

void CAudioTransform::QueueNotice(EHostNotice notice, int index, float value) {
    // The outbox holds the most one change can produce; a notice beyond it
    // (impossible by construction) is dropped rather than written past it.
    if (m_outboxCount >= kMaxNotices) return;
    m_outbox[m_outboxCount++] = Notice{notice, static_cast<uint8_t>(index), value};
}

bool CAudioTransform::SyncFromAutomation() {
    if (!m_automation) return false;
    MP_DATA inForce[kParamCount];
    m_automation->ReadAllInForce(inForce);
    bool changed = false;
    for (int i = 0; i < kParamCount; ++i) {
        const int32_t value = m_writerCache.Convert(i, inForce[i]);
        if (value == m_live[i]) continue;
        Touch();
        m_live[i] = value;
        m_dirty = 1;
        changed = true;
    }
    return changed;
}

void CAudioTransform::SetParamsAsSoleWriter(const ParamBlock& block) {
    bool changed = false;
    for (int i = 0; i < kParamCount; ++i) {
        const int32_t value = ClampParam(i, block[i]);
        changed = changed || value != m_live[i];
        m_live[i] = value;
    }
    if (changed) m_dirty = 1;
    m_handover.Publish(m_live);
}

// ---------------------------------------------------------------------------
// Parameters

HRESULT CAudioTransform::GetParamValue(int index, int32_t* value) {
    if (!value) return E_POINTER;
    CChange change(this);
    SyncFromAutomation();
    *value = m_live[index];
    return S_OK;
}

HRESULT CAudioTransform::SetParamValue(int index, int32_t value, int32_t notify) {
    value = ClampParam(index, value);
    CChange change(this);
    Touch();
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
// ends the capture of the one before. Parameter lock held: the marks are
// made now, the host is told after the change.
void CAudioTransform::ReportParamChange(int index, float normalised) {
    if (!m_automation) return;
    const DWORD i = static_cast<DWORD>(index);
    if (m_live[kParamLink] == 1 && m_captureCount < 8) {
        bool held = false;
        for (int k = 0; k < 8; ++k) held = held || m_capture[k] == index;
        if (!held) {
            m_capture[m_captureCount] = index;
            m_automation->SetCaptureFlag(i, true);
            QueueNotice(EHostNotice::kBeginCapture, index, 0.0f);
            ++m_captureCount;
        }
    } else if (!(m_capture[0] == index && m_captureCount <= 1)) {
        EndAllCaptures();
        m_capture[0] = index;
        if (index != -1) {
            m_automation->SetCaptureFlag(i, true);
            QueueNotice(EHostNotice::kBeginCapture, index, 0.0f);
            m_captureCount = 1;
        }
    }
    if (m_capture[0] != -1) QueueNotice(EHostNotice::kValueChanged, index, normalised);
}

// Ends every open capture, one index per notice, in list order. Parameter
// lock held, automation attached.
void CAudioTransform::EndAllCaptures() {
    for (int k = 0; k < 8; ++k) {
        if (m_capture[k] == -1) continue;
        Touch();
        m_automation->SetCaptureFlag(static_cast<DWORD>(m_capture[k]), false);
        QueueNotice(EHostNotice::kEndCapture, m_capture[k], 0.0f);
        m_capture[k] = -1;
    }
    m_captureCount = 0;
}

HRESULT CAudioTransform::EndParamCapture() {
    CChange change(this);
    if (m_captureHold || !m_automation || m_capture[0] == -1) return S_OK;
    EndAllCaptures();
    return S_OK;
}

HRESULT CAudioTransform::SetCaptureHold(int32_t hold) {
    CChange change(this);
    m_captureHold = hold;
    return S_OK;
}

HRESULT CAudioTransform::GetAllParams(int32_t* block) {
    if (!block) return E_POINTER;
    CChange change(this);
    SyncFromAutomation();
    std::memcpy(block, m_live.v, sizeof(m_live.v));
    return S_OK;
}

HRESULT CAudioTransform::SetAllParams(const int32_t* block) {
    if (!block) return E_POINTER;
    // A copy: the caller's block may be our own live or alternate block.
    ParamBlock b;
    std::memcpy(b.v, block, sizeof(b.v));
    CChange change(this);
    Touch();
    for (int i = 0; i < kParamCount; ++i) SetParamValue(i, b[i], 1);
    m_dirty = 1;
    for (int i = 0; i < kParamCount; ++i) m_live[i] = ClampParam(i, m_live[i]);
    EndParamCapture();
    return S_OK;
}

int32_t CAudioTransform::RefreshFromAutomation(ParamBlock* dest) {
    CChange change(this);
    SyncFromAutomation();
    if (dest) *dest = m_live;
    const int32_t changed = m_dirty;
    m_dirty = 0;
    if (changed) m_refreshPending.store(1, std::memory_order_relaxed);
    return changed;
}

HRESULT CAudioTransform::LoadParams(const ParamBlock& block) {
    {
        CChange change(this);
        Touch();
        for (int i = 0; i < kParamCount; ++i) {
            const int32_t value = ClampParam(i, block[i]);
            m_live[i] = value;
            if (m_automation) m_automation->SetParam(static_cast<DWORD>(i), ParamToNormalised(i, value));
        }
        m_dirty = 1;
    }
    PostChangeCode(kChangeStateReloaded);
    return S_OK;
}

HRESULT CAudioTransform::ReloadFromAutomation() {
    ParamBlock block;
    RefreshFromAutomation(&block);
    const HRESULT hr = SetAllParams(block.v);
    if (SUCCEEDED(hr)) PostChangeCode(kChangeStateReloaded);
    return hr;
}

// The output gains belong to the audio thread, which recomputes them when
// its block changes: the editor's refresh only brings the live block up to
// date with the automation.
HRESULT CAudioTransform::RefreshParameters() {
    ParamBlock scratch;
    RefreshFromAutomation(&scratch);
    return S_OK;
}

// ---------------------------------------------------------------------------
// The audio thread's block

void CAudioTransform::AcquireParams() {
    IAutomationLink* const automation = m_automation;
    // Most buffers: no write since the last read and no value in force
    // moved, so the block in hand is still the newest. Two atomic reads.
    const uint32_t changes = automation ? automation->ChangeCount() : 0;
    if (m_engineValid && m_handover.Sequence() == m_engineSequence && changes == m_engineChanges) {
        if (!m_gainsReady) ComputeGains();
        return;
    }
    ParamBlock next;
    float inForce[kParamCount];
    uint32_t sequence = 0;
    const bool whole = m_handover.TryReadWith(
        &next,
        [&] {
            if (!automation) return;
            for (int i = 0; i < kParamCount; ++i) inForce[i] = automation->ValueInForce(static_cast<DWORD>(i));
        },
        &sequence);
    if (whole) {
        m_engineSequence = sequence;
        m_engineChanges = changes;   // read before the values: a later move is seen next time
        if (automation) {
            for (int i = 0; i < kParamCount; ++i) next[i] = m_audioCache.Convert(i, inForce[i]);
        }
        if (!m_engineValid || next != m_engineBlock) {
            m_engineBlock = next;
            m_engineValid = true;
            m_gainsReady = 0;
            // The editor shows what is in force: let it re-read.
            m_refreshPending.store(1, std::memory_order_relaxed);
        }
    }
    // A failed attempt keeps the block of the last buffer (a writer is in the
    // middle of a change; the next buffer sees it whole).
    if (!m_gainsReady) ComputeGains();
}

void CAudioTransform::ComputeGains() {
    ComputeOutputGains(m_engineBlock, m_gains);
    m_gainsReady = 1;
}

// ---------------------------------------------------------------------------
// Formats and notification windows

// Any thread: the copies the pins' writes left, under the parameter lock.
HRESULT CAudioTransform::GetFormat(WAVEFORMATEX* format, int32_t which) {
    if (which != 0 && which != 1) return VFW_E_NOT_CONNECTED;
    CAutoLock hold(&m_paramLock);
    if (!m_formatKept[which]) return VFW_E_NOT_CONNECTED;
    if (!format) return E_POINTER;
    *format = m_formatCopy[which];
    return S_OK;
}

void CAudioTransform::KeepFormatCopy(int which, const WAVEFORMATEX* format) {
    CAutoLock hold(&m_paramLock);
    m_formatKept[which] = format != nullptr;
    if (format) m_formatCopy[which] = *format;
}

HRESULT CAudioTransform::SetNotifyWindow(HWND window, uint32_t id) {
    CChange change(this);
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

// The entries are copied under the lock and posted to without it; an entry
// whose window is gone is cleared afterwards, unless it changed meanwhile.
void CAudioTransform::PostChangeCode(uint32_t code) {
    NotifyEntry entries[2];
    {
        CChange change(this);
        std::memcpy(entries, m_notify, sizeof(entries));
    }
    bool gone[2] = {false, false};
    for (int k = 0; k < 2; ++k) {
        if (!entries[k].window) continue;
        if (m_notifier && m_notifier->WindowExists(entries[k].window)) {
            m_notifier->PostCommand(entries[k].window,
                                    static_cast<WPARAM>((code << 16) | (entries[k].id & 0xFFFF)));
        } else {
            gone[k] = true;
        }
    }
    if (!gone[0] && !gone[1]) return;
    CChange change(this);
    for (int k = 0; k < 2; ++k) {
        if (gone[k] && m_notify[k].window == entries[k].window) m_notify[k] = NotifyEntry{nullptr, 0};
    }
}

// ---------------------------------------------------------------------------
// Meters and flags

HRESULT CAudioTransform::GetLeftClip(int32_t which) { return m_clip[which == 0 ? 0 : 2].load(std::memory_order_relaxed); }

HRESULT CAudioTransform::SetLeftClip(int32_t which, int32_t value) {
    m_clip[which == 0 ? 0 : 2].store(value, std::memory_order_relaxed);
    return S_OK;
}

HRESULT CAudioTransform::GetRightClip(int32_t which) {
    return m_clip[which == 0 ? 1 : 3].load(std::memory_order_relaxed);
}

HRESULT CAudioTransform::SetRightClip(int32_t which, int32_t value) {
    m_clip[which == 0 ? 1 : 3].store(value, std::memory_order_relaxed);
    return S_OK;
}

// Editor's thread, racing the audio thread's stores of a clip (3): the
// count goes down only from the value read, by compare-and-exchange.
HRESULT CAudioTransform::CountDownClip(int32_t side) {
    std::atomic<int32_t>& counter = m_clip[side == 0 ? 0 : 1];
    int32_t count = counter.load(std::memory_order_relaxed);
    while (count > 1 && !counter.compare_exchange_weak(count, count - 1, std::memory_order_relaxed)) {
    }
    return count;
}

HRESULT CAudioTransform::GetPeakLevels(float* left, float* right) {
    if (!left || !right) return E_POINTER;
    *left = static_cast<float>(m_peakLeft.load(std::memory_order_relaxed));
    *right = static_cast<float>(m_peakRight.load(std::memory_order_relaxed));
    m_peakRead.store(1, std::memory_order_relaxed);
    return S_OK;
}

HRESULT CAudioTransform::SetStreaming(int32_t streaming) {
    m_streaming.store(streaming);
    return S_OK;
}

HRESULT CAudioTransform::IsStreaming() { return m_streaming.load(); }

HRESULT CAudioTransform::IsBypassed() { return m_bypass.load(std::memory_order_relaxed); }

HRESULT CAudioTransform::SetBypass(int32_t bypass) {
    m_bypass.store(bypass, std::memory_order_relaxed);
    return S_OK;
}

HRESULT CAudioTransform::IsUpToDate() {
    if (m_automation && m_automation->TestAndClearChanged() == S_OK) {
        m_refreshPending.store(1, std::memory_order_relaxed);
    }
    return m_refreshPending.load(std::memory_order_relaxed) == 0 ? 1 : 0;
}

HRESULT CAudioTransform::SetRefreshPending(int32_t pending) {
    m_refreshPending.store(pending, std::memory_order_relaxed);
    return S_OK;
}

// ---------------------------------------------------------------------------
// Setups and undo

HRESULT CAudioTransform::GetSetup() { return m_activeSetup.load(std::memory_order_relaxed); }

HRESULT CAudioTransform::SelectSetup(int32_t setup) {
    if (setup != 0 && setup != 1) return E_INVALIDARG;
    CChange change(this);
    if (setup == m_activeSetup.load(std::memory_order_relaxed)) return S_OK;
    SyncFromAutomation();
    const ParamBlock kept = m_live;
    m_activeSetup.store(setup, std::memory_order_relaxed);
    SetAllParams(m_alternate.v);
    m_alternate = kept;
    return S_OK;
}

HRESULT CAudioTransform::CopySetup(int32_t from, int32_t to) {
    CChange change(this);
    SyncFromAutomation();
    if (from == 0 && to == 1) {
        m_alternate = m_live;
    } else if (from == 1 && to == 0) {
        Touch();
        m_live = m_alternate;
        // Through the setters, so that automation and the host learn the values.
        SetAllParams(m_live.v);
    }
    return S_OK;
}

HRESULT CAudioTransform::SaveUndoState(int32_t paramIndex) {
    CChange change(this);
    SyncFromAutomation();
    // One snapshot per drag: repeated changes of the parameter whose capture
    // is still open share the snapshot taken at its first change.
    if ((paramIndex >= 0 && paramIndex != m_undoIndex) || m_capture[0] == -1 || paramIndex == -2) {
        m_undo = m_live;
    }
    m_undoIndex = paramIndex;
    return S_OK;
}

HRESULT CAudioTransform::Undo() {
    CChange change(this);
    SyncFromAutomation();
    Touch();
    const ParamBlock previous = m_live;
    m_live = m_undo;
    m_undo = previous;
    SetAllParams(m_live.v);
    m_dirty = 1;
    return S_OK;
}
