#include "ClapTestHost.h"

#include <algorithm>
#include <cstring>

#include "effect/ParamDescription.h"
#ifdef _WIN32
#include <windows.h>
#define ZV_LOAD(path) LoadLibraryA(path)
#define ZV_SYMBOL(module, name) reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name))
#define ZV_UNLOAD(module) FreeLibrary(static_cast<HMODULE>(module))
#else
#include <dlfcn.h>
#define ZV_LOAD(path) dlopen(path, RTLD_NOW | RTLD_LOCAL)
#define ZV_SYMBOL(module, name) dlsym(module, name)
#define ZV_UNLOAD(module) dlclose(module)
#endif
#ifdef ZV_WATCH_REAL_TIME_CALLS
#include "tests/lv2/RealTimeCalls.h"
#endif

namespace {

thread_local bool t_audio = false;
std::atomic<int> g_audioCalls{0};

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

// The input list (each event whole, in a storage of its own) and the output
// list (room kept before the call: pushing allocates nothing).
struct Events {
    explicit Events(const std::vector<HostEvent>& events) {
        for (const HostEvent& e : events) {
            Any a{};
            if (e.transport) {
                a.transport.header = {sizeof a.transport, e.frame, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
                a.transport.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_IS_PLAYING;
                a.transport.tempo = e.value;
            } else {
                a.param.header = {sizeof a.param, e.frame, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
                a.param.param_id = e.id;
                a.param.note_id = a.param.port_index = a.param.channel = a.param.key = -1;
                a.param.value = e.value;
            }
            in.push_back(a);
        }
        out.reserve(256);
    }
    union Any {
        clap_event_param_value_t param;
        clap_event_transport_t transport;
    };
    std::vector<Any> in;
    std::vector<OutEvent> out;
    clap_input_events_t inList{this, [](const clap_input_events_t* l) { return uint32_t(static_cast<Events*>(l->ctx)->in.size()); },
                               [](const clap_input_events_t* l, uint32_t i) -> const clap_event_header_t* { return &static_cast<Events*>(l->ctx)->in.at(i).param.header; }};
    clap_output_events_t outList{this, [](const clap_output_events_t* l, const clap_event_header_t* e) {
                                     auto& out = static_cast<Events*>(l->ctx)->out;
                                     const auto* value = reinterpret_cast<const clap_event_param_value_t*>(e);
                                     if (out.size() == out.capacity()) return false;
                                     out.push_back({e->type, value->param_id, e->type == CLAP_EVENT_PARAM_VALUE ? value->value : 0.0});
                                     return true;
                                 }};
};

void CheckThread(const clap_host_t* h, bool allowed, const char* call) {
    if (!allowed) static_cast<CClapTestHost*>(h->host_data)->wrongThread.push_back(call);
}

struct Bytes {
    std::vector<uint8_t> data;
    size_t at = 0;
};

}  // namespace

CClapLibrary& Library() {
    std::string path = ZV_CLAP_FILE;
#ifdef _WIN32
    path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
#endif
    static CClapLibrary library(path);
    return library;
}

CClapLibrary::CClapLibrary(const std::string& path) : module(ZV_LOAD(path.c_str())) {
    if (module) entry = static_cast<const clap_plugin_entry_t*>(ZV_SYMBOL(module, "clap_entry"));
    if (entry && entry->init(path.c_str())) {
        factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
    } else {
        entry = nullptr;
    }
}

CClapLibrary::~CClapLibrary() {
    if (entry) entry->deinit();
    if (module) ZV_UNLOAD(module);
}

CAudioThreadRole::CAudioThreadRole() { t_audio = true; }
CAudioThreadRole::~CAudioThreadRole() { t_audio = false; }

int TakeAudioCalls() {
#ifdef ZV_WATCH_REAL_TIME_CALLS
    return g_audioCalls.exchange(0);
#else
    return -1;
#endif
}

CClapTestHost::CClapTestHost() {
    host = {CLAP_VERSION, this, "zvDelay test host", "zvdelay.example", "https://zvdelay.example/", "1",
            [](const clap_host_t* h, const char* id) -> const void* {
                auto* self = static_cast<CClapTestHost*>(h->host_data);
                if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &self->params;
                return std::strcmp(id, CLAP_EXT_THREAD_CHECK) == 0 ? &self->threadCheck : nullptr;
            },
            [](const clap_host_t*) {}, [](const clap_host_t*) {}, [](const clap_host_t*) {}};
    params.rescan = [](const clap_host_t* h, clap_param_rescan_flags) {   // [main-thread]
        CheckThread(h, !t_audio, "params.rescan");
        ++static_cast<CClapTestHost*>(h->host_data)->rescans;
    };
    params.clear = [](const clap_host_t* h, clap_id, clap_param_clear_flags) { CheckThread(h, !t_audio, "params.clear"); };
    params.request_flush = [](const clap_host_t* h) {   // [thread-safe, !audio-thread]
        CheckThread(h, !t_audio, "params.request_flush");
        ++static_cast<CClapTestHost*>(h->host_data)->flushRequests;
    };
    threadCheck = {[](const clap_host_t*) { return !t_audio; }, [](const clap_host_t*) { return t_audio; }};
}

CClapInstance::CClapInstance(CClapTestHost& host, const char* id, CClapLibrary& library) {
    if (!library.factory) return;
    plugin = library.factory->create_plugin(library.factory, &host.host, id);
    if (!plugin || !plugin->init(plugin)) return;
    params = static_cast<const clap_plugin_params_t*>(plugin->get_extension(plugin, CLAP_EXT_PARAMS));
    state = static_cast<const clap_plugin_state_t*>(plugin->get_extension(plugin, CLAP_EXT_STATE));
    ports = static_cast<const clap_plugin_audio_ports_t*>(plugin->get_extension(plugin, CLAP_EXT_AUDIO_PORTS));
    gui = static_cast<const clap_plugin_gui_t*>(plugin->get_extension(plugin, CLAP_EXT_GUI));
    clap_audio_port_info_t info{};
    if (ports && ports->get(plugin, 0, true, &info)) channels = static_cast<int>(info.channel_count);
}

CClapInstance::~CClapInstance() {
    if (!plugin) return;
    Deactivate();
    plugin->destroy(plugin);
}

bool CClapInstance::Activate(double rate) {
    active = plugin->activate(plugin, rate, 1, 8192);
    if (active) AsAudioThread([&] { plugin->start_processing(plugin); });
    return active;
}

void CClapInstance::Deactivate() {
    if (!active) return;
    AsAudioThread([&] { plugin->stop_processing(plugin); });
    plugin->deactivate(plugin);
    active = false;
}

std::vector<OutEvent> CClapInstance::Process(const float* const* in, float* const* out, uint32_t frames,
                                             const std::vector<HostEvent>& events, double tempo) {
    Events e(events);
    clap_audio_buffer_t inBuffer{const_cast<float**>(in), nullptr, static_cast<uint32_t>(channels), 0, 0};
    clap_audio_buffer_t outBuffer{const_cast<float**>(out), nullptr, 2, 0, 0};
    clap_event_transport_t transport{};
    transport.header = {sizeof transport, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
    transport.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_IS_PLAYING;
    transport.tempo = tempo;
    const clap_process_t process{-1, frames, tempo > 0.0 ? &transport : nullptr, &inBuffer, &outBuffer, 1, 1, &e.inList, &e.outList};
    AsAudioThread([&] { plugin->process(plugin, &process); });
    return e.out;
}

// On the audio thread while active, on the main thread otherwise.
std::vector<OutEvent> CClapInstance::Flush(const std::vector<HostEvent>& events) {
    Events e(events);
    if (active) {
        AsAudioThread([&] { params->flush(plugin, &e.inList, &e.outList); });
    } else {
        params->flush(plugin, &e.inList, &e.outList);
    }
    return e.out;
}

void CClapInstance::SetBlock(const ParamBlock& block) {
    std::vector<HostEvent> events = {{0, kParamTempoSync, NaturalFromInternal(kParamTempoSync, block[kParamTempoSync])}};
    for (uint32_t i = 0; i < kParamCount; ++i) events.push_back({0, i, NaturalFromInternal(static_cast<int>(i), block[i])});
    Flush(events);
}

double CClapInstance::Value(uint32_t id) const {
    double value = -12345.0;
    params->get_value(plugin, id, &value);
    return value;
}

// A few bytes per call each way, as a host's streams may take and give them.
std::vector<uint8_t> CClapInstance::Save() const {
    Bytes b;
    const clap_ostream_t out{&b, [](const clap_ostream_t* s, const void* data, uint64_t size) -> int64_t {
                                 const auto* p = static_cast<const uint8_t*>(data);
                                 auto& bytes = static_cast<Bytes*>(s->ctx)->data;
                                 bytes.insert(bytes.end(), p, p + std::min<uint64_t>(size, 7));
                                 return std::min<int64_t>(static_cast<int64_t>(size), 7);
                             }};
    return state->save(plugin, &out) ? b.data : std::vector<uint8_t>();
}

bool CClapInstance::Load(const std::vector<uint8_t>& data) const {
    Bytes b{data, 0};
    const clap_istream_t in{&b, [](const clap_istream_t* s, void* buffer, uint64_t size) -> int64_t {
                                auto* b = static_cast<Bytes*>(s->ctx);
                                const uint64_t n = std::min<uint64_t>({size, b->data.size() - b->at, 5});
                                if (n) std::memcpy(buffer, b->data.data() + b->at, n);
                                b->at += n;
                                return static_cast<int64_t>(n);
                            }};
    return state->load(plugin, &in);
}

std::vector<float> CClapInstance::Render(const std::vector<float>& in, const std::vector<uint32_t>& blocks,
                                         const std::vector<HostEvent>& events, double tempo, bool inPlace) {
    const size_t frames = in.size() / channels;
    std::vector<float> out(2 * frames);
    size_t next = 0;
    for (size_t at = 0, k = 0; at < frames; at += blocks[k++ % blocks.size()]) {
        const uint32_t n = static_cast<uint32_t>(std::min<size_t>(blocks[k % blocks.size()], frames - at));
        std::vector<float> p[4];   // in left, in right, out left, out right
        for (int c = 0; c < 4; ++c) p[c].assign(n, -1.0f);
        for (uint32_t i = 0; i < n * channels; ++i) p[i % channels][i / channels] = in[at * channels + i];
        float* outs[2] = {p[inPlace ? 0 : 2].data(), p[inPlace ? 1 : 3].data()};
        std::vector<HostEvent> inside;
        const double before = tempo;
        for (; next < events.size() && events[next].frame < at + n; ++next) {
            inside.push_back(events[next]);
            inside.back().frame -= static_cast<uint32_t>(at);
            if (events[next].transport) tempo = events[next].value;
        }
        const float* ins[2] = {p[0].data(), p[1].data()};
        Process(ins, outs, n, inside, before);
        for (uint32_t i = 0; i < 2 * n; ++i) out[2 * at + i] = outs[i % 2][i / 2];
    }
    return out;
}
