// Conversions through the host's services against hand-worked values:
// converter first, then the time map at a sample rate (truncating toward
// zero), else 0; answers and arguments outside the ranges clamped.
#include <gtest/gtest.h>

#include <limits>

#include "host/HostTime.h"

namespace {

// Answers fixed values and records what it was asked; not reference-counted.
class CFixedHost : public IWbxHostTimeMap, public IWbxHostTimeConverter {
public:
    int32_t msAnswer = 0;
    int64_t framesAnswer = 0;
    int32_t askedMs = 12345;
    WbxTimeRecord asked = {0, 0};
    int32_t askedTarget = 0;
    HRESULT result = S_OK;
    int mapCalls = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE MusicalToMs(WBX_MUSICAL_TIME, int32_t* ms) override {
        ++mapCalls;
        *ms = msAnswer;
        return result;
    }
    HRESULT STDMETHODCALLTYPE MsToMusical(int32_t ms, WBX_MUSICAL_TIME* ticks) override {
        ++mapCalls;
        askedMs = ms;
        *ticks = 99;
        return result;
    }
    int32_t STDMETHODCALLTYPE GetTempoKey(WBX_MUSICAL_TIME) override { return 0; }
    HRESULT STDMETHODCALLTYPE GetTempo(int32_t, int32_t*, int32_t*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ConvertTime(WbxTimeRecord* time, int32_t target) override {
        asked = *time;
        askedTarget = target;
        time->value = framesAnswer;
        return result;
    }
};

constexpr int64_t kMax64 = std::numeric_limits<int64_t>::max();
constexpr int32_t kMax32 = std::numeric_limits<int32_t>::max();

}  // namespace

TEST(HostTime, ConverterComesFirstWithTheFormatCodes) {
    CFixedHost host;
    host.framesAnswer = 123456789012;
    EXPECT_EQ(HostTicksToFrames(&host, &host, 48000, 960), 123456789012);
    EXPECT_EQ(host.asked.format, 3);
    EXPECT_EQ(host.asked.value, 960);
    EXPECT_EQ(host.askedTarget, 2);
    host.framesAnswer = 480;
    EXPECT_EQ(HostFramesToTicks(&host, &host, 48000, 24000), 480u);
    EXPECT_EQ(host.asked.format, 2);
    EXPECT_EQ(host.askedTarget, 3);
    EXPECT_EQ(host.mapCalls, 0);
    // Musical time is 32-bit unsigned.
    host.framesAnswer = -5;
    EXPECT_EQ(HostFramesToTicks(&host, nullptr, 48000, 1), 0u);
    host.framesAnswer = int64_t{1} << 40;
    EXPECT_EQ(HostFramesToTicks(&host, nullptr, 48000, 1), 0xFFFFFFFFu);
    // A failing converter gives 0, without asking the time map.
    host.result = E_FAIL;
    EXPECT_EQ(HostTicksToFrames(&host, &host, 48000, 960), 0);
    EXPECT_EQ(HostFramesToTicks(&host, &host, 48000, 960), 0u);
    EXPECT_EQ(host.mapCalls, 0);
}

TEST(HostTime, TimeMapGoesThroughMillisecondsTruncatingTowardZero) {
    CFixedHost map;
    const struct {
        int32_t ms;
        uint32_t rate;
        int64_t frames;
    } toFrames[] = {{500, 48000, 24000}, {500, 44100, 22050}, {7, 44100, 308},  // 308.7
                    {-1, 44100, -44},                                           // -44.1
                    {kMax32, 0xFFFFFFFFu, int64_t{kMax32} * 0xFFFFFFFFu / 1000}};
    for (const auto& c : toFrames) {
        map.msAnswer = c.ms;
        EXPECT_EQ(HostTicksToFrames(nullptr, &map, c.rate, 1), c.frames) << c.ms;
    }
    const struct {
        int64_t frames;
        uint32_t rate;
        int32_t ms;
    } toMs[] = {{24000, 48000, 500},  {47, 48000, 0},   {-47, 48000, 0},  {-48, 48000, -1},
                {441044, 44100, 10000}, {kMax64, 48000, kMax32}, {int64_t{kMax32} * 48, 48000, kMax32},
                {std::numeric_limits<int64_t>::min(), 1, std::numeric_limits<int32_t>::min()}};
    for (const auto& c : toMs) {
        EXPECT_EQ(HostFramesToTicks(nullptr, &map, c.rate, c.frames), 99u);
        EXPECT_EQ(map.askedMs, c.ms) << c.frames;
    }
}

TEST(HostTime, NoServiceNoRateOrFailureGivesZero) {
    CFixedHost map;
    map.msAnswer = 500;
    EXPECT_EQ(HostTicksToFrames(nullptr, nullptr, 48000, 960), 0);
    EXPECT_EQ(HostFramesToTicks(nullptr, nullptr, 48000, 24000), 0u);
    // Without an input format there is no rate to divide by.
    EXPECT_EQ(HostTicksToFrames(nullptr, &map, 0, 960), 0);
    const int calls = map.mapCalls;
    EXPECT_EQ(HostFramesToTicks(nullptr, &map, 0, 24000), 0u);
    EXPECT_EQ(map.mapCalls, calls);
    map.result = E_FAIL;
    EXPECT_EQ(HostTicksToFrames(nullptr, &map, 48000, 960), 0);
    EXPECT_EQ(HostFramesToTicks(nullptr, &map, 48000, 24000), 0u);
}
