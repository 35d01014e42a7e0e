// The processing entry's per-buffer flow: frame counts, channel handling,
// bypass, the denormal offset, refresh order and streaming set-up.
#include <gtest/gtest.h>

#include <vector>

#include "EffectTestSupport.h"

class ProcessingEntryTest : public ::testing::Test {
protected:
    void Prepare(int channels, uint32_t rate = 44100) {
        in = MakeFloatFormat(channels, rate);
        out = MakeFloatFormat(2, rate);
        effect.Attach(&automation);
        ASSERT_EQ(effect.PrepareStreaming(&in, &out), S_OK);
        effect.SetStreaming(1);
    }
    CRecordingAutomation automation;
    CTestDelay effect;
    WAVEFORMATEX in{}, out{};
};

TEST_F(ProcessingEntryTest, BypassSpreadsMonoToBothChannelsAndZeroesPeaks) {
    Prepare(1);
    effect.SetBypass(1);
    const std::vector<float> mono = {0.5f, -0.25f, 1.5f};
    std::vector<float> stereo(6, 9.0f);
    int32_t inFrames = 3, outFrames = 10;
    EXPECT_EQ(effect.ProcessFloat(1, mono.data(), &inFrames, stereo.data(), &outFrames), S_OK);
    EXPECT_EQ(inFrames, 3);
    EXPECT_EQ(outFrames, 3);
    EXPECT_EQ(stereo, (std::vector<float>{0.5f, 0.5f, -0.25f, -0.25f, 1.5f, 1.5f}));
    float l = 1, r = 1;
    effect.GetPeakLevels(&l, &r);
    EXPECT_EQ(l, 0.0f);
    EXPECT_EQ(r, 0.0f);
}

TEST_F(ProcessingEntryTest, BypassCopiesStereoAsItIs) {
    Prepare(2);
    effect.SetBypass(1);
    const std::vector<double> x = {0.1, 0.2, 0.3, 0.4};
    std::vector<double> y(4);
    int32_t n = 2, cap = 2;
    effect.ProcessDouble(1, x.data(), &n, y.data(), &cap);
    EXPECT_EQ(y, x);
}

TEST_F(ProcessingEntryTest, CapacityBelowInputProcessesOnlyTheCapacity) {
    Prepare(2);
    std::vector<float> x(2 * 100, 0.25f), y(2 * 100, -7.0f);
    int32_t inFrames = 100, outFrames = 40;
    EXPECT_EQ(effect.ProcessFloat(1, x.data(), &inFrames, y.data(), &outFrames), S_OK);
    EXPECT_EQ(inFrames, 40);
    EXPECT_EQ(outFrames, 40);
    EXPECT_NE(y[79], -7.0f);
    EXPECT_EQ(y[80], -7.0f);   // nothing written past the capacity
}

TEST_F(ProcessingEntryTest, MissingCountsMeanZeroFrames) {
    Prepare(2);
    float x[2] = {1, 1}, y[2] = {5, 5};
    int32_t cap = 1;
    EXPECT_EQ(effect.ProcessFloat(1, x, nullptr, y, &cap), S_OK);
    EXPECT_EQ(cap, 0);
    EXPECT_EQ(y[0], 5.0f);
}

TEST_F(ProcessingEntryTest, DryPathAddsTheOffsetInTheInputsPrecision) {
    Prepare(2);
    effect.SetMixL(0, 0);   // dry only on the left: cos(0) * 1.0 = 1.0
    effect.SetMixR(0, 0);
    // float: 1e-30f added in single precision, so a tiny input is visible.
    const float xf[2] = {1e-30f, 0.0f};
    float yf[2];
    int32_t n = 1, cap = 1;
    effect.ProcessFloat(1, xf, &n, yf, &cap);
    EXPECT_EQ(yf[0], 1e-30f + 1e-30f);
    EXPECT_EQ(yf[1], 1e-30f);
    // double: the double value of the float constant.
    const double xd[2] = {0.0, 0.5};
    double yd[2];
    n = cap = 1;
    effect.ProcessDouble(1, xd, &n, yd, &cap);
    EXPECT_EQ(yd[0], 1.0000000031710769e-30);
    EXPECT_EQ(yd[1], 0.5 + static_cast<double>(1e-30f));
}

