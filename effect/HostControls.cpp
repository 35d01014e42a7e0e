#include "effect/HostControls.h"

#include <cmath>
#include <thread>

#include "effect/ParamDescription.h"
#include "effect/TempoSync.h"

namespace {

bool IsTempoControl(int index) {
    return index == kParamTempoSync || index == kParamTempo || index == kParamFactorL || index == kParamFactorR;
}

}  // namespace

CHostControls::CHostControls() { m_seen.fill(NAN); }

void CHostControls::SetValue(int index, int32_t value) {
    value = ClampParam(index, value);
    if (m_block[index] == value) return;
    m_block[index] = value;
    m_blockChanged = m_anyChanged = true;
}

void CHostControls::ApplyPorts(const ControlValues& ports) {
    if (m_adoptPorts) {
        // A restored state without port values holds what the session
        // sounded like; the ports as they now stand are only the base for
        // later changes.
        for (int i = 0; i < kParamCount; ++i) {
            if (!std::isnan(ports[i])) m_seen[i] = ports[i];
        }
        m_adoptPorts = false;
        m_anyChanged = true;
        return;
    }
    bool tempoTouched = false;
    for (int i = 0; i < kParamCount; ++i) {
        const float value = ports[i];
        if (value == m_seen[i] || std::isnan(value)) continue;
        m_seen[i] = value;
        m_anyChanged = true;
        SetValue(i, InternalFromNatural(i, value));
        tempoTouched = tempoTouched || IsTempoControl(i);
    }
    if (tempoTouched) ApplyTempoRule();
}

// The tempo rule after TempoSync, Tempo or a note value changed: "Host" with
// a reported host tempo follows that tempo; otherwise (with "Man", or "Host"
// before the host reported one) the delays follow the Tempo parameter.
void CHostControls::ApplyTempoRule() {
    if (m_block[kParamTempoSync] == 0) return;
    if (m_block[kParamTempoSync] == 2 && m_hostTempo > 0) {
        m_lastHostTempo = 0;   // follow it now, even if it has not changed
        FollowHostTempo();
        return;
    }
    const int32_t tempo = m_block[kParamTempo];
    SetValue(kParamDelayL, DelayFromTempo(tempo, m_block[kParamFactorL]));
    SetValue(kParamDelayR, DelayFromTempo(tempo, m_block[kParamFactorR]));
}

void CHostControls::SetHostTempo(int32_t hundredths) {
    if (hundredths == m_hostTempo) return;
    m_hostTempo = hundredths;
    m_anyChanged = true;
}

// The core's host tempo poll: only with TempoSync "Host", and only when the
// tempo differs from the last one followed (a manual delay change stands
// until the host tempo changes).
void CHostControls::FollowHostTempo() {
    if (m_block[kParamTempoSync] != 2 || m_hostTempo <= 0 || m_hostTempo == m_lastHostTempo) return;
    m_lastHostTempo = m_hostTempo;
    m_anyChanged = true;
    const int32_t tempo = TempoFromHost(m_hostTempo);
    SetValue(kParamTempo, tempo);
    const int32_t right = DelayFromTempo(tempo, m_block[kParamFactorR]);
    const int32_t left = DelayFromTempo(tempo, m_block[kParamFactorL]);
    SetValue(kParamDelayL, left);
    SetValue(kParamDelayR, right);
}

void CHostControls::Set(int index, int32_t value) {
    const int32_t before = m_block[index];
    SetValue(index, value);
    if (m_block[index] != before && IsTempoControl(index)) ApplyTempoRule();
}

void CHostControls::RestoreBlock(const ParamBlock& block) {
    for (int i = 0; i < kParamCount; ++i) SetValue(i, block[i]);
    m_blockChanged = m_anyChanged = true;   // the effect takes the whole block again
}

void CHostControls::Restore(const ParamBlock& block, const ControlValues* portsAtSave) {
    for (int i = 0; i < kParamCount; ++i) SetValue(i, block[i]);
    m_blockChanged = m_anyChanged = true;   // the effect takes the whole block again
    m_adoptPorts = portsAtSave == nullptr;
    if (portsAtSave) m_seen = *portsAtSave;
}

bool CHostControls::TakeBlockChange() {
    const bool changed = m_blockChanged;
    m_blockChanged = false;
    return changed;
}

bool CHostControls::TakeAnyChange() {
    const bool changed = m_anyChanged;
    m_anyChanged = false;
    return changed;
}

CHostControlsHandover::CHostControlsHandover(const CHostControls& initial) : m_block(initial.m_block) {
    for (int i = 0; i < kParamCount; ++i) m_seen[i].store(initial.m_seen[i], std::memory_order_relaxed);
    Publish(initial);
}

void CHostControlsHandover::Publish(const CHostControls& c) {
    m_block.BeginWrite();
    m_block.Store(c.m_block);
    for (int i = 0; i < kParamCount; ++i) m_seen[i].store(c.m_seen[i], std::memory_order_relaxed);
    m_adoptPorts.store(c.m_adoptPorts, std::memory_order_relaxed);
    m_hostTempo.store(c.m_hostTempo, std::memory_order_relaxed);
    m_lastHostTempo.store(c.m_lastHostTempo, std::memory_order_relaxed);
    m_block.EndWrite();
}

void CHostControlsHandover::Read(CHostControls* out) const {
    const auto readRest = [&] {
        for (int i = 0; i < kParamCount; ++i) out->m_seen[i] = m_seen[i].load(std::memory_order_relaxed);
        out->m_adoptPorts = m_adoptPorts.load(std::memory_order_relaxed);
        out->m_hostTempo = m_hostTempo.load(std::memory_order_relaxed);
        out->m_lastHostTempo = m_lastHostTempo.load(std::memory_order_relaxed);
    };
    while (!m_block.TryReadWith(&out->m_block, readRest)) std::this_thread::yield();
    out->m_blockChanged = out->m_anyChanged = false;
}
