// CParamEnvelope: conversions, curve shapes, the static/automated/captured
// states, adding (snapping, repeats, order, trimming), flushing, the segment
// search, and hostile input (extreme times, non-finite values, no memory).
//
// Expected values are worked out by hand in the comments. At 44 100 Hz one
// sample is 10^7 / 44100 = 226.757... units of 100 ns, and 10^6 units are
// exactly 4410 samples, so the times used below lie on the sample grid.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "AllocationFailure.h"
#include "automation/ParamEnvelope.h"
#include "effect/ParamDescriptor.h"

namespace {

constexpr double k44100 = 44100 * 1e-7;  // samples per 100 ns
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

const ParamDescriptor& TableRow(int index) { return GetParamDescriptors()[index]; }

MP_ENVELOPE_SEGMENT Seg(REFERENCE_TIME start, REFERENCE_TIME end, float from, float to,
                        MP_CURVE_TYPE curve = MP_CURVE_LINEAR, MP_FLAGS flags = 0) {
    MP_ENVELOPE_SEGMENT s{};
    s.rtStart = start;
    s.rtEnd = end;
    s.valStart = from;
    s.valEnd = to;
    s.iCurve = curve;
    s.flags = flags;
    return s;
}

// An envelope for MixL (float, neutral 0.3) unless told otherwise.
struct Envelope : CParamEnvelope {
    explicit Envelope(int index = kParamMixL) { InitFromDescriptor(TableRow(index)); }
    HRESULT Add(const MP_ENVELOPE_SEGMENT& s) { return AddSegments(1, &s, k44100); }
    HRESULT Add(const std::vector<MP_ENVELOPE_SEGMENT>& v) {
        return AddSegments(static_cast<DWORD>(v.size()), v.data(), k44100);
    }
    float Value() {
        float v = -1.0f;
        EXPECT_EQ(GetValue(&v), S_OK);
        return v;
    }
    float At(REFERENCE_TIME t) {
        EXPECT_EQ(EvaluateAt(t), S_OK);
        return Value();
    }
    std::vector<REFERENCE_TIME> Starts() {
        std::vector<REFERENCE_TIME> out;
        for (size_t i = 0; i < SegmentCount(); ++i) out.push_back(Segment(i).rtStart);
        return out;
    }
};

// A descriptor with a range of its own, for the integer rounding rule:
// external 0..4 maps onto internal -8..8 (four internal units per external).
ParamDescriptor IntegerDescriptor(MP_TYPE type) {
    ParamDescriptor d{};
    d.info.mpType = type;
    d.info.mopCaps = MP_CAPS_CURVE_JUMP;
    d.info.mpdMinValue = 0.0f;
    d.info.mpdMaxValue = 4.0f;
    d.info.mpdNeutralValue = 2.0f;
    d.internalMinimum = -8.0f;
    d.internalMaximum = 8.0f;
    return d;
}

}  // namespace

// ---- A new envelope ---------------------------------------------------------

TEST(ParamEnvelope, NewEnvelopeReadsItsNeutralValueThroughTheStaticPath) {
    for (int i = 0; i < kParamCount; ++i) {
        Envelope e(i);
        EXPECT_EQ(e.Value(), TableRow(i).info.mpdNeutralValue) << i;
        EXPECT_TRUE(e.OverrideFlag());
        EXPECT_FALSE(e.CaptureFlag());
        EXPECT_EQ(e.StaticValue(), e.CurrentValue());
        EXPECT_EQ(e.SegmentCount(), 0u);
    }
    EXPECT_EQ(Envelope(kParamMixL).Value(), 0.3f);   // (30 - 0) / 100
    EXPECT_EQ(Envelope(kParamLink).Value(), 1.0f);
    EXPECT_EQ(Envelope(kParamListen).Value(), 0.0f);
}

TEST(ParamEnvelope, EvaluatingWithoutSegmentsChangesNothing) {
    Envelope e;
    EXPECT_EQ(e.EvaluateAt(1234567), S_FALSE);
    EXPECT_EQ(e.LastEvaluationTime(), 0);
    EXPECT_TRUE(e.OverrideFlag());
    EXPECT_EQ(e.Value(), 0.3f);
}

