// What the CLAP layer costs over the processing entry it runs: the same
// stereo settings (every stage on) at 48 kHz, in blocks of 64 and 512
// frames:
//   Entry        the bare processing entry (COfflineEffect::ProcessFloat on
//                interleaved frames, as zvdelay-render calls it)
//   Clap         zvDelay.clap's process() from a host (planes in and out,
//                no events, no transport): the planes interleaved and taken
//                apart again, the bypass switch read, the block acquired
//   ClapTempo    the same with a transport whose tempo is unchanged (what
//                most hosts send with every call)
//   ClapEvent    the same with one parameter event in the middle of each
//                block (the block split there, the value through the link)
// The ratio Clap / Entry is the layer's cost (docs/architecture.md).
#include <benchmark/benchmark.h>

#include <vector>

#include "clap/ClapIds.h"
#include "effect/OfflineEffect.h"
#include "tests/clap/ClapTestHost.h"

namespace {

constexpr uint32_t kRate = 48000;

ParamBlock Settings() {
    ParamBlock b = kDefaultBlock;
    const int32_t values[][2] = {{kParamTempoSync, 0}, {kParamDelayL, 731}, {kParamDelayR, 1177}, {kParamFeedbkL, 60},
                                 {kParamDiffAmnt, 60}, {kParamLowFreq, 80}, {kParamHighFreq, 250}, {kParamOutput, -15}};
    for (const auto& v : values) b[v[0]] = v[1];
    return b;
}

float Noise(uint32_t& seed) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<float>(static_cast<int32_t>(seed) / 2147483648.0 * 0.3);
}

void BM_Entry(benchmark::State& state) {
    const int32_t frames = static_cast<int32_t>(state.range(0));
    COfflineEffect fx;
    fx.SetAllParams(Settings().v);
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    format.nChannels = 2;
    format.nSamplesPerSec = kRate;
    format.wBitsPerSample = 32;
    fx.SetStreaming(1);
    fx.PrepareStreaming(&format, &format);
    std::vector<float> in(2 * frames), out(2 * frames);
    uint32_t seed = 1;
    for (float& s : in) s = Noise(seed);
    for (auto _ : state) {
        int32_t n = frames, capacity = frames;
        fx.ProcessFloat(1, in.data(), &n, out.data(), &capacity);
        benchmark::DoNotOptimize(out.data());
    }
    fx.ReleaseStreaming();
    state.SetItemsProcessed(state.iterations() * frames);
}

// The host's side kept minimal and fixed: one process struct, made once.
struct EventList {
    clap_event_param_value_t event{};
    uint32_t count = 0;
    clap_input_events_t list{this, [](const clap_input_events_t* l) { return static_cast<const EventList*>(l->ctx)->count; },
                             [](const clap_input_events_t* l, uint32_t) {
                                 return &static_cast<const EventList*>(l->ctx)->event.header;
                             }};
};

void BM_Clap(benchmark::State& state, bool transport, bool event) {
    const uint32_t frames = static_cast<uint32_t>(state.range(0));
    CClapTestHost host;
    CClapInstance plugin(host, zvclap::kStereoId);
    plugin.SetBlock(Settings());
    plugin.Activate(kRate);
    std::vector<float> inL(frames), inR(frames), outL(frames), outR(frames);
    uint32_t seed = 1;
    for (uint32_t i = 0; i < frames; ++i) {
        inL[i] = Noise(seed);
        inR[i] = Noise(seed);
    }
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};
    clap_audio_buffer_t inBuffer{in, nullptr, 2, 0, 0}, outBuffer{out, nullptr, 2, 0, 0};
    EventList events;
    events.event.header = {sizeof events.event, frames / 2, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
    events.event.param_id = kParamMixL;
    events.event.note_id = -1;
    events.event.port_index = events.event.channel = events.event.key = -1;
    events.count = event ? 1 : 0;
    clap_output_events_t outEvents{nullptr, [](const clap_output_events_t*, const clap_event_header_t*) { return true; }};
    clap_event_transport_t time{};
    time.header = {sizeof time, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
    time.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_IS_PLAYING;
    time.tempo = 120.0;
    clap_process_t process{-1, frames, transport ? &time : nullptr, &inBuffer, &outBuffer, 1, 1, &events.list, &outEvents};
    const clap_plugin_t* p = plugin.plugin;
    int k = 0;
    for (auto _ : state) {
        events.event.value = (++k & 1) ? 40.0 : 41.0;   // a change every block
        p->process(p, &process);
        benchmark::DoNotOptimize(outL.data());
    }
    state.SetItemsProcessed(state.iterations() * frames);
}

void BM_Clap_Plain(benchmark::State& state) { BM_Clap(state, false, false); }
void BM_Clap_Tempo(benchmark::State& state) { BM_Clap(state, true, false); }
void BM_Clap_Event(benchmark::State& state) { BM_Clap(state, false, true); }

BENCHMARK(BM_Entry)->Arg(64)->Arg(512)->ArgName("frames");
BENCHMARK(BM_Clap_Plain)->Arg(64)->Arg(512)->ArgName("frames");
BENCHMARK(BM_Clap_Tempo)->Arg(64)->Arg(512)->ArgName("frames");
BENCHMARK(BM_Clap_Event)->Arg(64)->Arg(512)->ArgName("frames");

}  // namespace

BENCHMARK_MAIN();
