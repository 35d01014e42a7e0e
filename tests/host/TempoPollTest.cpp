// The effect following the host's tempo through the frame: with TempoSync = 2
// and the transport running, the effect's per-buffer poll reads the test
// host's tempo map through the frame's time map and SamplesToTicks. Delay
// times are worked out by hand from tempo and note value.
#include <gtest/gtest.h>

#include "effect/Delay.h"
#include "effect/ParamTable.h"
#include "tests/host/TestPlugIn.h"

namespace {

// Frame and effect composed as the filter object composes them.
class CTempoPlugIn : public CTestOutputs<CSoftSynth>, public CDelay {
public:
    explicit CTempoPlugIn(HRESULT* phr) : CTestOutputs<CSoftSynth>(this, phr), CDelay(this) {
        SetInputFormat(&m_format);
        QviReset();
        SetAllParams(kDefaultBlock.v);
        SetTempoSync(2, 0);
        SetFactorL(7, 0);  // 1/4
        SetFactorR(9, 0);  // 1/2
    }
    ULONG RefCount() const { return m_refs; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }

    void Poll(int64_t streamPosition) {
        int32_t frames = 0;
        EXPECT_EQ(QviPollTempo(streamPosition, &frames, nullptr, 0, 0, nullptr), S_OK);
    }
    int32_t Param(int index) const { return LiveParams()[index]; }

private:
    WAVEFORMATEX m_format = {WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 48000 * 8, 8, 32, 0};
    ULONG m_refs = 1;
};

class TempoPollTest : public ::testing::Test {
protected:
    void TearDown() override {
        plugin.Disconnect();
        EXPECT_EQ(host.RefCount(), 1u);
        EXPECT_EQ(plugin.RefCount(), 1u);
    }
    void Connect() {
        host.AddRef();
        ASSERT_EQ(plugin.Connect(host.Unknown()), S_OK);
    }
    void ExpectTempoAndDelays(int32_t tempo, int32_t left, int32_t right) {
        EXPECT_EQ(plugin.Param(kParamTempo), tempo);
        EXPECT_EQ(plugin.Param(kParamDelayL), left);
        EXPECT_EQ(plugin.Param(kParamDelayR), right);
    }

    CTestHost host;
    HRESULT constructed = S_OK;
    CTempoPlugIn plugin{&constructed};
};

}  // namespace

TEST_F(TempoPollTest, FollowsTheHostsTempoChanges) {
    // 120.00 BPM up to tick 1920 (one second, 48000 frames), then 60.00.
    host.SetTempoMap({{0, 12000}, {1920, 6000}});
    EXPECT_EQ(plugin.HasTempoSource(), 0);
    Connect();
    EXPECT_EQ(plugin.HasTempoSource(), 1);
    ASSERT_EQ(plugin.OnStart(0), S_OK);
    plugin.Poll(0);
    // A beat of 5000 tenths of a millisecond: 1/4 is 1250, 1/2 is 2500.
    ExpectTempoAndDelays(1200, 1250, 2500);

    // The same tempo again changes nothing, so a user's edit stands.
    plugin.SetDelayL(3000, 0);
    plugin.Poll(47999);
    EXPECT_EQ(plugin.Param(kParamDelayL), 3000);

    // Into the slower part: a beat of 10000.
    plugin.Poll(48000);
    ExpectTempoAndDelays(600, 2500, 5000);

    // The host replaces its map while playing: 12345 -> 1234 (truncated);
    // beat 60 / 123.4 * 10000 = 4862.24, 1/4 = 1215.56 -> 1216, 1/2 -> 2431.
    host.SetTempo(12345);
    plugin.Poll(96000);
    ExpectTempoAndDelays(1234, 1216, 2431);
    EXPECT_EQ(plugin.LastHostTempo(), 12345);
    plugin.Disconnect();
    EXPECT_EQ(plugin.HasTempoSource(), 0);
}

TEST_F(TempoPollTest, FollowsThroughTheTimeMapWithoutAConverter) {
    host.offerConverter = false;
    host.SetTempoMap({{0, 12000}, {1920, 6000}});
    Connect();
    ASSERT_EQ(plugin.OnStart(0), S_OK);
    plugin.Poll(48000);  // 1000 ms -> tick 1920
    ExpectTempoAndDelays(600, 2500, 5000);
    EXPECT_EQ(host.convertCalls, 0);
}

TEST_F(TempoPollTest, LongNoteValueIsClampedToTheLongestDelay) {
    plugin.SetFactorL(19, 0);  // 8 beats at 60 BPM: 80000 computed
    host.SetTempo(6000);
    Connect();
    ASSERT_EQ(plugin.OnStart(0), S_OK);
    plugin.Poll(0);
    ExpectTempoAndDelays(600, 40000, 5000);
}

TEST_F(TempoPollTest, NoFollowingWhenStoppedOrNotInHostMode) {
    plugin.Poll(0);  // no host at all
    host.SetTempo(6000);
    Connect();
    plugin.Poll(0);  // transport not started
    ASSERT_EQ(plugin.OnStart(0), S_OK);
    ASSERT_EQ(plugin.OnStop(), S_OK);
    plugin.Poll(0);
    ASSERT_EQ(plugin.OnStart(0), S_OK);
    plugin.SetTempoSync(1, 0);
    plugin.Poll(0);
    ExpectTempoAndDelays(1200, 5000, 5000);
    EXPECT_EQ(host.tempoQueries, 0);

    plugin.SetTempoSync(2, 0);
    plugin.Poll(0);
    ExpectTempoAndDelays(600, 2500, 5000);
}
