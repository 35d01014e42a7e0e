#include "lv2/Lv2Delay.h"

#include <lv2/atom/util.h>
#include <lv2/time/time.h>

#include <cmath>
#include <cstring>
#include <new>
#include <string>


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

}  // namespace

CLv2Delay::CLv2Delay(int inputChannels, uint32_t sampleRate)
    : m_inputChannels(inputChannels),
      m_inputFormat(FloatFormat(inputChannels, sampleRate)),
      m_outputFormat(FloatFormat(2, sampleRate)),
      m_fadeFrames(zvlv2::BypassFadeFrames(sampleRate)),
      m_wetFrames(m_fadeFrames) {}

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
            const std::string portKey = std::string(zvlv2::kStatePortKeyPrefix) + kParamTable[i].name;
            u.statePortKey[i] = map->map(map->handle, portKey.c_str());
        }
        u.stateVersion = map->map(map->handle, zvlv2::kStateVersionKey);
    }

    self->m_effect.SetParamsAsSoleWriter(self->m_controls.Block());
    if (!self->Prepare()) return nullptr;
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
    } else if (port >= zvlv2::OutputPortLeft(m_inputChannels) && port < zvlv2::EnabledPort(m_inputChannels)) {
        m_out[port - zvlv2::OutputPortLeft(m_inputChannels)] = static_cast<float*>(data);
    } else if (port == zvlv2::EnabledPort(m_inputChannels)) {
        m_enabled = static_cast<const float*>(data);
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
    // lv2:toggled: above zero is on. Not connected: on.
    m_wantWet = !(m_enabled && *m_enabled <= 0.0f);
    if (m_fresh) m_wetFrames = m_wantWet ? m_fadeFrames : 0;
    m_fresh = false;
    Lv2PortValues ports;
    ReadPorts(ports);
    m_controls.ApplyPorts(ports);
    m_controls.FollowHostTempo();
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
            if (const int32_t tempo = ReadTransport(object)) m_controls.SetHostTempo(tempo);
            m_controls.FollowHostTempo();
            HandBlockToEffect();
        }
    }
    Process(done, frames);

    float left = 0.0f, right = 0.0f;
    m_effect.GetPeakLevels(&left, &right);
    if (m_wetFrames == 0) left = right = 0.0f;
    if (m_peak[0]) *m_peak[0] = left;
    if (m_peak[1]) *m_peak[1] = right;
}

// The block as run now leaves: to the effect for the next frames, and with
// the rest of the rule's state to the threads that may save the state
// meanwhile. Nothing waits, nothing locks.
void CLv2Delay::HandBlockToEffect() {
    if (m_controls.TakeBlockChange()) m_effect.SetParamsAsSoleWriter(m_controls.Block());
    if (m_controls.TakeAnyChange()) m_saved.Publish(m_controls);
}

void CLv2Delay::ReadPorts(Lv2PortValues& values) const {
    for (int i = 0; i < kParamCount; ++i) {
        values[i] = m_param[i] ? *m_param[i] : NAN;
    }
}

// time:Position's beats per minute, to hundredths (rounded to nearest).
int32_t CLv2Delay::ReadTransport(const LV2_Atom_Object* object) const {
    const LV2_Atom* bpm = nullptr;
    lv2_atom_object_get(object, m_urid.timeBeatsPerMinute, &bpm, 0);
    if (!bpm) return 0;
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
        return 0;
    }
    if (!(value > 0.0 && value < 1.0e6)) return 0;
    return static_cast<int32_t>(std::lrint(value * 100.0));
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
        for (uint32_t i = static_cast<uint32_t>(frames); i < n; ++i) out[2 * i] = out[2 * i + 1] = 0.0f;
        WriteOutput(out, in, from, n);
        from += n;
    }
}