TEST(ParamEnvelope, GetValueRefusesANullDestination) {
    Envelope e;
    EXPECT_EQ(e.GetValue(nullptr), E_POINTER);
}

// ---- Conversions ------------------------------------------------------------

TEST(ParamEnvelope, FloatConversionIsTheIdentityForTheseDescriptors) {
    Envelope e;
    for (float v : {0.0f, 0.3f, 0.12497812f, 1.0f, -0.2f, 1.5f}) {
        EXPECT_EQ(e.ToInternal(v), v);
        e.SetStaticValue(v);
        EXPECT_EQ(e.Value(), v);   // out-of-range values pass unchanged; the effect clamps
    }
}

TEST(ParamEnvelope, BooleanRoundsAtOneHalf) {
    Envelope e(kParamLink);
    e.SetStaticValue(0.49f);
    EXPECT_EQ(e.Value(), 0.0f);
    e.SetStaticValue(0.5f);
    EXPECT_EQ(e.Value(), 1.0f);
    e.SetStaticValue(7.0f);
    EXPECT_EQ(e.Value(), 1.0f);
    e.SetStaticValue(-3.0f);
    EXPECT_EQ(e.Value(), 0.0f);
}

TEST(ParamEnvelope, IntegerAndEnumRoundHalvesUpAndNegativesDown) {
    for (MP_TYPE type : {MPT_INT, MPT_ENUM}) {
        CParamEnvelope e;
        e.InitFromDescriptor(IntegerDescriptor(type));
        // internal = v / 4 * 16 - 8, then floor(internal + 0.5)
        EXPECT_EQ(e.ToInternal(1.25f), -3.0f);     // -3.0
        EXPECT_EQ(e.ToInternal(1.3125f), -3.0f);   // -2.75 -> floor(-2.25)
        EXPECT_EQ(e.ToInternal(1.375f), -2.0f);    // -2.5 (a half) -> floor(-2.0)
        EXPECT_EQ(e.ToInternal(1.4375f), -2.0f);   // -2.25 -> floor(-1.75)
        EXPECT_EQ(e.ToInternal(2.625f), 3.0f);     // 2.5 -> 3
        // Neutral 2.0 -> internal 0 -> back to 2.0; no rounding on the way out.
        float v = -1;
        e.GetValue(&v);
        EXPECT_EQ(v, 2.0f);
        e.SetStaticValue(1.3125f);                 // internal -3 -> (-3 + 8) / 16 * 4 = 1.25
        e.GetValue(&v);
        EXPECT_EQ(v, 1.25f);
    }
}

// ---- Curve shapes (the worked examples) ----------------------------------------

TEST(ParamEnvelope, LinearSegmentWorkedExample) {
    Envelope e;
    e.Add(Seg(1000000, 2000000, 0.2f, 0.8f, MP_CURVE_LINEAR));
    ASSERT_EQ(e.SegmentCount(), 1u);
    EXPECT_EQ(e.Segment(0).rtStart, 1000000);   // on the grid: not moved
    EXPECT_EQ(e.Segment(0).rtEnd, 2000000);

    // Before the segment the current value keeps what it held (the neutral).
    EXPECT_EQ(e.EvaluateAt(500000), S_OK);
    EXPECT_EQ(e.CurrentValue(), 0.3f);
    EXPECT_EQ(e.LastEvaluationTime(), 500000);
    // x = 0.5: 0.2f + (0.8f - 0.2f) * 0.5 = 67108865 / 2^27 = 0.5000000075 -> 0.5f
    EXPECT_EQ(e.At(1500000), 0.5f);
    EXPECT_FALSE(e.OverrideFlag());
    // x = 1: 0.2f + (0.8f - 0.2f) = 0.8f exactly
    EXPECT_EQ(e.At(2000000), 0.8f);
    // after the end: the end value
    EXPECT_EQ(e.At(2500000), 0.8f);
}

