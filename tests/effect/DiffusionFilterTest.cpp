// Diffusion stages and tone filters: lengths, coefficients, cutoffs, on/off
// thresholds, DC behaviour, frozen state while off, and the Nyquist limit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "EffectRig.h"
#include "effect/Diffusion.h"
#include "effect/ToneFilter.h"

namespace {

// --- diffusion -----------------------------------------------------------------

TEST(Diffusion, LengthsAtTheEndsOfDiffTime) {
    const DiffusionConstants shortest = ComputeDiffusion(1, 50);
    EXPECT_EQ(5, shortest.length[0]);   // 424 / 83
    EXPECT_EQ(4, shortest.length[1]);   // 368 / 83
    EXPECT_EQ(8, shortest.length[2]);   // 698 / 83
    EXPECT_EQ(6, shortest.length[3]);   // 577 / 83
    const DiffusionConstants longest = ComputeDiffusion(100, 50);
    EXPECT_EQ(510, longest.length[0]);   // 42400 / 83 = 510.8
    EXPECT_EQ(443, longest.length[1]);   // 36800 / 83 = 443.4
    EXPECT_EQ(840, longest.length[2]);   // 69800 / 83 = 840.96
    EXPECT_EQ(695, longest.length[3]);   // 57700 / 83 = 695.2
    for (int i = 0; i < 4; ++i) EXPECT_LT(longest.length[i], kDiffusionSize[i]);
}

TEST(Diffusion, CoefficientsScaleWithTheAmount) {
    const DiffusionConstants full = ComputeDiffusion(40, 100);
    EXPECT_EQ(-0.735, full.g1);   // 100 * 0.01 is exactly 1.0
    EXPECT_EQ(-0.618, full.g2);
    const DiffusionConstants part = ComputeDiffusion(40, 37);
    EXPECT_EQ(37 * 0.01 * -0.735, part.g1);
    EXPECT_EQ(37 * 0.01 * -0.618, part.g2);
}

ParamBlock DiffusedBlock(int32_t diffTime) {
    ParamBlock b = IsolatedBlock();
    b[kParamDelayL] = b[kParamDelayR] = 1000;   // 800 samples at 8000 Hz
    b[kParamDiffAmnt] = 100;
    b[kParamDiffTime] = diffTime;
    return b;
}

TEST(Diffusion, FirstEchoSampleIsTheProductOfBothStagesGains) {
    // At frame 0 both stages' buffers are empty: stage 1 gives 0 - g1 * 1 =
    // 0.735, stage 3 gives 0 - g2 * 0.735 = 0.618 * 0.735; the line returns it
    // 800 frames later at full wet.
    CEffectRig rig(8000);
    rig.Apply(DiffusedBlock(1));
    ASSERT_EQ(S_OK, rig.Prepare());
    std::vector<float> in(2 * 801, 0.0f);
    in[0] = in[1] = 1.0f;
    const std::vector<float> out = rig.Run(in);
    const double firstL = 0.0 - (-0.618) * (0.0 - (-0.735) * 1.0);
    EXPECT_EQ(static_cast<float>(firstL), out[2 * 800]);
    EXPECT_EQ(static_cast<float>(firstL), out[2 * 800 + 1]);   // stages 2 and 4 share g1, g2
}

TEST(Diffusion, TwoAllpassStagesKeepTheEnergyOfAnImpulse) {
    // An allpass passes all energy: the squares of the impulse response add
    // up to 1 (to within the decayed tail).
    CEffectRig rig(8000);
    ParamBlock b = DiffusedBlock(100);
    b[kParamDelayL] = b[kParamDelayR] = 40000;   // 32000 samples: longer than the test
    rig.Apply(b);
    ASSERT_EQ(S_OK, rig.Prepare());
    std::vector<float> in(2 * 32000, 0.0f);
    in[0] = 1.0f;
    rig.Run(in);
    const std::vector<float> out = rig.Silence(30000);
    double energy = 0.0;
    for (size_t f = 0; f < 30000; ++f) energy += static_cast<double>(out[2 * f]) * out[2 * f];
    EXPECT_NEAR(1.0, energy, 1e-5);
}

TEST(Diffusion, OffLeavesBuffersAndPositionsAsTheyWere) {
    CEffectRig rig(8000);
    ParamBlock b = DiffusedBlock(40);
    rig.Apply(b);
    ASSERT_EQ(S_OK, rig.Prepare());
    std::vector<float> noise(2 * 333);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = std::sin(1.7f * static_cast<float>(i));
    rig.Run(noise);
    const CDelayEngine& engine = rig.fx.Engine();
    int32_t positions[4];
    std::vector<double> contents[4];
    for (int s = 0; s < 4; ++s) {
        positions[s] = engine.Position(CDelayEngine::kDiffusion1 + s);
        contents[s].assign(engine.Buffer(CDelayEngine::kDiffusion1 + s),
                           engine.Buffer(CDelayEngine::kDiffusion1 + s) + kDiffusionSize[s]);
    }
    b[kParamDiffAmnt] = 0;
    rig.Apply(b);
    rig.Run(noise);
    EXPECT_FALSE(engine.DiffusionOn());
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(positions[s], engine.Position(CDelayEngine::kDiffusion1 + s));
        EXPECT_EQ(0, std::memcmp(contents[s].data(), engine.Buffer(CDelayEngine::kDiffusion1 + s),
                                 sizeof(double) * kDiffusionSize[s]));
    }
}

