#include "ClapTestHost.h"

#include <algorithm>
#include <cstring>

#include "effect/ParamDescription.h"
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif
#ifdef ZV_WATCH_REAL_TIME_CALLS
#include "tests/lv2/RealTimeCalls.h"
#endif

namespace {

thread_local bool t_audio = false;
std::atomic<int> g_audioCalls{0};

// The input list: each event whole in a vector of its own.
struct InputList {
    std::vector<clap_event_param_value_t> params;
    std::vector<clap_event_transport_t> transports;
    std::vector<const clap_event_header_t*> order;
    clap_input_events_t list{this, [](const clap_input_events_t* l) {
                                 return static_cast<uint32_t>(static_cast<InputList*>(l->ctx)->order.size());
                             },
                             [](const clap_input_events_t* l, uint32_t i) {
                                 return static_cast<InputList*>(l->ctx)->order.at(i);
                             }};
    explicit InputList(const std::vector<HostEvent>& events) {
        params.reserve(events.size());
        transports.reserve(events.size());
        for (const HostEvent& e : events) {
            if (e.transport) {
                clap_event_transport_t t{};
                t.header = {sizeof t, e.frame, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
                t.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_IS_PLAYING;
                t.tempo = e.value;
                transports.push_back(t);
                order.push_back(&transports.back().header);
            } else {
                clap_event_param_value_t p{};
                p.header = {sizeof p, e.frame, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
                p.param_id = e.id;
                p.note_id = p.port_index = p.channel = p.key = -1;
                p.value = e.value;
                params.push_back(p);
                order.push_back(&params.back().header);
            }
        }
    }
};

// The output list, its room kept before the call (pushing allocates nothing).
struct OutputList {
    std::vector<OutEvent> events;
    clap_output_events_t list{this, [](const clap_output_events_t* l, const clap_event_header_t* e) {
                                  auto& out = static_cast<OutputList*>(l->ctx)->events;
                                  if (out.size() == out.capacity()) return false;
                                  const uint32_t id = reinterpret_cast<const clap_event_param_gesture_t*>(e)->param_id;
                                  const double value = e->type == CLAP_EVENT_PARAM_VALUE
                                                           ? reinterpret_cast<const clap_event_param_value_t*>(e)->value
                                                           : 0.0;
                                  out.push_back({e->type, id, value});
                                  return true;
                              }};
    OutputList() { events.reserve(256); }
};

// One call the host makes as its audio thread, counted where the build can.
template <class Call>
void AsAudioThread(Call&& call) {
    CAudioThreadRole audio;
#ifdef ZV_WATCH_REAL_TIME_CALLS
    CRealTimeWatch watch;
    call();
    g_audioCalls += watch.Counts().allocations + watch.Counts().locks;
#else
    call();
#endif
}

void CheckThread(const clap_host_t* h, bool allowed, const char* call) {
    if (!allowed) static_cast<CClapTestHost*>(h->host_data)->wrongThread.push_back(call);
}

struct Bytes {
    std::vector<uint8_t> data;
    size_t at = 0;
};

}  // namespace

std::string ClapFilePath() {
#ifdef _WIN32
    std::string path = "Z:" ZV_CLAP_FILE;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
#else
    return ZV_CLAP_FILE;
#endif
}

CClapLibrary& Library() {
    static CClapLibrary library(ClapFilePath());
    return library;
}

CClapLibrary::CClapLibrary(const std::string& path) {
#ifdef _WIN32
    m_module = LoadLibraryA(path.c_str());
    if (m_module) entry = reinterpret_cast<const clap_plugin_entry_t*>(GetProcAddress(static_cast<HMODULE>(m_module), "clap_entry"));
#else
    m_module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_module) entry = static_cast<const clap_plugin_entry_t*>(dlsym(m_module, "clap_entry"));
#endif
    if (!entry || !entry->init(path.c_str())) {
        error = "cannot load " + path;
        entry = nullptr;
        return;
    }
    factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
}

CClapLibrary::~CClapLibrary() {
    if (entry) entry->deinit();
#ifdef _WIN32
    if (m_module) FreeLibrary(static_cast<HMODULE>(m_module));
#else
    if (m_module) dlclose(m_module);
#endif
}

CAudioThreadRole::CAudioThreadRole() { t_audio = true; }
CAudioThreadRole::~CAudioThreadRole() { t_audio = false; }

bool CountsAudioCalls() {
#ifdef ZV_WATCH_REAL_TIME_CALLS
    return true;
#else
    return false;
#endif
}
int TakeAudioCalls() { return g_audioCalls.exchange(0); }

CClapTestHost::CClapTestHost() {
    host = {CLAP_VERSION, this, "zvDelay test host", "zvdelay.example", "https://zvdelay.example/", "1",
            [](const clap_host_t* h, const char* id) -> const void* {
                auto* self = static_cast<CClapTestHost*>(h->host_data);
                if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &self->m_params;
                return std::strcmp(id, CLAP_EXT_THREAD_CHECK) == 0 ? &self->m_threadCheck : nullptr;
            },
            [](const clap_host_t*) {}, [](const clap_host_t*) {}, [](const clap_host_t*) {}};
    m_params.rescan = [](const clap_host_t* h, clap_param_rescan_flags) {   // [main-thread]
        CheckThread(h, !t_audio, "params.rescan");
        ++static_cast<CClapTestHost*>(h->host_data)->rescans;
    };
    m_params.clear = [](const clap_host_t* h, clap_id, clap_param_clear_flags) { CheckThread(h, !t_audio, "params.clear"); };
    m_params.request_flush = [](const clap_host_t* h) {   // [thread-safe, !audio-thread]
        CheckThread(h, !t_audio, "params.request_flush");
        ++static_cast<CClapTestHost*>(h->host_data)->flushRequests;
    };
    m_threadCheck = {[](const clap_host_t*) { return !t_audio; }, [](const clap_host_t*) { return t_audio; }};
}

CClapInstance::CClapInstance(CClapTestHost& host, const char* id, CClapLibrary& library) {
    if (!library.factory) return;
    plugin = library.factory->create_plugin(library.factory, &host.host, id);
    if (!plugin || !plugin->init(plugin)) return;
    auto extension = [&](const char* name) { return plugin->get_extension(plugin, name); };
    params = static_cast<const clap_plugin_params_t*>(extension(CLAP_EXT_PARAMS));
    m_state = static_cast<const clap_plugin_state_t*>(extension(CLAP_EXT_STATE));
    ports = static_cast<const clap_plugin_audio_ports_t*>(extension(CLAP_EXT_AUDIO_PORTS));
    gui = static_cast<const clap_plugin_gui_t*>(extension(CLAP_EXT_GUI));
    clap_audio_port_info_t info{};
    if (ports && ports->get(plugin, 0, true, &info)) channels = static_cast<int>(info.channel_count);
}

CClapInstance::~CClapInstance() {
    if (!plugin) return;
    Deactivate();
    plugin->destroy(plugin);
}

bool CClapInstance::Activate(double rate) {
    m_active = plugin->activate(plugin, rate, 1, 8192);
    if (m_active) AsAudioThread([&] { plugin->start_processing(plugin); });
    return m_active;
}

void CClapInstance::Deactivate() {
    if (!m_active) return;
    AsAudioThread([&] { plugin->stop_processing(plugin); });
    plugin->deactivate(plugin);
    m_active = false;
}

std::vector<OutEvent> CClapInstance::Process(const float* const* in, float* const* out, uint32_t frames,
                                             const std::vector<HostEvent>& events, double tempo) {
    InputList input(events);
    OutputList output;
    clap_audio_buffer_t inBuffer{const_cast<float**>(in), nullptr, static_cast<uint32_t>(channels), 0, 0};
    clap_audio_buffer_t outBuffer{const_cast<float**>(out), nullptr, 2, 0, 0};
    clap_event_transport_t transport{};
    transport.header = {sizeof transport, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
    transport.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_IS_PLAYING;
    transport.tempo = tempo;
    const clap_process_t process{-1,        frames, tempo > 0.0 ? &transport : nullptr, &inBuffer, &outBuffer, 1, 1,
                                 &input.list, &output.list};
    AsAudioThread([&] { plugin->process(plugin, &process); });
    return output.events;
}

// On the audio thread while active, on the main thread otherwise.
std::vector<OutEvent> CClapInstance::Flush(const std::vector<HostEvent>& events) {
    InputList input(events);
    OutputList output;
    if (m_active) {
        AsAudioThread([&] { params->flush(plugin, &input.list, &output.list); });
    } else {
        params->flush(plugin, &input.list, &output.list);
    }
    return output.events;
}

void CClapInstance::SetBlock(const ParamBlock& block) {
    std::vector<HostEvent> events = {{0, kParamTempoSync, NaturalFromInternal(kParamTempoSync, block[kParamTempoSync])}};
    for (uint32_t i = 0; i < kParamCount; ++i) {
        if (i != kParamTempoSync) events.push_back({0, i, NaturalFromInternal(static_cast<int>(i), block[i])});
    }
    Flush(events);
}

double CClapInstance::Value(uint32_t id) const {
    double value = -12345.0;
    params->get_value(plugin, id, &value);
    return value;
}

// A few bytes per call each way, as a host's streams may take and give them.
std::vector<uint8_t> CClapInstance::Save() const {
    Bytes bytes;
    const clap_ostream_t out{&bytes, [](const clap_ostream_t* s, const void* data, uint64_t size) -> int64_t {
                                 const auto* p = static_cast<const uint8_t*>(data);
                                 const uint64_t n = std::min<uint64_t>(size, 7);
                                 static_cast<Bytes*>(s->ctx)->data.insert(static_cast<Bytes*>(s->ctx)->data.end(), p, p + n);
                                 return static_cast<int64_t>(n);
                             }};
    return m_state->save(plugin, &out) ? bytes.data : std::vector<uint8_t>();
}

bool CClapInstance::Load(const std::vector<uint8_t>& data) const {
    Bytes bytes{data, 0};
    const clap_istream_t in{&bytes, [](const clap_istream_t* s, void* buffer, uint64_t size) -> int64_t {
                                auto* b = static_cast<Bytes*>(s->ctx);
                                const uint64_t n = std::min<uint64_t>({size, b->data.size() - b->at, 5});
                                std::memcpy(buffer, b->data.data() + b->at, n);
                                b->at += n;
                                return static_cast<int64_t>(n);
                            }};
    return m_state->load(plugin, &in);
}

std::vector<float> CClapInstance::Render(const std::vector<float>& in, const std::vector<uint32_t>& blocks,
                                         const std::vector<HostEvent>& events, double tempo, bool inPlace) {
    const size_t frames = in.size() / channels;
    std::vector<float> out(2 * frames);
    size_t next = 0;
    for (size_t at = 0, k = 0; at < frames; ++k) {
        const uint32_t n = static_cast<uint32_t>(std::min<size_t>(blocks[k % blocks.size()], frames - at));
        std::vector<float> planes[4];   // in left, in right, out left, out right
        for (int c = 0; c < 4; ++c) planes[c].assign(n, c < channels ? 0.0f : -1.0f);
        for (uint32_t i = 0; i < n; ++i) {
            for (int c = 0; c < channels; ++c) planes[c][i] = in[(at + i) * channels + c];
        }
        const float* inPtr[2] = {planes[0].data(), planes[1].data()};
        float* outPtr[2] = {planes[inPlace ? 0 : 2].data(), planes[inPlace ? 1 : 3].data()};
        std::vector<HostEvent> inside;
        double nextTempo = tempo;
        for (; next < events.size() && events[next].frame < at + n; ++next) {
            inside.push_back(events[next]);
            inside.back().frame -= static_cast<uint32_t>(at);
            if (events[next].transport) nextTempo = events[next].value;
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