TEST(ParamEnvelope, SineSquareAndInverseSquareShapes) {
    Envelope sine;
    sine.Add(Seg(1000000, 2000000, 0.2f, 0.8f, MP_CURVE_SINE));
    EXPECT_EQ(sine.At(1000000), 0.2f);   // (sin(-pi/2) + 1) / 2 = 0
    EXPECT_EQ(sine.At(1500000), 0.5f);   // (sin(0) + 1) / 2 = 1/2, as the linear midpoint
    EXPECT_EQ(sine.At(2000000), 0.8f);   // (sin(pi/2) + 1) / 2 = 1

    Envelope square;
    square.Add(Seg(1000000, 2000000, 0.0f, 1.0f, MP_CURVE_SQUARE));
    EXPECT_EQ(square.At(1500000), 0.25f);   // 0 + 1 * 0.5 * 0.5

    Envelope inverse;
    inverse.Add(Seg(1000000, 2000000, 0.0f, 1.0f, MP_CURVE_INVSQUARE));
    EXPECT_EQ(inverse.At(1500000), 0.75f);   // 1 - 1 * 0.5 * 0.5

    Envelope unknown;   // any other curve value runs as a sine
    unknown.Add(Seg(1000000, 2000000, 0.2f, 0.8f, static_cast<MP_CURVE_TYPE>(0x40)));
    EXPECT_EQ(unknown.At(1000000), 0.2f);
    EXPECT_EQ(unknown.At(1500000), 0.5f);
}

TEST(ParamEnvelope, QuarterPositionsOfEachShape) {
    // x = 0.25 exactly: 250000 / 1000000 scales both terms by the same power of 2.
    const struct {
        MP_CURVE_TYPE curve;
        float expected;
    } cases[] = {
        {MP_CURVE_LINEAR, 0.25f},     // 0 + 1 * 0.25
        {MP_CURVE_SQUARE, 0.0625f},   // 0 + 1 * 0.25 * 0.25
        {MP_CURVE_INVSQUARE, 0.4375f},  // 1 - 1 * 0.75 * 0.75
        {MP_CURVE_JUMP, 0.0f},
    };
    for (const auto& c : cases) {
        Envelope e;
        e.Add(Seg(1000000, 2000000, 0.0f, 1.0f, c.curve));
        EXPECT_EQ(e.At(1250000), c.expected) << c.curve;
    }
    // sine: (sin(-pi/4) + 1) / 2 = (1 - sqrt(2)/2) / 2 = 0.1464466...
    Envelope sine;
    sine.Add(Seg(1000000, 2000000, 0.0f, 1.0f, MP_CURVE_SINE));
    EXPECT_NEAR(sine.At(1250000), 0.14644661f, 1e-7);
}

TEST(ParamEnvelope, JumpHoldsItsStartUpToAndIncludingItsEnd) {
    Envelope e;
    e.Add(Seg(1000000, 2000000, 0.1f, 0.9f, MP_CURVE_JUMP));
    EXPECT_EQ(e.At(1000000), 0.1f);
    EXPECT_EQ(e.At(1700000), 0.1f);
    EXPECT_EQ(e.At(2000000), 0.1f);
    EXPECT_EQ(e.At(2000001), 0.9f);
}

TEST(ParamEnvelope, ZeroLengthSegmentGivesItsEndValueJumpItsStart) {
    for (MP_CURVE_TYPE curve : {MP_CURVE_LINEAR, MP_CURVE_SQUARE, MP_CURVE_INVSQUARE, MP_CURVE_SINE}) {
        Envelope e;
        e.Add(Seg(1000000, 1000000, 0.2f, 0.8f, curve));
        EXPECT_EQ(e.At(1000000), 0.8f) << curve;
        EXPECT_FALSE(std::isnan(e.CurrentValue()));
    }
    Envelope jump;
    jump.Add(Seg(1000000, 1000000, 0.2f, 0.8f, MP_CURVE_JUMP));
    EXPECT_EQ(jump.At(1000000), 0.2f);
    EXPECT_EQ(jump.At(1000001), 0.8f);
}

