// Cost of the processing entry per frame: one call per buffer through
// ProcessFloat/ProcessDouble, so the figures include the per-buffer work
// (parameter refresh, gains check, constants) as well as the per-frame loop.
//
// Every case prints ns_per_frame and rt_x_48k, the realtime factor at
// 48000 Hz (how many seconds of 48 kHz audio one second of one core
// processes), both from this thread's processor time. Cases:
//   Default / AllOn       the default block; diffusion 100 %, high-cut and
//                         low-cut on
//   Stereo / Mono         input channels
//   F32 / F64             sample type
//   /64, /512, /4096      frames per buffer
//   Automation            with an automation object attached, as in the
//                         plug-in: the refresh then converts the 21 values in
//                         force every buffer (the other cases have none, so
//                         they measure the entry and the engine alone)
//   SilenceAfterImpulse   silence behind an impulse instead of noise: the
//                         same cost as long as no value turns subnormal
//   Runaway               feedback and cross-feed at 100 %: the loop guard
//                         (its bend costs a division per frame whatever the
//                         level)
//   LongTail              all stages with feedback 90 % and a low cut at
//                         15.9 kHz, noise against four seconds into the silent
//                         tail (which decays into the subnormal range unless
//                         denormals are flushed)
//   Scalar                the plain-double pair path instead of SSE2 lanes
//   Copy, Bypass          a memory copy of the same buffer, and the entry
//                         with bypass on
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstring>
#include <vector>

#include "bench/effect/BenchFormat.h"
#include "effect/AutomationLink.h"
#include "effect/OfflineEffect.h"

