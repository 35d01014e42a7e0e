#include "lv2/Lv2Delay.h"

#include <lv2/atom/util.h>
#include <lv2/time/time.h>

#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "effect/TempoSync.h"

namespace {

WAVEFORMATEX FloatFormat(int channels, uint32_t rate) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    f.nChannels = static_cast<WORD>(channels);
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = 32;
    f.nBlockAlign = static_cast<WORD>(channels * 4);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

// A control value as the setter takes it: the nearest integer (the setter
// clamps into range). Values far outside every range are cut first so that
// the rounding stays defined.
int32_t ToInternal(float value) {
    if (value > 1.0e9f) value = 1.0e9f;
    if (value < -1.0e9f) value = -1.0e9f;
    return static_cast<int32_t>(lrintf(value));
}

bool IsTempoControl(int index) {
    return index == kParamTempoSync || index == kParamTempo || index == kParamFactorL || index == kParamFactorR;
}

}  // namespace

CLv2Delay::CLv2Delay(int inputChannels, uint32_t sampleRate)
    : m_inputChannels(inputChannels),
      m_inputFormat(FloatFormat(inputChannels, sampleRate)),
      m_outputFormat(FloatFormat(2, sampleRate)) {
    for (float& v : m_lastPort) v = NAN;
}

CLv2Delay::~CLv2Delay() {
    m_effect.SetStreaming(0);
    m_effect.ReleaseStreaming();
}

CLv2Delay* CLv2Delay::Create(double sampleRate, int inputChannels, const LV2_Feature* const* features) {
    if (!(sampleRate >= 1.0 && sampleRate <= 4.0e6)) return nullptr;
    std::unique_ptr<CLv2Delay> self(
        new (std::nothrow) CLv2Delay(inputChannels, static_cast<uint32_t>(std::lrint(sampleRate))));
    if (!self) return nullptr;
    self->m_scratchIn.reset(new (std::nothrow) float[2 * kChunkFrames]);
    self->m_scratchOut.reset(new (std::nothrow) float[2 * kChunkFrames]);
    if (!self->m_scratchIn || !self->m_scratchOut) return nullptr;

    for (int i = 0; features && features[i]; ++i) {
        if (std::strcmp(features[i]->URI, LV2_URID__map) == 0) {
            self->m_map = static_cast<LV2_URID_Map*>(features[i]->data);
        }
    }
    if (LV2_URID_Map* map = self->m_map) {
        auto& u = self->m_urid;
        u.atomInt = map->map(map->handle, LV2_ATOM__Int);
        u.atomLong = map->map(map->handle, LV2_ATOM__Long);
        u.atomFloat = map->map(map->handle, LV2_ATOM__Float);
        u.atomDouble = map->map(map->handle, LV2_ATOM__Double);
        u.atomObject = map->map(map->handle, LV2_ATOM__Object);
        u.atomBlank = map->map(map->handle, LV2_ATOM__Blank);
        u.timePosition = map->map(map->handle, LV2_TIME__Position);
        u.timeBeatsPerMinute = map->map(map->handle, LV2_TIME__beatsPerMinute);
        for (int i = 0; i < kParamCount; ++i) {
            const std::string key = std::string(zvlv2::kStateKeyPrefix) + kParamTable[i].name;
            u.stateKey[i] = map->map(map->handle, key.c_str());
        }
    }

    self->m_block = kDefaultBlock;
    self->m_effect.SetParamsAsSoleWriter(self->m_block);
    if (!self->Prepare()) return nullptr;
    self->m_saved.Publish(self->m_block);
    return self.release();
}

