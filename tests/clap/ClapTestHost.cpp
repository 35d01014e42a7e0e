#include "ClapTestHost.h"

#include <algorithm>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif
#ifdef ZV_WATCH_REAL_TIME_CALLS
#include "tests/lv2/RealTimeCalls.h"
#endif

namespace {

thread_local bool t_audioThread = false;
std::atomic<int> g_audioAllocations{0};
std::atomic<int> g_audioLocks{0};

// Counts what the plug-in does on the audio thread inside one call (where
// the build can count: natively, outside the sanitizers).
class CAudioCall {
public:
    CAudioCall() {}
#ifdef ZV_WATCH_REAL_TIME_CALLS
    ~CAudioCall() {
        g_audioAllocations += m_watch.Counts().allocations;
        g_audioLocks += m_watch.Counts().locks;
    }

private:
    CRealTimeWatch m_watch;
#endif
};

// The input list: the events in a vector of its own, each one whole.
union AnyEvent {
    clap_event_header_t header;
    clap_event_param_value_t param;
    clap_event_transport_t transport;
};

struct InputList {
    std::vector<AnyEvent> events;
    clap_input_events_t list{this, &InputList::Size, &InputList::Get};
    explicit InputList(const std::vector<HostEvent>& from) {
        for (const HostEvent& e : from) {
            AnyEvent a;
            std::memset(&a, 0, sizeof a);
            if (e.transport) {
                a.transport.header = {sizeof(clap_event_transport_t), e.frame, CLAP_CORE_EVENT_SPACE_ID,
                                      CLAP_EVENT_TRANSPORT, 0};
                a.transport.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_IS_PLAYING;
                a.transport.tempo = e.value;
            } else {
                a.param.header = {sizeof(clap_event_param_value_t), e.frame, CLAP_CORE_EVENT_SPACE_ID,
                                  CLAP_EVENT_PARAM_VALUE, 0};
                a.param.param_id = e.id;
                a.param.note_id = -1;
                a.param.port_index = a.param.channel = a.param.key = -1;
                a.param.value = e.value;
            }
            events.push_back(a);
        }
    }
    static uint32_t Size(const clap_input_events_t* l) {
        return static_cast<uint32_t>(static_cast<const InputList*>(l->ctx)->events.size());
    }
    static const clap_event_header_t* Get(const clap_input_events_t* l, uint32_t i) {
        const auto* self = static_cast<const InputList*>(l->ctx);
        return i < self->events.size() ? &self->events[i].header : nullptr;
    }
};

// The output list: room kept before the call, so pushing allocates nothing.
struct OutputList {
    std::vector<OutEvent> events;
    clap_output_events_t list{this, &OutputList::Push};
    OutputList() { events.reserve(256); }
    static bool Push(const clap_output_events_t* l, const clap_event_header_t* e) {
        auto* self = static_cast<OutputList*>(l->ctx);
        if (self->events.size() == self->events.capacity()) return false;
        if (e->type == CLAP_EVENT_PARAM_VALUE) {
            const auto* v = reinterpret_cast<const clap_event_param_value_t*>(e);
            self->events.push_back({e->type, v->param_id, v->value});
        } else if (e->type == CLAP_EVENT_PARAM_GESTURE_BEGIN || e->type == CLAP_EVENT_PARAM_GESTURE_END) {
            self->events.push_back({e->type, reinterpret_cast<const clap_event_param_gesture_t*>(e)->param_id, 0.0});
        }
        return true;
    }
};

struct ByteStream {
    std::vector<uint8_t> bytes;
    size_t at = 0;
};

}  // namespace

// ---------------------------------------------------------------------------

std::string ClapFilePath() {
#ifdef _WIN32
    std::string path = "Z:";
    for (const char* c = ZV_CLAP_FILE; *c; ++c) path += *c == '/' ? '\\' : *c;
    return path;
#else
    return ZV_CLAP_FILE;
#endif
}

CClapLibrary::CClapLibrary(const std::string& path) {
#ifdef _WIN32
    HMODULE module = LoadLibraryA(path.c_str());
    m_module = module;
    if (!module) {
        m_error = "LoadLibrary failed: " + std::to_string(GetLastError());
        return;
    }
    m_entry = reinterpret_cast<const clap_plugin_entry_t*>(GetProcAddress(module, "clap_entry"));
#else
    m_module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_module) {
        m_error = dlerror();
        return;
    }
    m_entry = static_cast<const clap_plugin_entry_t*>(dlsym(m_module, "clap_entry"));
#endif
    if (!m_entry) {
        m_error = "no clap_entry";
        return;
    }
    if (!m_entry->init(path.c_str())) {
        m_error = "clap_entry.init failed";
        m_entry = nullptr;
        return;
    }
    m_factory = static_cast<const clap_plugin_factory_t*>(m_entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
}

