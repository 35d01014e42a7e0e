// CEnvelopeSet: argument checks, values and the changed flag, envelopes for
// one or all parameters, time conversion, the capture calls, two threads, and
// the effect's editor drags on real envelopes.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "EffectHarness.h"
#include "automation/EnvelopeSet.h"
#include "automation/EnvelopeSetLink.h"

namespace {

constexpr DWORD kAll = CEnvelopeSet::kAllParams;

MP_ENVELOPE_SEGMENT Seg(REFERENCE_TIME start, REFERENCE_TIME end, float from, float to,
                        MP_CURVE_TYPE curve = MP_CURVE_LINEAR) {
    return MP_ENVELOPE_SEGMENT{start, end, from, to, curve, 0};
}

}  // namespace

TEST(EnvelopeSet, ValuesChecksAndTheChangedFlag) {
    CEnvelopeSet set;
    float v = -1;
    for (DWORD i = 0; i < kParamCount; ++i) {
        EXPECT_EQ(set.GetParam(i, &v), S_OK);
        EXPECT_EQ(v, GetParamDescriptors()[i].info.mpdNeutralValue);
    }
    EXPECT_EQ((set.GetParam(kParamDelayL, &v), v), static_cast<float>(4999.0 / 39999.0));   // (5000 - 1) / 39999
    EXPECT_EQ(set.SampleRate(), 44100);
    EXPECT_EQ(set.TestAndClearChanged(), S_FALSE);
    EXPECT_EQ(set.SetParam(3, 0.25f), S_OK);
    EXPECT_EQ((set.GetParam(3, &v), v), 0.25f);
    EXPECT_EQ(set.TestAndClearChanged(), S_OK);
    EXPECT_EQ(set.TestAndClearChanged(), S_FALSE);
    EXPECT_EQ(set.SetParam(21, 0.5f), E_INVALIDARG);
    EXPECT_EQ(set.SetParam(kAll, 0.5f), E_INVALIDARG);
    EXPECT_EQ(set.TestAndClearChanged(), S_FALSE);
    EXPECT_EQ(set.GetParam(21, nullptr), E_INVALIDARG);   // the index first
    EXPECT_EQ(set.GetParam(0, nullptr), E_POINTER);
    EXPECT_EQ(set.ValueInForce(21), 0.0f);
    // Non-finite host values: the effect's conversion keeps them out of the signal path.
    set.SetParam(kParamDelayL, NAN);
    EXPECT_EQ(NormalisedToParam(kParamDelayL, set.ValueInForce(kParamDelayL)), 5000);
    set.SetParam(kParamOutput, -INFINITY);
    EXPECT_EQ(NormalisedToParam(kParamOutput, set.ValueInForce(kParamOutput)), -361);
}

TEST(EnvelopeSet, AddAndFlushForOneOrAllParameters) {
    CEnvelopeSet set;
    // 999999 snaps to 999773 (4409 samples); a second snap would give 999546,
    // so every envelope must snap the caller's array afresh.
    MP_ENVELOPE_SEGMENT host[2] = {Seg(999999, 1999999, 0, 1), Seg(2999999, 3999999, 1, 0)};
    EXPECT_EQ(set.AddEnvelope(21, 2, host), E_INVALIDARG);
    EXPECT_EQ(set.AddEnvelope(21, 0, nullptr), E_INVALIDARG);
    EXPECT_EQ(set.AddEnvelope(kAll, 0, nullptr), S_OK);
    EXPECT_EQ(set.AddEnvelope(0, 1, nullptr), E_POINTER);
    ASSERT_EQ(set.AddEnvelope(kAll, 2, host), S_OK);
    EXPECT_EQ(host[0].rtStart, 999999);
    for (DWORD i = 0; i < kParamCount; ++i) {
        ASSERT_EQ(set.Envelope(i).SegmentCount(), 2u);
        EXPECT_EQ(set.Envelope(i).Segment(0).rtStart, 999773) << i;
        EXPECT_EQ(set.Envelope(i).Segment(0).rtEnd, 1999773) << i;   // 8819 samples
    }
    EXPECT_EQ(set.FlushEnvelope(21, 0, 1), E_INVALIDARG);
    EXPECT_EQ(set.FlushEnvelope(kAll, 2, 1), E_INVALIDARG);
    EXPECT_EQ(set.FlushEnvelope(0, 1500000, 1500000), S_OK);
    EXPECT_EQ(set.Envelope(0).SegmentCount(), 1u);
    EXPECT_EQ(set.Envelope(1).SegmentCount(), 2u);
    EXPECT_EQ(set.FlushEnvelope(kAll, kOpenStart, kOpenEnd), S_OK);
    EXPECT_EQ(set.Envelope(20).SegmentCount(), 0u);
    EXPECT_EQ(set.TestAndClearChanged(), S_FALSE);   // neither adding nor flushing is a change
    // The grid follows the rate; a rate of 0 or less is refused.
    EXPECT_EQ(set.SetSampleRate(48000), S_OK);
    EXPECT_EQ(set.SetSampleRate(0), E_INVALIDARG);
    EXPECT_EQ(set.SetSampleRate(-1), E_INVALIDARG);
    const MP_ENVELOPE_SEGMENT s48 = Seg(1234567, 2000000, 0, 1);
    set.AddEnvelope(0, 1, &s48);
    EXPECT_EQ(set.Envelope(0).Segment(0).rtStart, 1234375);   // 5925 samples at 48 kHz
}

