// CParamEnvelope: conversions, curve shapes, static/automated/captured states,
// adding (snapping, repeats, order, trimming), flushing, the segment search,
// and hostile input (extreme times, non-finite values, no memory).
// Expected values are worked out by hand. At 44 100 Hz 10^6 units of 100 ns
// are exactly 4410 samples, so the round times below lie on the sample grid.
#include <gtest/gtest.h>

#include <cstring>

#include <atomic>
#include <chrono>
#include <cmath>
#include <future>
#include <thread>
#include <limits>
#include <vector>

#include "AllocationFailure.h"
#include "automation/ParamEnvelope.h"

namespace {

constexpr double k44100 = 44100 * 1e-7;  // samples per 100 ns
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

MP_ENVELOPE_SEGMENT Seg(REFERENCE_TIME start, REFERENCE_TIME end, float from, float to,
                        MP_CURVE_TYPE curve = MP_CURVE_LINEAR, MP_FLAGS flags = 0) {
    return MP_ENVELOPE_SEGMENT{start, end, from, to, curve, flags};
}

// An envelope of the parameter table (MixL, neutral 0.3, unless told).
struct Envelope : CParamEnvelope {
    explicit Envelope(int index = kParamMixL) { InitFromDescriptor(GetParamDescriptors()[index]); }
    explicit Envelope(const ParamDescriptor& d) { InitFromDescriptor(d); }
    HRESULT Add(std::vector<MP_ENVELOPE_SEGMENT> v) { return AddSegments(DWORD(v.size()), v.data(), k44100); }
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

// External 0..4 onto internal -8..8: four internal units per external one.
ParamDescriptor IntegerDescriptor(MP_TYPE type) {
    ParamDescriptor d{};
    d.info.mpType = type;
    d.info.mpdMaxValue = 4.0f;
    d.info.mpdNeutralValue = 2.0f;
    d.internalMinimum = -8.0f;
    d.internalMaximum = 8.0f;
    return d;
}

}  // namespace

TEST(ParamEnvelope, NewEnvelopeReadsItsNeutralValueAndIgnoresEvaluation) {
    for (int i = 0; i < kParamCount; ++i) {
        Envelope e(i);
        EXPECT_EQ(e.Value(), GetParamDescriptors()[i].info.mpdNeutralValue) << i;
        EXPECT_TRUE(e.OverrideFlag());
        EXPECT_EQ(e.EvaluateAt(1234567), S_FALSE);
        EXPECT_EQ(e.LastEvaluationTime(), 0);
    }
    EXPECT_EQ(Envelope(kParamMixL).Value(), 0.3f);   // (30 - 0) / 100
    EXPECT_EQ(Envelope().GetValue(nullptr), E_POINTER);
}

TEST(ParamEnvelope, ConversionsFloatBooleanIntegerEnum) {
    Envelope f;
    for (float v : {0.0f, 0.3f, 1.0f, -0.2f, 1.5f}) EXPECT_EQ((f.SetStaticValue(v), f.Value()), v);
    Envelope b(kParamLink);
    const float boolIn[] = {0.49f, 0.5f, 7.0f, -3.0f, kNaN, kInf};
    const float boolOut[] = {0.0f, 1.0f, 1.0f, 0.0f, 0.0f, 1.0f};
    for (int i = 0; i < 6; ++i) EXPECT_EQ((b.SetStaticValue(boolIn[i]), b.Value()), boolOut[i]) << i;
    for (MP_TYPE type : {MPT_INT, MPT_ENUM}) {
        // internal = v / 4 * 16 - 8, then floor(internal + 0.5): halves up, negatives down
        Envelope e(IntegerDescriptor(type));
        EXPECT_EQ(e.ToInternal(1.3125f), -3.0f);   // -2.75
        EXPECT_EQ(e.ToInternal(1.375f), -2.0f);    // -2.5
        EXPECT_EQ(e.ToInternal(1.4375f), -2.0f);   // -2.25
        EXPECT_EQ(e.ToInternal(2.625f), 3.0f);     // 2.5
        EXPECT_EQ(e.Value(), 2.0f);                // neutral 2 -> 0 -> 2
        EXPECT_EQ((e.SetStaticValue(1.3125f), e.Value()), 1.25f);   // -3 -> 5 / 16 * 4, not rounded
        EXPECT_TRUE(std::isnan(e.ToInternal(kNaN)));
    }
}

TEST(ParamEnvelope, CurveShapes) {
    // Segments over [10^6, 2 * 10^6]: t = 1250000, 1500000 give x = 1/4, 1/2
    // exactly (the two distances scale 1e-7 by a power of 2 of each other).
    const struct {
        MP_CURVE_TYPE curve;
        float from, to;
        REFERENCE_TIME t;
        float expected;
    } cases[] = {
        // 0.2f + (0.8f - 0.2f) / 2 = 67108865 / 2^27 = 0.5000000075 -> 0.5f
        {MP_CURVE_LINEAR, 0.2f, 0.8f, 1500000, 0.5f},
        {MP_CURVE_LINEAR, 0.2f, 0.8f, 2000000, 0.8f},   // 0.2f + (0.8f - 0.2f) exactly
        {MP_CURVE_LINEAR, 0.0f, 1.0f, 1250000, 0.25f},
        {MP_CURVE_SINE, 0.2f, 0.8f, 1000000, 0.2f},     // (sin(-pi/2) + 1) / 2 = 0
        {MP_CURVE_SINE, 0.2f, 0.8f, 1500000, 0.5f},     // (sin(0) + 1) / 2
        {MP_CURVE_SINE, 0.2f, 0.8f, 2000000, 0.8f},
        {MP_CURVE_SQUARE, 0.0f, 1.0f, 1500000, 0.25f},     // 1 * 0.5 * 0.5
        {MP_CURVE_SQUARE, 0.0f, 1.0f, 1250000, 0.0625f},
        {MP_CURVE_INVSQUARE, 0.0f, 1.0f, 1500000, 0.75f},  // 1 - 1 * 0.5 * 0.5
        {MP_CURVE_INVSQUARE, 0.0f, 1.0f, 1250000, 0.4375f},  // 1 - 0.75 * 0.75
        {MP_CURVE_JUMP, 0.1f, 0.9f, 1000000, 0.1f},
        {MP_CURVE_JUMP, 0.1f, 0.9f, 2000000, 0.1f},    // held up to and including the end
        {MP_CURVE_JUMP, 0.1f, 0.9f, 2000001, 0.9f},    // then the end value
        {MP_CURVE_LINEAR, 0.2f, 0.8f, 2500000, 0.8f},
    };
    for (const auto& c : cases) {
        Envelope e;
        e.Add({Seg(1000000, 2000000, c.from, c.to, c.curve)});
        EXPECT_EQ(e.At(c.t), c.expected) << c.curve << " at " << c.t;
    }
    Envelope sine;   // (sin(-pi/4) + 1) / 2 = 0.1464466
    sine.Add({Seg(1000000, 2000000, 0.0f, 1.0f, MP_CURVE_SINE)});
    EXPECT_NEAR(sine.At(1250000), 0.14644661f, 1e-7);
    // Zero length: no position (0 / 0); every curve but the jump gives its end.
    for (MP_CURVE_TYPE curve : {MP_CURVE_JUMP, MP_CURVE_LINEAR, MP_CURVE_SQUARE, MP_CURVE_INVSQUARE, MP_CURVE_SINE}) {
        Envelope z;
        z.Add({Seg(1000000, 1000000, 0.2f, 0.8f, curve)});
        EXPECT_EQ(z.At(1000000), curve == MP_CURVE_JUMP ? 0.2f : 0.8f) << curve;
        EXPECT_EQ(z.At(1000001), 0.8f);
    }
}

// A host may send any 32-bit curve code; codes outside the enumeration are
// drawn as a sine. They are read as the integers they are: loading one as
// the enumeration type is undefined (UndefinedBehaviorSanitizer stops there).
TEST(ParamEnvelope, UnknownCurveCodesAreSines) {
    for (uint32_t code : {0x20u, 0x40u, 0x80000000u, 0xFFFFFFFFu}) {
        MP_ENVELOPE_SEGMENT segment = Seg(1000000, 2000000, 0.2f, 0.8f, MP_CURVE_SINE);
        std::memcpy(&segment.iCurve, &code, sizeof code);
        Envelope e;
        e.Add({segment});
        EXPECT_EQ(e.At(1500000), 0.5f) << code;
    }
}

TEST(ParamEnvelope, WorkedExampleBeforeInsideAfterAndGaps) {
    Envelope e;
    e.Add({Seg(1000000, 2000000, 0.2f, 0.8f), Seg(3000000, 4000000, 0.6f, 1.0f)});
    EXPECT_EQ(e.Segment(0).rtStart, 1000000);   // on the grid: not moved
    EXPECT_EQ(e.Segment(0).rtEnd, 2000000);
    EXPECT_EQ(e.EvaluateAt(500000), S_OK);      // before: the current value stays
    EXPECT_EQ(e.CurrentValue(), 0.3f);
    EXPECT_EQ(e.LastEvaluationTime(), 500000);
    EXPECT_EQ(e.At(1500000), 0.5f);
    EXPECT_FALSE(e.OverrideFlag());
    EXPECT_EQ(e.At(2500000), 0.8f);   // gap: the previous end
    EXPECT_EQ(e.At(3000000), 0.6f);
    EXPECT_EQ(e.At(4500000), 1.0f);
}

TEST(ParamEnvelope, StaticCapturedAndPassedSegmentEnds) {
    Envelope e;
    e.Add({Seg(1000000, 2000000, 0.2f, 0.8f)});
    e.At(1500000);
    e.SetStaticValue(0.3f);   // in force until the next evaluation
    EXPECT_TRUE(e.OverrideFlag());
    EXPECT_EQ(e.Value(), 0.3f);
    EXPECT_EQ(e.At(1500000), 0.5f);
    EXPECT_FALSE(e.OverrideFlag());

    e.SetCaptureFlag(true);   // the editor holds it: static wins, evaluation goes on
    e.SetStaticValue(0.3f);
    EXPECT_EQ(e.At(2000000), 0.3f);
    EXPECT_EQ(e.CurrentValue(), 0.8f);
    EXPECT_FALSE(e.OverrideFlag());
    e.SetCaptureFlag(false);
    EXPECT_EQ(e.Value(), 0.8f);

    // Static value set inside; next evaluation past the end: held value follows the end.
    Envelope p;
    p.Add({Seg(1000000, 2000000, 0.2f, 0.8f)});
    p.At(1500000);
    p.SetStaticValue(0.3f);
    EXPECT_EQ(p.At(2500000), 0.8f);
    EXPECT_EQ(p.StaticValue(), 0.8f);
    p.SetStaticValue(0.3f);   // set after the end was passed: stays
    EXPECT_EQ(p.At(2600000), 0.3f);
    p.At(1500000);            // captured while passing the end: stays
    p.SetCaptureFlag(true);
    p.SetStaticValue(0.4f);
    EXPECT_EQ(p.At(2500000), 0.4f);
}

TEST(ParamEnvelope, SnappingIntoPrivateCopiesWithoutOverflow) {
    // 1000001: trunc(4410.0044) = 4410 samples -> 10^6.
    // 1234567: 5444 samples -> 5444 * 10^7 / 44100 = 1234467.12 -> 1234467.
    // Negative: -5444 -> -1234467.12 + 0.5 -> toward zero -1234466; -1000001 -> -999999.
    Envelope e;
    MP_ENVELOPE_SEGMENT host[2] = {Seg(1000001, 1234567, 0, 1), Seg(-1234567, -1000001, 0, 1)};
    EXPECT_EQ(e.AddSegments(2, host, k44100), S_OK);
    EXPECT_EQ(host[0].rtStart, 1000001);   // the caller's array is untouched
    EXPECT_EQ(host[1].rtEnd, -1000001);
    EXPECT_EQ(e.Starts(), (std::vector<REFERENCE_TIME>{-1234466, 1000000}));
    EXPECT_EQ(e.Segment(0).rtEnd, -999999);
    EXPECT_EQ(e.Segment(1).rtEnd, 1234467);
    // 48 kHz: 5925 samples -> 1234375. 999999 -> 4409 samples -> 999773, and a
    // second snap of that moves it a sample (4408 -> 999546).
    EXPECT_EQ(SnapToSampleGrid(1234567, 48000 * 1e-7), 1234375);
    EXPECT_EQ(SnapToSampleGrid(999999, k44100), 999773);
    EXPECT_EQ(SnapToSampleGrid(999773, k44100), 999546);
    // Open bounds stay; the grid point nearest 2^63 - 6 saturates; beyond 2^63
    // samples there is no grid and the time stays.
    EXPECT_EQ(SnapToSampleGrid(kOpenStart, k44100), kOpenStart);
    EXPECT_EQ(SnapToSampleGrid(kOpenEnd, k44100), kOpenEnd);
    EXPECT_EQ(SnapToSampleGrid(INT64_MAX - 5, k44100), INT64_MAX);
    EXPECT_EQ(SnapToSampleGrid(INT64_MIN + 5, k44100), INT64_MIN);
    EXPECT_EQ(SnapToSampleGrid(INT64_MAX - 5, 2147483647 * 1e-7), INT64_MAX - 5);
    EXPECT_EQ(SnapToSampleGrid(1234567, 0.0), 1234567);
    EXPECT_EQ(SaturatingTrunc(1e300), INT64_MAX);
    EXPECT_EQ(SaturatingTrunc(-1e300), INT64_MIN);
    EXPECT_EQ(SaturatingTrunc(std::nan("")), 0);
    // The whole line: t - start = 2^63, end - start = 2^64 - 1 -> x = 1/2.
    Envelope whole;
    whole.Add({Seg(kOpenStart, kOpenEnd, 0.0f, 1.0f)});
    EXPECT_EQ(whole.At(0), 0.5f);
    EXPECT_EQ(whole.At(kOpenEnd), 1.0f);
    EXPECT_EQ(whole.At(kOpenStart), 0.0f);
}

TEST(ParamEnvelope, RepeatsOrderAndTrimming) {
    Envelope e;
    const MP_ENVELOPE_SEGMENT s = Seg(1000000, 2000000, 0.2f, 0.8f);
    e.Add({s});
    e.Add({s});
    EXPECT_EQ(e.SegmentCount(), 1u);
    // Repeats in one call and segments that differ in one field; 2000001
    // snaps to 2000000, so the last one repeats s too.
    e.Add({s, s, Seg(1000000, 2000000, 0.2f, 0.8f, MP_CURVE_LINEAR, 1), Seg(1000000, 2000000, 0.2f, 0.8f, MP_CURVE_SINE),
           Seg(1000000, 2000000, 0.2f, 0.7f), Seg(1000000, 2000001, 0.2f, 0.8f)});
    EXPECT_EQ(e.SegmentCount(), 4u);
    e.Add({Seg(3000000, 4000000, kNaN, kNaN), Seg(3000000, 4000000, kNaN, kNaN)});   // NaN repeats too
    EXPECT_EQ(e.SegmentCount(), 5u);

    Envelope t;   // out of order in, sorted held
    t.Add({Seg(5000000, 5500000, 0, 1), Seg(1000000, 1500000, 0, 1), Seg(3000000, 3500000, 0, 1)});
    t.Add({Seg(4000000, 4500000, 0, 1), Seg(2000000, 2500000, 0, 1)});
    EXPECT_EQ(t.Starts(), (std::vector<REFERENCE_TIME>{1000000, 2000000, 3000000, 4000000, 5000000}));
    t.EvaluateAt(4200000);   // index 3 in force
    t.Add({Seg(6000000, 6500000, 0, 1)});   // all later: 3 - 1 = 2 dropped
    EXPECT_EQ(t.Starts(), (std::vector<REFERENCE_TIME>{3000000, 4000000, 5000000, 6000000}));
    t.Add({Seg(1000000, 1500000, 0, 1)});   // not all later: nothing dropped
    EXPECT_EQ(t.SegmentCount(), 5u);
    t.EvaluateAt(1200000);   // index 0 in force: j = -1
    t.Add({Seg(7000000, 7500000, 0, 1)});
    EXPECT_EQ(t.SegmentCount(), 6u);
}

TEST(ParamEnvelope, NoMemoryLeavesTheListAsItWas) {
    Envelope e;
    e.Add({Seg(1000000, 1500000, 0, 1), Seg(2000000, 2500000, 0, 1)});
    const MP_ENVELOPE_SEGMENT more[2] = {Seg(3000000, 3500000, 0, 1), Seg(500000, 600000, 0, 1)};
    HRESULT hr;
    {
        CFailAllocations failing;
        hr = e.AddSegments(2, more, k44100);
    }
    EXPECT_EQ(hr, E_OUTOFMEMORY);
    EXPECT_EQ(e.Starts(), (std::vector<REFERENCE_TIME>{1000000, 2000000}));
    EXPECT_EQ(e.AddSegments(2, more, k44100), S_OK);   // and the lock was released
    EXPECT_EQ(e.SegmentCount(), 4u);
    // More than a signed 32-bit index can reach: refused before reading.
    EXPECT_EQ(e.AddSegments(0x80000000u, more, k44100), E_OUTOFMEMORY);
    EXPECT_EQ(e.AddSegments(1, nullptr, k44100), E_POINTER);
    {   // A flush needs a copy too; without memory it removes in place.
        CFailAllocations failing;
        EXPECT_EQ(e.FlushSegments(900000, 1600000, k44100), S_OK);
    }
    EXPECT_EQ(e.Starts(), (std::vector<REFERENCE_TIME>{500000, 2000000, 3000000}));
}

TEST(ParamEnvelope, NonFiniteValuesPassWithoutHarm) {
    Envelope e;
    EXPECT_TRUE(std::isnan((e.SetStaticValue(kNaN), e.Value())));
    for (MP_CURVE_TYPE curve : {MP_CURVE_JUMP, MP_CURVE_LINEAR, MP_CURVE_SQUARE, MP_CURVE_INVSQUARE, MP_CURVE_SINE}) {
        Envelope s;
        s.Add({Seg(1000000, 2000000, kNaN, kInf, curve)});
        s.At(1500000);
        EXPECT_EQ(s.At(2500000), kInf) << curve;
    }
    Envelope huge;   // -FLT_MAX .. FLT_MAX: the double sum stays in range
    huge.Add({Seg(1000000, 2000000, -std::numeric_limits<float>::max(), std::numeric_limits<float>::max())});
    EXPECT_EQ(huge.At(1500000), 0.0f);
}

TEST(ParamEnvelope, Flushing) {
    Envelope e;   // a flush over the whole line leaves the last automated value
    e.Add({Seg(1000000, 2000000, 0.2f, 0.8f)});
    e.At(1500000);
    EXPECT_EQ(e.FlushSegments(kOpenStart, kOpenEnd, k44100), S_OK);
    EXPECT_EQ(e.SegmentCount(), 0u);
    EXPECT_TRUE(e.OverrideFlag());
    EXPECT_EQ(e.Value(), 0.5f);
    EXPECT_EQ(e.LastEvaluationTime(), 0);

    Envelope o;   // overlaps go, touching segments stay, flush times are snapped
    o.Add({Seg(1000000, 2000000, 0, 1), Seg(2000000, 3000000, 0, 1), Seg(3000000, 4000000, 0, 1),
           Seg(4000000, 5000000, 0, 1)});
    o.FlushSegments(2000000, 3000000, k44100);
    EXPECT_EQ(o.Starts(), (std::vector<REFERENCE_TIME>{1000000, 3000000, 4000000}));
    o.FlushSegments(3999999, 3999999, k44100);   // 3999773: inside the third only
    EXPECT_EQ(o.Starts(), (std::vector<REFERENCE_TIME>{1000000, 4000000}));
    o.FlushSegments(kOpenStart, 1500000, k44100);
    EXPECT_EQ(o.Starts(), (std::vector<REFERENCE_TIME>{4000000}));

    Envelope h;   // a held parameter keeps its static value
    h.Add({Seg(1000000, 2000000, 0.2f, 0.8f)});
    h.At(1500000);
    h.SetCaptureFlag(true);
    h.SetStaticValue(0.9f);
    h.FlushSegments(kOpenStart, kOpenEnd, k44100);
    h.SetCaptureFlag(false);
    EXPECT_EQ(h.Value(), 0.9f);
}

TEST(ParamEnvelope, FindSegmentIndexAgreesWithALinearScan) {
    EXPECT_EQ(Envelope().FindSegmentIndex(0), -1);
    // Lists of every size up to 40 with repeated starts: the result must lie
    // in the group of the greatest start at or before t, or be -1.
    uint32_t seed = 12345;
    for (int n = 1; n <= 40; ++n) {
        Envelope e;
        std::vector<MP_ENVELOPE_SEGMENT> segs;
        for (int i = 0; i < n; ++i) {
            const REFERENCE_TIME start = 1000000 * ((seed = seed * 1103515245u + 12345u) % 16);
            segs.push_back(Seg(start, start + 500000, float(i), 0.0f));
        }
        e.Add(segs);
        for (REFERENCE_TIME t : {kOpenStart, kOpenEnd}) EXPECT_EQ(e.FindSegmentIndex(t), t == kOpenEnd ? n - 1 : -1);
        for (REFERENCE_TIME t = -500000; t <= 17000000; t += 250000) {
            int last = -1;
            for (int i = 0; i < n; ++i)
                if (e.Segment(i).rtStart <= t) last = i;
            const int found = e.FindSegmentIndex(t);
            ASSERT_EQ(found < 0, last < 0) << n << " " << t;
            if (last >= 0) {
                EXPECT_EQ(e.Segment(found).rtStart, e.Segment(last).rtStart) << n << " " << t;
            }
        }
    }
}

// The streaming thread's evaluation never waits for a host adding or flushing
// segments: while another thread holds the list lock (a writer swapping its
// list in) it returns at once and the value stays; with a writer replacing
// whole lists all the time, every evaluation sees one list or the other.
TEST(ParamEnvelope, EvaluationNeverWaitsForAWriter) {
    Envelope e;
    e.Add({Seg(1000000, 2000000, 0.2f, 0.8f)});
    EXPECT_EQ(e.At(1500000), 0.5f);
    std::promise<void> held, release;
    std::thread writer([&] {
        e.Lock();
        held.set_value();
        release.get_future().wait_for(std::chrono::seconds(10));
        e.Unlock();
    });
    held.get_future().wait();
    auto evaluation = std::async(std::launch::async, [&] { return e.EvaluateAt(1250000); });
    const bool returned = evaluation.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    release.set_value();
    writer.join();
    ASSERT_TRUE(returned) << "EvaluateAt waited for the list lock";
    EXPECT_EQ(evaluation.get(), S_FALSE);
    EXPECT_EQ(e.Value(), 0.5f);           // kept for that buffer
    EXPECT_EQ(e.At(1250000), 0.35f);      // and follows again afterwards

    // Lists A (0.25 throughout) and B (0.75, two segments) replaced whole,
    // by adds and flushes, while this thread evaluates.
    Envelope r;
    const std::vector<MP_ENVELOPE_SEGMENT> a = {Seg(0, 40000000, 0.25f, 0.25f)};
    const std::vector<MP_ENVELOPE_SEGMENT> b = {Seg(0, 20000000, 0.75f, 0.75f), Seg(20000000, 40000000, 0.75f, 0.75f)};
    r.Add(a);
    std::atomic<bool> done{false};
    std::atomic<int> replaced{0};
    std::thread host([&] {
        for (int i = 0; !done; ++i, ++replaced) {
            const auto& list = i % 2 ? a : b;
            r.FlushSegments(kOpenStart, kOpenEnd, k44100);
            r.AddSegments(DWORD(list.size()), list.data(), k44100);
        }
    });
    // 500 evaluations that found a list while the host replaced it 500
    // times, within ten seconds.
    int evaluated = 0;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (REFERENCE_TIME t = 1; (evaluated < 500 || replaced < 500) && std::chrono::steady_clock::now() < limit;
         t = t % 39000000 + 4410) {
        if (r.EvaluateAt(t) != S_OK) continue;
        ++evaluated;
        const float v = r.CurrentValue();
        if (v != 0.25f && v != 0.75f) ADD_FAILURE() << v;
    }
    done = true;
    host.join();
    EXPECT_GE(evaluated, 500);
    EXPECT_GE(replaced, 500);
}