TEST_F(ProcessingEntryTest, ThreeChannelInputIsNotRead) {
    in = MakeFloatFormat(3, 44100);
    out = MakeFloatFormat(2, 44100);
    effect.Attach(&automation);
    ASSERT_EQ(effect.PrepareStreaming(&in, &out), S_OK);
    effect.SetMixL(0, 0);
    effect.SetMixR(0, 0);
    std::vector<float> x(3 * 4, 0.75f), y(2 * 4);
    int32_t n = 4, cap = 4;
    EXPECT_EQ(effect.ProcessFloat(1, x.data(), &n, y.data(), &cap), S_OK);
    EXPECT_EQ(n, 4);
    for (float v : y) EXPECT_EQ(v, 1e-30f);   // silence plus the offset
}

TEST_F(ProcessingEntryTest, ProcessingLeavesTheChangedFlagToTheEditor) {
    // The audio thread sees changes by comparing whole blocks; the
    // automation's changed flag is the editor's alone (IsUpToDate).
    Prepare(2);
    std::vector<float> x(8), y(8);
    automation.changedQueries = 0;
    effect.SetMixL(10, 0);
    for (int k = 0; k < 3; ++k) {
        int32_t n = 4, cap = 4;
        effect.ProcessFloat(1, x.data(), &n, y.data(), &cap);
    }
    EXPECT_EQ(automation.changedQueries, 0);
    effect.SetRefreshPending(0);
    EXPECT_EQ(effect.IsUpToDate(), 0);   // the setter's change is still news
}

TEST_F(ProcessingEntryTest, GainsFollowAnAutomationChangeAtTheNextBuffer) {
    Prepare(2);
    effect.SetMixL(0, 0);
    const float x[2] = {0.5f, 0.5f};
    float y[2];
    int32_t n = 1, cap = 1;
    effect.ProcessFloat(1, x, &n, y, &cap);
    EXPECT_EQ(y[0], static_cast<float>(static_cast<double>(0.5f + 1e-30f)));
    automation.inForce[kParamOutput] = 0.0f;   // host automation: silence
    n = cap = 1;
    effect.ProcessFloat(1, x, &n, y, &cap);
    EXPECT_EQ(y[0], 0.0f);
    EXPECT_EQ(y[1], 0.0f);
}

TEST_F(ProcessingEntryTest, StreamingSetUpErrorsAreReported) {
    effect.Attach(&automation);
    WAVEFORMATEX zero = MakeFloatFormat(2, 0);
    WAVEFORMATEX o = MakeFloatFormat(2, 44100);
    EXPECT_EQ(effect.PrepareStreaming(&zero, &o), E_INVALIDARG);
    EXPECT_EQ(effect.PrepareStreaming(nullptr, &o), E_POINTER);
    // Without buffers the entry refuses instead of touching memory.
    float x[2] = {0, 0}, y[2];
    int32_t n = 1, cap = 1;
    EXPECT_EQ(effect.ProcessFloat(1, x, &n, y, &cap), E_UNEXPECTED);
    EXPECT_EQ(n, 0);
    // An absurd rate cannot be allocated; the caller hears of it.
    WAVEFORMATEX huge = MakeFloatFormat(2, 0xFFFFFFFFu);
    EXPECT_EQ(effect.PrepareStreaming(&huge, &o), E_OUTOFMEMORY);
}

TEST_F(ProcessingEntryTest, ReleaseAndPrepareClearMeters) {
    Prepare(2);
    effect.SetLeftClip(0, 3);
    effect.SetLeftClip(1, 2);
    EXPECT_EQ(effect.GetLeftClip(0), 3);
    EXPECT_EQ(effect.GetLeftClip(1), 2);
    ASSERT_EQ(effect.PrepareStreaming(&in, &out), S_OK);
    EXPECT_EQ(effect.GetLeftClip(0), 0);
    EXPECT_EQ(effect.GetLeftClip(1), 2);   // the editor's copy is the editor's
    EXPECT_EQ(effect.ReleaseStreaming(), S_OK);
}

TEST_F(ProcessingEntryTest, PreparingStartsFromTheAutomationAsItStands) {
    // A host moved two values before streaming; the first buffer's block is
    // already theirs, and the live block agrees.
    effect.Attach(&automation);
    automation.inForce[kParamMixL] = ParamToNormalised(kParamMixL, 77);
    automation.inForce[kParamDelayR] = ParamToNormalised(kParamDelayR, 1234);
    in = MakeFloatFormat(2, 48000);
    out = MakeFloatFormat(2, 48000);
    ASSERT_EQ(effect.PrepareStreaming(&in, &out), S_OK);
    EXPECT_EQ(effect.EngineParams()[kParamMixL], 77);
    EXPECT_EQ(effect.EngineParams()[kParamDelayR], 1234);
    int32_t mix = 0;
    effect.GetMixL(&mix);
    EXPECT_EQ(mix, 77);
}