TEST(ParamEnvelope, GapsBetweenSegmentsHoldThePreviousEnd) {
    Envelope e;
    e.Add({Seg(1000000, 2000000, 0.0f, 0.4f), Seg(3000000, 4000000, 0.6f, 1.0f)});
    EXPECT_EQ(e.At(2500000), 0.4f);
    EXPECT_EQ(e.At(3000000), 0.6f);
    EXPECT_EQ(e.At(4500000), 1.0f);
}

// ---- Static, automated, captured ----------------------------------------------

TEST(ParamEnvelope, StaticValueInsideASegmentLastsUntilTheNextEvaluation) {
    Envelope e;
    e.Add(Seg(1000000, 2000000, 0.2f, 0.8f));
    EXPECT_EQ(e.At(1500000), 0.5f);
    EXPECT_EQ(e.SetStaticValue(0.3f), S_OK);
    EXPECT_TRUE(e.OverrideFlag());
    EXPECT_EQ(e.Value(), 0.3f);
    EXPECT_EQ(e.At(1500000), 0.5f);   // the segment takes over again
    EXPECT_FALSE(e.OverrideFlag());
}

TEST(ParamEnvelope, CaptureWinsOverTheSegmentsUntilReleased) {
    Envelope e;
    e.Add(Seg(1000000, 2000000, 0.2f, 0.8f));
    e.SetCaptureFlag(true);
    e.SetStaticValue(0.3f);
    EXPECT_EQ(e.At(1500000), 0.3f);   // read: static
    EXPECT_EQ(e.CurrentValue(), 0.5f);  // evaluation still runs
    EXPECT_FALSE(e.OverrideFlag());   // ...and clears the override inside a segment
    EXPECT_TRUE(e.CaptureFlag());
    EXPECT_EQ(e.At(2000000), 0.3f);
    e.SetCaptureFlag(false);
    EXPECT_EQ(e.Value(), 0.8f);       // follows the segments again
}

TEST(ParamEnvelope, HeldValueFollowsTheEndOfASegmentPlaybackJustPassed) {
    // Static value set inside a segment; the next evaluation is already past
    // its end: the held value becomes the segment's end value.
    Envelope e;
    e.Add(Seg(1000000, 2000000, 0.2f, 0.8f));
    e.At(1500000);
    e.SetStaticValue(0.3f);
    EXPECT_EQ(e.At(2500000), 0.8f);
    EXPECT_TRUE(e.OverrideFlag());
    EXPECT_EQ(e.StaticValue(), 0.8f);

    // Set after playback already passed the end: the static value stays.
    Envelope later;
    later.Add(Seg(1000000, 2000000, 0.2f, 0.8f));
    later.At(2200000);
    later.SetStaticValue(0.3f);
    EXPECT_EQ(later.At(2500000), 0.3f);

    // Captured: the static value stays too.
    Envelope held;
    held.Add(Seg(1000000, 2000000, 0.2f, 0.8f));
    held.At(1500000);
    held.SetCaptureFlag(true);
    held.SetStaticValue(0.3f);
    EXPECT_EQ(held.At(2500000), 0.3f);
    EXPECT_EQ(held.CurrentValue(), 0.8f);
}

// ---- Adding ---------------------------------------------------------------------

