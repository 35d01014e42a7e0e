// The engine against the plain definition (EngineReference.h), bit for bit:
// random settings that change between buffers, random buffer sizes, every
// combination of stages, both sample types, mono, stereo and three channels,
// rates from below 10000 Hz to 96000 Hz, and both ways of computing pairs
// (SSE2 lanes and plain doubles).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "EffectRig.h"
#include "EngineReference.h"
#include "effect/DenormalGuard.h"

namespace {

class CRandom {
public:
    explicit CRandom(uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint32_t Next() {
        m_state = m_state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(m_state >> 33);
    }
    int32_t Between(int32_t lo, int32_t hi) { return lo + static_cast<int32_t>(Next() % static_cast<uint32_t>(hi - lo + 1)); }
    bool Chance(int percent) { return static_cast<int>(Next() % 100) < percent; }
    double Unit() { return (Next() / 2147483648.0) - 1.0; }   // [-1, 1)

private:
    uint64_t m_state;
};

// A random setting: short delays more often than long ones (so that lines
// wrap within the test), each stage off now and then, extremes included.
ParamBlock RandomBlock(CRandom& r) {
    ParamBlock b;
    for (int i = 0; i < kParamCount; ++i) b[i] = r.Between(kParamTable[i].minimum, kParamTable[i].maximum);
    for (int i : {kParamDelayL, kParamDelayR}) {
        if (r.Chance(70)) b[i] = r.Between(1, 400);
    }
    if (r.Chance(30)) b[kParamDiffAmnt] = 0;
    if (r.Chance(30)) b[kParamHighFreq] = 301;
    if (r.Chance(30)) b[kParamLowFreq] = 0;
    if (r.Chance(10)) b[kParamOutput] = -361;
    // Feedback plus cross-feed above 100 grows without bound; keep most runs
    // finite so that the comparison covers ordinary values too.
    if (r.Chance(80)) {
        b[kParamFeedbkL] = std::min(b[kParamFeedbkL], 100 - b[kParamXfeedR]);
        b[kParamFeedbkR] = std::min(b[kParamFeedbkR], 100 - b[kParamXfeedL]);
    }
    return b;
}

template <typename T>
std::vector<T> RandomInput(CRandom& r, int channels, int frames) {
    std::vector<T> in(static_cast<size_t>(channels) * frames);
    const double scale = r.Chance(20) ? 3.0 : 0.8;   // sometimes loud enough to clip
    for (T& v : in) v = static_cast<T>(r.Unit() * scale);
    if (r.Chance(20) && !in.empty()) std::fill(in.begin(), in.begin() + in.size() / 2, T(0));
    // Now and then a sample no signal should hold: NaN, an infinity, or one
    // far beyond any level (the guarded loop reads them as 0 or the limit).
    if (r.Chance(10) && !in.empty()) {
        const T odd[] = {std::numeric_limits<T>::quiet_NaN(), -std::numeric_limits<T>::infinity(), T(3e20), T(-2e12)};
        in[r.Next() % in.size()] = odd[r.Next() % 4];
    }
    return in;
}

template <typename T>
bool SameBits(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

// The engine alone, driven as the processing entry drives it.
template <typename T>
void CompareEngine(uint32_t rate, int channels, CDelayEngine::EKernel kernel, uint64_t seed) {
    CRandom r(seed);
    CDelayEngine engine;
    engine.SetKernel(kernel);
    ASSERT_EQ(S_OK, engine.Prepare(rate));
    CReferenceEngine reference(rate);
    ParamBlock params = RandomBlock(r);
    int32_t clip[2] = {0, 0};
    int32_t refClip[2] = {0, 0};
    for (int buffer = 0; buffer < 60; ++buffer) {
        if (r.Chance(40)) params = RandomBlock(r);
        const int frames = r.Chance(10) ? 1 : r.Between(1, 700);
        const std::vector<T> in = RandomInput<T>(r, channels, frames);
        double gains[4];
        CReferenceEngine::Gains(params, gains);

        std::vector<T> out(2 * static_cast<size_t>(frames), T(-7));
        engine.BeginBlock(params, rate, gains);
        FrameMeter meter{&clip[0], &clip[1], 0.0, 0.0};
        engine.Run(in.data(), channels, out.data(), frames, meter);

        std::vector<T> expected(2 * static_cast<size_t>(frames), T(-7));
        double maxima[2];
        {
            // The engine runs with subnormals flushed; so does the definition.
            CDenormalGuard flush;
            reference.Process(params, gains, in.data(), channels, expected.data(), frames, refClip, maxima);
        }

        ASSERT_TRUE(SameBits(expected, out)) << "buffer " << buffer;
        ASSERT_EQ(refClip[0], clip[0]) << "buffer " << buffer;
        ASSERT_EQ(refClip[1], clip[1]) << "buffer " << buffer;
        ASSERT_EQ(maxima[0], meter.maxLeft) << "buffer " << buffer;
        ASSERT_EQ(maxima[1], meter.maxRight) << "buffer " << buffer;
        ASSERT_EQ(reference.Position(0), engine.Position(CDelayEngine::kLineLeft));
        ASSERT_EQ(reference.Position(1), engine.Position(CDelayEngine::kLineRight));
        if (params[kParamDiffAmnt] != 0) {
            for (int s = 0; s < 4; ++s) {
                ASSERT_EQ(reference.DiffusionPosition(s), engine.Position(CDelayEngine::kDiffusion1 + s));
            }
        }
    }
}

const uint32_t kRates[] = {3, 1000, 7999, 8000, 22050, 32000, 44100, 48000, 96000};

TEST(EngineExactness, LanesMatchThePlainDefinition) {
    uint64_t seed = 1;
    for (uint32_t rate : kRates) {
        for (int channels : {2, 1, 3}) {
            SCOPED_TRACE("rate " + std::to_string(rate) + ", channels " + std::to_string(channels));
            CompareEngine<float>(rate, channels, CDelayEngine::EKernel::kLanes, seed++);
            CompareEngine<double>(rate, channels, CDelayEngine::EKernel::kLanes, seed++);
        }
    }
}

TEST(EngineExactness, ScalarPairsMatchThePlainDefinition) {
    uint64_t seed = 1000;
    for (uint32_t rate : kRates) {
        for (int channels : {2, 1, 3}) {
            SCOPED_TRACE("rate " + std::to_string(rate) + ", channels " + std::to_string(channels));
            CompareEngine<float>(rate, channels, CDelayEngine::EKernel::kScalar, seed++);
            CompareEngine<double>(rate, channels, CDelayEngine::EKernel::kScalar, seed++);
        }
    }
}

TEST(EngineExactness, ProcessingEntryMatchesThePlainDefinition) {
    // The whole entry: setters, refresh, gains, the engine and the meters.
    for (int bits : {32, 64}) {
        CRandom r(4242 + bits);
        CEffectRig rig(44100, 2, bits);
        CReferenceEngine reference(44100);
        ParamBlock p = RandomBlock(r);
        rig.Apply(p);
        ASSERT_EQ(S_OK, rig.Prepare());
        int32_t refClip[2] = {0, 0};
        for (int buffer = 0; buffer < 40; ++buffer) {
            if (r.Chance(50)) {
                p = RandomBlock(r);
                rig.Apply(p);
            }
            const int frames = r.Between(1, 900);
            double gains[4];
            CReferenceEngine::Gains(p, gains);
            double maxima[2];
            if (bits == 32) {
                const std::vector<float> in = RandomInput<float>(r, 2, frames);
                std::vector<float> expected(2 * static_cast<size_t>(frames));
                reference.Process(p, gains, in.data(), 2, expected.data(), frames, refClip, maxima);
                ASSERT_TRUE(SameBits(expected, rig.Run(in))) << "buffer " << buffer;
            } else {
                const std::vector<double> in = RandomInput<double>(r, 2, frames);
                std::vector<double> expected(2 * static_cast<size_t>(frames));
                reference.Process(p, gains, in.data(), 2, expected.data(), frames, refClip, maxima);
                ASSERT_TRUE(SameBits(expected, rig.Run(in))) << "buffer " << buffer;
            }
            float left = -1.0f, right = -1.0f;
            ASSERT_EQ(S_OK, rig.fx.GetPeakLevels(&left, &right));   // read: the next buffer starts afresh
            EXPECT_EQ(static_cast<float>(maxima[0]), left);
            EXPECT_EQ(static_cast<float>(maxima[1]), right);
            EXPECT_EQ(refClip[0], rig.fx.GetLeftClip(0));
            EXPECT_EQ(refClip[1], rig.fx.GetRightClip(0));
        }
    }
}

TEST(EngineExactness, SilenceAfterAnImpulseStaysClearOfDenormals) {
    // The 1e-30 offset keeps every recursive state away from the subnormal
    // range. With the low-cut on it is removed before the lines, whose
    // recirculating tail then rests on the low-cut's last-bit residue (about
    // 1e-44, still normal). Checked every few seconds over a minute of
    // silence behind an impulse, for each set of stages.
    auto normalOrZero = [](double v) { return v == 0.0 || std::fpclassify(v) == FP_NORMAL; };
    for (int stages = 0; stages < 8; ++stages) {
        SCOPED_TRACE("stages " + std::to_string(stages));
        CDelayEngine engine;
        ASSERT_EQ(S_OK, engine.Prepare(8000));
        ParamBlock p = kDefaultBlock;
        p[kParamDelayL] = 100;
        p[kParamDelayR] = 130;
        p[kParamDiffAmnt] = (stages & 4) ? 100 : 0;
        p[kParamHighFreq] = (stages & 2) ? 200 : 301;
        p[kParamLowFreq] = (stages & 1) ? 100 : 0;
        double gains[4];
        CReferenceEngine::Gains(p, gains);
        int32_t clip[2] = {0, 0};
        std::vector<float> in(2 * 4000, 0.0f), out(2 * 4000);
        in[0] = in[1] = 1.0f;
        for (int k = 0; k < 120; ++k) {
            engine.BeginBlock(p, 8000, gains);
            FrameMeter meter{&clip[0], &clip[1], 0.0, 0.0};
            engine.Run(in.data(), 2, out.data(), 4000, meter);
            in[0] = in[1] = 0.0f;
            if (k % 10 != 9) continue;
            for (int b = 0; b < CDelayEngine::kBufferCount; ++b) {
                for (int32_t i = 0; i < engine.BufferSize(b); ++i) {
                    ASSERT_TRUE(normalOrZero(engine.Buffer(b)[i])) << "buffer " << b << " at " << k;
                }
            }
            const ToneFilterState* states[2] = {&engine.HighCutState(), &engine.LowCutState()};
            for (const ToneFilterState* s : states) {
                for (int c = 0; c < 2; ++c) {
                    ASSERT_TRUE(normalOrZero(s->x1[c]) && normalOrZero(s->x2[c]) && normalOrZero(s->y1[c]) &&
                                normalOrZero(s->y2a[c]) && normalOrZero(s->y2b[c]));
                }
            }
        }
    }
}

}  // namespace
