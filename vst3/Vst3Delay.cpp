#include "vst3/Vst3Delay.h"

#include <cmath>
#include <cstring>
#include <new>

#include "effect/StateChunk.h"
#ifdef _WIN32
#include "vst3/Vst3Editor.h"
#endif
#include "vst3/Vst3Ids.h"
#include "vst3/Vst3ParamEvents.h"
#include "vst3/Vst3Params.h"
#include "vst3/Vst3Programs.h"
#include "vst3/Vst3Text.h"

using zvvst3::CFace;
using zvvst3::TableOf;

namespace {

// A state of ours: the chunk every layer reads (an 8-byte front, then the
// filter's saved state), or the filter's saved state alone: a version text
// of 24 bytes, a count and that many pairs of 8 bytes (21 from the filter;
// a layer may add one). A stream may go on with what follows it (the host's
// next chunk): only these bytes are taken.
constexpr size_t kChunkFront = 8;
constexpr size_t kVersionAndCount = 28;
constexpr uint32_t kMostPairs = 64;
// The controller's own state: a tag, its layout's version, the bypass
// switch (32 bits each, little-endian).
constexpr char kControllerStateTag[4] = {'z', 'v', 'V', 'C'};
constexpr uint32_t kControllerStateVersion = 1;
constexpr uint32_t kInfiniteTail = 0xFFFFFFFFu;

int Channels(v3_speaker_arrangement arrangement) {
    int n = 0;
    for (; arrangement; arrangement &= arrangement - 1) ++n;
    return n;
}

CVst3Delay* Self(void* self) { return CFace<CVst3Delay>::Of(self); }

// ---- FUnknown and IPluginBase, the same on every face ----------------------

v3_result V3_API QueryInterface(void* self, const v3_tuid iid, void** object) {
    return Self(self)->QueryInterface(iid, object);
}
uint32_t V3_API AddRef(void* self) { return Self(self)->AddRef(); }
uint32_t V3_API Release(void* self) { return Self(self)->Release(); }
v3_result V3_API Initialize(void* self, v3_funknown** context) { return Self(self)->Initialize(context); }
v3_result V3_API Terminate(void* self) { return Self(self)->Terminate(); }

// ---- IComponent --------------------------------------------------------------

v3_result V3_API GetControllerClassId(void*, v3_tuid classId) {
    // No separate controller: this object is its own.
    std::memset(classId, 0, sizeof(v3_tuid));
    return V3_FALSE;
}
v3_result V3_API SetIoMode(void*, int32_t) { return V3_OK; }
int32_t V3_API GetBusCount(void* self, int32_t type, int32_t direction) {
    return Self(self)->BusCount(type, direction);
}
v3_result V3_API GetBusInfo(void* self, int32_t type, int32_t direction, int32_t index, v3_bus_info* info) {
    return Self(self)->BusInfo(type, direction, index, info);
}
v3_result V3_API GetRoutingInfo(void*, v3_routing_info*, v3_routing_info*) { return V3_FALSE; }
v3_result V3_API ActivateBus(void* self, int32_t type, int32_t direction, int32_t index, v3_bool) {
    return Self(self)->ActivateBus(type, direction, index);
}
v3_result V3_API SetActive(void* self, v3_bool state) { return Self(self)->SetActive(state != 0); }
v3_result V3_API SetComponentState(void* self, v3_bstream** stream) { return Self(self)->SetState(stream); }
v3_result V3_API GetComponentState(void* self, v3_bstream** stream) { return Self(self)->GetState(stream); }

const v3_component_cpp kComponentTable = {
    {QueryInterface, AddRef, Release},
    {Initialize, Terminate},
    {GetControllerClassId, SetIoMode, GetBusCount, GetBusInfo, GetRoutingInfo, ActivateBus, SetActive,
     SetComponentState, GetComponentState},
};

// ---- IAudioProcessor -----------------------------------------------------------

v3_result V3_API SetBusArrangements(void* self, v3_speaker_arrangement* inputs, int32_t inputCount,
                                    v3_speaker_arrangement* outputs, int32_t outputCount) {
    return Self(self)->SetBusArrangements(inputs, inputCount, outputs, outputCount);
}
v3_result V3_API GetBusArrangement(void* self, int32_t direction, int32_t index, v3_speaker_arrangement* a) {
    return Self(self)->BusArrangement(direction, index, a);
}
v3_result V3_API CanProcessSampleSize(void*, int32_t size) { return size == V3_SAMPLE_32 ? V3_OK : V3_FALSE; }
uint32_t V3_API GetLatencySamples(void*) { return 0; }
v3_result V3_API SetupProcessing(void* self, v3_process_setup* setup) { return Self(self)->SetupProcessing(setup); }
// The lines keep their tail across a pause of processing; setActive clears them.
v3_result V3_API SetProcessing(void*, v3_bool) { return V3_OK; }
v3_result V3_API Process(void* self, v3_process_data* data) { return Self(self)->Process(data); }
// Feedback can ring for ever.
uint32_t V3_API GetTailSamples(void*) { return kInfiniteTail; }

const v3_audio_processor_cpp kProcessorTable = {
    {QueryInterface, AddRef, Release},
    {SetBusArrangements, GetBusArrangement, CanProcessSampleSize, GetLatencySamples, SetupProcessing, SetProcessing,
     Process, GetTailSamples},
};

uint32_t V3_API GetContextRequirements(void*) { return V3_PROCESS_CTX_NEED_TEMPO; }

const v3_process_context_requirements_cpp kRequirementsTable = {
    {QueryInterface, AddRef, Release},
    {GetContextRequirements},
};

// ---- IEditController -----------------------------------------------------------

v3_result V3_API SetControllerState(void* self, v3_bstream** stream) { return Self(self)->SetControllerState(stream); }
v3_result V3_API GetControllerState(void* self, v3_bstream** stream) { return Self(self)->GetControllerState(stream); }
int32_t V3_API GetParameterCount(void*) { return zvvst3::kVst3ParamCount; }
v3_result V3_API GetParameterInfo(void*, int32_t index, v3_param_info* info) {
    return zvvst3::FillParamInfo(index, info) ? V3_OK : V3_INVALID_ARG;
}
v3_result V3_API GetParameterStringForValue(void*, v3_param_id id, double normalized, v3_str_128 text) {
    if (!zvvst3::IsParamId(id) || !text) return V3_INVALID_ARG;
    zvvst3::CopyUtf16(zvvst3::ValueText(id, normalized).c_str(), text, 128);
    return V3_OK;
}
v3_result V3_API GetParameterValueForString(void*, v3_param_id id, int16_t* text, double* normalized) {
    if (!zvvst3::IsParamId(id) || !text || !normalized) return V3_INVALID_ARG;
    return zvvst3::NormalizedFromText(id, zvvst3::Utf8FromUtf16(text, 128).c_str(), normalized) ? V3_OK : V3_FALSE;
}
double V3_API NormalizedToPlain(void*, v3_param_id id, double normalized) {
    return zvvst3::PlainFromNormalized(id, normalized);
}
double V3_API PlainToNormalized(void*, v3_param_id id, double plain) { return zvvst3::NormalizedFromPlain(id, plain); }
double V3_API GetParameterNormalized(void* self, v3_param_id id) { return Self(self)->Normalized(id); }
v3_result V3_API SetParameterNormalized(void* self, v3_param_id id, double normalized) {
    return Self(self)->SetNormalized(id, normalized);
}
v3_result V3_API SetComponentHandler(void* self, v3_component_handler** handler) {
    return Self(self)->SetComponentHandler(handler);
}
v3_plugin_view** V3_API CreateView(void* self, const char* name) { return Self(self)->CreateView(name); }

const v3_edit_controller_cpp kControllerTable = {
    {QueryInterface, AddRef, Release},
    {Initialize, Terminate},
    {SetComponentState, SetControllerState, GetControllerState, GetParameterCount, GetParameterInfo,
     GetParameterStringForValue, GetParameterValueForString, NormalizedToPlain, PlainToNormalized,
     GetParameterNormalized, SetParameterNormalized, SetComponentHandler, CreateView},
};

// ---- IUnitInfo: one unit, the factory bank as its program list ----------------

int32_t V3_API GetUnitCount(void*) { return 1; }
v3_result V3_API GetUnitInfo(void*, int32_t index, v3_unit_info* info) {
    if (index != 0 || !info) return V3_INVALID_ARG;
    std::memset(info, 0, sizeof *info);
    info->id = zvvst3::kRootUnitId;
    info->parent_unit_id = -1;
    zvvst3::CopyUtf16("zvDelay", info->name, 128);
    info->program_list_id = zvvst3::kFactoryListId;
    return V3_OK;
}
int32_t V3_API GetProgramListCount(void*) { return 1; }
v3_result V3_API GetProgramListInfo(void*, int32_t index, v3_program_list_info* info) {
    if (index != 0 || !info) return V3_INVALID_ARG;
    std::memset(info, 0, sizeof *info);
    info->id = zvvst3::kFactoryListId;
    zvvst3::CopyUtf16("Factory Presets", info->name, 128);
    info->programCount = zvvst3::kFactoryProgramCount;
    return V3_OK;
}
v3_result V3_API GetProgramName(void*, int32_t list, int32_t program, v3_str_128 name) {
    if (list != zvvst3::kFactoryListId || program < 0 || program >= zvvst3::kFactoryProgramCount || !name) {
        return V3_INVALID_ARG;
    }
    zvvst3::CopyUtf16(zvvst3::kFactoryPrograms[program].label, name, 128);
    return V3_OK;
}
v3_result V3_API GetProgramInfo(void*, int32_t, int32_t, const char*, v3_str_128) { return V3_FALSE; }
v3_result V3_API HasProgramPitchNames(void*, int32_t, int32_t) { return V3_FALSE; }
v3_result V3_API GetProgramPitchName(void*, int32_t, int32_t, int16_t, v3_str_128) { return V3_FALSE; }
int32_t V3_API GetSelectedUnit(void*) { return zvvst3::kRootUnitId; }
v3_result V3_API SelectUnit(void*, int32_t unit) { return unit == zvvst3::kRootUnitId ? V3_OK : V3_INVALID_ARG; }
v3_result V3_API GetUnitByBus(void*, int32_t, int32_t, int32_t, int32_t, int32_t* unit) {
    if (!unit) return V3_INVALID_ARG;
    *unit = zvvst3::kRootUnitId;
    return V3_OK;
}
v3_result V3_API SetUnitProgramData(void*, int32_t, int32_t, v3_bstream**) { return V3_NOT_IMPLEMENTED; }

const v3_unit_information_cpp kUnitTable = {
    {QueryInterface, AddRef, Release},
    {GetUnitCount, GetUnitInfo, GetProgramListCount, GetProgramListInfo, GetProgramName, GetProgramInfo,
     HasProgramPitchNames, GetProgramPitchName, GetSelectedUnit, SelectUnit, GetUnitByBus, SetUnitProgramData},
};

}  // namespace

