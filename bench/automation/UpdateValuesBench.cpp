// Per-buffer cost of evaluating the automation: UpdateValues over all 21
// envelopes, each holding n segments (10 .. 100 000). The lookup is a binary
// search, so the cost should grow with log n, not n; the BigO line that
// Google Benchmark prints after each family fits the times to log n.
//
// Two playback patterns: straight playback (512-frame buffers, one segment
// per buffer, so every buffer lands in a new segment) and jumps to scattered
// positions (as after seeks or loops), which defeat the branch predictor.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "automation/EnvelopeSet.h"

namespace {

constexpr int64_t kBufferFrames = 512;

// An envelope set whose 21 envelopes each hold `count` linear segments, one
// per 512-frame buffer, end to end.
std::unique_ptr<CEnvelopeSet> MakeAutomatedSet(int64_t count) {
    auto set = std::make_unique<CEnvelopeSet>();
    std::vector<MP_ENVELOPE_SEGMENT> segments(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i) {
        MP_ENVELOPE_SEGMENT& s = segments[static_cast<size_t>(i)];
        s.rtStart = set->PositionToTime(i * kBufferFrames);
        s.rtEnd = set->PositionToTime((i + 1) * kBufferFrames);
        s.valStart = static_cast<float>(i % 2);
        s.valEnd = static_cast<float>((i + 1) % 2);
        s.iCurve = MP_CURVE_LINEAR;
        s.flags = 0;
    }
    set->AddEnvelope(CEnvelopeSet::kAllParams, static_cast<DWORD>(count), segments.data());
    return set;
}

void Report(benchmark::State& state, CEnvelopeSet& set, int64_t count) {
    state.SetComplexityN(count);
    state.counters["segments"] = static_cast<double>(set.Envelope(0).SegmentCount());
    state.counters["buffers/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate);
}

void BM_UpdateValuesPlayback(benchmark::State& state) {
    const int64_t count = state.range(0);
    auto set = MakeAutomatedSet(count);
    int64_t buffer = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(set->UpdateValues(buffer * kBufferFrames + 17));
        if (++buffer == count) buffer = 0;
    }
    Report(state, *set, count);
}

void BM_UpdateValuesScattered(benchmark::State& state) {
    const int64_t count = state.range(0);
    auto set = MakeAutomatedSet(count);
    uint32_t seed = 2463534242u;
    for (auto _ : state) {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        const int64_t buffer = static_cast<int64_t>(seed % static_cast<uint32_t>(count));
        benchmark::DoNotOptimize(set->UpdateValues(buffer * kBufferFrames + 17));
    }
    Report(state, *set, count);
}

// The floor: 21 envelopes without segments (lock, test, unlock).
void BM_UpdateValuesNoSegments(benchmark::State& state) {
    CEnvelopeSet set;
    int64_t position = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(set.UpdateValues(position));
        position += kBufferFrames;
    }
}

}  // namespace

BENCHMARK(BM_UpdateValuesNoSegments);
BENCHMARK(BM_UpdateValuesPlayback)->RangeMultiplier(10)->Range(10, 100000)->Complexity(benchmark::oLogN);
BENCHMARK(BM_UpdateValuesScattered)->RangeMultiplier(10)->Range(10, 100000)->Complexity(benchmark::oLogN);

BENCHMARK_MAIN();
