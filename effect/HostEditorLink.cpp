#include "effect/HostEditorLink.h"

#include <thread>

CHostEditorLink::CHostEditorLink() {
    for (int i = 0; i < kParamCount; ++i) {
        m_value[i].store(ParamToNormalised(i, kDefaultBlock[i]), std::memory_order_relaxed);
        m_held[i].store(false, std::memory_order_relaxed);
        m_begun[i].store(0, std::memory_order_relaxed);
        m_ended[i].store(0, std::memory_order_relaxed);
        m_noticeValue[i].store(0.0f, std::memory_order_relaxed);
        m_valueNew[i].store(false, std::memory_order_relaxed);
    }
}

// ---------------------------------------------------------------------------
// The effect's side

// The effect's writers, parameter lock held, inside its hand-over bracket.
HRESULT CHostEditorLink::SetParam(DWORD index, MP_DATA value) {
    if (index >= static_cast<DWORD>(kParamCount)) return E_INVALIDARG;
    m_value[index].store(value, std::memory_order_relaxed);
    m_changed.store(true, std::memory_order_relaxed);
    m_changes.fetch_add(1, std::memory_order_release);
    return S_OK;
}

HRESULT CHostEditorLink::GetParam(DWORD index, MP_DATA* value) {
    if (!value) return E_POINTER;
    if (index >= static_cast<DWORD>(kParamCount)) return E_INVALIDARG;
    *value = ValueInForce(index);
    return S_OK;
}

MP_DATA CHostEditorLink::ValueInForce(DWORD index) const {
    return index < static_cast<DWORD>(kParamCount) ? m_value[index].load(std::memory_order_relaxed) : 0.0f;
}

// The effect's writers (parameter lock held, so no editor change is under
// way): all of one host change or none of it, waiting while the host's
// thread writes one (a few stores).
void CHostEditorLink::ReadAllInForce(MP_DATA* values) const {
    for (;;) {
        const uint32_t before = m_hostSequence.load(std::memory_order_acquire);
        if ((before & 1u) == 0) {
            for (int i = 0; i < kParamCount; ++i) values[i] = m_value[i].load(std::memory_order_relaxed);
            std::atomic_thread_fence(std::memory_order_acquire);
            if (m_hostSequence.load(std::memory_order_relaxed) == before) return;
        }
        std::this_thread::yield();
    }
}

HRESULT CHostEditorLink::TestAndClearChanged() {
    return m_changed.exchange(false, std::memory_order_acq_rel) ? S_OK : S_FALSE;
}

HRESULT CHostEditorLink::SetCaptureFlag(DWORD index, bool captured) {
    if (index >= static_cast<DWORD>(kParamCount)) return E_INVALIDARG;
    m_held[index].store(captured, std::memory_order_release);
    return S_OK;
}

// The editor's thread, after the effect let go of its lock.
void CHostEditorLink::NotifyHost(EHostNotice notice, DWORD index, MP_DATA value) {
    if (index >= static_cast<DWORD>(kParamCount)) return;
    switch (notice) {
    case EHostNotice::kBeginCapture: m_begun[index].fetch_add(1, std::memory_order_release); break;
    case EHostNotice::kEndCapture: m_ended[index].fetch_add(1, std::memory_order_release); break;
    case EHostNotice::kValueChanged:
        m_noticeValue[index].store(value, std::memory_order_relaxed);
        m_valueNew[index].store(true, std::memory_order_release);
        break;
    }
    if (!m_noticesPending.exchange(true, std::memory_order_acq_rel) && m_wake) m_wake(m_wakeContext);
}

// ---------------------------------------------------------------------------
// The host's side

ParamBlock CHostEditorLink::BlockInForce() const {
    ParamBlock block;
    for (int i = 0; i < kParamCount; ++i) block[i] = InForce(i);
    return block;
}

// The values the rule changed, one host change (the sequence odd meanwhile);
// a parameter the editor holds keeps its value.
void CHostEditorLink::StoreFromRule(const ParamBlock& before) {
    const ParamBlock& after = m_rule.Block();
    if (after == before) return;
    const uint32_t s = m_hostSequence.load(std::memory_order_relaxed);
    m_hostSequence.store(s + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    for (int i = 0; i < kParamCount; ++i) {
        if (after[i] == before[i] || m_held[i].load(std::memory_order_acquire)) continue;
        m_value[i].store(ParamToNormalised(i, after[i]), std::memory_order_relaxed);
    }
    m_hostSequence.store(s + 2, std::memory_order_release);
    m_changed.store(true, std::memory_order_relaxed);
    m_changes.fetch_add(1, std::memory_order_release);
}

void CHostEditorLink::SetFromHost(int index, int32_t value) {
    if (index < 0 || index >= kParamCount) return;
    const ParamBlock before = BlockInForce();
    m_rule.RestoreBlock(before);
    m_rule.Set(index, value);
    StoreFromRule(before);
}

// Most process calls bring the tempo they brought before: nothing to do.
// Without TempoSync "Host" the tempo is only kept (for when "Host" is
// chosen: the rule follows it then).
void CHostEditorLink::SetHostTempo(int32_t hundredths) {
    if (InForce(kParamTempoSync) != 2) {
        m_rule.SetHostTempo(hundredths);
        return;
    }
    if (hundredths == m_rule.HostTempo() && hundredths == m_rule.FollowedHostTempo()) return;
    const ParamBlock before = BlockInForce();
    m_rule.RestoreBlock(before);
    m_rule.SetHostTempo(hundredths);
    m_rule.FollowHostTempo();
    StoreFromRule(before);
}
