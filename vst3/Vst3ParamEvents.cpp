#include "vst3/Vst3ParamEvents.h"

#include "vst3/Vst3Com.h"
#include "vst3/Vst3Ids.h"
#include "vst3/Vst3Params.h"
#include "vst3/Vst3Programs.h"

using zvvst3::TableOf;

CVst3ParamEvents::CVst3ParamEvents(v3_param_changes** input, v3_param_changes** output, CHostedEffect& core,
                                   ParamBlock& reported, const ParamBlock* programs, bool& bypass)
    : m_output(output), m_core(core), m_reported(reported), m_programs(programs), m_bypass(bypass) {
    if (!input || !*input) return;
    v3_param_changes_cpp* changes = TableOf<v3_param_changes_cpp>(input);
    const int32_t count = changes->changes.get_param_count(input);
    for (int32_t i = 0; i < count && m_queueCount < kMaxQueues; ++i) {
        v3_param_value_queue** queue = changes->changes.get_param_data(input, i);
        if (!queue || !*queue) continue;
        v3_param_value_queue_cpp* t = TableOf<v3_param_value_queue_cpp>(queue);
        const uint32_t id = t->queue.get_param_id(queue);
        if (!zvvst3::IsParamId(id)) continue;
        Queue& q = m_queues[m_queueCount];
        q = {queue, id, t->queue.get_point_count(queue), 0, 0, 0.0};
        Load(q);
        if (q.next < q.count) ++m_queueCount;
    }
}

bool CVst3ParamEvents::BypassAtStart(bool* bypassed) const {
    for (int i = 0; i < m_queueCount; ++i) {
        const Queue& q = m_queues[i];
        if (q.id != zvvst3::kBypassParamId) continue;
        v3_param_value_queue_cpp* t = TableOf<v3_param_value_queue_cpp>(q.queue);
        bool found = false;
        for (int32_t k = q.next; k < q.count; ++k) {
            int32_t offset = 0;
            double value = 0.0;
            if (t->queue.get_point(q.queue, k, &offset, &value) != V3_OK) continue;
            if (offset > 0) break;
            *bypassed = value >= 0.5;
            found = true;
        }
        return found;
    }
    return false;
}

void CVst3ParamEvents::Load(Queue& q) {
    v3_param_value_queue_cpp* t = TableOf<v3_param_value_queue_cpp>(q.queue);
    for (; q.next < q.count; ++q.next) {
        if (t->queue.get_point(q.queue, q.next, &q.offset, &q.value) == V3_OK) return;
    }
}

bool CVst3ParamEvents::Next(uint32_t* frame) {
    m_current = -1;
    for (int i = 0; i < m_queueCount; ++i) {
        const Queue& q = m_queues[i];
        if (q.next >= q.count) continue;
        if (m_current < 0 || q.offset < m_queues[m_current].offset) m_current = i;
    }
    if (m_current < 0) return false;
    const int32_t offset = m_queues[m_current].offset;
    *frame = offset < 0 ? 0u : static_cast<uint32_t>(offset);
    return true;
}

void CVst3ParamEvents::Apply(CHostedEffect& core) {
    if (m_current < 0) return;
    CHostControls& controls = core.Controls();
    Queue& q = m_queues[m_current];
    if (q.id < static_cast<uint32_t>(kParamCount)) {
        const int index = static_cast<int>(q.id);
        const int32_t value = zvvst3::InternalFromNormalized(index, q.value);
        controls.Set(index, value);
        m_reported[index] = value;   // the host knows what it sent
    } else if (q.id == zvvst3::kBypassParamId) {
        m_bypass = q.value >= 0.5;
        m_core.SetBypassed(m_bypass);
    } else if (q.id == zvvst3::kProgramParamId) {
        controls.RestoreBlock(m_programs[zvvst3::ProgramFromNormalized(q.value)]);
    }
    const int32_t offset = q.offset;
    ++q.next;
    Load(q);
    Report(offset);
    core.HandControlsOn();
}

void CVst3ParamEvents::Report(int32_t offset) {
    const ParamBlock& block = m_core.Controls().Block();
    for (int i = 0; i < kParamCount; ++i) {
        if (block[i] == m_reported[i]) continue;
        m_reported[i] = block[i];
        if (!m_output || !*m_output) continue;
        v3_param_changes_cpp* changes = TableOf<v3_param_changes_cpp>(m_output);
        v3_param_id id = static_cast<v3_param_id>(i);
        int32_t queueIndex = 0;
        v3_param_value_queue** queue = changes->changes.add_param_data(m_output, &id, &queueIndex);
        if (!queue || !*queue) continue;
        int32_t pointIndex = 0;
        TableOf<v3_param_value_queue_cpp>(queue)->queue.add_point(queue, offset < 0 ? 0 : offset,
                                                                   zvvst3::NormalizedFromInternal(i, block[i]),
                                                                   &pointIndex);
    }
}