TEST(ParamEnvelope, TimesSnapToTheSampleGridInPrivateCopies) {
    Envelope e;
    // 1000001: trunc(4410.0044) = 4410 samples -> 1000000
    // 1234567: trunc(5444.44) = 5444 samples -> 5444 * 10^7 / 44100 = 1234467.12 -> 1234467
    MP_ENVELOPE_SEGMENT host[2] = {Seg(1000001, 1234567, 0.0f, 1.0f), Seg(-1234567, -1000001, 0.5f, 0.5f)};
    EXPECT_EQ(e.AddSegments(2, host, k44100), S_OK);
    EXPECT_EQ(host[0].rtStart, 1000001);   // the host's array is untouched
    EXPECT_EQ(host[0].rtEnd, 1234567);
    EXPECT_EQ(host[1].rtStart, -1234567);
    ASSERT_EQ(e.SegmentCount(), 2u);
    // Negative times: trunc(-5444.44) = -5444 -> -1234467.12 + 0.5 -> toward zero -1234466;
    // -1000001: -4410 samples -> -1000000 + 0.5 -> toward zero -999999.
    EXPECT_EQ(e.Segment(0).rtStart, -1234466);
    EXPECT_EQ(e.Segment(0).rtEnd, -999999);
    EXPECT_EQ(e.Segment(1).rtStart, 1000000);
    EXPECT_EQ(e.Segment(1).rtEnd, 1234467);
}

TEST(ParamEnvelope, SnapHelperAtOtherRates) {
    // 48 kHz: 1234567 * 0.0048 = 5925.92 -> 5925 samples -> 5925 * 10^7 / 48000 = 1234375
    EXPECT_EQ(SnapToSampleGrid(1234567, 48000 * 1e-7), 1234375);
    EXPECT_EQ(SnapToSampleGrid(1000000, 48000 * 1e-7), 1000000);
    // 44.1 kHz, 999999: 4409 samples -> 999773.24 -> 999773. Snapping that
    // again gives 4408.999 -> 4408 samples: a second snap moves it a sample,
    // which is why snapped copies are never snapped again.
    EXPECT_EQ(SnapToSampleGrid(999999, k44100), 999773);
    EXPECT_EQ(SnapToSampleGrid(999773, k44100), 999546);   // 4408 * 10^7 / 44100 = 999546.49
    // Open bounds stay; a rate that is not positive leaves the time alone.
    EXPECT_EQ(SnapToSampleGrid(kOpenStart, k44100), kOpenStart);
    EXPECT_EQ(SnapToSampleGrid(kOpenEnd, k44100), kOpenEnd);
    EXPECT_EQ(SnapToSampleGrid(1234567, 0.0), 1234567);
}

TEST(ParamEnvelope, TimesNearTheEndsOfTheRangeSaturateInsteadOfOverflowing) {
    // 2^63 - 6 lies within half a sample of 2^63: the grid point saturates at
    // the largest time instead of wrapping.
    EXPECT_EQ(SnapToSampleGrid(INT64_MAX - 5, k44100), INT64_MAX);
    EXPECT_EQ(SnapToSampleGrid(INT64_MIN + 5, k44100), INT64_MIN);
    // The highest rate a LONG can hold: t * k is beyond 2^63 samples, so
    // there is no grid point to move to and the time stays.
    EXPECT_EQ(SnapToSampleGrid(INT64_MAX - 5, 2147483647 * 1e-7), INT64_MAX - 5);
    EXPECT_EQ(SnapToSampleGrid(INT64_MIN + 5, 2147483647 * 1e-7), INT64_MIN + 5);
    EXPECT_EQ(SaturatingTrunc(1e300), INT64_MAX);
    EXPECT_EQ(SaturatingTrunc(-1e300), INT64_MIN);
    EXPECT_EQ(SaturatingTrunc(std::nan("")), 0);
    EXPECT_EQ(SaturatingTrunc(-2.9), -2);

    Envelope e;
    e.Add(Seg(INT64_MAX - 5, INT64_MAX, 0.0f, 1.0f));
    e.Add(Seg(kOpenStart, INT64_MIN + 5, 0.5f, 0.5f));
    ASSERT_EQ(e.SegmentCount(), 2u);
    EXPECT_EQ(e.Segment(0).rtStart, kOpenStart);
    EXPECT_EQ(e.Segment(1).rtStart, INT64_MAX);
}