// dry is the mono input or the interleaved stereo scratch; each dry frame is
// read before the output frame at the same place is written, so in-place
// buffers are fine. A fade of N frames moves one step per frame and mixes
// wet x g + dry x (1 - g) with g = step / N: 1/N ... (N-1)/N on the way in,
// (N-1)/N ... 1/N on the way out; the frame that reaches the end is already
// all processed or all dry, copied as it is.
void CLv2Delay::WriteOutput(const float* wet, const float* dry, uint32_t from, uint32_t n) {
    const int dryStep = m_inputChannels;
    const int dryRight = m_inputChannels - 1;
    float* left = m_out[0] + from;
    float* right = m_out[1] + from;
    const uint32_t end = m_wantWet ? m_fadeFrames : 0;
    const double length = m_fadeFrames;
    uint32_t i = 0;
    for (; i < n && m_wetFrames != end; ++i) {
        m_wetFrames = m_wantWet ? m_wetFrames + 1 : m_wetFrames - 1;
        if (m_wetFrames == end) break;
        const double g = m_wetFrames / length;
        const double l = dry[i * dryStep];
        const double r = dry[i * dryStep + dryRight];
        left[i] = static_cast<float>(wet[2 * i] * g + l * (1.0 - g));
        right[i] = static_cast<float>(wet[2 * i + 1] * g + r * (1.0 - g));
    }
    if (m_wetFrames != end) return;
    if (m_wantWet) {
        for (; i < n; ++i) {
            left[i] = wet[2 * i];
            right[i] = wet[2 * i + 1];
        }
    } else {
        for (; i < n; ++i) {
            const float l = dry[i * dryStep];
            const float r = dry[i * dryStep + dryRight];
            left[i] = l;
            right[i] = r;
        }
    }
}

LV2_State_Status CLv2Delay::Save(LV2_State_Store_Function store, LV2_State_Handle handle) {
    if (!m_map) return LV2_STATE_ERR_NO_FEATURE;
    // What run last published (whole; this thread may wait, run never does).
    // The control ports are not read: their memory is the host's and valid
    // only inside run. A value the host set since the last run is in the
    // host's own save of the port values; restored, it differs from the
    // port value stored here and applies at the next run like any change.
    CLv2Controls next;
    m_saved.Read(&next);
    next.FollowHostTempo();
    const uint32_t flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    for (int i = 0; i < kParamCount; ++i) {
        const LV2_State_Status st =
            store(handle, m_urid.stateKey[i], &next.Block().v[i], sizeof(int32_t), m_urid.atomInt, flags);
        if (st != LV2_STATE_SUCCESS) return st;
    }
    // A restored state of the first layout whose ports have not been
    // adopted yet is saved as such (no version, no port values).
    if (next.AdoptsPorts()) return LV2_STATE_SUCCESS;
    const LV2_State_Status st =
        store(handle, m_urid.stateVersion, &zvlv2::kStateVersion, sizeof(int32_t), m_urid.atomInt, flags);
    if (st != LV2_STATE_SUCCESS) return st;
    // The port values beside them, those seen (one never seen, or never
    // connected, has none: the next run applies it).
    const Lv2PortValues& seen = next.Seen();
    for (int i = 0; i < kParamCount; ++i) {
        if (std::isnan(seen[i])) continue;
        const LV2_State_Status stored =
            store(handle, m_urid.statePortKey[i], &seen[i], sizeof(float), m_urid.atomFloat, flags);
        if (stored != LV2_STATE_SUCCESS) return stored;
    }
    return LV2_STATE_SUCCESS;
}

LV2_State_Status CLv2Delay::Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
    if (!m_map) return LV2_STATE_ERR_NO_FEATURE;
    ParamBlock block = m_controls.Block();
    Lv2PortValues ports;
    ports.fill(NAN);
    int found = 0, portsFound = 0;
    for (int i = 0; i < kParamCount; ++i) {
        size_t size = 0;
        uint32_t type = 0;
        uint32_t flags = 0;
        const void* data = retrieve(handle, m_urid.stateKey[i], &size, &type, &flags);
        if (data && type == m_urid.atomInt && size == sizeof(int32_t)) {
            std::memcpy(&block[i], data, sizeof(int32_t));
            ++found;
        }
        data = retrieve(handle, m_urid.statePortKey[i], &size, &type, &flags);
        if (data && type == m_urid.atomFloat && size == sizeof(float)) {
            std::memcpy(&ports[i], data, sizeof(float));
            if (!std::isnan(ports[i])) ++portsFound;
        }
    }
    // A state without our keys (a preset of port values alone) changes nothing.
    if (found == 0) return LV2_STATE_SUCCESS;
    size_t size = 0;
    uint32_t type = 0, flags = 0;
    const void* version = retrieve(handle, m_urid.stateVersion, &size, &type, &flags);
    const bool layout2 = version && type == m_urid.atomInt && size == sizeof(int32_t);
    m_controls.Restore(block, layout2 || portsFound == kParamCount ? &ports : nullptr);
    HandBlockToEffect();
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
