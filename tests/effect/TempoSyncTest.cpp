// Tempo sync: the note-value table, the delay-from-tempo rule, and the host
// tempo poll against a fake instrument frame and a fake host time map.
#include <gtest/gtest.h>

#include <vector>

#include "effect/OfflineEffect.h"
#include "effect/TempoSync.h"
#include "host/QviSynthContext.h"

namespace {

// --- table and rule ---------------------------------------------------------------

TEST(NoteValues, TwentyRatiosThenTheEndEntry) {
    const int expected[21][2] = {{1, 32}, {1, 24}, {1, 16}, {1, 12}, {1, 8}, {1, 6}, {1, 5},
                                 {1, 4},  {1, 3},  {1, 2},  {2, 3},  {3, 4}, {1, 1}, {3, 2},
                                 {2, 1},  {3, 1},  {4, 1},  {5, 1},  {6, 1}, {8, 1}, {0, 0}};
    for (int i = 0; i < 21; ++i) {
        EXPECT_EQ(expected[i][0], kNoteValues[i].numerator) << i;
        EXPECT_EQ(expected[i][1], kNoteValues[i].denominator) << i;
    }
}

TEST(DelayFromTempo, HandWorkedValues) {
    // One beat at 120.0 BPM is 0.5 s, 5000 tenths of a millisecond.
    EXPECT_EQ(5000, DelayFromTempo(1200, 12));
    EXPECT_EQ(1250, DelayFromTempo(1200, 7));     // 1/4
    EXPECT_EQ(2500, DelayFromTempo(1200, 9));     // 1/2
    EXPECT_EQ(80000, DelayFromTempo(600, 19));    // 8 beats at 60 BPM: 8 s
    EXPECT_EQ(156, DelayFromTempo(1200, 0));      // 5000 / 32 = 156.25
    EXPECT_EQ(3333, DelayFromTempo(1200, 10));    // 2/3 of 5000 = 3333.33
    EXPECT_EQ(3750, DelayFromTempo(1200, 11));    // 3/4
    EXPECT_EQ(1000, DelayFromTempo(1200, 6));     // 1/5
    // 60 / 123.4 * 10000 = 4862.236..., * 3/2 = 7293.35... -> 7293
    EXPECT_EQ(7293, DelayFromTempo(1234, 13));
    // 1/24 at 120.0: 208.33 -> 208; 1/12: 416.67 -> 417 (rounded half up)
    EXPECT_EQ(208, DelayFromTempo(1200, 1));
    EXPECT_EQ(417, DelayFromTempo(1200, 3));
}

TEST(TempoFromHost, TruncatesInSinglePrecision) {
    EXPECT_EQ(1200, TempoFromHost(12000));
    EXPECT_EQ(1234, TempoFromHost(12345));
    EXPECT_EQ(600, TempoFromHost(6000));
    EXPECT_EQ(0, TempoFromHost(9));
}

// --- the poll ---------------------------------------------------------------------

class CFakeTimeMap : public IWbxHostTimeMap {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE MusicalToMs(WBX_MUSICAL_TIME, int32_t* ms) override {
        *ms = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE MsToMusical(int32_t, WBX_MUSICAL_TIME* ticks) override {
        *ticks = 0;
        return S_OK;
    }
    int32_t STDMETHODCALLTYPE GetTempoKey(WBX_MUSICAL_TIME ticks) override {
        keyTicks.push_back(ticks);
        return ticks + 1000;
    }
    HRESULT STDMETHODCALLTYPE GetTempo(int32_t key, int32_t* entryTime, int32_t* t) override {
        tempoKeys.push_back(key);
        *entryTime = -1;
        *t = tempo;
        return result;
    }

    int32_t tempo = 12000;
    HRESULT result = S_OK;
    std::vector<WBX_MUSICAL_TIME> keyTicks;
    std::vector<int32_t> tempoKeys;
};

class CFakeFrame : public CQviSynthContext {
public:
    HRESULT AddOutput(const char*, int32_t*) override { return E_NOTIMPL; }
    HRESULT RemoveOutput(int32_t) override { return E_NOTIMPL; }
    HRESULT RemoveAllOutputs() override { return E_NOTIMPL; }
    CFilterOutputPin* FindOutput(int32_t) override { return nullptr; }
    int32_t GetOutputCount() override { return 0; }
    int32_t GetOutputId(int32_t) override { return 0; }
    int64_t TicksToSamples(WBX_MUSICAL_TIME ticks) override { return ticks; }
    // A fixed scale, so that the test can see what the poll passed on.
    WBX_MUSICAL_TIME SamplesToTicks(int64_t frames) override {
        samples.push_back(frames);
        return static_cast<WBX_MUSICAL_TIME>(frames / 10);
    }
    IWbxHostTimeMap* GetHostTimeMap() override { return timeMap; }

