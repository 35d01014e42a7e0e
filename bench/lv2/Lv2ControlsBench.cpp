// What run() spends on the control ports before any audio: the 21 natural
// port values compared with those last seen and, where they moved, taken
// to the internal block (the nearest internal value; a logarithm for the
// two filters), with the tempo rule after them. Cases:
//   AllMoved   every port differs from the last run (alternating between
//              two settings whose 21 values all differ): the most it costs
//   NoneMoved  the ports as they were: the cost of every ordinary run
//   Tempo      only Tempo moves (TempoSync "Man"): one conversion and the
//              tempo rule on both delays
#include <benchmark/benchmark.h>

#include "effect/ParamDescription.h"
#include "effect/HostControls.h"

namespace {

ControlValues Natural(const ParamBlock& block) {
    ControlValues ports;
    for (int i = 0; i < kParamCount; ++i) ports[i] = static_cast<float>(NaturalFromInternal(i, block[i]));
    return ports;
}

ParamBlock Shifted(int by) {
    ParamBlock b = kDefaultBlock;
    for (int i = 0; i < kParamCount; ++i) {
        const ParamInfo& p = kParamTable[i];
        b[i] = p.minimum + (b[i] - p.minimum + by) % (p.maximum - p.minimum + 1);
    }
    return b;
}

void BM_ApplyPorts(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    ControlValues settings[2] = {Natural(Shifted(0)), Natural(Shifted(1))};
    if (mode == 2) {
        settings[1] = settings[0];
        settings[1][kParamTempo] = static_cast<float>(NaturalFromInternal(kParamTempo, 1300));
    }
    CHostControls controls;
    controls.ApplyPorts(settings[0]);
    int k = 0;
    for (auto _ : state) {
        k = mode == 1 ? 0 : k ^ 1;
        controls.ApplyPorts(settings[k]);
        controls.FollowHostTempo();
        benchmark::DoNotOptimize(controls.Block());
    }
}
BENCHMARK(BM_ApplyPorts)->Arg(0)->Arg(1)->Arg(2)->ArgName("AllMoved0_NoneMoved1_Tempo2");

}  // namespace

BENCHMARK_MAIN();
