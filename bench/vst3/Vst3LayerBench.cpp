// What the VST3 layer costs over the bare processing entry: the same
// settings (every stage on) and noise, in buffers of 64 and 512 frames, once
// through COfflineEffect::ProcessFloat (interleaved, as the renderer calls
// it) and once through the module's process() as a host calls it (the
// bundle in the build tree, loaded by our test host: planes in and out, a
// process context with the tempo, the parameter queues). Cases:
//   Entry           the processing entry alone
//   Vst3            process() without parameter changes
//   Vst3Changes     process() with four parameter points per buffer (the
//                   buffer split four times)
// Each prints ns_per_frame from this thread's processor time; the layer's
// cost is Vst3 / Entry at the same size and channels.
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstring>
#include <vector>

#include "bench/effect/BenchFormat.h"
#include "effect/OfflineEffect.h"
#include "effect/StateChunk.h"
#include "tests/vst3/Vst3TestHost.h"
#include "vst3/Vst3Ids.h"

namespace {

constexpr uint32_t kRate = 48000;

ParamBlock Settings() {
    ParamBlock b = kDefaultBlock;
    b[kParamDiffAmnt] = 100;
    b[kParamHighFreq] = 270;
    b[kParamLowFreq] = 80;
    return b;
}

void Report(benchmark::State& state, int64_t frames, double seconds) {
    state.counters["ns_per_frame"] = seconds * 1e9 / (static_cast<double>(state.iterations()) * frames);
}

void BM_Entry(benchmark::State& state) {
    const int32_t block = static_cast<int32_t>(state.range(0));
    const int channels = static_cast<int>(state.range(1));
    const WAVEFORMATEX in = FloatFormat(channels, 32, kRate), out = FloatFormat(2, 32, kRate);
    COfflineEffect fx;
    fx.SetAllParams(Settings().v);
    fx.SetStreaming(1);
    if (FAILED(fx.PrepareStreaming(&in, &out))) return state.SkipWithError("PrepareStreaming failed");
    const std::vector<float> input = Noise<float>(static_cast<size_t>(block) * channels);
    std::vector<float> output(2 * static_cast<size_t>(block));
    const double start = ThreadSeconds();
    for (auto _ : state) {
        int32_t n = block, m = block;
        fx.ProcessFloat(1, input.data(), &n, output.data(), &m);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    Report(state, block, ThreadSeconds() - start);
}

void Vst3(benchmark::State& state, bool changes) {
    const int32_t block = static_cast<int32_t>(state.range(0));
    const int channels = static_cast<int>(state.range(1));
    static vst3host::CModule module(ZV_VST3_MODULE);
    vst3host::CInstance plugin(module, channels == 1 ? zvvst3::kMonoName : zvvst3::kStereoName);
    if (!plugin.Valid() || plugin.SetState(WriteStateChunk(Settings())) != V3_OK || !plugin.Start(kRate, block)) {
        return state.SkipWithError("the plug-in did not start");
    }
    const std::vector<float> input = Noise<float>(static_cast<size_t>(block) * channels);
    std::vector<float> left(block), right(block);
    const float* in[2] = {input.data(), input.data() + (channels == 2 ? block : 0)};
    float* out[2] = {left.data(), right.data()};
    vst3host::CParamChanges points;
    int k = 0;
    const double start = ThreadSeconds();
    for (auto _ : state) {
        points.count = 0;
        if (changes) {
            for (int p = 0; p < 4; ++p) points.Add(kParamMixL + 5 * (p % 2), block * p / 4 + 1, ((k + p) % 100) / 100.0);
            ++k;
        }
        plugin.Process(in, channels, out, block, &points, 120.0);
        benchmark::DoNotOptimize(left.data());
        benchmark::ClobberMemory();
    }
    Report(state, block, ThreadSeconds() - start);
}
void BM_Vst3(benchmark::State& state) { Vst3(state, false); }
void BM_Vst3Changes(benchmark::State& state) { Vst3(state, true); }

void Sizes(benchmark::internal::Benchmark* b) {
    b->ArgNames({"frames", "channels"});
    for (int channels : {2, 1}) {
        for (int frames : {64, 512}) b->Args({frames, channels});
    }
}
BENCHMARK(BM_Entry)->Apply(Sizes);
BENCHMARK(BM_Vst3)->Apply(Sizes);
BENCHMARK(BM_Vst3Changes)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
