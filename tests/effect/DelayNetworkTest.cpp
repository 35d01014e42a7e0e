// The stereo delay network through the processing entry: lengths, impulse
// responses and the mix, all worked out by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "EffectRig.h"

namespace {

// cos(100 * 3.14159265 * 0.005) = sin(pi/2 - 1.570796325): the dry leak at
// full wet, about 1.7949e-9.
const double kDryLeak = 1.5707963267948966 - 1.570796325;

std::vector<float> Impulse(int32_t frames, float left, float right) {
    std::vector<float> in(2 * static_cast<size_t>(frames), 0.0f);
    in[0] = left;
    in[1] = right;
    return in;
}

// (frame, channel, value) of every sample whose magnitude exceeds 1e-6.
struct Peak {
    int frame;
    int channel;
    float value;
};
std::vector<Peak> Peaks(const std::vector<float>& out) {
    std::vector<Peak> peaks;
    for (size_t i = 0; i < out.size(); ++i) {
        if (std::fabs(out[i]) > 1e-6) peaks.push_back({static_cast<int>(i / 2), static_cast<int>(i % 2), out[i]});
    }
    return peaks;
}

// --- lengths ----------------------------------------------------------------

TEST(DelayNetwork, LengthIsDelayTimesRateOver10000Truncated) {
    CEffectRig rig(44100);
    ParamBlock b = IsolatedBlock();
    b[kParamDelayL] = 5000;    // 22050
    b[kParamDelayR] = 12345;   // 544414500 / 10000 = 54441.45
    rig.Apply(b);
    ASSERT_EQ(S_OK, rig.Prepare());
    rig.Silence(1);
    EXPECT_EQ(22050, rig.fx.Engine().LengthLeft());
    EXPECT_EQ(54441, rig.fx.Engine().LengthRight());
}

TEST(DelayNetwork, LongestDelayAt96kFillsTheWholeLineWithout32BitOverflow) {
    // 40000 * 96000 = 3.84e9 does not fit 32 bits.
    CEffectRig rig(96000);
    ParamBlock b = IsolatedBlock();
    b[kParamDelayL] = 40000;
    rig.Apply(b);
    ASSERT_EQ(S_OK, rig.Prepare());
    std::vector<float> in = Impulse(384001, 0.25f, 0.0f);
    const std::vector<float> out = rig.Run(in);
    EXPECT_EQ(384000, rig.fx.Engine().LengthLeft());
    EXPECT_EQ(384000, rig.fx.Engine().BufferSize(CDelayEngine::kLineLeft));
    EXPECT_EQ(0.25f, out[2 * 384000]);
    EXPECT_LT(std::fabs(out[2 * 383999]), 1e-20);
}

// --- impulse responses --------------------------------------------------------

TEST(DelayNetwork, ImpulseComesBackOnceAfterOneLength) {
    CEffectRig rig(44100);
    rig.Apply(IsolatedBlock());
    ASSERT_EQ(S_OK, rig.Prepare());
    const std::vector<float> out = rig.Run(Impulse(44100, 1.0f, 0.0f));
    // Full height: the wet gain sin(1.570796325) rounds to 1.0.
    EXPECT_EQ(1.0f, out[2 * 22050]);
    EXPECT_NEAR(kDryLeak, out[0], 1e-15);
    const std::vector<Peak> peaks = Peaks(out);
    ASSERT_EQ(1u, peaks.size());
    EXPECT_EQ(22050, peaks[0].frame);
    EXPECT_EQ(0, peaks[0].channel);
}

TEST(DelayNetwork, FeedbackOf50HalvesEachRepeat) {
    CEffectRig rig(8000);
    ParamBlock b = IsolatedBlock();
    b[kParamDelayL] = 1000;   // 800 samples
    b[kParamFeedbkL] = 50;
    rig.Apply(b);
    ASSERT_EQ(S_OK, rig.Prepare());
    const std::vector<float> out = rig.Run(Impulse(5 * 800 + 1, 1.0f, 0.0f));
    const std::vector<Peak> peaks = Peaks(out);
    ASSERT_EQ(5u, peaks.size());
    float expected = 1.0f;
    for (int k = 1; k <= 5; ++k) {
        EXPECT_EQ(k * 800, peaks[k - 1].frame);
        EXPECT_EQ(0, peaks[k - 1].channel);
        EXPECT_EQ(expected, peaks[k - 1].value) << "repeat " << k;
        expected *= 0.5f;
    }
}

TEST(DelayNetwork, CrossFeedReachesTheRightAfterBothLengths) {
    CEffectRig rig(8000);
    ParamBlock b = IsolatedBlock();
    b[kParamDelayL] = 1000;   // 800
    b[kParamDelayR] = 1500;   // 1200
    b[kParamXfeedL] = 100;
    rig.Apply(b);
    ASSERT_EQ(S_OK, rig.Prepare());
    const std::vector<float> out = rig.Run(Impulse(4000, 1.0f, 0.0f));
    const std::vector<Peak> peaks = Peaks(out);
    ASSERT_EQ(2u, peaks.size());
    EXPECT_EQ(800, peaks[0].frame);
    EXPECT_EQ(0, peaks[0].channel);
    EXPECT_EQ(2000, peaks[1].frame);
    EXPECT_EQ(1, peaks[1].channel);
    EXPECT_EQ(1.0f, peaks[1].value);
}

// --- mix ------------------------------------------------------------------------

TEST(DelayNetwork, OutputBottomSilencesEverythingWhileTheLinesRun) {
    CEffectRig rig(8000);
    ParamBlock b = IsolatedBlock();
    b[kParamDelayL] = 1000;
    b[kParamMixL] = b[kParamMixR] = 50;
    b[kParamOutput] = -361;
    rig.Apply(b);
    ASSERT_EQ(S_OK, rig.Prepare());
    std::vector<float> out = rig.Run(Impulse(500, 1.0f, 1.0f));
    for (float v : out) ASSERT_EQ(0.0f, v);
    // Back to unity: the echo written during silence still arrives at 800.
    b[kParamOutput] = 0;
    rig.Apply(b);
    out = rig.Silence(500);
    const std::vector<Peak> peaks = Peaks(out);
    ASSERT_EQ(1u, peaks.size());
    EXPECT_EQ(300, peaks[0].frame);
    // sin(50 * 3.14159265 * 0.005), the wet gain at 50 %.
    EXPECT_FLOAT_EQ(static_cast<float>(std::sin(50 * 3.14159265 * 0.005)), peaks[0].value);
}

TEST(DelayNetwork, ListenWithMixZeroSilencesTheLeft) {
    CEffectRig rig(8000);
    ParamBlock b = kDefaultBlock;
    b[kParamMixL] = 0;
    b[kParamListen] = 1;
    rig.Apply(b);
    ASSERT_EQ(S_OK, rig.Prepare());
    std::vector<float> in(2 * 9000);
    for (size_t i = 0; i < in.size(); ++i) in[i] = 0.5f * std::sin(0.01f * static_cast<float>(i));
    const std::vector<float> out = rig.Run(in);
    double rightEnergy = 0.0;
    for (size_t f = 0; f < 9000; ++f) {
        ASSERT_EQ(0.0f, out[2 * f]) << f;
        rightEnergy += out[2 * f + 1] * out[2 * f + 1];
    }
    // The right keeps its wet path (its cross-fed and own echoes).
    EXPECT_GT(rightEnergy, 1.0);
}

}  // namespace