    IWbxHostTimeMap* timeMap = nullptr;
    std::vector<int64_t> samples;
};

class TempoPoll : public ::testing::Test {
protected:
    TempoPoll() : fx(&frame) {
        frame.timeMap = &timeMap;
        fx.QviReset();
        ParamBlock b = kDefaultBlock;
        b[kParamTempoSync] = 2;
        b[kParamFactorL] = 7;   // 1/4
        b[kParamFactorR] = 9;   // 1/2
        fx.SetAllParams(b.v);
        fx.OnTransportStart();
        fx.SetRefreshPending(0);
    }
    int32_t Get(int index) {
        int32_t v = 0;
        fx.GetParamValue(index, &v);
        return v;
    }
    void Poll(int64_t position = 4800) { EXPECT_EQ(S_OK, fx.QviPollTempo(position, nullptr, nullptr, 0, 0, nullptr)); }

    CFakeTimeMap timeMap;
    CFakeFrame frame;
    COfflineEffect fx;
};

TEST_F(TempoPoll, HostTempoSetsTempoAndBothDelays) {
    Poll(48000);
    EXPECT_EQ(1200, Get(kParamTempo));
    EXPECT_EQ(1250, Get(kParamDelayL));
    EXPECT_EQ(2500, Get(kParamDelayR));
    EXPECT_EQ(12000, fx.LastHostTempo());
    EXPECT_EQ(0, fx.IsUpToDate());   // the editor is told to re-read
}

TEST_F(TempoPoll, QueriesTheMapAtTheStreamPosition) {
    Poll(48000);
    ASSERT_EQ(1u, frame.samples.size());
    EXPECT_EQ(48000, frame.samples[0]);
    ASSERT_EQ(1u, timeMap.keyTicks.size());
    EXPECT_EQ(4800u, timeMap.keyTicks[0]);
    ASSERT_EQ(1u, timeMap.tempoKeys.size());
    EXPECT_EQ(5800, timeMap.tempoKeys[0]);   // the first query's result, passed on
}

TEST_F(TempoPoll, ComputedDelayIsClampedByTheSetter) {
    timeMap.tempo = 6000;
    fx.SetFactorL(19, 0);   // 8/1 at 60 BPM: 80000
    Poll();
    EXPECT_EQ(600, Get(kParamTempo));
    EXPECT_EQ(40000, Get(kParamDelayL));
    EXPECT_EQ(5000, Get(kParamDelayR));   // 1/2 at 60 BPM
}

TEST_F(TempoPoll, TempoIsTruncatedNotRounded) {
    timeMap.tempo = 12345;
    Poll();
    EXPECT_EQ(1234, Get(kParamTempo));
    // 60 / 123.4 * 10000 / 4 = 1215.56 -> 1216
    EXPECT_EQ(1216, Get(kParamDelayL));
}

TEST_F(TempoPoll, RepeatedTempoIsIgnoredEvenAfterAManualChange) {
    Poll();
    fx.SetDelayL(777, 1);
    fx.SetRefreshPending(0);
    Poll();
    EXPECT_EQ(777, Get(kParamDelayL));
    EXPECT_EQ(1, fx.IsUpToDate());
    timeMap.tempo = 6000;   // a new tempo rewrites it
    Poll();
    EXPECT_EQ(2500, Get(kParamDelayL));
}

TEST_F(TempoPoll, ManualSyncDoesNothing) {
    fx.SetTempoSync(1, 0);
    Poll();
    EXPECT_EQ(5000, Get(kParamDelayL));
    EXPECT_TRUE(frame.samples.empty());
    EXPECT_EQ(0, fx.LastHostTempo());
}

TEST_F(TempoPoll, StoppedTransportDoesNothing) {
    fx.OnTransportStop();
    Poll();
    EXPECT_EQ(5000, Get(kParamDelayL));
    EXPECT_EQ(1200, Get(kParamTempo));
    fx.OnTransportStart();
    Poll();
    EXPECT_EQ(1250, Get(kParamDelayL));
}

TEST_F(TempoPoll, NewEffectDoesNotFollowBeforeTheTransportStarts) {
    COfflineEffect fresh(&frame);
    ParamBlock b = kDefaultBlock;
    b[kParamTempoSync] = 2;
    fresh.SetAllParams(b.v);
    fresh.QviPollTempo(0, nullptr, nullptr, 0, 0, nullptr);
    EXPECT_EQ(0, fresh.LastHostTempo());
}

TEST_F(TempoPoll, NoTimeMapNoTempoOrAFailedQueryDoNothing) {
    frame.timeMap = nullptr;
    Poll();
    EXPECT_EQ(0, fx.LastHostTempo());
    frame.timeMap = &timeMap;
    timeMap.tempo = 0;
    Poll();
    timeMap.tempo = -5;
    Poll();
    timeMap.tempo = 9000;
    timeMap.result = E_FAIL;
    Poll();
    EXPECT_EQ(0, fx.LastHostTempo());
    EXPECT_EQ(5000, Get(kParamDelayL));
    EXPECT_EQ(1, fx.IsUpToDate());
}

TEST_F(TempoPoll, HasTempoSourceFollowsTheTimeMap) {
    EXPECT_EQ(1, fx.HasTempoSource());
    frame.timeMap = nullptr;
    EXPECT_EQ(0, fx.HasTempoSource());
}

}  // namespace