// Sets up and clears the delay memory for the rate. Instantiation class.
bool CLv2Delay::Prepare() {
    m_effect.SetStreaming(1);
    try {
        return SUCCEEDED(m_effect.PrepareStreaming(&m_inputFormat, &m_outputFormat));
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void CLv2Delay::ConnectPort(uint32_t port, void* data) {
    if (port < static_cast<uint32_t>(kParamCount)) {
        m_param[port] = static_cast<const float*>(data);
    } else if (port == zvlv2::kPortPeakLeft || port == zvlv2::kPortPeakRight) {
        m_peak[port - zvlv2::kPortPeakLeft] = static_cast<float*>(data);
    } else if (port == zvlv2::kPortControl) {
        m_control = static_cast<const LV2_Atom_Sequence*>(data);
    } else if (port >= zvlv2::kPortAudioFirst && port < zvlv2::OutputPortLeft(m_inputChannels)) {
        m_in[port - zvlv2::kPortAudioFirst] = static_cast<const float*>(data);
    } else if (port >= zvlv2::OutputPortLeft(m_inputChannels) && port < zvlv2::PortCount(m_inputChannels)) {
        m_out[port - zvlv2::OutputPortLeft(m_inputChannels)] = static_cast<float*>(data);
    }
}

// The memory was prepared at instantiate; a later activation starts with a
// silent line again, as the filter does at each pause. If preparing fails
// here the old memory is gone and run passes silence (E_UNEXPECTED).
void CLv2Delay::Activate() {
    if (m_fresh) return;
    Prepare();
    m_fresh = true;
}

void CLv2Delay::Run(uint32_t frames) {
    m_fresh = false;
    ApplyPortChanges();
    FollowHostTempo();
    HandBlockToEffect();

    uint32_t done = 0;
    if (m_control && m_map) {
        LV2_ATOM_SEQUENCE_FOREACH(m_control, ev) {
            const LV2_Atom& body = ev->body;
            if (body.type != m_urid.atomObject && body.type != m_urid.atomBlank) continue;
            const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&body);
            if (object->body.otype != m_urid.timePosition) continue;
            // A tempo change takes effect at its frame.
            const int64_t at = ev->time.frames;
            const uint32_t split = at <= static_cast<int64_t>(done) ? done
                                   : at >= static_cast<int64_t>(frames) ? frames
                                                                        : static_cast<uint32_t>(at);
            Process(done, split);
            done = split;
            ReadTransport(object);
            FollowHostTempo();
            HandBlockToEffect();
        }
    }
    Process(done, frames);

    float left = 0.0f, right = 0.0f;
    m_effect.GetPeakLevels(&left, &right);
    if (m_peak[0]) *m_peak[0] = left;
    if (m_peak[1]) *m_peak[1] = right;
}

// The block as run now leaves: to the effect for the next frames, and to the
// threads that may save the state meanwhile. Nothing waits, nothing locks.
void CLv2Delay::HandBlockToEffect() {
    if (!m_blockChanged) return;
    m_blockChanged = false;
    m_effect.SetParamsAsSoleWriter(m_block);
    m_saved.Publish(m_block);
}

void CLv2Delay::SetValue(int index, int32_t value) {
    value = ClampParam(index, value);
    if (m_block[index] == value) return;
    m_block[index] = value;
    m_blockChanged = true;
}

void CLv2Delay::ApplyPortChanges() {
    if (m_adoptPorts) {
        // A restored state holds what the session sounded like (delays moved
        // by the tempo rule included); the ports as they now stand are only
        // the base for later changes.
        for (int i = 0; i < kParamCount; ++i) {
            if (m_param[i]) m_lastPort[i] = *m_param[i];
        }
        m_adoptPorts = false;
        return;
    }
    bool tempoTouched = false;
    for (int i = 0; i < kParamCount; ++i) {
        if (!m_param[i]) continue;
        const float value = *m_param[i];
        if (value == m_lastPort[i] || std::isnan(value)) continue;
        m_lastPort[i] = value;
        SetValue(i, ToInternal(value));
        tempoTouched = tempoTouched || IsTempoControl(i);
    }
    if (tempoTouched) ApplyTempoRule();
}

// The tempo rule after TempoSync, Tempo or a note value changed: "Host" with
// a reported host tempo follows that tempo; otherwise (with "Man", or "Host"
// before the host reported one) the delays follow the Tempo parameter.
void CLv2Delay::ApplyTempoRule() {
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

// The core's host tempo poll, with the tempo from the transport port: only
// with TempoSync "Host", and only when the tempo differs from the last one
// followed (a manual delay change stands until the host tempo changes).
void CLv2Delay::FollowHostTempo() {
    if (m_block[kParamTempoSync] != 2 || m_hostTempo <= 0 || m_hostTempo == m_lastHostTempo) return;
    m_lastHostTempo = m_hostTempo;
    const int32_t tempo = TempoFromHost(m_hostTempo);
    SetValue(kParamTempo, tempo);
    const int32_t right = DelayFromTempo(tempo, m_block[kParamFactorR]);
    const int32_t left = DelayFromTempo(tempo, m_block[kParamFactorL]);
    SetValue(kParamDelayL, left);
    SetValue(kParamDelayR, right);
}

// time:Position's beats per minute, to hundredths (rounded to nearest).
void CLv2Delay::ReadTransport(const LV2_Atom_Object* object) {
    const LV2_Atom* bpm = nullptr;
    lv2_atom_object_get(object, m_urid.timeBeatsPerMinute, &bpm, 0);
    if (!bpm) return;
    double value;
    if (bpm->type == m_urid.atomFloat) {
        value = reinterpret_cast<const LV2_Atom_Float*>(bpm)->body;
    } else if (bpm->type == m_urid.atomDouble) {
        value = reinterpret_cast<const LV2_Atom_Double*>(bpm)->body;
    } else if (bpm->type == m_urid.atomInt) {
        value = reinterpret_cast<const LV2_Atom_Int*>(bpm)->body;
    } else if (bpm->type == m_urid.atomLong) {
        value = static_cast<double>(reinterpret_cast<const LV2_Atom_Long*>(bpm)->body);
    } else {
        return;
    }
    if (!(value > 0.0 && value < 1.0e6)) return;
    m_hostTempo = static_cast<int32_t>(std::lrint(value * 100.0));
}

// Frames [from, to) through the processing entry, at most kChunkFrames at a
// time. The mono input goes in as it is; stereo is interleaved first. The
// input is read before any output is written, so in-place buffers are fine.
void CLv2Delay::Process(uint32_t from, uint32_t to) {
    if (!m_out[0] || !m_out[1] || !m_in[0] || (m_inputChannels == 2 && !m_in[1])) return;
    while (from < to) {
        const uint32_t n = to - from < kChunkFrames ? to - from : kChunkFrames;
        const float* in;
        if (m_inputChannels == 1) {
            in = m_in[0] + from;
        } else {
            float* s = m_scratchIn.get();
            for (uint32_t i = 0; i < n; ++i) {
                s[2 * i] = m_in[0][from + i];
                s[2 * i + 1] = m_in[1][from + i];
            }
            in = s;
        }
        int32_t frames = static_cast<int32_t>(n);
        int32_t capacity = frames;
        float* out = m_scratchOut.get();
        if (FAILED(m_effect.ProcessFloat(1, in, &frames, out, &capacity))) frames = 0;
        for (int32_t i = 0; i < frames; ++i) {
            m_out[0][from + i] = out[2 * i];
            m_out[1][from + i] = out[2 * i + 1];
        }
        for (uint32_t i = static_cast<uint32_t>(frames); i < n; ++i) m_out[0][from + i] = m_out[1][from + i] = 0.0f;
        from += n;
    }
}

LV2_State_Status CLv2Delay::Save(LV2_State_Store_Function store, LV2_State_Handle handle) {
    if (!m_map) return LV2_STATE_ERR_NO_FEATURE;
    // Save may run while run does: the block as run last handed it over,
    // whole (this thread may wait; run never does).
    ParamBlock values;
    m_saved.Read(&values);
    for (int i = 0; i < kParamCount; ++i) {
        const LV2_State_Status st = store(handle, m_urid.stateKey[i], &values[i], sizeof(int32_t), m_urid.atomInt,
                                          LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
        if (st != LV2_STATE_SUCCESS) return st;
    }
    return LV2_STATE_SUCCESS;
}

LV2_State_Status CLv2Delay::Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
    if (!m_map) return LV2_STATE_ERR_NO_FEATURE;
    ParamBlock block = m_block;
    int found = 0;
    for (int i = 0; i < kParamCount; ++i) {
        size_t size = 0;
        uint32_t type = 0;
        uint32_t flags = 0;
        const void* data = retrieve(handle, m_urid.stateKey[i], &size, &type, &flags);
        if (!data || type != m_urid.atomInt || size != sizeof(int32_t)) continue;
        std::memcpy(&block[i], data, sizeof(int32_t));
        ++found;
    }
    // A state without our keys (a preset of port values alone) changes nothing.
    if (found == 0) return LV2_STATE_SUCCESS;
    for (int i = 0; i < kParamCount; ++i) SetValue(i, block[i]);
    m_blockChanged = true;
    HandBlockToEffect();
    m_adoptPorts = true;
    return LV2_STATE_SUCCESS;
}

// ---- The C entry points --------------------------------------------------

namespace {

template <int kInputs>
LV2_Handle Instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features) {
    return CLv2Delay::Create(rate, kInputs, features);
}
void ConnectPort(LV2_Handle h, uint32_t port, void* data) { static_cast<CLv2Delay*>(h)->ConnectPort(port, data); }
void Activate(LV2_Handle h) { static_cast<CLv2Delay*>(h)->Activate(); }
void Run(LV2_Handle h, uint32_t frames) { static_cast<CLv2Delay*>(h)->Run(frames); }
void Deactivate(LV2_Handle) {}
void Cleanup(LV2_Handle h) { delete static_cast<CLv2Delay*>(h); }

LV2_State_Status SaveState(LV2_Handle h, LV2_State_Store_Function store, LV2_State_Handle handle, uint32_t,
                           const LV2_Feature* const*) {
    return static_cast<CLv2Delay*>(h)->Save(store, handle);
}
LV2_State_Status RestoreState(LV2_Handle h, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle, uint32_t,
                              const LV2_Feature* const*) {
    return static_cast<CLv2Delay*>(h)->Restore(retrieve, handle);
}
const LV2_State_Interface kStateInterface = {SaveState, RestoreState};

const void* ExtensionData(const char* uri) {
    return std::strcmp(uri, LV2_STATE__interface) == 0 ? &kStateInterface : nullptr;
}

const LV2_Descriptor kDescriptors[] = {
    {zvlv2::kMonoUri, Instantiate<1>, ConnectPort, Activate, Run, Deactivate, Cleanup, ExtensionData},
    {zvlv2::kStereoUri, Instantiate<2>, ConnectPort, Activate, Run, Deactivate, Cleanup, ExtensionData},
};

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index < 2 ? &kDescriptors[index] : nullptr;
}
