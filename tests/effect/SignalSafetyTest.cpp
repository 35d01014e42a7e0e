// The engine under signals and settings that used to break it: silence into
// a low cut with feedback (subnormal numbers, slow on x86), one NaN or
// infinite sample (it stayed in the filters and lines for good), feedback
// and cross-feed at their maximum (the echoes grew to infinity, later to
// 2^40, which took tens of seconds to come down), and the caller's floating-point control word (it must come back unchanged).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <string>

#include "EffectRig.h"
#include "effect/DenormalGuard.h"

namespace {

bool Subnormal(double v) { return std::fpclassify(v) == FP_SUBNORMAL; }

// Any subnormal in the filter states or in the part of a line in use.
bool HoldsSubnormals(const CDelayEngine& e) {
    for (const ToneFilterState* s : {&e.LowCutState(), &e.HighCutState()}) {
        for (const double* v : {s->x1, s->x2, s->y1, s->y2a, s->y2b}) {
            if (Subnormal(v[0]) || Subnormal(v[1])) return true;
        }
    }
    const int32_t lengths[2] = {e.LengthLeft(), e.LengthRight()};
    for (int line = 0; line < 2; ++line) {
        const double* samples = e.Buffer(CDelayEngine::kLineLeft + line);
        for (int32_t k = 0; k < lengths[line]; ++k) {
            if (Subnormal(samples[k])) return true;
        }
    }
    return false;
}

// An impulse rings out through a low cut, which also removes the input's
// tiny offset, so the feedback lines decay all the way down: past 1e-308,
// where x86 arithmetic turns slow, and (with feedback above 50 %) they would
// stay there for good, since half the smallest subnormal rounds back up to
// it. Every 512-frame buffer of a second is checked, over the low cut's
// upper steps, three Q values, three feedback amounts and three rates; the
// shortest delays make the ring-down fast.
TEST(SignalSafety, SilentFeedbackTailsHoldNoSubnormals) {
#if defined(__GLIBC__)
    // 2754 set-ups of a few megabytes each: keep the freed lines in the heap
    // for the next one instead of mapping fresh pages every time.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
    int checked = 0;
    for (uint32_t rate : {44100u, 48000u, 96000u}) {
        for (int32_t feedback : {51, 75, 90}) {
            for (int32_t q : {50, 100, 130}) {
                for (int32_t step = 200; step <= 301; ++step) {
                    CEffectRig rig(rate);
                    ParamBlock b = IsolatedBlock();
                    b[kParamDelayL] = 1;
                    b[kParamDelayR] = 2;
                    b[kParamFeedbkL] = b[kParamFeedbkR] = feedback;
                    b[kParamLowFreq] = step;
                    b[kParamLowQ] = q;
                    rig.Apply(b);
                    ASSERT_EQ(S_OK, rig.Prepare());
                    std::vector<float> buffer(2 * 512, 0.0f);
                    buffer[0] = buffer[1] = 1.0f;
                    for (uint32_t done = 0; done < rate; done += 512) {
                        rig.Run(buffer);
                        buffer[0] = buffer[1] = 0.0f;
                        ASSERT_FALSE(HoldsSubnormals(rig.fx.Engine()))
                            << rate << " Hz, feedback " << feedback << ", Q " << q << ", step " << step << ", "
                            << done << " frames";
                    }
                    ++checked;
                }
            }
        }
    }
    EXPECT_EQ(checked, 3 * 3 * 3 * 102);
}

// One bad sample, in either sample type and channel layout, with every stage
// on and feedback high: the output is finite from the next frame on (the
// sample itself reads as silence) and the echoes of the signal after it come
// back.
TEST(SignalSafety, ANonFiniteSampleNeverLatches) {
    const float bad[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity()};
    for (int channels : {1, 2}) {
        for (float value : bad) {
            for (int bits : {32, 64}) {
                SCOPED_TRACE(std::to_string(channels) + " channels, " + std::to_string(bits) + " bits, " +
                             std::to_string(value));
                CEffectRig rig(48000, channels, bits);
                ParamBlock b = kDefaultBlock;
                b[kParamTempoSync] = 0;
                b[kParamDelayL] = b[kParamDelayR] = 100;   // 480 samples
                b[kParamFeedbkL] = b[kParamFeedbkR] = 90;
                b[kParamDiffAmnt] = 80;
                b[kParamHighFreq] = 250;
                b[kParamLowFreq] = 100;
                rig.Apply(b);
                ASSERT_EQ(S_OK, rig.Prepare());
                const int frames = 4800;
                std::vector<double> in(static_cast<size_t>(frames) * channels, 0.25);
                in[7] = value;
                bool finite = true, heard = false;
                if (bits == 32) {
                    const std::vector<float> x(in.begin(), in.end());
                    for (float y : rig.Run(x)) {
                        finite = finite && std::isfinite(y);
                        heard = heard || std::fabs(y) > 0.1f;
                    }
                } else {
                    for (double y : rig.Run(in)) {
                        finite = finite && std::isfinite(y);
                        heard = heard || std::fabs(y) > 0.1;
                    }
                }
                EXPECT_TRUE(finite);
                EXPECT_TRUE(heard);
                for (const ToneFilterState* s : {&rig.fx.Engine().LowCutState(), &rig.fx.Engine().HighCutState()}) {
                    EXPECT_TRUE(std::isfinite(s->y1[0]) && std::isfinite(s->y1[1]));
                }
            }
        }
    }
}

// Feedback and cross-feed both at 100 on both sides double the echoes on
// every round trip. Twenty seconds of loud noise stay finite, the lines
// settle below twice full scale and the clip lights say so. Then the input
// stops and the user brings the loop down: at 50 % feedback the output is
// back below +6 dBFS within two repeats of the longer line; at 100 % without
// cross-feed (echoes that repeat for good) it never exceeds what the
// ceiling gives at the largest gain. The time the output took to come back
// is printed.
struct RecoveryCase {
    const char* name;
    int32_t feedback;   // after the runaway, cross-feed 0
    double maxRepeats;  // until the output stays below +6 dBFS (< 0: it never has to)
};

class RunawayRecoveryTest : public ::testing::TestWithParam<RecoveryCase> {};

TEST_P(RunawayRecoveryTest, ARunawayComesBackWithinAFewRepeats) {
    const RecoveryCase c = GetParam();
    const uint32_t rate = 48000;
    CEffectRig rig(rate);
    ParamBlock b = kDefaultBlock;
    b[kParamTempoSync] = 0;
    b[kParamDelayL] = 1000;
    b[kParamDelayR] = 1370;
    b[kParamFeedbkL] = b[kParamFeedbkR] = 100;
    b[kParamXfeedL] = b[kParamXfeedR] = 100;
    b[kParamOutput] = 60;   // +6 dB, the largest gain
    b[kParamMixL] = b[kParamMixR] = 100;
    rig.Apply(b);
    ASSERT_EQ(S_OK, rig.Prepare());
    std::vector<float> noise(2 * 4800);
    uint32_t seed = 1;
    double largest = 0.0;
    for (int buffer = 0; buffer < 200; ++buffer) {   // 20 s
        for (float& x : noise) {
            seed = seed * 1664525u + 1013904223u;
            x = static_cast<float>(static_cast<int32_t>(seed) / 2147483648.0);
        }
        for (float y : rig.Run(noise)) {
            ASSERT_TRUE(std::isfinite(y)) << "buffer " << buffer;
            largest = std::max(largest, static_cast<double>(std::fabs(y)));
        }
    }
    for (int line = 0; line < 2; ++line) {
        const double* samples = rig.fx.Engine().Buffer(CDelayEngine::kLineLeft + line);
        for (int32_t k = 0; k < rig.fx.Engine().BufferSize(line); ++k) ASSERT_LT(std::fabs(samples[k]), 2.0);
    }
    EXPECT_GT(largest, 2.0);   // it did run away, up to the ceiling
    EXPECT_EQ(3, rig.fx.GetLeftClip(0));
    EXPECT_EQ(3, rig.fx.GetRightClip(0));

    b[kParamFeedbkL] = b[kParamFeedbkR] = c.feedback;
    b[kParamXfeedL] = b[kParamXfeedR] = 0;
    rig.Apply(b);
    const int32_t frames = 10 * static_cast<int32_t>(rate);
    const std::vector<float> out = rig.Run(std::vector<float>(2 * static_cast<size_t>(frames), 0.0f));
    int32_t lastLoud = -1;
    double peak = 0.0;
    for (int32_t i = 0; i < 2 * frames; ++i) {
        peak = std::max(peak, static_cast<double>(std::fabs(out[i])));
        if (std::fabs(out[i]) >= 2.0f) lastLoud = i / 2;
    }
    const double seconds = (lastLoud + 1) / static_cast<double>(rate);
    std::printf("feedback %d %%: above +6 dBFS for %.3f s after the turn-down, peak %.3g\n", c.feedback, seconds,
                peak);
    // The ceiling (twice full scale) times the largest wet gain (+6 dB).
    EXPECT_LT(peak, 4.0);
    if (c.maxRepeats >= 0.0) {
        EXPECT_LE(seconds, c.maxRepeats * 0.137);
    }
}

INSTANTIATE_TEST_SUITE_P(SignalSafety, RunawayRecoveryTest,
                         ::testing::Values(RecoveryCase{"HalfFeedback", 50, 2.0},
                                           RecoveryCase{"FullFeedbackNoCrossFeed", 100, -1.0}),
                         [](const auto& info) { return std::string(info.param.name); });

#ifdef ZV_HAVE_MXCSR
// The guard sets flush-to-zero and denormals-are-zero for its scope and
// gives the caller's control bits back exactly, whatever they held; the
// processing entry leaves them as the host had them. (The low six bits are
// sticky exception flags that any arithmetic may raise.)
TEST(SignalSafety, TheCallersControlWordComesBack) {
    const unsigned kControl = ~0x3Fu;
    const unsigned original = _mm_getcsr();
    for (unsigned host : {original & ~0x8040u, original | 0x8040u, (original & ~0x8040u) | 0x6000u}) {
        _mm_setcsr(host);
        {
            CDenormalGuard guard;
            EXPECT_EQ(_mm_getcsr() & 0x8040u, 0x8040u);
            volatile double tiny = 1e-310;   // subnormal
            EXPECT_EQ(tiny * 0.5, 0.0);
        }
        EXPECT_EQ(_mm_getcsr() & kControl, host & kControl);
        CEffectRig rig(48000);
        rig.Apply(kDefaultBlock);
        ASSERT_EQ(S_OK, rig.Prepare());
        rig.Silence(256);
        EXPECT_EQ(_mm_getcsr() & kControl, host & kControl);
    }
    _mm_setcsr(original);
}
#endif

}  // namespace
