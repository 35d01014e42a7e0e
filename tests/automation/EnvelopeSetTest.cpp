// CEnvelopeSet: the media-params object's parameter work without COM. Index
// and argument checks, SetParam/GetParam and the changed flag, envelopes for
// one or all parameters, flushing, the capture calls, time conversion and the
// per-buffer pass; and the effect driven by real envelopes.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "EffectHarness.h"
#include "automation/EnvelopeSet.h"
#include "effect/AutomationLink.h"
#include "effect/ParamDescriptor.h"

namespace {

constexpr DWORD kAll = CEnvelopeSet::kAllParams;

MP_ENVELOPE_SEGMENT Seg(REFERENCE_TIME start, REFERENCE_TIME end, float from, float to,
                        MP_CURVE_TYPE curve = MP_CURVE_LINEAR) {
    MP_ENVELOPE_SEGMENT s{};
    s.rtStart = start;
    s.rtEnd = end;
    s.valStart = from;
    s.valEnd = to;
    s.iCurve = curve;
    return s;
}

float Get(const CEnvelopeSet& set, DWORD index) {
    float v = -1.0f;
    EXPECT_EQ(set.GetParam(index, &v), S_OK);
    return v;
}

}  // namespace

TEST(EnvelopeSet, StartsAtTheNeutralValuesAt44100WithNothingChanged) {
    CEnvelopeSet set;
    const ParamDescriptor* table = GetParamDescriptors();
    for (DWORD i = 0; i < kParamCount; ++i) {
        EXPECT_EQ(Get(set, i), table[i].info.mpdNeutralValue) << i;
        EXPECT_EQ(set.ValueInForce(i), table[i].info.mpdNeutralValue) << i;
        EXPECT_EQ(set.Envelope(i).Descriptor().info.mpType, table[i].info.mpType);
    }
    EXPECT_EQ(Get(set, kParamDelayL), static_cast<float>(4999.0 / 39999.0));   // (5000 - 1) / 39999
    EXPECT_EQ(set.SampleRate(), 44100);
    EXPECT_EQ(set.TestAndClearChanged(), S_FALSE);
}

TEST(EnvelopeSet, SetParamStoresRaisesTheFlagAndChecksTheIndex) {
    CEnvelopeSet set;
    EXPECT_EQ(set.SetParam(3, 0.25f), S_OK);
    EXPECT_EQ(Get(set, 3), 0.25f);
    EXPECT_EQ(set.TestAndClearChanged(), S_OK);
    EXPECT_EQ(set.TestAndClearChanged(), S_FALSE);
    EXPECT_EQ(set.SetParam(21, 0.5f), E_INVALIDARG);
    EXPECT_EQ(set.SetParam(kAll, 0.5f), E_INVALIDARG);
    EXPECT_EQ(set.TestAndClearChanged(), S_FALSE);
    float v = 0;
    EXPECT_EQ(set.GetParam(21, &v), E_INVALIDARG);
    EXPECT_EQ(set.GetParam(21, nullptr), E_INVALIDARG);   // the index is checked first
    EXPECT_EQ(set.GetParam(0, nullptr), E_POINTER);
    EXPECT_EQ(set.ValueInForce(21), 0.0f);
    set.MarkChanged();
    EXPECT_EQ(set.TestAndClearChanged(), S_OK);
}

TEST(EnvelopeSet, AddEnvelopeChecksInOrder) {
    CEnvelopeSet set;
    const MP_ENVELOPE_SEGMENT s = Seg(1000000, 2000000, 0.2f, 0.8f);
    EXPECT_EQ(set.AddEnvelope(21, 1, &s), E_INVALIDARG);
    EXPECT_EQ(set.AddEnvelope(21, 0, nullptr), E_INVALIDARG);
    EXPECT_EQ(set.AddEnvelope(0, 0, nullptr), S_OK);
    EXPECT_EQ(set.AddEnvelope(kAll, 0, nullptr), S_OK);
    EXPECT_EQ(set.AddEnvelope(0, 1, nullptr), E_POINTER);
    EXPECT_EQ(set.AddEnvelope(4, 1, &s), S_OK);
    EXPECT_EQ(set.Envelope(4).SegmentCount(), 1u);
    EXPECT_EQ(set.Envelope(3).SegmentCount(), 0u);
    EXPECT_EQ(set.TestAndClearChanged(), S_FALSE);   // adding is not a change
}

