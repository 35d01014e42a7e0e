#include "clap/ClapDelay.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "clap/ClapParams.h"
#include "effect/ParamDescription.h"
#include "effect/StateChunk.h"
#ifdef _WIN32
#include "editor/EmbeddedEditor.h"
#endif

namespace {

// A saved state longer than this is not ours (ours is 212 bytes).
constexpr size_t kMaxStateBytes = 1 << 16;

// The transport's tempo in hundredths of a beat per minute (0: none usable).
int32_t TempoHundredths(double bpm) {
    if (!(bpm > 0.0 && bpm < 1.0e6)) return 0;
    return static_cast<int32_t>(std::lrint(bpm * 100.0));
}

clap_event_header_t Header(uint32_t size, uint16_t type) {
    clap_event_header_t h{};
    h.size = size;
    h.time = 0;
    h.space_id = CLAP_CORE_EVENT_SPACE_ID;
    h.type = type;
    h.flags = 0;
    return h;
}

}  // namespace

// The host's input events in time order, for CHostedEffect::Run: each of
// ours splits the run at its frame.
class CClapEvents {
public:
    CClapEvents(CClapDelay& plugin, const clap_input_events_t* list)
        : m_plugin(plugin), m_list(list), m_size(list ? list->size(list) : 0) {}
    bool Next(uint32_t* frame) {
        for (; m_index < m_size; ++m_index) {
            const clap_event_header_t* event = m_list->get(m_list, m_index);
            if (!m_plugin.IsOurs(event)) continue;
            *frame = event->time;
            return true;
        }
        return false;
    }
    void Apply(CHostedEffect&) { m_plugin.Apply(m_list->get(m_list, m_index++)); }

private:
    CClapDelay& m_plugin;
    const clap_input_events_t* m_list;
    const uint32_t m_size;
    uint32_t m_index = 0;
};

CClapDelay::CClapDelay(const clap_host_t* host, const clap_plugin_descriptor_t* descriptor, int inputChannels)
    : m_host(host), m_inputChannels(inputChannels), m_core(inputChannels, 48000) {
    m_plugin.desc = descriptor;
    m_plugin.plugin_data = this;
    m_plugin.init = [](const clap_plugin_t* p) { return From(p)->Init(); };
    m_plugin.destroy = [](const clap_plugin_t* p) { delete From(p); };
    m_plugin.activate = [](const clap_plugin_t* p, double rate, uint32_t, uint32_t) {
        return From(p)->Activate(rate);
    };
    m_plugin.deactivate = [](const clap_plugin_t* p) { From(p)->Deactivate(); };
    m_plugin.start_processing = [](const clap_plugin_t*) { return true; };
    m_plugin.stop_processing = [](const clap_plugin_t*) {};
    m_plugin.reset = [](const clap_plugin_t* p) { From(p)->Reset(); };
    m_plugin.process = [](const clap_plugin_t* p, const clap_process_t* process) {
        return From(p)->Process(process);
    };
    m_plugin.get_extension = [](const clap_plugin_t* p, const char* id) { return From(p)->Extension(id); };
    m_plugin.on_main_thread = [](const clap_plugin_t*) {};
    m_core.AttachLink(&m_link);
    // The effect's live block and the link start from the default block.
    m_core.Effect().LoadParams(kDefaultBlock);
}

CClapDelay::~CClapDelay() {
#ifdef _WIN32
    m_editor.reset();   // before the effect it is connected to
#endif
}

const clap_plugin_t* CClapDelay::Create(const clap_host_t* host, const clap_plugin_descriptor_t* descriptor,
                                        int inputChannels) {
    CClapDelay* self = new (std::nothrow) CClapDelay(host, descriptor, inputChannels);
    return self ? &self->m_plugin : nullptr;
}

// The host's extensions may be asked for from init on, not before.
bool CClapDelay::Init() {
    if (m_host && m_host->get_extension) {
        m_hostParams = static_cast<const clap_host_params_t*>(m_host->get_extension(m_host, CLAP_EXT_PARAMS));
        m_threadCheck =
            static_cast<const clap_host_thread_check_t*>(m_host->get_extension(m_host, CLAP_EXT_THREAD_CHECK));
    }
    m_link.SetWake(&CClapDelay::Wake, this);
    return true;
}

bool CClapDelay::OnMainThread() const {
    return !m_threadCheck || !m_threadCheck->is_main_thread || m_threadCheck->is_main_thread(m_host);
}

// Everything process needs, for the rate: the delay memory, cleared, and
// the scratch buffers. The frame counts do not matter (the core runs any
// number of frames in pieces of its own).
bool CClapDelay::Activate(double sampleRate) {
    if (m_active || !OnMainThread() || !CHostedEffect::UsableRate(sampleRate)) return false;
    if (!m_core.Prepare(static_cast<uint32_t>(std::lrint(sampleRate)))) return false;
    m_active = true;
    return true;
}

