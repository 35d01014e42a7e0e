// Conversions between musical time and frames through the host's services:
// converter first, then the time map at a sample rate, else 0; truncation
// toward zero; answers outside the ranges clamped.
#include <gtest/gtest.h>

#include <limits>

#include "host/HostTime.h"
#include "tests/host/TestHost.h"

namespace {

// A time map that answers fixed values and records what it was asked.
class CFixedTimeMap : public IWbxHostTimeMap {
public:
    int32_t msAnswer = 0;
    WBX_MUSICAL_TIME ticksAnswer = 0;
    int32_t lastMs = 12345;
    HRESULT result = S_OK;
    int calls = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE MusicalToMs(WBX_MUSICAL_TIME, int32_t* ms) override {
        ++calls;
        *ms = msAnswer;
        return result;
    }
    HRESULT STDMETHODCALLTYPE MsToMusical(int32_t ms, WBX_MUSICAL_TIME* ticks) override {
        ++calls;
        lastMs = ms;
        *ticks = ticksAnswer;
        return result;
    }
    int32_t STDMETHODCALLTYPE GetTempoKey(WBX_MUSICAL_TIME) override { return 0; }
    HRESULT STDMETHODCALLTYPE GetTempo(int32_t, int32_t*, int32_t*) override { return E_NOTIMPL; }
};

class CFixedConverter : public IWbxHostTimeConverter {
public:
    int64_t answer = 0;
    WbxTimeRecord asked = {0, 0};
    int32_t askedTarget = 0;
    HRESULT result = S_OK;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE ConvertTime(WbxTimeRecord* time, int32_t target) override {
        asked = *time;
        askedTarget = target;
        time->format = target;
        time->value = answer;
        return result;
    }
};

}  // namespace

TEST(HostTime, ConverterIsAskedFirstWithTheFormatCodes) {
    CFixedConverter converter;
    CFixedTimeMap map;
    converter.answer = 123456789012;
    EXPECT_EQ(HostTicksToFrames(&converter, &map, 48000, 960), 123456789012);
    EXPECT_EQ(converter.asked.format, 3);
    EXPECT_EQ(converter.asked.value, 960);
    EXPECT_EQ(converter.askedTarget, 2);
    EXPECT_EQ(map.calls, 0);

    converter.answer = 480;
    EXPECT_EQ(HostFramesToTicks(&converter, &map, 48000, 24000), 480u);
    EXPECT_EQ(converter.asked.format, 2);
    EXPECT_EQ(converter.asked.value, 24000);
    EXPECT_EQ(converter.askedTarget, 3);

    // Musical time is 32-bit unsigned: answers outside it are clamped.
    converter.answer = -5;
    EXPECT_EQ(HostFramesToTicks(&converter, nullptr, 48000, 1), 0u);
    converter.answer = int64_t{1} << 40;
    EXPECT_EQ(HostFramesToTicks(&converter, nullptr, 48000, 1), 0xFFFFFFFFu);

    // A failing converter gives 0 and the time map is not asked instead.
    converter.result = E_FAIL;
    EXPECT_EQ(HostTicksToFrames(&converter, &map, 48000, 960), 0);
    EXPECT_EQ(HostFramesToTicks(&converter, &map, 48000, 960), 0u);
    EXPECT_EQ(map.calls, 0);
}

TEST(HostTime, TimeMapGoesThroughMillisecondsTruncatingTowardZero) {
    CFixedTimeMap map;
    map.msAnswer = 500;
    EXPECT_EQ(HostTicksToFrames(nullptr, &map, 48000, 960), 24000);
    EXPECT_EQ(HostTicksToFrames(nullptr, &map, 44100, 960), 22050);
    map.msAnswer = 7;  // 7 * 44100 / 1000 = 308.7
    EXPECT_EQ(HostTicksToFrames(nullptr, &map, 44100, 1), 308);
    map.msAnswer = -1;  // -44.1
    EXPECT_EQ(HostTicksToFrames(nullptr, &map, 44100, 1), -44);
    map.msAnswer = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(HostTicksToFrames(nullptr, &map, 0xFFFFFFFFu, 1), int64_t{2147483647} * 4294967295 / 1000);

    map.ticksAnswer = 99;
    EXPECT_EQ(HostFramesToTicks(nullptr, &map, 48000, 24000), 99u);
    EXPECT_EQ(map.lastMs, 500);
    HostFramesToTicks(nullptr, &map, 48000, 47);  // 0.979 ms
    EXPECT_EQ(map.lastMs, 0);
    HostFramesToTicks(nullptr, &map, 48000, -47);
    EXPECT_EQ(map.lastMs, 0);
    HostFramesToTicks(nullptr, &map, 48000, -48);
    EXPECT_EQ(map.lastMs, -1);
    HostFramesToTicks(nullptr, &map, 44100, 441000 + 44);  // 10000.997 ms
    EXPECT_EQ(map.lastMs, 10000);
}