TEST(ParamEnvelope, SegmentOverTheWholeTimeLineEvaluatesWithoutOverflow) {
    // t - start = 2^63 and end - start = 2^64 - 1 (2^64 as a double): x = 1/2.
    Envelope e;
    e.Add(Seg(kOpenStart, kOpenEnd, 0.0f, 1.0f));
    EXPECT_EQ(e.At(0), 0.5f);
    EXPECT_EQ(e.At(kOpenEnd), 1.0f);
    EXPECT_EQ(e.At(kOpenStart), 0.0f);
}

TEST(ParamEnvelope, RepeatedSegmentsAreKeptOnce) {
    Envelope e;
    const MP_ENVELOPE_SEGMENT s = Seg(1000000, 2000000, 0.2f, 0.8f);
    e.Add(s);
    e.Add(s);
    EXPECT_EQ(e.SegmentCount(), 1u);
    // Repeats inside one call, and segments that differ in one field only.
    e.Add({s, s, Seg(1000000, 2000000, 0.2f, 0.8f, MP_CURVE_LINEAR, 1), Seg(1000000, 2000000, 0.2f, 0.8f, MP_CURVE_SINE),
           Seg(1000000, 2000000, 0.2f, 0.7f), Seg(1000000, 2000001, 0.2f, 0.8f)});
    // 2000001 snaps to 2000000, so that last one repeats s as well.
    EXPECT_EQ(e.SegmentCount(), 4u);
    // A NaN segment given twice is one segment too.
    const MP_ENVELOPE_SEGMENT n = Seg(3000000, 4000000, kNaN, kNaN);
    e.Add({n, n});
    e.Add(n);
    EXPECT_EQ(e.SegmentCount(), 5u);
}

TEST(ParamEnvelope, SegmentsAddedOutOfOrderAreHeldSorted) {
    Envelope e;
    e.Add({Seg(5000000, 5500000, 0, 1), Seg(1000000, 1500000, 0, 1), Seg(3000000, 3500000, 0, 1)});
    e.Add({Seg(4000000, 4500000, 0, 1), Seg(2000000, 2500000, 0, 1)});
    EXPECT_EQ(e.Starts(), (std::vector<REFERENCE_TIME>{1000000, 2000000, 3000000, 4000000, 5000000}));
}

TEST(ParamEnvelope, AddingLaterSegmentsDropsThoseLongPassed) {
    Envelope e;
    e.Add({Seg(1000000, 1500000, 0, 1), Seg(2000000, 2500000, 0, 1), Seg(3000000, 3500000, 0, 1),
           Seg(4000000, 4500000, 0, 1), Seg(5000000, 5500000, 0, 1)});
    e.EvaluateAt(4200000);   // in force: index 3
    // Everything new starts after the last evaluation: j = 3 - 1 = 2 dropped.
    e.Add(Seg(6000000, 6500000, 0, 1));
    EXPECT_EQ(e.Starts(), (std::vector<REFERENCE_TIME>{3000000, 4000000, 5000000, 6000000}));
    // Something new at or before the last evaluation: nothing is dropped.
    e.Add(Seg(1000000, 1500000, 0, 1));
    EXPECT_EQ(e.Starts(), (std::vector<REFERENCE_TIME>{1000000, 3000000, 4000000, 5000000, 6000000}));
    // In force index 1 (j = 0) or before every segment (j = -2): nothing dropped.
    Envelope f;
    f.Add({Seg(1000000, 1500000, 0, 1), Seg(2000000, 2500000, 0, 1)});
    f.EvaluateAt(2200000);
    f.Add(Seg(3000000, 3500000, 0, 1));
    EXPECT_EQ(f.SegmentCount(), 3u);
    f.EvaluateAt(500000);
    f.Add(Seg(4000000, 4500000, 0, 1));
    EXPECT_EQ(f.SegmentCount(), 4u);
}