const void* CClapDelay::Extension(const char* id) const {
    if (!id) return nullptr;
    if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &kParams;
    if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &kState;
    if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0) return &kAudioPorts;
#ifdef _WIN32
    if (std::strcmp(id, CLAP_EXT_GUI) == 0) return &kGui;
#endif
    return nullptr;
}

// ---------------------------------------------------------------------------
// Processing (audio thread)

clap_process_status CClapDelay::Process(const clap_process_t* p) {
    if (!p || p->audio_inputs_count < 1 || p->audio_outputs_count < 1 || !p->audio_inputs || !p->audio_outputs)
        return CLAP_PROCESS_ERROR;
    const clap_audio_buffer_t& input = p->audio_inputs[0];
    const clap_audio_buffer_t& output = p->audio_outputs[0];
    if (!input.data32 || !output.data32 || input.channel_count < static_cast<uint32_t>(m_inputChannels) ||
        output.channel_count < 2)
        return CLAP_PROCESS_ERROR;
    const float* in[2] = {input.data32[0], m_inputChannels == 2 ? input.data32[1] : nullptr};
    float* out[2] = {output.data32[0], output.data32[1]};

    m_core.SetBypassed(m_bypassed.load(std::memory_order_relaxed));
    if (p->transport && (p->transport->flags & CLAP_TRANSPORT_HAS_TEMPO)) {
        if (const int32_t tempo = TempoHundredths(p->transport->tempo)) m_link.SetHostTempo(tempo);
    }
    CClapEvents events(*this, p->in_events);
    m_core.Run(in, out, p->frames_count, events);
    SendNotices(p->out_events);
    return CLAP_PROCESS_CONTINUE;
}

bool CClapDelay::IsOurs(const clap_event_header_t* event) const {
    if (!event || event->space_id != CLAP_CORE_EVENT_SPACE_ID) return false;
    if (event->type == CLAP_EVENT_PARAM_VALUE) {
        return event->size >= sizeof(clap_event_param_value_t) &&
               reinterpret_cast<const clap_event_param_value_t*>(event)->param_id < zvclap::kParamIdCount;
    }
    return event->type == CLAP_EVENT_TRANSPORT && event->size >= sizeof(clap_event_transport_t) &&
           (reinterpret_cast<const clap_event_transport_t*>(event)->flags & CLAP_TRANSPORT_HAS_TEMPO);
}

void CClapDelay::Apply(const clap_event_header_t* event) {
    if (event->type == CLAP_EVENT_TRANSPORT) {
        if (const int32_t tempo = TempoHundredths(reinterpret_cast<const clap_event_transport_t*>(event)->tempo))
            m_link.SetHostTempo(tempo);
        return;
    }
    const auto* change = reinterpret_cast<const clap_event_param_value_t*>(event);
    if (change->param_id == zvclap::kBypassId) {
        const bool bypassed = change->value >= 0.5;
        m_bypassed.store(bypassed, std::memory_order_relaxed);
        m_core.SetBypassed(bypassed);
        return;
    }
    const int i = static_cast<int>(change->param_id);
    m_link.SetFromHost(i, InternalFromNatural(i, change->value));
}

void CClapDelay::SendNotices(const clap_output_events_t* out) {
    if (!out || !out->try_push) return;
    m_link.TakeNotices([&](EHostNotice notice, int index, float normalised) {
        if (notice == EHostNotice::kValueChanged) {
            clap_event_param_value_t e{};
            e.header = Header(sizeof e, CLAP_EVENT_PARAM_VALUE);
            e.param_id = static_cast<clap_id>(index);
            e.cookie = nullptr;
            e.note_id = -1;
            e.port_index = e.channel = e.key = -1;
            e.value = NaturalFromInternal(index, NormalisedToParam(index, normalised));
            out->try_push(out, &e.header);
        } else {
            clap_event_param_gesture_t e{};
            e.header = Header(sizeof e, notice == EHostNotice::kBeginCapture ? CLAP_EVENT_PARAM_GESTURE_BEGIN
                                                                             : CLAP_EVENT_PARAM_GESTURE_END);
            e.param_id = static_cast<clap_id>(index);
            out->try_push(out, &e.header);
        }
    });
}

// The editor's thread, no lock of ours held: the host then calls process
// or flush, where the notices go out.
void CClapDelay::Wake(void* context) {
    auto* self = static_cast<CClapDelay*>(context);
    if (self->m_hostParams && self->m_hostParams->request_flush) self->m_hostParams->request_flush(self->m_host);
}

// ---------------------------------------------------------------------------
// params (main thread; flush on the audio thread while active)