// ---- The object ------------------------------------------------------------------

CVst3Delay* CVst3Delay::Create(int inputChannels) {
    if (inputChannels != 1 && inputChannels != 2) return nullptr;
    try {
        return new CVst3Delay(inputChannels);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

CVst3Delay::CVst3Delay(int inputChannels)
    : m_inputChannels(inputChannels),
      m_inputArrangement(inputChannels == 1 ? V3_SPEAKER_M : V3_SPEAKER_L | V3_SPEAKER_R),
      m_outputArrangement(V3_SPEAKER_L | V3_SPEAKER_R) {
    SetUpFaces();
    for (int32_t p = 0; p < zvvst3::kFactoryProgramCount; ++p) m_programs.push_back(zvvst3::FactoryProgramBlock(p));
    // The processing side exists from the start (its publication is what the
    // controller merges); its delay memory comes with setActive.
    m_core.reset(new CHostedEffect(m_inputChannels, m_sampleRate));
}

CVst3Delay::~CVst3Delay() {
    if (m_handler) TableOf<v3_funknown>(m_handler)->unref(m_handler);
}

void CVst3Delay::SetUpFaces() {
    m_componentFace = {&kComponentTable, this};
    m_processorFace = {&kProcessorTable, this};
    m_requirementsFace = {&kRequirementsTable, this};
    m_controllerFace = {&kControllerTable, this};
    m_unitFace = {&kUnitTable, this};
}

v3_result CVst3Delay::QueryInterface(const v3_tuid iid, void** object) {
    if (!object) return V3_INVALID_ARG;
    *object = nullptr;
    if (v3_tuid_match(iid, v3_funknown_iid) || v3_tuid_match(iid, v3_plugin_base_iid) ||
        v3_tuid_match(iid, v3_component_iid)) {
        *object = &m_componentFace;
    } else if (v3_tuid_match(iid, v3_audio_processor_iid)) {
        *object = &m_processorFace;
    } else if (v3_tuid_match(iid, v3_process_context_requirements_iid)) {
        *object = &m_requirementsFace;
    } else if (v3_tuid_match(iid, v3_edit_controller_iid)) {
        *object = &m_controllerFace;
    } else if (v3_tuid_match(iid, v3_unit_information_iid)) {
        *object = &m_unitFace;
    } else {
        return V3_NO_INTERFACE;
    }
    AddRef();
    return V3_OK;
}

uint32_t CVst3Delay::Release() {
    const uint32_t left = --m_refs;
    if (left == 0) delete this;
    return left;
}

// A host may initialise the component face and the controller face, which
// are one object: the second call is no error.
v3_result CVst3Delay::Initialize(v3_funknown**) { return V3_OK; }

v3_result CVst3Delay::Terminate() {
    SetComponentHandler(nullptr);
    return V3_OK;
}

int32_t CVst3Delay::BusCount(int32_t mediaType, int32_t) const { return mediaType == V3_AUDIO ? 1 : 0; }

v3_result CVst3Delay::BusInfo(int32_t mediaType, int32_t direction, int32_t index, v3_bus_info* info) const {
    if (!info || mediaType != V3_AUDIO || index != 0 || (direction != V3_INPUT && direction != V3_OUTPUT)) {
        return V3_INVALID_ARG;
    }
    std::memset(info, 0, sizeof *info);
    info->media_type = V3_AUDIO;
    info->direction = direction;
    info->channel_count = direction == V3_INPUT ? m_inputChannels : 2;
    zvvst3::CopyUtf16(direction == V3_INPUT ? "Input" : "Output", info->bus_name, 128);
    info->bus_type = V3_MAIN;
    info->flags = V3_DEFAULT_ACTIVE;
    return V3_OK;
}

v3_result CVst3Delay::ActivateBus(int32_t mediaType, int32_t direction, int32_t index) const {
    const bool ours = mediaType == V3_AUDIO && index == 0 && (direction == V3_INPUT || direction == V3_OUTPUT);
    return ours ? V3_OK : V3_INVALID_ARG;
}

// UI thread, nothing processing. The first activation, or one at another
// rate, builds the effect for the rate (the values carried over); a later
// one at the same rate clears the lines. A restore the controller side left
// is taken here.
v3_result CVst3Delay::SetActive(bool active) {
    if (!active) {
        m_active = false;
        return V3_OK;
    }
    std::lock_guard<std::mutex> hold(m_coreLock);
    if (m_core->SampleRate() != m_sampleRate) {
        std::unique_ptr<CHostedEffect> core(new (std::nothrow) CHostedEffect(m_inputChannels, m_sampleRate));
        if (!core) return V3_NOMEM;
        core->Controls() = m_core->Controls();
        core->Controls().RestoreBlock(m_core->Controls().Block());
        core->HandControlsOn();   // published as the old one was
        m_core = std::move(core);
        m_prepared = false;
    }
    if (!(m_prepared ? m_core->Restart() : m_core->Prepare())) return V3_NOMEM;
    m_prepared = true;
    TakeRestore(*m_core);
    m_model.TakeRestoredBypass(&m_bypass);
    m_reported = m_core->Controls().Block();
    m_active = true;
    return V3_OK;
}

void CVst3Delay::TakeRestore(CHostedEffect& core) {
    ParamBlock block;
    uint32_t sequence = 0;
    if (!m_model.TakeRestore(&block, &sequence)) return;
    core.Controls().RestoreBlock(block);
    core.HandControlsOn();
    m_reported = core.Controls().Block();
    m_model.MarkTaken(sequence);
}

// Any thread but the audio thread. The state of every layer of ours
// (StateChunk.h), or the filter's saved state alone.
v3_result CVst3Delay::SetState(v3_bstream** stream) {
    std::vector<uint8_t> bytes, rest;
    if (!zvvst3::ReadStream(stream, &bytes, kChunkFront + kVersionAndCount)) return V3_INVALID_ARG;
    const size_t front = bytes.size() >= kChunkFront && std::memcmp(bytes.data(), kStateChunkTag, 4) == 0 ? kChunkFront : 0;
    if (bytes.size() < front + kVersionAndCount) return V3_FALSE;
    uint32_t pairs = 0;
    for (int k = 3; k >= 0; --k) pairs = (pairs << 8) | bytes[front + kVersionAndCount - 4 + k];
    const size_t size = front + kVersionAndCount + 8 * static_cast<size_t>(pairs < kMostPairs ? pairs : kMostPairs);
    if (bytes.size() > size) {
        zvvst3::UnreadStream(stream, bytes.size() - size);
        bytes.resize(size);
    } else if (!zvvst3::ReadStream(stream, &rest, size - bytes.size())) {
        return V3_FALSE;
    }
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    ParamBlock block = kDefaultBlock;
    if (!ReadStateChunk(bytes.data(), bytes.size(), &block)) return V3_FALSE;
    std::lock_guard<std::mutex> hold(m_coreLock);
    m_model.Restore(block);
    if (!m_active) TakeRestore(*m_core);   // nothing processes: take it now
    return V3_OK;
}

v3_result CVst3Delay::GetState(v3_bstream** stream) {
    ParamBlock block;
    {
        std::lock_guard<std::mutex> hold(m_coreLock);
        block = m_model.Block(m_core.get());
    }
    return zvvst3::WriteStream(stream, WriteStateChunk(block)) ? V3_OK : V3_FALSE;
}

v3_result CVst3Delay::SetBusArrangements(const v3_speaker_arrangement* inputs, int32_t inputCount,
                                         const v3_speaker_arrangement* outputs, int32_t outputCount) {
    if (m_active) return V3_FALSE;
    if (inputCount != 1 || outputCount != 1 || !inputs || !outputs) return V3_FALSE;
    if (Channels(inputs[0]) != m_inputChannels || Channels(outputs[0]) != 2) return V3_FALSE;
    m_inputArrangement = inputs[0];
    m_outputArrangement = outputs[0];
    return V3_OK;
}

v3_result CVst3Delay::BusArrangement(int32_t direction, int32_t index, v3_speaker_arrangement* arrangement) const {
    if (!arrangement || index != 0 || (direction != V3_INPUT && direction != V3_OUTPUT)) return V3_INVALID_ARG;
    *arrangement = direction == V3_INPUT ? m_inputArrangement : m_outputArrangement;
    return V3_OK;
}

v3_result CVst3Delay::SetupProcessing(const v3_process_setup* setup) {
    if (!setup) return V3_INVALID_ARG;
    if (m_active || setup->symbolic_sample_size != V3_SAMPLE_32) return V3_FALSE;
    if (!CHostedEffect::UsableRate(setup->sample_rate)) return V3_FALSE;
    m_sampleRate = static_cast<uint32_t>(std::lrint(setup->sample_rate));
    return V3_OK;
}

// Audio thread. Allocates nothing, locks nothing; the host's buffers,
// queues and context are touched only inside this call.
v3_result CVst3Delay::Process(v3_process_data* data) {
    if (!data) return V3_INVALID_ARG;
    if (!m_active) return V3_NOT_INITIALIZED;
    if (data->symbolic_sample_size != V3_SAMPLE_32) return V3_FALSE;
    CHostedEffect& core = *m_core;
    TakeRestore(core);
    m_model.TakeRestoredBypass(&m_bypass);
    CVst3ParamEvents events(data->input_params, data->output_params, core, m_reported, m_programs.data(), m_bypass);
    events.BypassAtStart(&m_bypass);
    core.SetBypassed(m_bypass);   // the first buffer after activation starts where it stands
    // The host tempo, for TempoSync "Host", from the start of the block.
    if (const v3_process_context* context = data->ctx) {
        if ((context->state & V3_PROCESS_CTX_TEMPO_VALID) && context->bpm > 0.0 && context->bpm < 1.0e6) {
            core.Controls().SetHostTempo(static_cast<int32_t>(std::lrint(context->bpm * 100.0)));
        }
        core.Controls().FollowHostTempo();
        core.HandControlsOn();
        events.Report(0);
    }

    const float* in[2] = {nullptr, nullptr};
    float* out[2] = {nullptr, nullptr};
    const uint32_t frames = data->nframes > 0 ? static_cast<uint32_t>(data->nframes) : 0u;
    if (frames > 0 && data->num_input_buses >= 1 && data->inputs &&
        data->inputs[0].num_channels >= m_inputChannels && data->inputs[0].channel_buffers_32) {
        for (int c = 0; c < m_inputChannels; ++c) in[c] = data->inputs[0].channel_buffers_32[c];
    }
    if (frames > 0 && data->num_output_buses >= 1 && data->outputs && data->outputs[0].num_channels >= 2 &&
        data->outputs[0].channel_buffers_32) {
        out[0] = data->outputs[0].channel_buffers_32[0];
        out[1] = data->outputs[0].channel_buffers_32[1];
        data->outputs[0].channel_silence_bitset = 0;
    }
    // Without buffers (a host flushing parameters with no audio) the
    // changes still apply; the frames are not run.
    core.Run(in, out, in[0] && out[0] ? frames : 0u, events);
    m_model.PublishBypass(m_bypass);
    return V3_OK;
}

double CVst3Delay::Normalized(uint32_t id) {
    std::lock_guard<std::mutex> hold(m_coreLock);
    return m_model.Normalized(id, m_core.get());
}

// A program chosen here loads its values at once; the host learns them from
// processing's output changes (see CVst3EditModel on calling the host back).
v3_result CVst3Delay::SetNormalized(uint32_t id, double normalized) {
    if (!zvvst3::IsParamId(id)) return V3_INVALID_ARG;
    std::lock_guard<std::mutex> hold(m_coreLock);
    m_model.SetNormalized(id, normalized, m_core.get());
    return V3_OK;
}

v3_result CVst3Delay::GetControllerState(v3_bstream** stream) {
    bool bypassed;
    {
        std::lock_guard<std::mutex> hold(m_coreLock);
        bypassed = m_model.Bypassed(m_core.get());
    }
    std::vector<uint8_t> bytes(kControllerStateTag, kControllerStateTag + 4);
    for (uint32_t v : {kControllerStateVersion, bypassed ? 1u : 0u}) {
        for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<uint8_t>(v >> (8 * k)));
    }
    return zvvst3::WriteStream(stream, bytes) ? V3_OK : V3_FALSE;
}

// An empty state (a host that saved none) changes nothing.
v3_result CVst3Delay::SetControllerState(v3_bstream** stream) {
    std::vector<uint8_t> bytes;
    if (!zvvst3::ReadStream(stream, &bytes, 12)) return V3_INVALID_ARG;
    if (bytes.empty()) return V3_OK;
    if (bytes.size() < 12 || std::memcmp(bytes.data(), kControllerStateTag, 4) != 0) return V3_FALSE;
    m_model.RestoreBypass(bytes[8] != 0);   // any later layout starts the same way
    return V3_OK;
}

// Windows: the editor page. Elsewhere no view yet: hosts show their own
// controls.
v3_plugin_view** CVst3Delay::CreateView(const char* name) {
#ifdef _WIN32
    if (!name || std::strcmp(name, "editor") != 0) return nullptr;
    return CVst3Editor::Create(*this);
#else
    (void)name;
    return nullptr;
#endif
}

ParamBlock CVst3Delay::ControllerBlock() {
    std::lock_guard<std::mutex> hold(m_coreLock);
    return m_model.Block(m_core.get());
}

COfflineEffect& CVst3Delay::ProcessingEffect() {
    std::lock_guard<std::mutex> hold(m_coreLock);
    return m_core->Effect();
}

void CVst3Delay::EditFromEditor(EHostNotice notice, int index, int32_t value) {
    const v3_param_id id = static_cast<v3_param_id>(index);
    const double normalized = zvvst3::NormalizedFromInternal(index, value);
    if (notice == EHostNotice::kValueChanged) SetNormalized(id, normalized);
    v3_component_handler** handler;
    {
        std::lock_guard<std::mutex> hold(m_handlerLock);
        handler = m_handler;
        if (handler) TableOf<v3_funknown>(handler)->ref(handler);
    }
    if (!handler) return;
    auto* h = TableOf<zvvst3::v3_component_handler_cpp>(handler);
    switch (notice) {
    case EHostNotice::kBeginCapture: h->handler.begin_edit(handler, id); break;
    case EHostNotice::kValueChanged: h->handler.perform_edit(handler, id, normalized); break;
    case EHostNotice::kEndCapture: h->handler.end_edit(handler, id); break;
    }
    TableOf<v3_funknown>(handler)->unref(handler);
}

v3_result CVst3Delay::SetComponentHandler(v3_component_handler** handler) {
    if (handler) TableOf<v3_funknown>(handler)->ref(handler);
    v3_component_handler** old;
    {
        std::lock_guard<std::mutex> hold(m_handlerLock);
        old = m_handler;
        m_handler = handler;
    }
    if (old) TableOf<v3_funknown>(old)->unref(old);
    return V3_OK;
}
