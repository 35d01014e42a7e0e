// The editor page's texts, typed numbers, levels and Link arithmetic, and
// its control table, without windows. Expected values are worked out by hand.
#include <gtest/gtest.h>

#include <climits>
#include <set>

#include "editor/EditorLayout.h"
#include "editor/PageText.h"

TEST(PageText, ValueTexts) {
    EXPECT_EQ(ParamText(kParamOutput, -361), "-Inf.");
    EXPECT_EQ(ParamText(kParamOutput, -35), "-3.5");
    EXPECT_EQ(ParamText(kParamOutput, 60), "6.0");
    EXPECT_EQ(ParamText(kParamOutput, -5), "-0.5");
    EXPECT_EQ(ParamText(kParamLowFreq, 0), "OFF");
    EXPECT_EQ(ParamText(kParamLowFreq, 1), "20");
    EXPECT_EQ(ParamText(kParamLowFreq, 171), "1002");   // 20 * 10^1.7 = 1002.37
    EXPECT_EQ(ParamText(kParamLowFreq, 301), "20000");
    EXPECT_EQ(ParamText(kParamHighFreq, 301), "OFF");
    EXPECT_EQ(ParamText(kParamHighFreq, 300), "20000");
    EXPECT_EQ(ParamText(kParamHighFreq, 1), "20");
    EXPECT_EQ(ParamText(kParamDelayL, 5000), "500.0");
    EXPECT_EQ(ParamText(kParamDelayR, 1), "0.1");
    EXPECT_EQ(ParamText(kParamTempo, 1200), "120.0");
    EXPECT_EQ(ParamText(kParamLowQ, 100), "1.00");
    EXPECT_EQ(ParamText(kParamHighQ, 7), "0.07");
    EXPECT_EQ(ParamText(kParamFeedbkL, 40), "40");
    EXPECT_EQ(ParamText(kParamTempoSync, 0), "Off");
    EXPECT_EQ(ParamText(kParamTempoSync, 1), "Man");
    EXPECT_EQ(ParamText(kParamTempoSync, 2), "Host");
    EXPECT_EQ(ParamText(kParamListen, 0), "Mix");
    EXPECT_EQ(ParamText(kParamListen, 1), "Delay");
}