TEST(ParamEnvelope, AllocationFailureReportsOutOfMemoryAndKeepsTheList) {
    Envelope e;
    e.Add({Seg(1000000, 1500000, 0, 1), Seg(2000000, 2500000, 0, 1)});
    const std::vector<REFERENCE_TIME> before = e.Starts();
    const MP_ENVELOPE_SEGMENT more[3] = {Seg(3000000, 3500000, 0, 1), Seg(500000, 600000, 0, 1),
                                         Seg(4000000, 4500000, 0, 1)};
    HRESULT hr;
    {
        CFailAllocations failing;
        hr = e.AddSegments(3, more, k44100);
    }
    EXPECT_EQ(hr, E_OUTOFMEMORY);
    EXPECT_EQ(e.Starts(), before);
    // The lock was released on the way out: the envelope is usable.
    EXPECT_EQ(e.AddSegments(3, more, k44100), S_OK);
    EXPECT_EQ(e.SegmentCount(), 5u);
}

TEST(ParamEnvelope, ACountBeyondWhatTheListCanIndexIsRefusedUnread) {
    Envelope e;
    const MP_ENVELOPE_SEGMENT one = Seg(1000000, 2000000, 0, 1);
    EXPECT_EQ(e.AddSegments(0x80000000u, &one, k44100), E_OUTOFMEMORY);
    EXPECT_EQ(e.SegmentCount(), 0u);
    EXPECT_EQ(e.AddSegments(0, nullptr, k44100), S_OK);
    EXPECT_EQ(e.AddSegments(1, nullptr, k44100), E_POINTER);
}

// ---- Non-finite values ----------------------------------------------------------

TEST(ParamEnvelope, NonFiniteValuesPassThroughWithoutHarm) {
    Envelope e;
    e.SetStaticValue(kNaN);
    EXPECT_TRUE(std::isnan(e.Value()));
    e.SetStaticValue(kInf);
    EXPECT_EQ(e.Value(), kInf);

    Envelope b(kParamListen);   // Boolean: NaN is not >= 0.5
    b.SetStaticValue(kNaN);
    EXPECT_EQ(b.Value(), 0.0f);
    b.SetStaticValue(kInf);
    EXPECT_EQ(b.Value(), 1.0f);

    CParamEnvelope i;
    i.InitFromDescriptor(IntegerDescriptor(MPT_INT));
    EXPECT_TRUE(std::isnan(i.ToInternal(kNaN)));
    EXPECT_EQ(i.ToInternal(-kInf), -kInf);

    for (MP_CURVE_TYPE curve : {MP_CURVE_JUMP, MP_CURVE_LINEAR, MP_CURVE_SQUARE, MP_CURVE_INVSQUARE, MP_CURVE_SINE}) {
        Envelope s;
        s.Add(Seg(1000000, 2000000, kNaN, kInf, curve));
        s.At(1500000);
        s.At(2500000);
        EXPECT_EQ(s.CurrentValue(), kInf) << curve;
    }
    Envelope huge;   // -FLT_MAX .. FLT_MAX: the double sum stays in range
    huge.Add(Seg(1000000, 2000000, -std::numeric_limits<float>::max(), std::numeric_limits<float>::max()));
    EXPECT_EQ(huge.At(1500000), 0.0f);
}

// ---- Flushing -----------------------------------------------------------------

TEST(ParamEnvelope, FlushOverTheWholeTimeLineLeavesTheLastAutomatedValue) {
    Envelope e;
    e.Add(Seg(1000000, 2000000, 0.2f, 0.8f));
    EXPECT_EQ(e.At(1500000), 0.5f);
    EXPECT_FALSE(e.OverrideFlag());
    EXPECT_EQ(e.FlushSegments(kOpenStart, kOpenEnd, k44100), S_OK);
    EXPECT_EQ(e.SegmentCount(), 0u);
    EXPECT_TRUE(e.OverrideFlag());
    EXPECT_EQ(e.StaticValue(), 0.5f);
    EXPECT_EQ(e.Value(), 0.5f);
    EXPECT_EQ(e.LastEvaluationTime(), 0);
    EXPECT_EQ(e.EvaluateAt(1500000), S_FALSE);
}