namespace {

constexpr double kRate = 48000.0;

// An automation object whose values in force are what the setters stored,
// so the refresh finds no change (the steady state of a running host
// without automation curves).
class CStaticAutomation : public IAutomationLink {
public:
    HRESULT STDMETHODCALLTYPE SetParam(DWORD index, MP_DATA value) override {
        if (index < kParamCount) m_values[index] = value;
        ++m_changeCount;
        return S_OK;
    }
    MP_DATA ValueInForce(DWORD index) const override { return m_values[index]; }
    HRESULT TestAndClearChanged() override { return S_FALSE; }
    HRESULT SetCaptureFlag(DWORD, bool) override { return S_OK; }
    uint32_t ChangeCount() const override { return m_changeCount; }
    void NotifyHost(EHostNotice, DWORD, MP_DATA) override {}

private:
    MP_DATA m_values[kParamCount] = {};
    uint32_t m_changeCount = 0;
};

enum ESettings { kDefault, kAllOn, kAllOnLongTail, kRunaway };
enum ESignal { kNoise, kSilenceAfterImpulse };

ParamBlock Settings(ESettings s) {
    ParamBlock b = kDefaultBlock;
    if (s == kAllOn || s == kAllOnLongTail) {
        b[kParamDiffAmnt] = 100;
        b[kParamHighFreq] = 270;   // 10 kHz
        b[kParamLowFreq] = 80;     // 126 Hz
    }
    if (s == kRunaway) {
        // Feedback and cross-feed 100 % on both sides: the loop guard bends
        // what enters the lines.
        b[kParamFeedbkL] = b[kParamFeedbkR] = b[kParamXfeedL] = b[kParamXfeedR] = 100;
    }
    if (s == kAllOnLongTail) {
        // Feedback 90 % and a low cut that removes the input's offset: the
        // tail decays into the subnormal range unless denormals are flushed.
        b[kParamFeedbkL] = b[kParamFeedbkR] = 90;
        b[kParamXfeedL] = b[kParamXfeedR] = 0;   // with 10 % the sum is 100 %: no decay
        b[kParamLowFreq] = 290;   // 15.9 kHz
        b[kParamLowQ] = 50;
        b[kParamDelayL] = 1;      // 0.1 ms: the tail reaches the bottom within the warm-up
        b[kParamDelayR] = 2;
        b[kParamTempoSync] = 0;
    }
    return b;
}

// Plain numbers (no rate suffixes): nanoseconds of processor time per frame,
// and seconds of 48 kHz audio per second of processor time.
void Report(benchmark::State& state, int64_t framesPerIteration, double seconds) {
    const double frames = static_cast<double>(state.iterations()) * static_cast<double>(framesPerIteration);
    state.counters["ns_per_frame"] = seconds * 1e9 / frames;
    state.counters["rt_x_48k"] = frames / kRate / seconds;
}

HRESULT Process(COfflineEffect& fx, const float* in, int32_t* n, float* out, int32_t* m) {
    return fx.ProcessFloat(1, in, n, out, m);
}
HRESULT Process(COfflineEffect& fx, const double* in, int32_t* n, double* out, int32_t* m) {
    return fx.ProcessDouble(1, in, n, out, m);
}

struct Options {
    CDelayEngine::EKernel kernel = CDelayEngine::EKernel::kLanes;
    bool bypass = false;
    bool automation = false;
};

template <typename T>
void Entry(benchmark::State& state, ESettings settings, int channels, ESignal signal, Options options = {}) {
    const int32_t block = static_cast<int32_t>(state.range(0));
    const WAVEFORMATEX in = FloatFormat(channels, static_cast<int>(sizeof(T) * 8), static_cast<uint32_t>(kRate));
    const WAVEFORMATEX out = FloatFormat(2, static_cast<int>(sizeof(T) * 8), static_cast<uint32_t>(kRate));
    COfflineEffect fx;
    CStaticAutomation automation;
    if (options.automation) fx.AttachAutomation(&automation);
    const ParamBlock params = Settings(settings);
    fx.SetAllParams(params.v);
    fx.SetEngineKernel(options.kernel);
    fx.SetBypass(options.bypass ? 1 : 0);
    if (FAILED(fx.PrepareStreaming(&in, &out))) {
        state.SkipWithError("PrepareStreaming failed");
        return;
    }
    std::vector<T> input = Noise<T>(static_cast<size_t>(block) * channels);
    std::vector<T> output(2 * static_cast<size_t>(block));
    if (signal == kSilenceAfterImpulse) {
        std::fill(input.begin(), input.end(), T(0));
        input[0] = T(1);
        int32_t n = block, m = block;
        Process(fx, input.data(), &n, output.data(), &m);
        input[0] = T(0);
        // Four seconds of silence first, so that the measured buffers are
        // deep in the decaying tail.
        for (int k = 0; k < static_cast<int>(4 * kRate) / block; ++k) {
            n = m = block;
            Process(fx, input.data(), &n, output.data(), &m);
        }
    }
    const double start = ThreadSeconds();
    for (auto _ : state) {
        int32_t n = block, m = block;
        Process(fx, input.data(), &n, output.data(), &m);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    Report(state, block, ThreadSeconds() - start);
}

void BlockSizes(benchmark::internal::Benchmark* b) { b->Arg(64)->Arg(512)->Arg(4096); }

#define ZV_ENTRY_CASE(name, T, settings, channels)                                                  \
    void BM_##name(benchmark::State& state) { Entry<T>(state, settings, channels, kNoise); }          \
    BENCHMARK(BM_##name)->Apply(BlockSizes)

ZV_ENTRY_CASE(Default_Stereo_F32, float, kDefault, 2);
ZV_ENTRY_CASE(Default_Stereo_F64, double, kDefault, 2);
ZV_ENTRY_CASE(Default_Mono_F32, float, kDefault, 1);
ZV_ENTRY_CASE(Default_Mono_F64, double, kDefault, 1);
ZV_ENTRY_CASE(AllOn_Stereo_F32, float, kAllOn, 2);
ZV_ENTRY_CASE(AllOn_Stereo_F64, double, kAllOn, 2);
ZV_ENTRY_CASE(AllOn_Mono_F32, float, kAllOn, 1);
ZV_ENTRY_CASE(AllOn_Mono_F64, double, kAllOn, 1);
ZV_ENTRY_CASE(Runaway_Stereo_F32, float, kRunaway, 2);

void BM_Default_Stereo_F32_SilenceAfterImpulse(benchmark::State& state) {
    Entry<float>(state, kDefault, 2, kSilenceAfterImpulse);
}
BENCHMARK(BM_Default_Stereo_F32_SilenceAfterImpulse)->Arg(512);
void BM_AllOn_Stereo_F32_SilenceAfterImpulse(benchmark::State& state) {
    Entry<float>(state, kAllOn, 2, kSilenceAfterImpulse);
}
BENCHMARK(BM_AllOn_Stereo_F32_SilenceAfterImpulse)->Arg(512);
void BM_AllOn_Stereo_F64_SilenceAfterImpulse(benchmark::State& state) {
    Entry<double>(state, kAllOn, 2, kSilenceAfterImpulse);
}
BENCHMARK(BM_AllOn_Stereo_F64_SilenceAfterImpulse)->Arg(512);

// A long silent tail (all stages, feedback 90 %) against the same settings
// with noise: the same cost per frame when no value turns subnormal.
void BM_LongTail_Stereo_F32_Noise(benchmark::State& state) { Entry<float>(state, kAllOnLongTail, 2, kNoise); }
BENCHMARK(BM_LongTail_Stereo_F32_Noise)->Arg(512);
void BM_LongTail_Stereo_F32_Silence(benchmark::State& state) {
    Entry<float>(state, kAllOnLongTail, 2, kSilenceAfterImpulse);
}
BENCHMARK(BM_LongTail_Stereo_F32_Silence)->Arg(512);

void BM_Default_Stereo_F32_Automation(benchmark::State& state) {
    Entry<float>(state, kDefault, 2, kNoise, Options{CDelayEngine::EKernel::kLanes, false, true});
}
BENCHMARK(BM_Default_Stereo_F32_Automation)->Apply(BlockSizes);
void BM_AllOn_Stereo_F32_Automation(benchmark::State& state) {
    Entry<float>(state, kAllOn, 2, kNoise, Options{CDelayEngine::EKernel::kLanes, false, true});
}
BENCHMARK(BM_AllOn_Stereo_F32_Automation)->Apply(BlockSizes);

void BM_AllOn_Stereo_F32_Scalar(benchmark::State& state) {
    Entry<float>(state, kAllOn, 2, kNoise, Options{CDelayEngine::EKernel::kScalar, false, false});
}
BENCHMARK(BM_AllOn_Stereo_F32_Scalar)->Arg(512);
void BM_Default_Stereo_F32_Scalar(benchmark::State& state) {
    Entry<float>(state, kDefault, 2, kNoise, Options{CDelayEngine::EKernel::kScalar, false, false});
}
BENCHMARK(BM_Default_Stereo_F32_Scalar)->Arg(512);

void BM_Bypass_Stereo_F32(benchmark::State& state) {
    Entry<float>(state, kDefault, 2, kNoise, Options{CDelayEngine::EKernel::kLanes, true, false});
}
BENCHMARK(BM_Bypass_Stereo_F32)->Arg(512);

void BM_Copy_Stereo_F32(benchmark::State& state) {
    const size_t block = static_cast<size_t>(state.range(0));
    const std::vector<float> input = Noise<float>(2 * block);
    std::vector<float> output(2 * block);
    const double start = ThreadSeconds();
    for (auto _ : state) {
        std::memcpy(output.data(), input.data(), input.size() * sizeof(float));
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    Report(state, static_cast<int64_t>(block), ThreadSeconds() - start);
}
BENCHMARK(BM_Copy_Stereo_F32)->Arg(512);

}  // namespace

BENCHMARK_MAIN();
