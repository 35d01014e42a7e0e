// The parameter table and the two conversions, against values worked out by
// hand (the documented examples) and against simple properties.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "effect/ParamDescriptor.h"
#include "effect/ParamTable.h"

TEST(ParamTable, DefaultBlockIsTheDocumentedSetting) {
    const int32_t expected[kParamCount] = {5000, 12, 40, 10, 30, 5000, 12, 40, 10, 30, 40,
                                           0,    0,  100, 301, 100, 0, 1, 1200, 1, 0};
    for (int i = 0; i < kParamCount; ++i) EXPECT_EQ(kDefaultBlock[i], expected[i]) << i;
    EXPECT_STREQ(kParamTable[kParamDelayL].name, "DelayL");
    EXPECT_STREQ(kParamTable[kParamListen].name, "Listen");
}

TEST(ParamTable, ReciprocalSpansAreTheNearestFloats) {
    EXPECT_EQ(ParamReciprocalSpan(kParamDelayL), 2.5000625e-05f);
    EXPECT_EQ(ParamReciprocalSpan(kParamFactorL), 0.05263158f);
    EXPECT_EQ(ParamReciprocalSpan(kParamMixL), 0.01f);
    EXPECT_EQ(ParamReciprocalSpan(kParamDiffTime), 0.01010101f);
    EXPECT_EQ(ParamReciprocalSpan(kParamLowFreq), 0.003322259f);
    EXPECT_EQ(ParamReciprocalSpan(kParamHighFreq), 0.0033333334f);
    EXPECT_EQ(ParamReciprocalSpan(kParamOutput), 0.0023752970f);
    EXPECT_EQ(ParamReciprocalSpan(kParamTempo), 0.00010051262f);
    EXPECT_EQ(ParamReciprocalSpan(kParamTempoSync), 0.5f);
}

TEST(ParamTable, InternalToNormalisedIsOneSinglePrecisionProduct) {
    EXPECT_EQ(ParamToNormalised(kParamDelayL, 1), 0.0f);
    EXPECT_EQ(ParamToNormalised(kParamDelayL, 5000), 4999.0f * 2.5000625e-05f);
    EXPECT_EQ(ParamToNormalised(kParamOutput, -361), 0.0f);
    EXPECT_EQ(ParamToNormalised(kParamOutput, 0), 361.0f * 0.0023752970f);
    EXPECT_EQ(ParamToNormalised(kParamLink, 1), 1.0f);
    EXPECT_EQ(ParamToNormalised(kParamListen, 0), 0.0f);
}

TEST(ParamTable, NormalisedToInternalDocumentedExamples) {
    EXPECT_EQ(NormalisedToParam(kParamOutput, 0.0f), -361);
    EXPECT_EQ(NormalisedToParam(kParamOutput, 1.0f), 60);
    EXPECT_EQ(NormalisedToParam(kParamOutput, 0.8574822f), 0);
    EXPECT_EQ(NormalisedToParam(kParamDelayL, 0.12497812f), 5000);
    EXPECT_EQ(NormalisedToParam(kParamTempo, 0.1155895f), 1200);
    EXPECT_EQ(NormalisedToParam(kParamDelayL, 1.5f), 40000);
    EXPECT_EQ(NormalisedToParam(kParamDiffTime, -0.2f), 1);
    EXPECT_EQ(NormalisedToParam(kParamLink, 0.49f), 0);
    EXPECT_EQ(NormalisedToParam(kParamLink, 0.5f), 1);
}

TEST(ParamTable, OutputRoundsTowardsMinusInfinity) {
    // 359/421 gives t = 359 - 361 + 0.5 = -1.5: floor gives -2 where
    // truncation towards zero would give -1.
    const float n = 359.0f / 421.0f;
    float t = n * 421.0f;
    t = t + -361.0f;
    t = t + 0.5f;
    EXPECT_EQ(NormalisedToParam(kParamOutput, n), static_cast<int32_t>(std::floor(t)));
    EXPECT_EQ(NormalisedToParam(kParamOutput, n), -2);
}