TEST(EnvelopeSet, OneArrayForAllParametersGivesIdenticalSegments) {
    // 999999 snaps to 999773 (4409 samples). Snapping 999773 once more would
    // give 999546: every envelope must get its own first snap of the array.
    CEnvelopeSet set;
    MP_ENVELOPE_SEGMENT host[2] = {Seg(999999, 1999999, 0.0f, 1.0f), Seg(2999999, 3999999, 1.0f, 0.0f)};
    ASSERT_EQ(set.AddEnvelope(kAll, 2, host), S_OK);
    EXPECT_EQ(host[0].rtStart, 999999);
    EXPECT_EQ(host[1].rtEnd, 3999999);
    for (DWORD i = 0; i < kParamCount; ++i) {
        ASSERT_EQ(set.Envelope(i).SegmentCount(), 2u) << i;
        EXPECT_EQ(set.Envelope(i).Segment(0).rtStart, 999773) << i;
        EXPECT_EQ(set.Envelope(i).Segment(0).rtEnd, 1999773) << i;   // 8819 samples
        EXPECT_EQ(set.Envelope(i).Segment(1).rtStart, 2999773) << i;  // 13229 samples
    }
}

TEST(EnvelopeSet, SnappingFollowsTheSampleRate) {
    CEnvelopeSet set;
    EXPECT_EQ(set.SetSampleRate(48000), S_OK);
    const MP_ENVELOPE_SEGMENT s = Seg(1234567, 2000000, 0.0f, 1.0f);
    set.AddEnvelope(0, 1, &s);
    EXPECT_EQ(set.Envelope(0).Segment(0).rtStart, 1234375);   // 5925 samples at 48 kHz
    // A rate of zero or less would divide by zero: refused, the rate stays.
    EXPECT_EQ(set.SetSampleRate(0), E_INVALIDARG);
    EXPECT_EQ(set.SetSampleRate(-44100), E_INVALIDARG);
    EXPECT_EQ(set.SampleRate(), 48000);
}

TEST(EnvelopeSet, FlushEnvelopeChecksAndReachesOneOrAll) {
    CEnvelopeSet set;
    const MP_ENVELOPE_SEGMENT s[2] = {Seg(1000000, 2000000, 0, 1), Seg(3000000, 4000000, 0, 1)};
    set.AddEnvelope(kAll, 2, s);
    EXPECT_EQ(set.FlushEnvelope(21, 0, 1), E_INVALIDARG);
    EXPECT_EQ(set.FlushEnvelope(0, 2, 1), E_INVALIDARG);
    EXPECT_EQ(set.FlushEnvelope(kAll, 2, 1), E_INVALIDARG);
    EXPECT_EQ(set.FlushEnvelope(0, 1500000, 1500000), S_OK);
    EXPECT_EQ(set.Envelope(0).SegmentCount(), 1u);
    EXPECT_EQ(set.Envelope(1).SegmentCount(), 2u);
    EXPECT_EQ(set.FlushEnvelope(kAll, kOpenStart, kOpenEnd), S_OK);
    for (DWORD i = 0; i < kParamCount; ++i) EXPECT_EQ(set.Envelope(i).SegmentCount(), 0u);
    EXPECT_EQ(set.TestAndClearChanged(), S_FALSE);
}

TEST(EnvelopeSet, PositionsBecomeRoundedReferenceTimes) {
    CEnvelopeSet set;
    // t = trunc(position / 0.00441 + 0.5)
    EXPECT_EQ(set.PositionToTime(0), 0);
    EXPECT_EQ(set.PositionToTime(1), 227);          // 226.76 + 0.5
    EXPECT_EQ(set.PositionToTime(441), 100000);
    EXPECT_EQ(set.PositionToTime(44100), 10000000);
    EXPECT_EQ(set.PositionToTime(-441), -99999);    // -100000 + 0.5, toward zero
    EXPECT_EQ(set.PositionToTime(INT64_MAX), INT64_MAX);   // saturates
    set.SetSampleRate(48000);
    EXPECT_EQ(set.PositionToTime(48000), 10000000);
    EXPECT_EQ(set.PositionToTime(3), 625);
}

TEST(EnvelopeSet, UpdateValuesEvaluatesEveryEnvelopeAndRaisesTheFlag) {
    CEnvelopeSet set;
    EXPECT_EQ(set.UpdateValues(0), S_FALSE);   // nothing automated
    EXPECT_EQ(set.TestAndClearChanged(), S_FALSE);

    // Only MixL automated: the pass still reports it.
    const MP_ENVELOPE_SEGMENT mix = Seg(0, 1000000, 0.0f, 1.0f, MP_CURVE_JUMP);
    set.AddEnvelope(kParamMixL, 1, &mix);
    EXPECT_EQ(set.UpdateValues(4410), S_OK);   // t = 1000000: jump still at its start
    EXPECT_EQ(set.ValueInForce(kParamMixL), 0.0f);
    EXPECT_EQ(set.TestAndClearChanged(), S_OK);
    EXPECT_EQ(set.UpdateValues(4411), S_OK);   // t = 1000227: past the end
    EXPECT_EQ(set.ValueInForce(kParamMixL), 1.0f);
    EXPECT_EQ(set.Envelope(kParamMixL).LastEvaluationTime(), 1000227);
    EXPECT_EQ(set.Envelope(kParamDelayL).LastEvaluationTime(), 0);   // no segments: untouched
    EXPECT_EQ(set.ValueInForce(kParamDelayL), static_cast<float>(4999.0 / 39999.0));
}

