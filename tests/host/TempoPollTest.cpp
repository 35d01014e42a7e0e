// The effect following the host's tempo through the frame: the effect's
// per-buffer tempo poll reads the test host's tempo map via the frame's time
// map and SamplesToTicks, with TempoSync = 2, while the transport runs.
// Delay times are worked out by hand from tempo and note value.
#include <gtest/gtest.h>

#include "effect/Delay.h"
#include "effect/ParamTable.h"
#include "host/SoftSynth.h"
#include "tests/host/TestHost.h"

namespace {

// The frame and the effect composed as the filter object composes them:
// CSoftSynth first, then CDelay; IUnknown supplied here, output management
// trivial.
class CTempoPlugIn : public CSoftSynth, public CDelay {
public:
    explicit CTempoPlugIn(HRESULT* phr) : CSoftSynth(this, phr), CDelay(this) {
        m_format.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
        m_format.nChannels = 2;
        m_format.nSamplesPerSec = 48000;
        m_format.wBitsPerSample = 32;
        m_format.nBlockAlign = 8;
        m_format.nAvgBytesPerSec = 48000 * 8;
        SetInputFormat(&m_format);
        QviReset();
        SetAllParams(kDefaultBlock.v);
    }

    ULONG RefCount() const { return m_refs.Count(); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        if (object) *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_refs.Add(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_refs.Drop(); }

    HRESULT AddOutput(const char*, int32_t* id) override {
        if (id) *id = 1;
        return S_OK;
    }
    HRESULT RemoveOutput(int32_t) override { return S_OK; }
    HRESULT RemoveAllOutputs() override { return S_OK; }
    CFilterOutputPin* FindOutput(int32_t) override { return nullptr; }
    int32_t GetOutputCount() override { return 1; }
    int32_t GetOutputId(int32_t index) override { return index == 0 ? 1 : -1; }

    // What the input pin does per buffer, as far as the tempo goes.
    HRESULT Poll(int64_t streamPosition) {
        int32_t frames = 0;
        return QviPollTempo(streamPosition, &frames, nullptr, 0, 0, nullptr);
    }
    int32_t Param(int index) const { return LiveParams()[index]; }

private:
    WAVEFORMATEX m_format = {};
    CTestRefCount m_refs;
};

class TempoPollTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(constructed, S_OK);
        plugin.SetTempoSync(2, 0);
        plugin.SetFactorL(7, 0);  // 1/4
        plugin.SetFactorR(9, 0);  // 1/2
    }
    void TearDown() override {
        plugin.Disconnect();
        EXPECT_EQ(host.RefCount(), 1u);
        EXPECT_EQ(plugin.RefCount(), 1u);
    }
    void ConnectAndStart() {
        host.AddRef();
        ASSERT_EQ(plugin.Connect(host.Unknown()), S_OK);
        ASSERT_EQ(plugin.OnStart(0), S_OK);
    }

    CTestHost host;
    HRESULT constructed = S_OK;
    CTempoPlugIn plugin{&constructed};
};

}  // namespace

TEST_F(TempoPollTest, TempoSourceIsTheConnectedTimeMap) {
    EXPECT_EQ(plugin.HasTempoSource(), 0);
    host.AddRef();
    ASSERT_EQ(plugin.Connect(host.Unknown()), S_OK);
    EXPECT_EQ(plugin.HasTempoSource(), 1);
    plugin.Disconnect();
    EXPECT_EQ(plugin.HasTempoSource(), 0);
}

TEST_F(TempoPollTest, HostTempoSetsTempoAndBothDelays) {
    ConnectAndStart();
    ASSERT_EQ(plugin.Poll(0), S_OK);
    // 120.00 BPM: a beat is 5000 tenths of a millisecond.
    EXPECT_EQ(plugin.Param(kParamTempo), 1200);
    EXPECT_EQ(plugin.Param(kParamDelayL), 1250);
    EXPECT_EQ(plugin.Param(kParamDelayR), 2500);
    EXPECT_EQ(plugin.LastHostTempo(), 12000);
}