TEST(EnvelopeSet, PositionsAndTheUpdatePass) {
    CEnvelopeSet set;
    // t = trunc(position / 0.00441 + 0.5)
    EXPECT_EQ(set.PositionToTime(1), 227);          // 226.76 + 0.5
    EXPECT_EQ(set.PositionToTime(441), 100000);
    EXPECT_EQ(set.PositionToTime(-441), -99999);    // -100000 + 0.5, toward zero
    EXPECT_EQ(set.PositionToTime(INT64_MAX), INT64_MAX);
    EXPECT_EQ(set.UpdateValues(0), S_FALSE);        // nothing automated
    EXPECT_EQ(set.TestAndClearChanged(), S_FALSE);
    const MP_ENVELOPE_SEGMENT mix = Seg(0, 1000000, 0.0f, 1.0f, MP_CURVE_JUMP);
    set.AddEnvelope(kParamMixL, 1, &mix);           // MixL alone still counts
    EXPECT_EQ(set.UpdateValues(4410), S_OK);        // t = 10^6: the jump's end, still 0
    EXPECT_EQ(set.ValueInForce(kParamMixL), 0.0f);
    EXPECT_EQ(set.TestAndClearChanged(), S_OK);
    EXPECT_EQ(set.UpdateValues(4411), S_OK);        // t = 1000227
    EXPECT_EQ(set.ValueInForce(kParamMixL), 1.0f);
    EXPECT_EQ(set.Envelope(kParamMixL).LastEvaluationTime(), 1000227);
    EXPECT_EQ(set.Envelope(kParamDelayL).LastEvaluationTime(), 0);
    set.SetSampleRate(48000);
    EXPECT_EQ(set.PositionToTime(48000), 10000000);
}

TEST(EnvelopeSet, CaptureAndChangeLists) {
    CEnvelopeSet set;
    DWORD good[2] = {0, 20}, bad[3] = {5, 21, 6}, all = kAll;
    EXPECT_EQ(set.SetCapture(good, 2, true), S_OK);
    EXPECT_TRUE(set.Envelope(20).CaptureFlag());
    EXPECT_EQ(set.SetCapture(bad, 3, true), E_INVALIDARG);   // checked whole, nothing written
    EXPECT_FALSE(set.Envelope(5).CaptureFlag());
    EXPECT_EQ(set.SetCapture(&all, 1, false), E_INVALIDARG);
    EXPECT_TRUE(set.Envelope(0).CaptureFlag());
    EXPECT_EQ(set.SetCapture(nullptr, 1, true), E_POINTER);
    EXPECT_EQ(set.SetCapture(good, 2, false), S_OK);
    EXPECT_FALSE(set.Envelope(0).CaptureFlag());
    // Changes apply in order up to the first bad index.
    DWORD indices[3] = {2, 21, 3};
    MP_DATA values[3] = {0.5f, 0.6f, 0.7f};
    EXPECT_EQ(set.ApplyChanges(indices, 3, values), E_INVALIDARG);
    EXPECT_EQ(set.ValueInForce(2), 0.5f);
    EXPECT_EQ(set.ValueInForce(3), 0.1f);   // XfeedL's neutral, untouched
    EXPECT_EQ(set.ApplyChanges(indices, 0, nullptr), S_OK);
}

TEST(EnvelopeSet, HostThreadAndStreamingThreadKeepTheListSorted) {
    CEnvelopeSet set;
    std::atomic<bool> done{false};
    std::thread streaming([&] {
        for (int64_t position = 0; !done.load(); position = (position + 441) % 441000) {
            set.UpdateValues(position);
            (void)set.ValueInForce(kParamMixL);
        }
    });
    for (int round = 0; round < 2000; ++round) {
        const REFERENCE_TIME base = (round % 100) * 100000;
        const MP_ENVELOPE_SEGMENT s[2] = {Seg(base, base + 50000, 0, 1), Seg(base + 50000, base + 100000, 1, 0)};
        set.AddEnvelope(kParamMixL, 2, s);
        if (round % 7 == 0) set.FlushEnvelope(kParamMixL, base, base + 300000);
    }
    done.store(true);
    streaming.join();
    CParamEnvelope& e = set.Envelope(kParamMixL);
    for (size_t i = 1; i < e.SegmentCount(); ++i) EXPECT_LE(e.Segment(i - 1).rtStart, e.Segment(i).rtStart);
}

TEST(EnvelopeSet, EditorDragWinsOverTheEnvelopeUntilReleased) {
    CEnvelopeSet set;
    CEnvelopeSetLink link(set);
    CStreamRun run(&link);
    const MP_ENVELOPE_SEGMENT mix = Seg(0, 100000000, 0.0f, 0.0f, MP_CURVE_JUMP);
    set.AddEnvelope(kParamMixL, 1, &mix);
    set.UpdateValues(0);
    run.effect.SetMixL(80, 1);   // begin capture, change
    EXPECT_TRUE(set.Envelope(kParamMixL).CaptureFlag());
    set.UpdateValues(441);
    // 80 * 0.01f = 13421772.5 / 2^24, a tie that rounds to even: 0.79999995f.
    EXPECT_EQ(set.ValueInForce(kParamMixL), 0.79999995f);
    ParamBlock block;
    run.effect.RefreshFromAutomation(&block);
    EXPECT_EQ(block[kParamMixL], 80);
    run.effect.EndParamCapture();
    set.UpdateValues(882);
    run.effect.RefreshFromAutomation(&block);
    EXPECT_EQ(block[kParamMixL], 0);
}