TEST(EnvelopeSet, CaptureCallsCheckTheWholeListFirst) {
    CEnvelopeSet set;
    DWORD good[2] = {0, 20};
    EXPECT_EQ(set.SetCapture(good, 2, true), S_OK);
    EXPECT_TRUE(set.Envelope(0).CaptureFlag());
    EXPECT_TRUE(set.Envelope(20).CaptureFlag());
    DWORD bad[3] = {5, 21, 6};
    EXPECT_EQ(set.SetCapture(bad, 3, true), E_INVALIDARG);
    EXPECT_FALSE(set.Envelope(5).CaptureFlag());   // nothing written
    DWORD huge[1] = {0xFFFFFFFF};
    EXPECT_EQ(set.SetCapture(huge, 1, false), E_INVALIDARG);
    EXPECT_TRUE(set.Envelope(0).CaptureFlag());
    EXPECT_EQ(set.SetCapture(nullptr, 1, true), E_POINTER);
    EXPECT_EQ(set.SetCapture(nullptr, 0, true), S_OK);
    EXPECT_EQ(set.SetCapture(good, 2, false), S_OK);
    EXPECT_FALSE(set.Envelope(0).CaptureFlag());
    EXPECT_FALSE(set.Envelope(20).CaptureFlag());
}

TEST(EnvelopeSet, ApplyChangesStopsAtTheFirstBadIndex) {
    CEnvelopeSet set;
    DWORD indices[3] = {2, 21, 3};
    MP_DATA values[3] = {0.5f, 0.6f, 0.7f};
    EXPECT_EQ(set.ApplyChanges(indices, 3, values), E_INVALIDARG);
    EXPECT_EQ(Get(set, 2), 0.5f);
    EXPECT_EQ(Get(set, 3), 0.1f);   // untouched: XfeedL's neutral 10 / 100
    EXPECT_EQ(set.ApplyChanges(indices, 0, nullptr), S_OK);
    EXPECT_EQ(set.ApplyChanges(indices, 1, nullptr), E_POINTER);
}

TEST(EnvelopeSet, NonFiniteHostValuesStayOutOfTheSignalPath) {
    CEnvelopeSet set;
    set.SetParam(kParamDelayL, std::nanf(""));
    EXPECT_TRUE(std::isnan(set.ValueInForce(kParamDelayL)));
    EXPECT_EQ(NormalisedToParam(kParamDelayL, set.ValueInForce(kParamDelayL)), 5000);   // the default
    set.SetParam(kParamDelayL, INFINITY);
    EXPECT_EQ(NormalisedToParam(kParamDelayL, set.ValueInForce(kParamDelayL)), 40000);
    set.SetParam(kParamOutput, -INFINITY);
    EXPECT_EQ(NormalisedToParam(kParamOutput, set.ValueInForce(kParamOutput)), -361);
}

TEST(EnvelopeSet, HostCallsAndStreamingOnTwoThreadsKeepTheListSorted) {
    // A host thread adds and flushes while the streaming thread evaluates and
    // the editor's reads run without a lock; the envelope's lock keeps the
    // list whole. Afterwards the list must still be sorted and values finite.
    CEnvelopeSet set;
    std::atomic<bool> done{false};
    std::thread streaming([&] {
        int64_t position = 0;
        while (!done.load()) {
            set.UpdateValues(position);
            (void)set.ValueInForce(kParamMixL);
            position = (position + 441) % 441000;
        }
    });
    for (int round = 0; round < 2000; ++round) {
        const REFERENCE_TIME base = (round % 100) * 100000;
        const MP_ENVELOPE_SEGMENT s[2] = {Seg(base, base + 50000, 0.0f, 1.0f), Seg(base + 50000, base + 100000, 1.0f, 0.0f)};
        set.AddEnvelope(kParamMixL, 2, s);
        if (round % 7 == 0) set.FlushEnvelope(kParamMixL, base, base + 300000);
    }
    done.store(true);
    streaming.join();
    CParamEnvelope& e = set.Envelope(kParamMixL);
    for (size_t i = 1; i < e.SegmentCount(); ++i) EXPECT_LE(e.Segment(i - 1).rtStart, e.Segment(i).rtStart);
    EXPECT_TRUE(std::isfinite(set.ValueInForce(kParamMixL)));
}