TEST(ParamEnvelope, FlushRemovesOverlapsAndKeepsSegmentsThatOnlyTouch) {
    Envelope e;
    e.Add({Seg(1000000, 2000000, 0, 1), Seg(2000000, 3000000, 0, 1), Seg(3000000, 4000000, 0, 1),
           Seg(4000000, 5000000, 0, 1)});
    // [2000000, 3000000] overlaps only the second segment; the first ends
    // where the range starts and the third starts where it ends.
    e.FlushSegments(2000000, 3000000, k44100);
    EXPECT_EQ(e.Starts(), (std::vector<REFERENCE_TIME>{1000000, 3000000, 4000000}));
    // Flush times are snapped like segment times: 3999999 -> 3999773, still inside the third.
    e.FlushSegments(3999999, 3999999, k44100);
    EXPECT_EQ(e.Starts(), (std::vector<REFERENCE_TIME>{1000000, 4000000}));
    // An open start reaches everything before the end.
    e.FlushSegments(kOpenStart, 1500000, k44100);
    EXPECT_EQ(e.Starts(), (std::vector<REFERENCE_TIME>{4000000}));
}

TEST(ParamEnvelope, FlushOfAHeldParameterKeepsItsStaticValue) {
    Envelope e;
    e.Add(Seg(1000000, 2000000, 0.2f, 0.8f));
    e.At(1500000);
    e.SetCaptureFlag(true);
    e.SetStaticValue(0.9f);
    e.FlushSegments(kOpenStart, kOpenEnd, k44100);
    EXPECT_EQ(e.StaticValue(), 0.9f);
    e.SetCaptureFlag(false);
    EXPECT_EQ(e.Value(), 0.9f);   // override set by SetStaticValue
}

// ---- The segment search ---------------------------------------------------------

TEST(ParamEnvelope, FindSegmentIndexBasics) {
    Envelope e;
    EXPECT_EQ(e.FindSegmentIndex(0), -1);
    e.Add({Seg(1000000, 1500000, 0, 1), Seg(2000000, 2500000, 0, 1), Seg(3000000, 3500000, 0, 1)});
    EXPECT_EQ(e.FindSegmentIndex(999999), -1);
    EXPECT_EQ(e.FindSegmentIndex(1000000), 0);
    EXPECT_EQ(e.FindSegmentIndex(1999999), 0);
    EXPECT_EQ(e.FindSegmentIndex(2000000), 1);
    EXPECT_EQ(e.FindSegmentIndex(2999999), 1);
    EXPECT_EQ(e.FindSegmentIndex(3000000), 2);
    EXPECT_EQ(e.FindSegmentIndex(kOpenEnd), 2);
    EXPECT_EQ(e.FindSegmentIndex(kOpenStart), -1);
}

TEST(ParamEnvelope, FindSegmentIndexAgreesWithALinearScan) {
    // Lists of every size up to 40 with repeated start times; the result must
    // be a segment of the group of the greatest start at or before t.
    uint32_t seed = 12345;
    auto next = [&seed]() { return seed = seed * 1103515245u + 12345u; };
    for (int n = 1; n <= 40; ++n) {
        Envelope e;
        std::vector<MP_ENVELOPE_SEGMENT> segs;
        for (int i = 0; i < n; ++i) {
            const REFERENCE_TIME start = 1000000 * static_cast<REFERENCE_TIME>(next() % 16);
            segs.push_back(Seg(start, start + 500000, static_cast<float>(i), 0.0f));
        }
        e.Add(segs);
        const int count = static_cast<int>(e.SegmentCount());
        for (REFERENCE_TIME t = -500000; t <= 17000000; t += 250000) {
            int last = -1;
            for (int i = 0; i < count; ++i)
                if (e.Segment(i).rtStart <= t) last = i;
            const int found = e.FindSegmentIndex(t);
            if (last < 0) {
                EXPECT_EQ(found, -1) << n << " " << t;
            } else {
                ASSERT_GE(found, 0) << n << " " << t;
                EXPECT_EQ(e.Segment(found).rtStart, e.Segment(last).rtStart) << n << " " << t;
            }
        }
    }
}