// --- cutoffs and coefficients ----------------------------------------------------

TEST(ToneFilter, CutoffSteps) {
    EXPECT_EQ(20, HighCutFrequency(1));        // 20 * 10^0.01 = 20.46
    EXPECT_EQ(200, HighCutFrequency(100));
    EXPECT_EQ(20000, HighCutFrequency(300));
    EXPECT_EQ(20, LowCutFrequency(1));         // 20 * 10^0
    EXPECT_EQ(200, LowCutFrequency(101));
    EXPECT_EQ(20000, LowCutFrequency(301));
    EXPECT_EQ(632, LowCutFrequency(151));      // 20 * 10^1.5 = 632.46
    EXPECT_EQ(2000, HighCutFrequency(200));
}

TEST(ToneFilter, CoefficientsAtAQuarterOfTheRate) {
    // x = pi/4 (to the precision of 3.14159265): t = tan(x) = 1 so c0 = 0;
    // sin(2x) = 1 so alpha = 1 / (2Q), and c1 = (1 - alpha) / (1 + alpha) =
    // (2Q - 1) / (2Q + 1); cos(2x) = 0 so c2 = 0.
    const double q[3] = {0.30, 1.00, 1.30};
    const double c1[3] = {-0.25, 1.0 / 3.0, 1.6 / 3.6};
    for (int i = 0; i < 3; ++i) {
        const ToneCoefficients c = ComputeToneCoefficients(12000, q[i], 48000);
        EXPECT_NEAR(0.0, c.c0, 1e-8);
        EXPECT_NEAR(c1[i], c.c1, 1e-8);
        EXPECT_NEAR(0.0, c.c2, 1e-8);
    }
}

// --- on/off and DC ------------------------------------------------------------------

TEST(ToneFilter, OnOffThresholds) {
    CEffectRig rig(48000);
    ParamBlock b = IsolatedBlock();
    ASSERT_EQ(S_OK, rig.Prepare());
    const CDelayEngine& engine = rig.fx.Engine();
    struct Case {
        int32_t high, low;
        bool highOn, lowOn;
    } cases[] = {{301, 0, false, false}, {300, 0, true, false}, {1, 0, true, false},
                 {301, 1, false, true},  {301, 301, false, true}};
    for (const Case& c : cases) {
        b[kParamHighFreq] = c.high;
        b[kParamLowFreq] = c.low;
        rig.Apply(b);
        rig.Silence(1);
        EXPECT_EQ(c.highOn, engine.HighCutOn()) << c.high;
        EXPECT_EQ(c.lowOn, engine.LowCutOn()) << c.low;
    }
    b[kParamHighFreq] = 300;
    b[kParamLowFreq] = 1;
    rig.Apply(b);
    rig.Silence(1);
    EXPECT_EQ(20000, engine.HighCutoff());
    EXPECT_EQ(20, engine.LowCutoff());
}

TEST(ToneFilter, AllStagesOffTheNetworkSeesTheFrameAsRead) {
    // Wet only, no feedback: the echo is the frame as read (input plus the
    // single-precision 1e-30), bit for bit.
    CEffectRig rig(8000);
    ParamBlock b = IsolatedBlock();
    b[kParamDelayL] = b[kParamDelayR] = 125;   // 100 samples
    b[kParamListen] = 1;
    rig.Apply(b);
    ASSERT_EQ(S_OK, rig.Prepare());
    std::vector<float> in(2 * 300, 0.0f);
    for (size_t i = 0; i < 400; ++i) in[i] = std::sin(0.3f * static_cast<float>(i)) * 0.9f;
    const std::vector<float> out = rig.Run(in);
    for (size_t i = 0; i < 400; ++i) ASSERT_EQ(in[i] + 1e-30f, out[i + 200]) << i;
}

