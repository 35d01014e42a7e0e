#include "vst3/Vst3EditModel.h"

#include "vst3/Vst3Ids.h"
#include "vst3/Vst3Params.h"
#include "vst3/Vst3Programs.h"

CVst3EditModel::CVst3EditModel() = default;

// A parameter the processing side moved since the model last looked takes
// the published value; nothing while a restore waits to be taken (the
// publication still shows the values from before it).
void CVst3EditModel::MergePublished(const CHostedEffect* audio) {
    if (!audio) return;
    const bool bypassed = m_publishedBypass.load(std::memory_order_relaxed);
    if (bypassed != m_seenBypass && m_restoredBypass.load(std::memory_order_relaxed) < 0) {
        m_bypass = bypassed ? 1.0 : 0.0;
        m_seenBypass = bypassed;
    }
    if (m_restoreTaken.load(std::memory_order_acquire) != m_restore.Sequence()) return;
    CHostControls published;
    audio->ReadPublished(&published);
    const ParamBlock& now = published.Block();
    for (int i = 0; i < kParamCount; ++i) {
        if (now[i] != m_seen[i]) m_block[i] = now[i];
    }
    m_seen = now;
}

double CVst3EditModel::Normalized(uint32_t id, const CHostedEffect* audio) {
    std::lock_guard<std::mutex> hold(m_lock);
    MergePublished(audio);
    if (id < static_cast<uint32_t>(kParamCount)) return zvvst3::NormalizedFromInternal(static_cast<int>(id), m_block[id]);
    if (id == zvvst3::kBypassParamId) return m_bypass;
    if (id == zvvst3::kProgramParamId) return m_program;
    return 0.0;
}

bool CVst3EditModel::SetNormalized(uint32_t id, double normalized, const CHostedEffect* audio) {
    std::lock_guard<std::mutex> hold(m_lock);
    MergePublished(audio);
    if (id < static_cast<uint32_t>(kParamCount)) {
        m_block[id] = zvvst3::InternalFromNormalized(static_cast<int>(id), normalized);
        return false;
    }
    if (id == zvvst3::kBypassParamId) {
        m_bypass = normalized >= 0.5 ? 1.0 : 0.0;
        return false;
    }
    if (id != zvvst3::kProgramParamId) return false;
    // Choosing a program, also the one chosen last, loads it.
    const int32_t program = zvvst3::ProgramFromNormalized(normalized);
    m_program = zvvst3::NormalizedFromProgram(program);
    m_block = zvvst3::FactoryProgramBlock(program);
    return true;
}

ParamBlock CVst3EditModel::Block(const CHostedEffect* audio) {
    std::lock_guard<std::mutex> hold(m_lock);
    MergePublished(audio);
    return m_block;
}

void CVst3EditModel::Restore(const ParamBlock& block) {
    std::lock_guard<std::mutex> hold(m_lock);
    for (int i = 0; i < kParamCount; ++i) m_block[i] = ClampParam(i, block[i]);
    m_seen = m_block;
    m_restore.Publish(m_block);
}

void CVst3EditModel::RestoreBypass(bool bypassed) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_bypass = bypassed ? 1.0 : 0.0;
    m_seenBypass = bypassed;
    m_restoredBypass.store(bypassed ? 1 : 0, std::memory_order_release);
}

bool CVst3EditModel::Bypassed(const CHostedEffect* audio) {
    std::lock_guard<std::mutex> hold(m_lock);
    MergePublished(audio);
    return m_bypass >= 0.5;
}

bool CVst3EditModel::TakeRestore(ParamBlock* block, uint32_t* sequence) const {
    const uint32_t taken = m_restoreTaken.load(std::memory_order_relaxed);
    if (m_restore.Sequence() == taken) return false;
    return m_restore.TryReadWith(block, [] {}, sequence) && *sequence != taken;
}