TEST_F(TempoPollTest, FollowsATempoChangeInTheHostsMap) {
    // 120.00 BPM up to tick 1920 (one second, 48000 frames), then 60.00.
    host.SetTempoMap({{0, 12000}, {1920, 6000}});
    ConnectAndStart();
    ASSERT_EQ(plugin.Poll(0), S_OK);
    EXPECT_EQ(plugin.Param(kParamTempo), 1200);

    // Same tempo later on: nothing changes, a user's edit stands.
    plugin.SetDelayL(3000, 0);
    ASSERT_EQ(plugin.Poll(47999), S_OK);
    EXPECT_EQ(plugin.Param(kParamDelayL), 3000);

    // Into the slower part: a beat is 10000 tenths of a millisecond.
    ASSERT_EQ(plugin.Poll(48000), S_OK);
    EXPECT_EQ(plugin.Param(kParamTempo), 600);
    EXPECT_EQ(plugin.Param(kParamDelayL), 2500);
    EXPECT_EQ(plugin.Param(kParamDelayR), 5000);

    // The host changes its whole map while playing.
    host.SetTempo(12345);
    ASSERT_EQ(plugin.Poll(96000), S_OK);
    // 12345 -> 1234 (truncated); beat 60 / 123.4 * 10000 = 4862.237;
    // a quarter 1215.56 -> 1216, a half 2431.12 -> 2431.
    EXPECT_EQ(plugin.Param(kParamTempo), 1234);
    EXPECT_EQ(plugin.Param(kParamDelayL), 1216);
    EXPECT_EQ(plugin.Param(kParamDelayR), 2431);
    EXPECT_GT(host.convertCalls, 0);
}

TEST_F(TempoPollTest, FollowsThroughTheTimeMapWithoutAConverter) {
    host.offerConverter = false;
    host.SetTempoMap({{0, 12000}, {1920, 6000}});
    ConnectAndStart();
    // 48000 frames -> 1000 ms -> tick 1920 through the time map.
    ASSERT_EQ(plugin.Poll(48000), S_OK);
    EXPECT_EQ(plugin.Param(kParamTempo), 600);
    EXPECT_EQ(host.convertCalls, 0);
    EXPECT_GT(host.msToMusicalCalls, 0);
}

TEST_F(TempoPollTest, LongNoteValuesAreClampedToTheLongestDelay) {
    plugin.SetFactorL(19, 0);  // 8 beats
    host.SetTempo(6000);
    ConnectAndStart();
    ASSERT_EQ(plugin.Poll(0), S_OK);
    EXPECT_EQ(plugin.Param(kParamDelayL), 40000);  // 80000 computed
    EXPECT_EQ(plugin.Param(kParamDelayR), 5000);
}

TEST_F(TempoPollTest, NoFollowingWhenStoppedOrNotInHostMode) {
    host.SetTempo(6000);
    host.AddRef();
    ASSERT_EQ(plugin.Connect(host.Unknown()), S_OK);
    // Transport not started yet.
    ASSERT_EQ(plugin.Poll(0), S_OK);
    EXPECT_EQ(plugin.Param(kParamTempo), 1200);

    ASSERT_EQ(plugin.OnStart(0), S_OK);
    ASSERT_EQ(plugin.OnStop(), S_OK);
    ASSERT_EQ(plugin.Poll(0), S_OK);
    EXPECT_EQ(plugin.Param(kParamTempo), 1200);

    ASSERT_EQ(plugin.OnStart(0), S_OK);
    plugin.SetTempoSync(1, 0);
    ASSERT_EQ(plugin.Poll(0), S_OK);
    EXPECT_EQ(plugin.Param(kParamTempo), 1200);
    EXPECT_EQ(host.tempoQueries, 0);

    plugin.SetTempoSync(2, 0);
    ASSERT_EQ(plugin.Poll(0), S_OK);
    EXPECT_EQ(plugin.Param(kParamTempo), 600);
}

TEST_F(TempoPollTest, NothingWithoutAHost) {
    ASSERT_EQ(plugin.OnStart(0), S_OK);
    ASSERT_EQ(plugin.Poll(0), S_OK);
    EXPECT_EQ(plugin.Param(kParamTempo), 1200);
    EXPECT_EQ(plugin.Param(kParamDelayL), 5000);
}