TEST(HostTime, ExtremeFrameCountsClampTheMilliseconds) {
    CFixedTimeMap map;
    HostFramesToTicks(nullptr, &map, 48000, std::numeric_limits<int64_t>::max());
    EXPECT_EQ(map.lastMs, std::numeric_limits<int32_t>::max());
    HostFramesToTicks(nullptr, &map, 1, std::numeric_limits<int64_t>::min());
    EXPECT_EQ(map.lastMs, std::numeric_limits<int32_t>::min());
    // 2^31 - 1 ms is 103079215056 frames at 48 kHz: the last in range.
    HostFramesToTicks(nullptr, &map, 48000, int64_t{2147483647} * 48);
    EXPECT_EQ(map.lastMs, 2147483647);
}

TEST(HostTime, NoServiceOrNoRateGivesZero) {
    CFixedTimeMap map;
    map.msAnswer = 500;
    map.ticksAnswer = 99;
    EXPECT_EQ(HostTicksToFrames(nullptr, nullptr, 48000, 960), 0);
    EXPECT_EQ(HostFramesToTicks(nullptr, nullptr, 48000, 24000), 0u);
    // Without an input format there is no rate: no division by zero.
    EXPECT_EQ(HostTicksToFrames(nullptr, &map, 0, 960), 0);
    const int callsBefore = map.calls;
    EXPECT_EQ(HostFramesToTicks(nullptr, &map, 0, 24000), 0u);
    EXPECT_EQ(map.calls, callsBefore);
    // A failing time map gives 0.
    map.result = E_FAIL;
    EXPECT_EQ(HostTicksToFrames(nullptr, &map, 48000, 960), 0);
    EXPECT_EQ(HostFramesToTicks(nullptr, &map, 48000, 24000), 0u);
}

TEST(HostTime, TestHostTempoMapConvertsBothWays) {
    // The test host itself, against hand-worked values: 120.00 BPM, then
    // 60.00 BPM from tick 1920 (one second per beat).
    CTestHost host;
    host.SetTempoMap({{0, 12000}, {1920, 6000}});
    int32_t ms = 0;
    ASSERT_EQ(host.MusicalToMs(960, &ms), S_OK);
    EXPECT_EQ(ms, 500);
    ASSERT_EQ(host.MusicalToMs(2880, &ms), S_OK);  // 1000 ms + one beat at 60
    EXPECT_EQ(ms, 2000);
    WBX_MUSICAL_TIME ticks = 0;
    ASSERT_EQ(host.MsToMusical(2000, &ticks), S_OK);
    EXPECT_EQ(ticks, 2880u);
    ASSERT_EQ(host.MsToMusical(750, &ticks), S_OK);
    EXPECT_EQ(ticks, 1440u);
    EXPECT_EQ(host.GetTempoKey(1919), 0);
    EXPECT_EQ(host.GetTempoKey(1920), 1);
    int32_t time = 0, tempo = 0;
    ASSERT_EQ(host.GetTempo(1, &time, &tempo), S_OK);
    EXPECT_EQ(time, 1920);
    EXPECT_EQ(tempo, 6000);
    EXPECT_EQ(host.GetTempo(2, &time, &tempo), E_INVALIDARG);

    WbxTimeRecord record = {kWbxTimeMusical, 2880};
    ASSERT_EQ(host.ConvertTime(&record, kWbxTimeSamples), S_OK);
    EXPECT_EQ(record.format, kWbxTimeSamples);
    EXPECT_EQ(record.value, 96000);
    ASSERT_EQ(host.ConvertTime(&record, kWbxTimeMusical), S_OK);
    EXPECT_EQ(record.value, 2880);
    EXPECT_EQ(host.RefCount(), 1u);
}