// ---- The effect on real envelopes ---------------------------------------------

namespace {

// The effect's automation link over an envelope set, without a host.
class CSetLink : public IAutomationLink {
public:
    explicit CSetLink(CEnvelopeSet& set) : m_set(set) {}
    HRESULT STDMETHODCALLTYPE SetParam(DWORD index, MP_DATA value) override { return m_set.SetParam(index, value); }
    MP_DATA ValueInForce(DWORD index) const override { return m_set.ValueInForce(index); }
    HRESULT TestAndClearChanged() override { return m_set.TestAndClearChanged(); }
    HRESULT STDMETHODCALLTYPE ParamsBeginCapture(DWORD* indices, DWORD count) override {
        return m_set.SetCapture(indices, count, true);
    }
    HRESULT STDMETHODCALLTYPE ParamsChanged(DWORD* indices, DWORD count, MP_DATA* values) override {
        return m_set.ApplyChanges(indices, count, values);
    }
    HRESULT STDMETHODCALLTYPE ParamsEndCapture(DWORD* indices, DWORD count) override {
        return m_set.SetCapture(indices, count, false);
    }

private:
    CEnvelopeSet& m_set;
};

}  // namespace

TEST(EnvelopeSet, MixEnvelopeSwitchesTheLeftOutputAtTheRightBuffer) {
    // Buffers of 441 frames start at t = 100000 * b. A jump segment on MixL
    // from 0.0 to 1.0 over [0, 1000000] holds 0 (dry only) through buffer 10,
    // which starts exactly at its end, and gives 1.0 (wet only) from buffer 11.
    CEnvelopeSet set;
    CSetLink link(set);
    CStreamRun run(&link);
    const MP_ENVELOPE_SEGMENT mix = Seg(0, 1000000, 0.0f, 1.0f, MP_CURVE_JUMP);
    ASSERT_EQ(set.AddEnvelope(kParamMixL, 1, &mix), S_OK);
    const auto out = run.Run(14, 441, 0.5f, [&](int64_t position) { set.UpdateValues(position); });
    ASSERT_EQ(out.size(), 14u);
    for (int b = 0; b <= 10; ++b) {
        // dry gain cos(0) = 1, wet gain 0: the input plus the 1e-30 offset
        EXPECT_EQ(out[b][0], 0.5f) << b;
        EXPECT_EQ(out[b][2 * 440], 0.5f) << b;
    }
    for (int b = 11; b < 14; ++b) {
        // wet only, and the 500 ms line has nothing to give yet
        EXPECT_LT(std::fabs(out[b][0]), 1e-6f) << b;
        EXPECT_LT(std::fabs(out[b][2 * 440]), 1e-6f) << b;
    }
    // The right channel (MixR 30 %) does not move.
    EXPECT_EQ(out[10][1], out[11][1]);
    EXPECT_EQ(run.effect.LiveParams()[kParamMixL], 100);
}

TEST(EnvelopeSet, EditorDragsCaptureTheEnvelopeAndWinOverAutomation) {
    CEnvelopeSet set;
    CSetLink link(set);
    CStreamRun run(&link);
    const MP_ENVELOPE_SEGMENT mix = Seg(0, 100000000, 0.0f, 0.0f, MP_CURVE_JUMP);
    set.AddEnvelope(kParamMixL, 1, &mix);
    set.UpdateValues(0);
    EXPECT_EQ(set.ValueInForce(kParamMixL), 0.0f);
    // A drag of MixL to 80 % with notify: begin capture, change.
    run.effect.SetMixL(80, 1);
    EXPECT_TRUE(set.Envelope(kParamMixL).CaptureFlag());
    set.UpdateValues(441);
    // The hand wins. The effect's normalised 80 % is 80 * 0.01f = 13421772.5 / 2^24,
    // a tie that rounds to even: 0.79999995f.
    EXPECT_EQ(set.ValueInForce(kParamMixL), 0.79999995f);
    ParamBlock block;
    run.effect.RefreshFromAutomation(&block);
    EXPECT_EQ(block[kParamMixL], 80);
    // Released: the envelope is back in force at the next evaluation.
    run.effect.EndParamCapture();
    EXPECT_FALSE(set.Envelope(kParamMixL).CaptureFlag());
    set.UpdateValues(882);
    run.effect.RefreshFromAutomation(&block);
    EXPECT_EQ(block[kParamMixL], 0);
}