// What a screen reader hears: the shown text with the unit the art prints.
TEST(PageText, AccessibleValues) {
    const struct {
        EParam param;
        int32_t value;
        const char* heard;
    } cases[] = {
        {kParamDelayL, 5000, "500.0 ms"}, {kParamFeedbkR, 40, "40 %"},   {kParamDiffAmnt, 0, "0 %"},
        {kParamFactorL, 7, "1/4"},        {kParamTempo, 1200, "120.0 BPM"}, {kParamLowFreq, 0, "Off"},
        {kParamLowFreq, 171, "1002 Hz"},  {kParamHighFreq, 301, "Off"},  {kParamOutput, -361, "-Inf dB"},
        {kParamOutput, -35, "-3.5 dB"},   {kParamLowQ, 100, "1.00"},     {kParamDiffTime, 40, "40"},
        {kParamTempoSync, 0, "Off"},      {kParamListen, 1, "Delay"},    {kParamLink, 1, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(AccessibleValueText(c.param, c.value), c.heard) << c.param;
}

TEST(PageText, NoteValues) {
    EXPECT_EQ(ParamText(kParamFactorL, 7), "1/4");
    EXPECT_EQ(ParamText(kParamFactorR, 12), "1");
    EXPECT_EQ(ParamText(kParamFactorR, 13), "3/2");
    EXPECT_EQ(NoteValueText(20), "");
    EXPECT_EQ(NoteValueFromText("3/4"), 11);
    EXPECT_EQ(NoteValueFromText("1/5"), 6);
    EXPECT_EQ(NoteValueFromText("8"), 19);
    EXPECT_EQ(NoteValueFromText("0.25"), -1);
    EXPECT_EQ(NoteValueFromText(" 1/4"), -1);   // exact text only
}

TEST(PageText, ParseFixed) {
    EXPECT_EQ(ParseFixed("12.3", 1), 123);
    EXPECT_EQ(ParseFixed("12", 1), 120);
    EXPECT_EQ(ParseFixed("12.34", 1), 123);
    EXPECT_EQ(ParseFixed("-.5", 1), -5);
    EXPECT_EQ(ParseFixed("  7.x", 1), 70);
    EXPECT_EQ(ParseFixed("3.", 2), 300);
    EXPECT_EQ(ParseFixed("1000", 0), 1000);
    EXPECT_EQ(ParseFixed("1000.9", 0), 1000);
    EXPECT_EQ(ParseFixed("", 1), 0);
    EXPECT_EQ(ParseFixed("abc", 1), 0);
    EXPECT_EQ(ParseFixed(nullptr, 1), 0);
    // Long digit strings saturate instead of overflowing.
    EXPECT_EQ(ParseFixed("214748364.7", 1), INT_MAX);
    EXPECT_EQ(ParseFixed("214748364.8", 1), INT_MAX);
    EXPECT_EQ(ParseFixed("99999999999999999999999999", 1), INT_MAX);
    EXPECT_EQ(ParseFixed("-99999999999999999999999999", 0), INT_MIN);
}

TEST(PageText, TypedQAndFrequency) {
    int32_t q = -1;
    EXPECT_TRUE(ParseQ("1.5", &q));
    EXPECT_EQ(q, 150);
    EXPECT_TRUE(ParseQ("0.07", &q));
    EXPECT_EQ(q, 7);   // 0.07f * 100 = 7.0000005, truncated
    q = -1;
    EXPECT_FALSE(ParseQ("q", &q));
    EXPECT_EQ(q, -1);
    EXPECT_TRUE(ParseQ("1e30", &q));
    EXPECT_EQ(q, INT_MAX);
    EXPECT_EQ(FrequencyStepFromHertz(1000), 170);   // floor(100 * log10(50) + 0.5) = floor(170.4)
    EXPECT_EQ(FrequencyStepFromHertz(20), 0);
    EXPECT_EQ(FrequencyStepFromHertz(20000), 300);
    EXPECT_EQ(FrequencyStepFromHertz(0), INT_MIN);
}

TEST(PageText, LevelsAndReadout) {
    EXPECT_EQ(LevelFromPeak(1.0f), 0);
    EXPECT_EQ(LevelFromPeak(0.5f), -60);     // log10(0.5) * 200 = -60.2
    EXPECT_EQ(LevelFromPeak(0.0f), -9999);
    EXPECT_EQ(PeakLevelText(-9999), "-Inf");
    EXPECT_EQ(PeakLevelText(-1000), "-Inf");
    EXPECT_EQ(PeakLevelText(-999), "-99.9");
    EXPECT_EQ(PeakLevelText(-60), "-6.0");
    EXPECT_EQ(ReadoutGap(20, 20), 2);
    EXPECT_EQ(ReadoutGap(30, 30), 1);
}

TEST(PageText, LinkArithmetic) {
    // References 5000 / 2500: DelayL dragged to 4000 takes DelayR to 2000.
    EXPECT_EQ(LinkedRatio(2500, 4000, 5000), 2000);
    // References 40 / 50: FeedbkL 60 takes FeedbkR to 70.
    EXPECT_EQ(LinkedOffset(50, 60, 40), 70);
    EXPECT_EQ(LinkedRatio(2500, 4000, 0), 2500);
    EXPECT_EQ(LinkedRatio(40000, 940000, 1), INT_MAX);   // a value box jump, saturated
    EXPECT_EQ(LinkedOffset(100, INT_MAX, 0), INT_MAX);
    // 3/4 against one beat: 5000 * 0.75 / 1.
    EXPECT_EQ(DelayByNoteRatio(5000, 11, 12), 3750);
    EXPECT_EQ(DelayByNoteRatio(3001, 7, 9), 1501);   // 3001 * 0.25 / 0.5 = 1500.5
}

TEST(EditorLayout, TableIsConsistent) {
    std::set<int> ids;
    for (int i = 0; i < kLayoutCount; ++i) {
        const ControlRow& r = kLayout[i];
        EXPECT_TRUE(ids.insert(r.id).second) << r.id;
        EXPECT_GE(r.x, 0);
        EXPECT_GE(r.y, 0);
        EXPECT_LE(r.x + r.width, kPageWidth) << r.id;
        EXPECT_LE(r.y + r.height, kPageHeight) << r.id;
    }
    EXPECT_EQ(kLayoutCount, 43);
    for (int i = 0; i < kBindingCount; ++i) {
        EXPECT_NE(FindLayoutRow(kBindings[i].box), nullptr) << kBindings[i].box;
        if (kBindings[i].slider) {
            EXPECT_NE(FindLayoutRow(kBindings[i].slider), nullptr);
        }
        EXPECT_EQ(kBindings[i].param, i);
    }
    EXPECT_EQ(FindBinding(10043)->param, kParamLowFreq);
    EXPECT_EQ(FindBinding(10103), nullptr);
    // Tab visits every button, value box and slider once; every control has
    // a name, from the table or from its caption.
    std::set<int> tabStops;
    for (int i = 0; i < kReadingOrderCount; ++i) EXPECT_TRUE(tabStops.insert(kReadingOrder[i]).second);
    for (int i = 0; i < kLayoutCount; ++i) {
        const ControlRow& r = kLayout[i];
        const bool focusable = r.kind == ControlClass::kButton || r.kind == ControlClass::kValueBox ||
                               r.kind == ControlClass::kSlider;
        EXPECT_EQ(tabStops.count(r.id), focusable ? 1u : 0u) << r.id;
        EXPECT_TRUE(r.name || (r.text && r.text[0] && r.id != 10073)) << r.id;
    }
}
