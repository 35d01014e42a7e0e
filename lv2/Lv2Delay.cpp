#include "lv2/Lv2Delay.h"

#include <lv2/atom/util.h>
#include <lv2/time/time.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "effect/StateChunk.h"

CLv2Delay::~CLv2Delay() = default;

CLv2Delay* CLv2Delay::Create(double sampleRate, int inputChannels, const LV2_Feature* const* features) {
    if (!CHostedEffect::UsableRate(sampleRate)) return nullptr;
    std::unique_ptr<CLv2Delay> self(
        new (std::nothrow) CLv2Delay(inputChannels, static_cast<uint32_t>(std::lrint(sampleRate))));
    if (!self) return nullptr;
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
        u.stateBody = map->map(map->handle, zvlv2::kStateBodyKey);
        u.atomChunk = map->map(map->handle, LV2_ATOM__Chunk);
    }
    if (!self->m_core.Prepare()) return nullptr;
    return self.release();
}

void CLv2Delay::ConnectPort(uint32_t port, void* data) {
    const int inputs = m_core.InputChannels();
    if (port < static_cast<uint32_t>(kParamCount)) {
        m_param[port] = static_cast<const float*>(data);
    } else if (port == zvlv2::kPortPeakLeft || port == zvlv2::kPortPeakRight) {
        m_peak[port - zvlv2::kPortPeakLeft] = static_cast<float*>(data);
    } else if (port == zvlv2::kPortControl) {
        m_control = static_cast<const LV2_Atom_Sequence*>(data);
    } else if (port >= zvlv2::kPortAudioFirst && port < zvlv2::OutputPortLeft(inputs)) {
        m_in[port - zvlv2::kPortAudioFirst] = static_cast<const float*>(data);
    } else if (port >= zvlv2::OutputPortLeft(inputs) && port < zvlv2::EnabledPort(inputs)) {
        m_out[port - zvlv2::OutputPortLeft(inputs)] = static_cast<float*>(data);
    } else if (port == zvlv2::EnabledPort(inputs)) {
        m_enabled = static_cast<const float*>(data);
    }
}

// The memory was prepared at instantiate; a later activation starts with a
// silent line again, as the filter does at each pause.
void CLv2Delay::Activate() { m_core.Restart(); }

// The time:Position events of the control port, in order: each applies the
// host's tempo (with TempoSync "Host") at its frame.
class CLv2TransportEvents {
public:
    CLv2TransportEvents(const CLv2Delay& plugin) : m_plugin(plugin) {
        if (plugin.m_control && plugin.m_map) {
            m_next = lv2_atom_sequence_begin(&plugin.m_control->body);
            Skip();
        }
    }
    bool Next(uint32_t* frame) {
        if (!m_next) return false;
        const int64_t at = m_next->time.frames;
        *frame = at < 0 ? 0 : at > INT32_MAX ? INT32_MAX : static_cast<uint32_t>(at);
        return true;
    }
    void Apply(CHostedEffect& core) {
        CHostControls& controls = core.Controls();
        const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&m_next->body);
        if (const int32_t tempo = ReadTempo(object)) controls.SetHostTempo(tempo);
        controls.FollowHostTempo();
        core.HandControlsOn();
        m_next = lv2_atom_sequence_next(m_next);
        Skip();
    }

private:
    // On to the next time:Position object (or the end: null).
    void Skip() {
        const LV2_Atom_Sequence* seq = m_plugin.m_control;
        const auto& u = m_plugin.m_urid;
        for (; !lv2_atom_sequence_is_end(&seq->body, seq->atom.size, m_next); m_next = lv2_atom_sequence_next(m_next)) {
            const LV2_Atom& body = m_next->body;
            if (body.type != u.atomObject && body.type != u.atomBlank) continue;
            if (reinterpret_cast<const LV2_Atom_Object*>(&body)->body.otype == u.timePosition) return;
        }
        m_next = nullptr;
    }
    // time:Position's beats per minute, to hundredths (rounded to nearest;
    // 0: none or unusable).
    int32_t ReadTempo(const LV2_Atom_Object* object) const {
        const auto& u = m_plugin.m_urid;
        const LV2_Atom* bpm = nullptr;
        lv2_atom_object_get(object, u.timeBeatsPerMinute, &bpm, 0);
        if (!bpm) return 0;
        double value;
        if (bpm->type == u.atomFloat) {
            value = reinterpret_cast<const LV2_Atom_Float*>(bpm)->body;
        } else if (bpm->type == u.atomDouble) {
            value = reinterpret_cast<const LV2_Atom_Double*>(bpm)->body;
        } else if (bpm->type == u.atomInt) {
            value = reinterpret_cast<const LV2_Atom_Int*>(bpm)->body;
        } else if (bpm->type == u.atomLong) {
            value = static_cast<double>(reinterpret_cast<const LV2_Atom_Long*>(bpm)->body);
        } else {
            return 0;
        }
        if (!(value > 0.0 && value < 1.0e6)) return 0;
        return static_cast<int32_t>(std::lrint(value * 100.0));
    }

    const CLv2Delay& m_plugin;
    const LV2_Atom_Event* m_next = nullptr;
};