TEST(ParamTable, EveryRowClampsOutOfRangeAndNonFiniteValues) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int i = 0; i < kParamCount; ++i) {
        const ParamInfo& p = kParamTable[i];
        SCOPED_TRACE(p.name);
        EXPECT_EQ(ClampParam(i, p.minimum - 1), p.minimum);
        EXPECT_EQ(ClampParam(i, p.maximum + 1), p.maximum);
        EXPECT_EQ(ClampParam(i, INT32_MIN), p.minimum);
        EXPECT_EQ(ClampParam(i, INT32_MAX), p.maximum);
        EXPECT_EQ(NormalisedToParam(i, -1.0f), p.minimum);
        EXPECT_EQ(NormalisedToParam(i, 2.0f), p.maximum);
        EXPECT_EQ(NormalisedToParam(i, inf), p.maximum);
        EXPECT_EQ(NormalisedToParam(i, -inf), p.minimum);
        EXPECT_EQ(NormalisedToParam(i, 1e30f), p.maximum);
        // NaN stands for "no usable value": the default.
        EXPECT_EQ(NormalisedToParam(i, nan), p.defaultValue);
    }
}

TEST(ParamTable, EveryInternalValueSurvivesTheRoundTrip) {
    for (int i = 0; i < kParamCount; ++i) {
        const ParamInfo& p = kParamTable[i];
        for (int32_t v = p.minimum; v <= p.maximum; ++v) {
            const float n = ParamToNormalised(i, v);
            ASSERT_GE(n, 0.0f) << p.name << " " << v;
            ASSERT_LE(n, 1.0f) << p.name << " " << v;
            ASSERT_EQ(NormalisedToParam(i, n), v) << p.name << " " << v;
        }
    }
}

TEST(ParamDescriptors, ServeTheNormalisedRangeAndNeutralDefaults) {
    const ParamDescriptor* d = GetParamDescriptors();
    // (default - low) / span, rounded once to single precision; the
    // documented figures are those values printed to 7 or 8 digits.
    EXPECT_EQ(d[kParamDelayL].info.mpdNeutralValue, static_cast<float>(4999.0 / 39999.0));
    EXPECT_EQ(d[kParamFactorL].info.mpdNeutralValue, static_cast<float>(12.0 / 19.0));
    EXPECT_EQ(d[kParamOutput].info.mpdNeutralValue, static_cast<float>(361.0 / 421.0));
    EXPECT_EQ(d[kParamTempo].info.mpdNeutralValue, static_cast<float>(1150.0 / 9949.0));
    EXPECT_NEAR(d[kParamDelayL].info.mpdNeutralValue, 0.12497812, 1e-8);
    EXPECT_NEAR(d[kParamFactorL].info.mpdNeutralValue, 0.6315789, 5e-8);
    EXPECT_NEAR(d[kParamOutput].info.mpdNeutralValue, 0.8574822, 5e-8);
    EXPECT_NEAR(d[kParamTempo].info.mpdNeutralValue, 0.1155895, 5e-8);
    EXPECT_EQ(d[kParamLink].info.mpdNeutralValue, 1.0f);
    EXPECT_EQ(d[kParamListen].info.mpdNeutralValue, 0.0f);
    for (int i = 0; i < kParamCount; ++i) {
        SCOPED_TRACE(kParamTable[i].name);
        EXPECT_EQ(d[i].info.mpType, i >= kParamLink ? MPT_BOOL : MPT_FLOAT);
        EXPECT_EQ(d[i].info.mopCaps, static_cast<MP_CAPS>(MP_CAPS_CURVE_JUMP));
        EXPECT_EQ(d[i].info.mpdMinValue, 0.0f);
        EXPECT_EQ(d[i].info.mpdMaxValue, 1.0f);
        EXPECT_EQ(d[i].info.szUnitText[0], 0);
        EXPECT_EQ(d[i].internalMinimum, 0.0f);
        EXPECT_EQ(d[i].internalMaximum, 1.0f);
        EXPECT_EQ(d[i].enumNames, nullptr);
        std::string label;
        for (int k = 0; d[i].info.szLabel[k]; ++k) label += static_cast<char>(d[i].info.szLabel[k]);
        EXPECT_EQ(label, kParamTable[i].name);
        // The neutral value leads back to the default.
        EXPECT_EQ(NormalisedToParam(i, d[i].info.mpdNeutralValue), kDefaultBlock[i]);
    }
}