// DC of 0.5 through the filters for 4 seconds; returns the last echo sample
// (wet only: Listen keeps the dry leak out).
double DcThrough(int32_t highFreq, int32_t lowFreq, int32_t q) {
    CEffectRig rig(48000);
    ParamBlock b = IsolatedBlock();
    b[kParamListen] = 1;
    b[kParamDelayL] = b[kParamDelayR] = 10;   // 48 samples
    b[kParamHighFreq] = highFreq;
    b[kParamLowFreq] = lowFreq;
    b[kParamHighQ] = b[kParamLowQ] = q;
    rig.Apply(b);
    EXPECT_EQ(S_OK, rig.Prepare());
    std::vector<float> in(2 * 48000, 0.5f);
    std::vector<float> out;
    for (int k = 0; k < 4; ++k) out = rig.Run(in);
    return out[out.size() - 2];
}

TEST(ToneFilter, DcPassesTheHighCutUnchanged) {
    EXPECT_NEAR(0.5, DcThrough(100, 0, 100), 1e-9);   // 200 Hz
    EXPECT_NEAR(0.5, DcThrough(1, 0, 30), 1e-9);      // 20 Hz, Q 0.3
    EXPECT_NEAR(0.5, DcThrough(300, 0, 130), 1e-9);   // 20000 Hz, Q 1.3
}

TEST(ToneFilter, DcIsRemovedByTheLowCut) {
    EXPECT_NEAR(0.0, DcThrough(301, 101, 100), 1e-9);   // 200 Hz
    EXPECT_NEAR(0.0, DcThrough(301, 301, 30), 1e-9);    // 20000 Hz
    EXPECT_NEAR(0.0, DcThrough(301, 51, 130), 1e-6);    // 63 Hz, Q 1.3: slower
}

TEST(ToneFilter, OffLeavesTheFilterStateAsItWas) {
    CEffectRig rig(48000);
    ParamBlock b = IsolatedBlock();
    b[kParamHighFreq] = 150;
    b[kParamLowFreq] = 100;
    rig.Apply(b);
    ASSERT_EQ(S_OK, rig.Prepare());
    std::vector<float> in(2 * 100);
    for (size_t i = 0; i < in.size(); ++i) in[i] = std::cos(0.05f * static_cast<float>(i));
    rig.Run(in);
    const ToneFilterState high = rig.fx.Engine().HighCutState();
    const ToneFilterState low = rig.fx.Engine().LowCutState();
    EXPECT_NE(0.0, high.y2a[0]);
    b[kParamHighFreq] = 301;
    b[kParamLowFreq] = 0;
    rig.Apply(b);
    rig.Run(in);
    EXPECT_EQ(0, std::memcmp(&high, &rig.fx.Engine().HighCutState(), sizeof high));
    EXPECT_EQ(0, std::memcmp(&low, &rig.fx.Engine().LowCutState(), sizeof low));
}

// --- the Nyquist limit -------------------------------------------------------------

TEST(ToneFilter, OnlyCutoffsAtOrAboveHalfTheRateAreLimited) {
    EXPECT_EQ(15999, LimitCutoff(20000, 32000));
    EXPECT_EQ(15999, LimitCutoff(16000, 32000));   // exactly Nyquist
    EXPECT_EQ(19999, LimitCutoff(20000, 40000));
    EXPECT_EQ(11025, LimitCutoff(20000, 22051));   // odd rate: 11025 is just below 11025.5
    // Already below half the rate: untouched.
    EXPECT_EQ(20000, LimitCutoff(20000, 44100));
    EXPECT_EQ(20000, LimitCutoff(20000, 40001));
    EXPECT_EQ(15999, LimitCutoff(15999, 32000));
    EXPECT_EQ(20, LimitCutoff(20, 8000));
}

TEST(ToneFilter, LimitedFiltersStayStableAt32k) {
    // 20000 Hz at 32000 Hz would make 2x > pi: alpha < 0 and a second-order
    // pole outside the unit circle. Limited to 15999 Hz the output of a
    // second of loud noise through both filters stays bounded.
    for (int32_t q : {30, 100, 130}) {
        CEffectRig rig(32000);
        ParamBlock b = IsolatedBlock();
        b[kParamDelayL] = b[kParamDelayR] = 10;
        b[kParamHighFreq] = 300;
        b[kParamLowFreq] = 301;
        b[kParamHighQ] = b[kParamLowQ] = q;
        rig.Apply(b);
        ASSERT_EQ(S_OK, rig.Prepare());
        std::vector<float> in(2 * 32000);
        uint32_t seed = 1;
        for (float& v : in) {
            seed = seed * 1664525u + 1013904223u;
            v = static_cast<float>(static_cast<int32_t>(seed)) / 2147483648.0f;
        }
        const std::vector<float> out = rig.Run(in);
        EXPECT_EQ(15999, rig.fx.Engine().HighCutoff());
        EXPECT_EQ(15999, rig.fx.Engine().LowCutoff());
        double largest = 0.0;
        for (float v : out) largest = std::max(largest, static_cast<double>(std::fabs(v)));
        EXPECT_LT(largest, 10.0) << "Q " << q;
    }
}

}  // namespace