void CLv2Delay::Run(uint32_t frames) {
    // lv2:toggled: above zero is on. Not connected: on.
    m_core.SetBypassed(m_enabled && *m_enabled <= 0.0f);
    ControlValues ports;
    ReadPorts(ports);
    CHostControls& controls = m_core.Controls();
    controls.ApplyPorts(ports);
    controls.FollowHostTempo();
    m_core.HandControlsOn();

    CLv2TransportEvents transport(*this);
    m_core.Run(m_in, m_out, frames, transport);

    float left = 0.0f, right = 0.0f;
    m_core.TakePeaks(&left, &right);
    if (m_peak[0]) *m_peak[0] = left;
    if (m_peak[1]) *m_peak[1] = right;
}

void CLv2Delay::ReadPorts(ControlValues& values) const {
    for (int i = 0; i < kParamCount; ++i) values[i] = m_param[i] ? *m_param[i] : NAN;
}

LV2_State_Status CLv2Delay::Save(LV2_State_Store_Function store, LV2_State_Handle handle) {
    if (!m_map) return LV2_STATE_ERR_NO_FEATURE;
    // What run last published (whole; this thread may wait, run never does).
    // The control ports are not read: their memory is the host's and valid
    // only inside run. A value the host set since the last run is in the
    // host's own save of the port values; restored, it differs from the
    // port value stored here and applies at the next run like any change.
    CHostControls next;
    m_core.ReadPublished(&next);
    next.FollowHostTempo();
    const uint32_t flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    for (int i = 0; i < kParamCount; ++i) {
        const LV2_State_Status st =
            store(handle, m_urid.stateKey[i], &next.Block().v[i], sizeof(int32_t), m_urid.atomInt, flags);
        if (st != LV2_STATE_SUCCESS) return st;
    }
    // The same values as every layer of ours saves them (StateChunk.h).
    const std::vector<uint8_t> chunk = WriteStateChunk(next.Block());
    const LV2_State_Status body = store(handle, m_urid.stateBody, chunk.data(), chunk.size(), m_urid.atomChunk, flags);
    if (body != LV2_STATE_SUCCESS) return body;
    // A restored state of the first layout whose ports have not been
    // adopted yet is saved as such (no version, no port values).
    if (next.AdoptsPorts()) return LV2_STATE_SUCCESS;
    const LV2_State_Status st =
        store(handle, m_urid.stateVersion, &zvlv2::kStateVersion, sizeof(int32_t), m_urid.atomInt, flags);
    if (st != LV2_STATE_SUCCESS) return st;
    // The port values beside them, those seen (one never seen, or never
    // connected, has none: the next run applies it).
    const ControlValues& seen = next.Seen();
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
    ParamBlock block = m_core.Controls().Block();
    ControlValues ports;
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
    size_t size = 0;
    uint32_t type = 0, flags = 0;
    if (found == 0) {
        // Another layer's saved values alone, or a state without our keys
        // (a preset of port values alone), which changes nothing. The ports
        // as they then stand are adopted, not applied.
        const void* body = retrieve(handle, m_urid.stateBody, &size, &type, &flags);
        if (!body || type != m_urid.atomChunk || !ReadStateChunk(body, size, &block)) return LV2_STATE_SUCCESS;
        m_core.Controls().Restore(block, nullptr);
        m_core.HandControlsOn();
        return LV2_STATE_SUCCESS;
    }
    const void* version = retrieve(handle, m_urid.stateVersion, &size, &type, &flags);
    const bool layout2 = version && type == m_urid.atomInt && size == sizeof(int32_t);
    m_core.Controls().Restore(block, layout2 || portsFound == kParamCount ? &ports : nullptr);
    m_core.HandControlsOn();
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