CClapLibrary::~CClapLibrary() {
    if (m_entry) m_entry->deinit();
    if (!m_module) return;
#ifdef _WIN32
    FreeLibrary(static_cast<HMODULE>(m_module));
#else
    dlclose(m_module);
#endif
}

bool CountsAudioCalls() {
#ifdef ZV_WATCH_REAL_TIME_CALLS
    return true;
#else
    return false;
#endif
}

AudioCallCounts TakeAudioCallCounts() { return {g_audioAllocations.exchange(0), g_audioLocks.exchange(0)}; }

CAudioThreadRole::CAudioThreadRole() { t_audioThread = true; }
CAudioThreadRole::~CAudioThreadRole() { t_audioThread = false; }

// ---------------------------------------------------------------------------

CClapTestHost::CClapTestHost() {
    m_host.clap_version = CLAP_VERSION;
    m_host.host_data = this;
    m_host.name = "zvDelay test host";
    m_host.vendor = "zvdelay.example";
    m_host.url = "https://zvdelay.example/";
    m_host.version = "1";
    m_host.get_extension = [](const clap_host_t* h, const char* id) -> const void* {
        CClapTestHost* self = From(h);
        if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &self->m_params;
        if (std::strcmp(id, CLAP_EXT_THREAD_CHECK) == 0) return &self->m_threadCheck;
        if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &self->m_state;
        return nullptr;
    };
    m_host.request_restart = [](const clap_host_t*) {};
    m_host.request_process = [](const clap_host_t*) {};
    m_host.request_callback = [](const clap_host_t* h) { ++From(h)->callbackRequests; };
    // [main-thread]
    m_params.rescan = [](const clap_host_t* h, clap_param_rescan_flags) {
        From(h)->Check(!t_audioThread, "params.rescan");
        ++From(h)->rescans;
    };
    m_params.clear = [](const clap_host_t* h, clap_id, clap_param_clear_flags) {
        From(h)->Check(!t_audioThread, "params.clear");
    };
    // [thread-safe, !audio-thread]
    m_params.request_flush = [](const clap_host_t* h) {
        From(h)->Check(!t_audioThread, "params.request_flush");
        ++From(h)->flushRequests;
    };
    m_threadCheck.is_main_thread = [](const clap_host_t*) { return !t_audioThread; };
    m_threadCheck.is_audio_thread = [](const clap_host_t*) { return t_audioThread; };
    m_state.mark_dirty = [](const clap_host_t* h) { From(h)->Check(!t_audioThread, "state.mark_dirty"); };
}

void CClapTestHost::Check(bool allowed, const char* call) {
    if (!allowed) wrongThread.push_back(call);
}

// ---------------------------------------------------------------------------

CClapInstance::CClapInstance(const CClapLibrary& library, CClapTestHost& host, const char* id) {
    if (!library.Factory()) return;
    m_plugin = library.Factory()->create_plugin(library.Factory(), host.Host(), id);
    if (!m_plugin) return;
    if (!m_plugin->init(m_plugin)) {
        m_plugin->destroy(m_plugin);
        m_plugin = nullptr;
        return;
    }
    m_params = static_cast<const clap_plugin_params_t*>(m_plugin->get_extension(m_plugin, CLAP_EXT_PARAMS));
    m_state = static_cast<const clap_plugin_state_t*>(m_plugin->get_extension(m_plugin, CLAP_EXT_STATE));
    m_ports = static_cast<const clap_plugin_audio_ports_t*>(m_plugin->get_extension(m_plugin, CLAP_EXT_AUDIO_PORTS));
    m_gui = static_cast<const clap_plugin_gui_t*>(m_plugin->get_extension(m_plugin, CLAP_EXT_GUI));
    clap_audio_port_info_t info{};
    if (m_ports && m_ports->get(m_plugin, 0, true, &info)) m_inputChannels = static_cast<int>(info.channel_count);
}

CClapInstance::~CClapInstance() {
    if (!m_plugin) return;
    Deactivate();
    m_plugin->destroy(m_plugin);
}

bool CClapInstance::Activate(double rate, uint32_t minFrames, uint32_t maxFrames) {
    m_active = m_plugin->activate(m_plugin, rate, minFrames, maxFrames);
    if (m_active) {
        CAudioThreadRole audio;
        m_plugin->start_processing(m_plugin);
    }
    return m_active;
}

void CClapInstance::Deactivate() {
    if (!m_active) return;
    {
        CAudioThreadRole audio;
        m_plugin->stop_processing(m_plugin);
    }
    m_plugin->deactivate(m_plugin);
    m_active = false;
}