bool CClapDelay::GetValue(clap_id id, double* value) const {
    if (!value || id >= zvclap::kParamIdCount) return false;
    if (id == zvclap::kBypassId) {
        *value = m_bypassed.load(std::memory_order_relaxed) ? 1.0 : 0.0;
    } else {
        const int i = static_cast<int>(id);
        *value = NaturalFromInternal(i, m_link.InForce(i));
    }
    return true;
}

// Never beside process: the events apply in order, as process applies them
// (without frames to split).
void CClapDelay::Flush(const clap_input_events_t* in, const clap_output_events_t* out) {
    CClapEvents events(*this, in);
    uint32_t frame = 0;
    while (events.Next(&frame)) events.Apply(m_core);
    SendNotices(out);
}

const clap_plugin_params_t CClapDelay::kParams = {
    [](const clap_plugin_t*) { return zvclap::kParamIdCount; },
    [](const clap_plugin_t*, uint32_t index, clap_param_info_t* info) { return zvclap::ParamInfo(index, info); },
    [](const clap_plugin_t* p, clap_id id, double* value) { return From(p)->GetValue(id, value); },
    [](const clap_plugin_t*, clap_id id, double value, char* text, uint32_t size) {
        return zvclap::ParamValueToText(id, value, text, size);
    },
    [](const clap_plugin_t*, clap_id id, const char* text, double* value) {
        return zvclap::ParamTextToValue(id, text, value);
    },
    [](const clap_plugin_t* p, const clap_input_events_t* in, const clap_output_events_t* out) {
        From(p)->Flush(in, out);
    },
};

// ---------------------------------------------------------------------------
// state (main thread)

// The block in force, copied under the parameter lock (the host's changes
// whole: HostEditorLink.h); the host's stream is written after.
bool CClapDelay::Save(const clap_ostream_t* stream) {
    if (!stream || !stream->write || !OnMainThread()) return false;
    ParamBlock block;
    m_core.Effect().GetAllParams(block.v);
    const std::vector<uint8_t> bytes = WriteStateChunk(block, m_bypassed.load(std::memory_order_relaxed) ? 1 : 0);
    size_t done = 0;
    while (done < bytes.size()) {
        const int64_t n = stream->write(stream, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// The stream is read whole before anything is applied; the values then go
// to the effect as one change (the editor reads them again), and the host
// is asked to read the values again.
bool CClapDelay::Load(const clap_istream_t* stream) {
    if (!stream || !stream->read || !OnMainThread()) return false;
    std::vector<uint8_t> bytes;
    uint8_t buffer[512];
    for (;;) {
        const int64_t n = stream->read(stream, buffer, sizeof buffer);
        if (n < 0) return false;
        if (n == 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
        if (bytes.size() > kMaxStateBytes) return false;
    }
    ParamBlock block;
    m_core.Effect().GetAllParams(block.v);
    int bypass = -1;
    if (!ReadStateChunk(bytes.data(), bytes.size(), &block, &bypass)) return false;
    m_core.Effect().LoadParams(block);
    if (bypass >= 0) m_bypassed.store(bypass == 1, std::memory_order_relaxed);
    if (m_hostParams && m_hostParams->rescan) m_hostParams->rescan(m_host, CLAP_PARAM_RESCAN_VALUES);
    return true;
}

const clap_plugin_state_t CClapDelay::kState = {
    [](const clap_plugin_t* p, const clap_ostream_t* stream) { return From(p)->Save(stream); },
    [](const clap_plugin_t* p, const clap_istream_t* stream) { return From(p)->Load(stream); },
};

// ---------------------------------------------------------------------------
// audio-ports (main thread): one main input (mono or stereo), one main
// stereo output; the stereo plug-in works in place.

uint32_t CClapDelay::PortCount(bool) const { return 1; }

bool CClapDelay::PortInfo(uint32_t index, bool input, clap_audio_port_info_t* info) const {
    if (index != 0 || !info) return false;
    *info = clap_audio_port_info_t{};
    info->id = 0;
    const bool mono = input && m_inputChannels == 1;
    std::snprintf(info->name, sizeof info->name, "%s", input ? "Input" : "Output");
    info->flags = CLAP_AUDIO_PORT_IS_MAIN;
    info->channel_count = mono ? 1 : 2;
    info->port_type = mono ? CLAP_PORT_MONO : CLAP_PORT_STEREO;
    info->in_place_pair = m_inputChannels == 2 ? 0 : CLAP_INVALID_ID;
    return true;
}

const clap_plugin_audio_ports_t CClapDelay::kAudioPorts = {
    [](const clap_plugin_t* p, bool input) { return From(p)->PortCount(input); },
    [](const clap_plugin_t* p, uint32_t index, bool input, clap_audio_port_info_t* info) {
        return From(p)->PortInfo(index, input, info);
    },
};
