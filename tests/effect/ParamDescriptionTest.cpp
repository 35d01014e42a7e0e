// The host-facing description: every internal value of every parameter goes
// to its natural value and back unchanged (also through the single
// precision an LV2 port carries), and to its text and back to a value that
// shows the same text; values between steps go to the nearer one; a few
// values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "effect/ParamDescription.h"
#include "effect/ParamText.h"

namespace {

TEST(ParamDescription, EveryInternalValueRoundTripsThroughNaturalAndText) {
    int sameTextOtherStep = 0;
    for (int i = 0; i < kParamCount; ++i) {
        const ParamInfo& p = kParamTable[i];
        SCOPED_TRACE(p.name);
        for (int32_t v = p.minimum; v <= p.maximum; ++v) {
            const double natural = NaturalFromInternal(i, v);
            ASSERT_EQ(InternalFromNatural(i, natural), v) << v;
            ASSERT_EQ(InternalFromNatural(i, static_cast<float>(natural)), v) << v;
            const std::string text = ParamValueText(i, v);
            ASSERT_FALSE(text.empty()) << v;
            int32_t parsed = -12345;
            ASSERT_TRUE(ParamValueFromText(i, text.c_str(), &parsed)) << text;
            ASSERT_EQ(ParamValueText(i, parsed), text) << v;
            if (parsed != v) ++sameTextOtherStep;
            // Halfway to the next value goes to the nearer one.
            if (v < p.maximum) {
                const double next = NaturalFromInternal(i, v + 1);
                const bool geometric = kParamDescriptions[i].unit == EParamUnit::kHertz;
                const double a = geometric ? std::pow(natural, 0.6) * std::pow(next, 0.4) : 0.6 * natural + 0.4 * next;
                const double b = geometric ? std::pow(natural, 0.4) * std::pow(next, 0.6) : 0.4 * natural + 0.6 * next;
                ASSERT_EQ(InternalFromNatural(i, a), v);
                ASSERT_EQ(InternalFromNatural(i, b), v + 1);
            }
        }
        EXPECT_EQ(InternalFromNatural(i, NaturalMinimum(i) - 1e6), p.minimum);
        EXPECT_EQ(InternalFromNatural(i, NaturalMaximum(i) + 1e6), p.maximum);
        EXPECT_EQ(InternalFromNatural(i, NAN), p.defaultValue);
        EXPECT_EQ(InternalFromNatural(i, INFINITY), p.maximum);
    }
    // Only low filter steps share their whole-hertz text with a neighbour
    // (the text goes to the lowest of them).
    EXPECT_GT(sameTextOtherStep, 0);
    EXPECT_LT(sameTextOtherStep, 20);
}

// Worked out by hand from the units: tenths of a millisecond, of a decibel
// and of a BPM, Q in hundredths, the filters' frequency rules.
TEST(ParamDescription, HandWorkedValuesAndTexts) {
    struct Case {
        int param;
        int32_t internal;
        double natural;
        const char* text;
    };
    const Case cases[] = {
        {kParamDelayL, 3750, 375.0, "375.0 ms"},
        {kParamDelayR, 1, 0.1, "0.1 ms"},
        {kParamFactorL, 7, 7.0, "1/4"},
        {kParamFeedbkR, 40, 40.0, "40 %"},
        {kParamDiffTime, 40, 40.0, "40"},
        {kParamLowFreq, 0, 19.544744, "Off"},                 // 20 x 10^(-1/100)
        {kParamLowFreq, 61, 79.621434, "80 Hz"},              // 20 x 10^(60/100)
        {kParamHighFreq, 301, 20465.86, "Off"},               // 20 x 10^(301/100)
        {kParamHighFreq, 300, 20000.0, "20000 Hz"},
        {kParamLowQ, 71, 0.71, "0.71"},
        {kParamOutput, -100, -10.0, "-10.0 dB"},
        {kParamOutput, -361, -36.1, "-Inf dB"},
        {kParamTempoSync, 1, 1.0, "Man"},
        {kParamTempo, 1200, 120.0, "120.0 BPM"},
        {kParamLink, 1, 1.0, "On"},
        {kParamListen, 1, 1.0, "Delay"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_NEAR(NaturalFromInternal(c.param, c.internal), c.natural, 1e-5 * std::fabs(c.natural));
        EXPECT_EQ(ParamValueText(c.param, c.internal), c.text);
    }
    // Typed in a host: words in any case, units or none, seconds and kHz.
    struct Typed {
        int param;
        const char* text;
        int32_t internal;
    };
    const Typed typed[] = {
        {kParamDelayL, "1.5 s", 15000}, {kParamDelayL, " 250 ", 2500}, {kParamDelayL, "12.34ms", 123},
        {kParamLowFreq, "OFF", 0},      {kParamLowFreq, "1000 Hz", 171}, {kParamLowFreq, "1 kHz", 171},
        {kParamOutput, "-inf", -361},   {kParamOutput, "+3", 30},       {kParamTempoSync, "host", 2},
        {kParamFactorR, "3/4", 11},     {kParamLink, "off", 0},         {kParamListen, "mix", 0},
    };
    for (const Typed& t : typed) {
        int32_t value = -12345;
        EXPECT_TRUE(ParamValueFromText(t.param, t.text, &value)) << t.text;
        EXPECT_EQ(value, t.internal) << t.text;
    }
    // Not a value of the parameter: nothing is set.
    const Typed refused[] = {{kParamDelayL, "", 0},       {kParamDelayL, "ms", 0},     {kParamDelayL, "12 Hz", 0},
                             {kParamFactorL, "1/7", 0},   {kParamFactorL, "7", 0},     {kParamTempoSync, "fast", 0}};
    for (const Typed& t : refused) {
        int32_t value = 7;
        EXPECT_FALSE(ParamValueFromText(t.param, t.text, &value)) << t.text;
        EXPECT_EQ(value, 7) << t.text;
    }
}

}  // namespace