std::vector<OutEvent> CClapInstance::Process(const float* const* in, float* const* out, uint32_t frames,
                                             const std::vector<HostEvent>& events, double transportTempo) {
    InputList input(events);
    OutputList output;
    clap_audio_buffer_t inBuffer{const_cast<float**>(in), nullptr, static_cast<uint32_t>(m_inputChannels), 0, 0};
    clap_audio_buffer_t outBuffer{const_cast<float**>(out), nullptr, 2, 0, 0};
    clap_event_transport_t transport{};
    transport.header = {sizeof transport, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
    transport.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_IS_PLAYING;
    transport.tempo = transportTempo;
    clap_process_t process{};
    process.steady_time = -1;
    process.frames_count = frames;
    process.transport = transportTempo > 0.0 ? &transport : nullptr;
    process.audio_inputs = &inBuffer;
    process.audio_outputs = &outBuffer;
    process.audio_inputs_count = 1;
    process.audio_outputs_count = 1;
    process.in_events = &input.list;
    process.out_events = &output.list;
    {
        CAudioThreadRole audio;
        CAudioCall counted;
        m_plugin->process(m_plugin, &process);
    }
    return output.events;
}

std::vector<OutEvent> CClapInstance::Flush(const std::vector<HostEvent>& events) {
    InputList input(events);
    OutputList output;
    if (m_active) {
        CAudioThreadRole audio;
        CAudioCall counted;
        m_params->flush(m_plugin, &input.list, &output.list);
    } else {
        m_params->flush(m_plugin, &input.list, &output.list);
    }
    return output.events;
}

double CClapInstance::Value(uint32_t id) const {
    double value = -12345.0;
    m_params->get_value(m_plugin, id, &value);
    return value;
}

std::vector<uint8_t> CClapInstance::Save() const {
    ByteStream stream;
    clap_ostream_t out{&stream, [](const clap_ostream_t* s, const void* data, uint64_t size) -> int64_t {
                           auto* b = static_cast<ByteStream*>(s->ctx);
                           // A few bytes at a time, as a host's stream may take them.
                           const uint64_t n = std::min<uint64_t>(size, 7);
                           b->bytes.insert(b->bytes.end(), static_cast<const uint8_t*>(data),
                                           static_cast<const uint8_t*>(data) + n);
                           return static_cast<int64_t>(n);
                       }};
    if (!m_state->save(m_plugin, &out)) return {};
    return stream.bytes;
}

bool CClapInstance::Load(const std::vector<uint8_t>& bytes) const {
    ByteStream stream{bytes, 0};
    clap_istream_t in{&stream, [](const clap_istream_t* s, void* data, uint64_t size) -> int64_t {
                          auto* b = static_cast<ByteStream*>(s->ctx);
                          const uint64_t n = std::min<uint64_t>({size, b->bytes.size() - b->at, 5});
                          std::memcpy(data, b->bytes.data() + b->at, n);
                          b->at += n;
                          return static_cast<int64_t>(n);
                      }};
    return m_state->load(m_plugin, &in);
}

std::vector<float> CClapInstance::Render(const std::vector<float>& in, const std::vector<uint32_t>& blockSizes,
                                         const std::vector<HostEvent>& events, bool inPlace, double transportTempo) {
    const int channels = m_inputChannels;
    const size_t frames = in.size() / channels;
    std::vector<float> out(2 * frames);
    // The transport at each call's start carries the tempo the last
    // transport event set.
    double tempo = transportTempo;
    size_t next = 0, k = 0;
    for (size_t at = 0; at < frames; ++k) {
        const uint32_t n = static_cast<uint32_t>(std::min<size_t>(blockSizes[k % blockSizes.size()], frames - at));
        std::vector<float> inPlanes[2], outPlanes[2];
        for (int c = 0; c < channels; ++c) {
            inPlanes[c].resize(n);
            for (uint32_t i = 0; i < n; ++i) inPlanes[c][i] = in[(at + i) * channels + c];
        }
        for (auto& p : outPlanes) p.assign(n, -1.0f);
        const float* inPtr[2] = {inPlanes[0].data(), channels == 2 ? inPlanes[1].data() : nullptr};
        float* outPtr[2] = {outPlanes[0].data(), outPlanes[1].data()};
        if (inPlace) {
            outPtr[0] = inPlanes[0].data();
            outPtr[1] = inPlanes[1].data();
        }
        std::vector<HostEvent> inside;
        double nextTempo = tempo;
        for (; next < events.size() && events[next].frame < at + n; ++next) {
            HostEvent e = events[next];
            e.frame = static_cast<uint32_t>(e.frame - at);
            if (e.transport) nextTempo = e.value;
            inside.push_back(e);
        }
        Process(inPtr, outPtr, n, inside, tempo);
        tempo = nextTempo;
        for (uint32_t i = 0; i < n; ++i) {
            out[2 * (at + i)] = outPtr[0][i];
            out[2 * (at + i) + 1] = outPtr[1][i];
        }
        at += n;
    }
    return out;
}
