// zvDelay.clap as a DAW drives it, through our own small host
// (ClapTestHost.h), natively and under Wine: the factory and descriptions,
// the parameters in natural units and their texts, renders with parameter
// events inside odd and changing blocks at 44.1, 48 and 96 kHz against the
// offline renderer's semantics (bit for bit; a change applies before its
// frame), the tempo rule from parameter events and from the transport,
// the host bypass fade, saved states (round trips, while inactive, the
// filter's streams, what is not a state), the real-time rules of process
// (no lock, no heap: natively) and the threads of the host's calls. The
// editor and the filter's own object: ClapEditorWinTest.cpp (Windows).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "ClapReference.h"
#include "ClapTestHost.h"
#include "clap/ClapIds.h"
#include "effect/ParamDescription.h"
#include "effect/ParamText.h"
#include "effect/StateChunk.h"

namespace {

using zvclap::kBypassId;

// Short delays and every stage on, so that a quarter second holds echoes of
// echoes.
ParamBlock BusySettings() {
    ParamBlock b = kDefaultBlock;
    const int32_t values[][2] = {{kParamTempoSync, 0}, {kParamDelayL, 731},  {kParamDelayR, 1177}, {kParamFeedbkL, 60},
                                 {kParamFeedbkR, 55},  {kParamXfeedL, 30},   {kParamXfeedR, 20},   {kParamMixL, 50},
                                 {kParamMixR, 45},     {kParamDiffAmnt, 60}, {kParamDiffTime, 70}, {kParamLowFreq, 80},
                                 {kParamHighFreq, 250}, {kParamOutput, -15}};
    for (const auto& v : values) b[v[0]] = v[1];
    return b;
}

TEST(ClapFactory, ListsBothPlugInsWithTheirDescriptions) {
    CClapLibrary& library = Library();
    ASSERT_NE(library.Entry(), nullptr) << library.Error();
    EXPECT_TRUE(clap_version_is_compatible(library.Entry()->clap_version));
    const clap_plugin_factory_t* factory = library.Factory();
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(library.Entry()->get_factory("no.such.factory"), nullptr);
    ASSERT_EQ(factory->get_plugin_count(factory), 2u);
    EXPECT_EQ(factory->get_plugin_descriptor(factory, 2), nullptr);
    const struct {
        const char* id;
        const char* name;
        const char* channels;
    } expected[] = {{"example.zvdelay.stereo", "zvDelay Stereo", "stereo"}, {"example.zvdelay.mono", "zvDelay Mono", "mono"}};
    for (uint32_t i = 0; i < 2; ++i) {
        const clap_plugin_descriptor_t* d = factory->get_plugin_descriptor(factory, i);
        ASSERT_NE(d, nullptr);
        EXPECT_STREQ(d->id, expected[i].id);
        EXPECT_STREQ(d->name, expected[i].name);
        EXPECT_STREQ(d->vendor, "Brasquin Tavrin");
        EXPECT_STREQ(d->version, "1.0.0.0");
        std::vector<std::string> features;
        for (const char* const* f = d->features; *f; ++f) features.push_back(*f);
        EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "delay", expected[i].channels}));
    }
    CClapTestHost host;
    EXPECT_EQ(factory->create_plugin(factory, host.Host(), "example.zvdelay.nothing"), nullptr);
}

TEST(ClapPorts, MainInputMonoOrStereoAndAStereoOutput) {
    CClapTestHost host;
    for (int channels : {1, 2}) {
        CClapInstance plugin(Library(), host, PlugInId(channels));
        ASSERT_NE(plugin.Plugin(), nullptr);
        ASSERT_NE(plugin.Ports(), nullptr);
        for (bool input : {true, false}) {
            EXPECT_EQ(plugin.Ports()->count(plugin.Plugin(), input), 1u);
            clap_audio_port_info_t info{};
            ASSERT_TRUE(plugin.Ports()->get(plugin.Plugin(), 0, input, &info));
            const uint32_t expected = input ? static_cast<uint32_t>(channels) : 2u;
            EXPECT_EQ(info.channel_count, expected);
            EXPECT_STREQ(info.port_type, expected == 1 ? "mono" : "stereo");
            EXPECT_TRUE(info.flags & CLAP_AUDIO_PORT_IS_MAIN);
            EXPECT_EQ(info.in_place_pair, channels == 2 ? 0u : CLAP_INVALID_ID);
            EXPECT_FALSE(plugin.Ports()->get(plugin.Plugin(), 1, input, &info));
        }
    }
}

// ---- Parameters -------------------------------------------------------------

TEST(ClapParams, TheTableInNaturalUnitsAndTheHostBypass) {
    CClapTestHost host;
    CClapInstance plugin(Library(), host, zvclap::kStereoId);
    const clap_plugin_params_t* params = plugin.Params();
    ASSERT_NE(params, nullptr);
    ASSERT_EQ(params->count(plugin.Plugin()), 22u);
    for (uint32_t index = 0; index < 22; ++index) {
        clap_param_info_t info{};
        ASSERT_TRUE(params->get_info(plugin.Plugin(), index, &info));
        EXPECT_EQ(info.id, index);
        if (index == kBypassId) {
            EXPECT_STREQ(info.name, "Bypass");
            EXPECT_EQ(info.flags, static_cast<uint32_t>(CLAP_PARAM_IS_BYPASS | CLAP_PARAM_IS_STEPPED |
                                                        CLAP_PARAM_IS_AUTOMATABLE));
            EXPECT_EQ(info.min_value, 0.0);
            EXPECT_EQ(info.max_value, 1.0);
            EXPECT_EQ(plugin.Value(index), 0.0);
            continue;
        }
        const int i = static_cast<int>(index);
        SCOPED_TRACE(kParamTable[i].name);
        EXPECT_STREQ(info.name, kParamDescriptions[i].name);
        const bool stepped = kParamDescriptions[i].kind != EParamKind::kContinuous;
        EXPECT_EQ(info.flags, static_cast<uint32_t>(CLAP_PARAM_IS_AUTOMATABLE | (stepped ? CLAP_PARAM_IS_STEPPED : 0)));
        EXPECT_EQ(info.min_value, NaturalFromInternal(i, kParamTable[i].minimum));
        EXPECT_EQ(info.max_value, NaturalFromInternal(i, kParamTable[i].maximum));
        EXPECT_EQ(info.default_value, NaturalFromInternal(i, kParamTable[i].defaultValue));
        EXPECT_EQ(plugin.Value(index), info.default_value);
        // A stepped parameter's values are whole numbers (hosts truncate).
        if (stepped) {
            EXPECT_EQ(info.max_value, std::trunc(info.max_value));
        }
    }
    clap_param_info_t info{};
    EXPECT_FALSE(params->get_info(plugin.Plugin(), 22, &info));
    double value = 0.0;
    EXPECT_FALSE(params->get_value(plugin.Plugin(), 22, &value));
}

// Texts: the value texts every layer shows, read back to the same value;
// some spelled out, the rest through the table.
TEST(ClapParams, TextsAreTheValueTextsAndReadBack) {
    CClapTestHost host;
    CClapInstance plugin(Library(), host, zvclap::kMonoId);
    const clap_plugin_params_t* params = plugin.Params();
    auto text = [&](uint32_t id, double value) {
        char t[64] = {};
        EXPECT_TRUE(params->value_to_text(plugin.Plugin(), id, value, t, sizeof t));
        return std::string(t);
    };
    EXPECT_EQ(text(kParamDelayL, 375.0), "375.0 ms");
    EXPECT_EQ(text(kParamOutput, NaturalMinimum(kParamOutput)), "-Inf dB");
    EXPECT_EQ(text(kParamLowFreq, NaturalMinimum(kParamLowFreq)), "Off");
    EXPECT_EQ(text(kParamTempoSync, 2.0), "Host");
    EXPECT_EQ(text(kBypassId, 1.0), "On");
    char tiny[4];
    EXPECT_TRUE(params->value_to_text(plugin.Plugin(), kParamDelayL, 375.0, tiny, sizeof tiny));
    EXPECT_STREQ(tiny, "375");
    for (int i = 0; i < kParamCount; ++i) {
        const ParamInfo& p = kParamTable[i];
        for (int32_t v : {p.minimum, p.defaultValue, (p.minimum + p.maximum) / 2, p.maximum}) {
            SCOPED_TRACE(std::string(p.name) + " " + std::to_string(v));
            const std::string shown = text(static_cast<uint32_t>(i), NaturalFromInternal(i, v));
            EXPECT_EQ(shown, ParamValueText(i, v));
            double back = -1.0;
            ASSERT_TRUE(params->text_to_value(plugin.Plugin(), static_cast<uint32_t>(i), shown.c_str(), &back));
            // Texts round to what the editor shows: back to the same place
            // on the parameter's steps as the text says.
            EXPECT_EQ(ParamValueText(i, InternalFromNatural(i, back)), shown);
        }
    }
    double value = -1.0;
    EXPECT_TRUE(params->text_to_value(plugin.Plugin(), kParamFeedbkL, " 55 % ", &value));
    EXPECT_EQ(value, 55.0);
    EXPECT_TRUE(params->text_to_value(plugin.Plugin(), kBypassId, "off", &value));
    EXPECT_EQ(value, 0.0);
    EXPECT_FALSE(params->text_to_value(plugin.Plugin(), kParamFeedbkL, "loud", &value));
}

// ---- Renders against the renderer ---------------------------------------------

struct RenderCase {
    const char* name;
    int channels;
    uint32_t rate;
    std::vector<uint32_t> blocks;   // process call sizes, in turn
    bool inPlace;
};

// Changes inside calls: at the first frame, on neighbouring frames, two on
// one frame, and a stage switched off (internal values).
const std::vector<Timed> kChanges = {
    {0, kParamFeedbkL, 70},    {1000, kParamDelayL, 400},  {1001, kParamMixR, 80},  {2047, kParamHighFreq, 200},
    {2047, kParamLowFreq, 100}, {3333, kParamOutput, -60},  {5000, kParamDiffAmnt, 0}, {7777, kParamListen, 1},
    {9000, kParamXfeedR, 50},
};

class ClapRender : public ::testing::TestWithParam<RenderCase> {};

TEST_P(ClapRender, EventsApplyAtTheirFramesAsTheRendererApplies) {
    const RenderCase& c = GetParam();
    const ParamBlock settings = BusySettings();
    const std::vector<float> in = TestSignal(c.channels, c.rate, 0.25);
    CClapTestHost host;
    CClapInstance plugin(Library(), host, PlugInId(c.channels));
    FlushBlock(plugin, settings);
    ASSERT_TRUE(plugin.Activate(c.rate, 1, 8192));
    const std::vector<float> out = plugin.Render(in, c.blocks, HostEvents(kChanges), c.inPlace);
    EXPECT_EQ(FirstDifference(out, RenderReference(settings, c.channels, c.rate, in, kChanges)), -1);
    for (const Timed& t : kChanges) EXPECT_EQ(plugin.Value(t.index), NaturalFromInternal(t.index, t.value));
    EXPECT_TRUE(host.wrongThread.empty());
}

const std::vector<uint32_t> kOddBlocks = {1, 7, 64, 333, 512, 1000, 4096, 2};

INSTANTIATE_TEST_SUITE_P(
    RatesAndBlocks, ClapRender,
    ::testing::Values(RenderCase{"Stereo_44100Hz_odd", 2, 44100, kOddBlocks, false},
                      RenderCase{"Mono_44100Hz_odd", 1, 44100, kOddBlocks, false},
                      RenderCase{"Stereo_48000Hz_odd_in_place", 2, 48000, kOddBlocks, true},
                      RenderCase{"Mono_48000Hz_64", 1, 48000, {64}, false},
                      RenderCase{"Stereo_96000Hz_512", 2, 96000, {512}, false},
                      RenderCase{"Mono_96000Hz_odd", 1, 96000, kOddBlocks, false},
                      RenderCase{"Stereo_48000Hz_8192_1", 2, 48000, {8192, 1, 2049}, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A reset silences the lines: what follows equals a fresh instance's output.
TEST(ClapRender, ResetAndReactivationStartFromSilence) {
    const ParamBlock settings = BusySettings();
    const std::vector<float> in = TestSignal(2, 48000, 0.1);
    const std::vector<float> fresh = RenderReference(settings, 2, 48000, in, {});
    CClapTestHost host;
    CClapInstance plugin(Library(), host, zvclap::kStereoId);
    FlushBlock(plugin, settings);
    ASSERT_TRUE(plugin.Activate(48000));
    plugin.Render(in, {256});
    {
        CAudioThreadRole audio;
        plugin.Plugin()->reset(plugin.Plugin());
    }
    EXPECT_EQ(FirstDifference(plugin.Render(in, {100}), fresh), -1);
    plugin.Deactivate();
    ASSERT_TRUE(plugin.Activate(96000));
    const std::vector<float> in96 = TestSignal(2, 96000, 0.1);
    EXPECT_EQ(FirstDifference(plugin.Render(in96, {480}), RenderReference(settings, 2, 96000, in96, {})), -1);
    EXPECT_FALSE(plugin.Activate(48000));   // already active
    plugin.Deactivate();
    EXPECT_FALSE(plugin.Activate(0.0));
}

// ---- Tempo --------------------------------------------------------------------

// TempoSync "Man": a host's change of the tempo or a note value moves the
// delays at its frame (600 BPM: a beat of 100 ms; 300 BPM: 200 ms).
TEST(ClapTempo, ManualTempoEventsMoveTheDelaysAtTheirFrames) {
    ParamBlock settings = BusySettings();
    settings[kParamTempoSync] = 1;
    settings[kParamTempo] = 6000;
    settings[kParamFactorL] = 9;   // 1/2
    settings[kParamFactorR] = 7;   // 1/4
    ParamBlock start = settings;
    start[kParamDelayL] = 500;
    start[kParamDelayR] = 250;
    const std::vector<Timed> events = {{3000, kParamTempo, 3000}, {6000, kParamFactorL, 12}};
    const std::vector<Timed> expected = {{3000, kParamTempo, 3000}, {3000, kParamDelayL, 1000}, {3000, kParamDelayR, 500},
                                         {6000, kParamFactorL, 12}, {6000, kParamDelayL, 2000}};
    const std::vector<float> in = TestSignal(2, 48000, 0.2);
    CClapTestHost host;
    CClapInstance plugin(Library(), host, zvclap::kStereoId);
    FlushBlock(plugin, settings);
    EXPECT_EQ(plugin.Value(kParamDelayL), 50.0);
    ASSERT_TRUE(plugin.Activate(48000));
    EXPECT_EQ(FirstDifference(plugin.Render(in, kOddBlocks, HostEvents(events)),
                              RenderReference(start, 2, 48000, in, expected)),
              -1);
    EXPECT_EQ(plugin.Value(kParamDelayL), 200.0);
    EXPECT_EQ(plugin.Value(kParamDelayR), 50.0);
}

// TempoSync "Host": the transport's tempo (150 BPM, then 100 BPM from a
// transport event at frame 4000 on) through the same rule.
TEST(ClapTempo, HostTempoFromTheTransport) {
    ParamBlock settings = BusySettings();
    settings[kParamTempoSync] = 2;
    settings[kParamFactorL] = 9;    // 1/2
    settings[kParamFactorR] = 12;   // 1/1
    ParamBlock start = settings;
    start[kParamTempo] = 1500;
    start[kParamDelayL] = 2000;
    start[kParamDelayR] = 4000;
    const std::vector<Timed> expected = {{4000, kParamTempo, 1000}, {4000, kParamDelayL, 3000}, {4000, kParamDelayR, 6000}};
    const std::vector<float> in = TestSignal(1, 44100, 0.2);
    CClapTestHost host;
    CClapInstance plugin(Library(), host, zvclap::kMonoId);
    FlushBlock(plugin, settings);
    ASSERT_TRUE(plugin.Activate(44100));
    const std::vector<HostEvent> transport = {{4000, true, 0, 100.0}};
    EXPECT_EQ(FirstDifference(plugin.Render(in, kOddBlocks, transport, false, 150.0),
                              RenderReference(start, 1, 44100, in, expected)),
              -1);
    EXPECT_EQ(plugin.Value(kParamTempo), 100.0);
    EXPECT_EQ(plugin.Value(kParamDelayR), 600.0);
}

// ---- Host bypass --------------------------------------------------------------

struct BypassCase {
    int channels;
    uint32_t rate;
    std::vector<uint32_t> blocks;
    uint32_t off, on;   // frames of the two events
};

class ClapBypass : public ::testing::TestWithParam<BypassCase> {};

// The renderer's output (the effect runs on) cross-faded with the input
// over 10 ms from where the fade stands (the share worked out here).
TEST_P(ClapBypass, FadesAtTheEventsFramesWhileTheLinesRun) {
    const BypassCase& c = GetParam();
    const ParamBlock settings = BusySettings();
    const std::vector<float> in = TestSignal(c.channels, c.rate, 0.3);
    const size_t frames = in.size() / c.channels;
    const std::vector<float> wet = RenderReference(settings, c.channels, c.rate, in, {});
    const double n = std::lround(c.rate * 0.01);
    std::vector<float> expected(2 * frames);
    double share = n;
    for (size_t i = 0; i < frames; ++i) {
        const bool on = i < c.off || i >= c.on;
        share = on ? std::min(n, share + 1) : std::max(0.0, share - 1);
        const double g = share / n;
        for (int side = 0; side < 2; ++side) {
            const double dry = in[i * c.channels + (c.channels == 1 ? 0 : side)];
            const double w = wet[2 * i + side];
            expected[2 * i + side] = g == 1.0 ? static_cast<float>(w)
                                     : g == 0.0 ? static_cast<float>(dry) : static_cast<float>(w * g + dry * (1.0 - g));
        }
    }
    CClapTestHost host;
    CClapInstance plugin(Library(), host, PlugInId(c.channels));
    FlushBlock(plugin, settings);
    ASSERT_TRUE(plugin.Activate(c.rate));
    const std::vector<HostEvent> events = {{c.off, false, kBypassId, 1.0}, {c.on, false, kBypassId, 0.0}};
    EXPECT_EQ(FirstDifference(plugin.Render(in, c.blocks, events), expected), -1);
}

INSTANTIATE_TEST_SUITE_P(Cases, ClapBypass,
                         ::testing::Values(
                             // off and on again after the fade
                             BypassCase{2, 48000, {333}, 4800, 9600},
                             // on again in the middle of the fade (240 of 441 frames)
                             BypassCase{1, 44100, kOddBlocks, 4410, 4650}));

// ---- State --------------------------------------------------------------------

// Distinct values in every parameter but TempoSync's rule (off).
ParamBlock DistinctSettings() {
    return {{1234, 7, 55, 20, 75, 36000, 9, 0, 100, 100, 100, 65, 120, 45, 250, 130, -120, 0, 1405, 0, 1}};
}

void ExpectValues(const CClapInstance& plugin, const ParamBlock& block, double bypass) {
    for (int i = 0; i < kParamCount; ++i) {
        EXPECT_EQ(plugin.Value(i), NaturalFromInternal(i, block[i])) << kParamTable[i].name;
    }
    EXPECT_EQ(plugin.Value(kBypassId), bypass);
}

struct StateCase {
    const char* name;
    bool saveActive, loadActive;
};

class ClapState : public ::testing::TestWithParam<StateCase> {};

// What the host set (params.flush, while inactive too) is saved, with the
// bypass switch, and loads into a fresh instance; the host is asked to read
// the values again.
TEST_P(ClapState, HoldsWhatTheHostSetAndLoadsIntoAFreshInstance) {
    const StateCase& c = GetParam();
    const ParamBlock settings = DistinctSettings();
    CClapTestHost host;
    std::vector<uint8_t> saved;
    {
        CClapInstance plugin(Library(), host, zvclap::kStereoId);
        if (c.saveActive) {
            ASSERT_TRUE(plugin.Activate(48000));
        }
        FlushBlock(plugin, settings);
        plugin.Flush({{0, false, kBypassId, 1.0}});
        saved = plugin.Save();
    }
    ParamBlock decoded = kDefaultBlock;
    int bypass = -1;
    ASSERT_TRUE(ReadStateChunk(saved.data(), saved.size(), &decoded, &bypass));
    EXPECT_EQ(decoded, settings);
    EXPECT_EQ(bypass, 1);
    EXPECT_EQ(saved.size(), 212u);
    CClapInstance fresh(Library(), host, zvclap::kMonoId);
    if (c.loadActive) {
        ASSERT_TRUE(fresh.Activate(44100));
    }
    const int rescans = host.rescans;
    ASSERT_TRUE(fresh.Load(saved));
    EXPECT_EQ(host.rescans, rescans + 1);
    ExpectValues(fresh, settings, 1.0);
    EXPECT_TRUE(host.wrongThread.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, ClapState,
                         ::testing::Values(StateCase{"Inactive", false, false}, StateCase{"Active", true, true},
                                           StateCase{"InactiveToActive", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// The filter's saved streams (fixtures of earlier versions) load as they
// load into the filter; what is no state is refused and changes nothing.
TEST(ClapStateFormats, TheFiltersStreamsLoadAndOtherBytesAreRefused) {
    const struct {
        const char* file;
        ParamBlock expected;
    } fixtures[] = {
        {"state-defaults.bin", kDefaultBlock},
        {"state-distinct.bin",
         {{1234, 7, 55, 20, 75, 36000, 9, 0, 100, 100, 100, 65, 120, 45, 250, 130, -120, 2, 1405, 0, 1}}},
    };
    CClapTestHost host;
    CClapInstance plugin(Library(), host, zvclap::kStereoId);
    for (const auto& f : fixtures) {
        SCOPED_TRACE(f.file);
        std::ifstream file(std::string(ZV_FIXTURE_DIR) + "/" + f.file, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        ASSERT_EQ(bytes.size(), 196u);
        ASSERT_TRUE(plugin.Load(bytes));
        ExpectValues(plugin, f.expected, 0.0);
    }
    const ParamBlock before = DistinctSettings();
    FlushBlock(plugin, before);
    for (const std::vector<uint8_t>& junk : {std::vector<uint8_t>{}, std::vector<uint8_t>(5, 'x'),
                                             std::vector<uint8_t>{'z', 'v', 'D', 'S', 1, 0, 0, 0, '0', 0, 'x'}}) {
        EXPECT_FALSE(plugin.Load(junk));
        ExpectValues(plugin, before, 0.0);
    }
}

// ---- Real time and threads ------------------------------------------------------

// Inside process and an active flush: no malloc, free or mutex, with
// parameter events, tempo rule, transport, bypass and a state save beside.
TEST(ClapRealTime, ProcessNeitherLocksNorAllocates) {
    if (!CountsAudioCalls()) GTEST_SKIP() << "this build does not count (Windows, sanitizers)";
    ParamBlock settings = BusySettings();
    settings[kParamTempoSync] = 2;
    CClapTestHost host;
    CClapInstance plugin(Library(), host, zvclap::kStereoId);
    FlushBlock(plugin, settings);
    ASSERT_TRUE(plugin.Activate(48000));
    const std::vector<float> in = TestSignal(2, 48000, 0.2);
    plugin.Render(in, {512});   // first calls of everything
    TakeAudioCallCounts();
    std::vector<HostEvent> events = HostEvents(kChanges);
    events.insert(events.end(), {{4000, true, 0, 133.0}, {5000, false, kBypassId, 1.0}, {7000, false, kParamFactorL, 3.0}});
    std::sort(events.begin(), events.end(), [](const HostEvent& a, const HostEvent& b) { return a.frame < b.frame; });
    plugin.Render(in, kOddBlocks, events, false, 120.0);
    plugin.Flush({{0, false, kParamMixL, 12.0}});
    const AudioCallCounts counts = TakeAudioCallCounts();
    EXPECT_EQ(counts.allocations, 0);
    EXPECT_EQ(counts.locks, 0);
}

// Host changes reach a save whole: with TempoSync "Man" every tempo event
// moves Tempo and both delays at once, and a save on the main thread beside
// the audio thread never holds a tempo with the other's delays.
TEST(ClapThreads, SavesBesideProcessHoldWholeHostChanges) {
    ParamBlock settings = BusySettings();
    settings[kParamTempoSync] = 1;
    settings[kParamFactorL] = 9;   // 1/2
    settings[kParamFactorR] = 7;   // 1/4
    CClapTestHost host;
    CClapInstance plugin(Library(), host, zvclap::kStereoId);
    FlushBlock(plugin, settings);
    ASSERT_TRUE(plugin.Activate(48000));
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> inL(64, 0.1f), inR(64, -0.1f), outL(64), outR(64);
        const float* in[2] = {inL.data(), inR.data()};
        float* out[2] = {outL.data(), outR.data()};
        for (int k = 0; !stop; ++k) {
            plugin.Process(in, out, 64, {{static_cast<uint32_t>(k % 64), false, kParamTempo, k % 2 ? 60.0 : 150.0}});
        }
    });
    // Tenths of BPM to the delays (tenths of ms): 60 BPM 500 and 250 ms,
    // 150 BPM 200 and 100 ms, and 120 BPM (before the first event) 250 and
    // 125 ms.
    const int32_t whole[][3] = {{600, 5000, 2500}, {1500, 2000, 1000}, {1200, 2500, 1250}};
    int seen[3] = {0, 0, 0};
    // Until both tempos were saved often enough, at most 10 s.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((seen[0] < 50 || seen[1] < 50) && std::chrono::steady_clock::now() < deadline) {
        const std::vector<uint8_t> saved = plugin.Save();
        ParamBlock block;
        ASSERT_TRUE(ReadStateChunk(saved.data(), saved.size(), &block));
        int which = 0;
        while (which < 2 && whole[which][0] != block[kParamTempo]) ++which;
        EXPECT_EQ(block[kParamTempo], whole[which][0]);
        EXPECT_EQ(block[kParamDelayL], whole[which][1]);
        EXPECT_EQ(block[kParamDelayR], whole[which][2]);
        ++seen[which];
    }
    stop = true;
    audio.join();
    EXPECT_GE(seen[0], 50);
    EXPECT_GE(seen[1], 50);
    EXPECT_TRUE(host.wrongThread.empty()) << host.wrongThread.front();
}

// Calls of the main thread are refused on the audio thread (thread-check).
TEST(ClapThreads, MainThreadCallsRefusedOnTheAudioThread) {
    CClapTestHost host;
    CClapInstance plugin(Library(), host, zvclap::kMonoId);
    CAudioThreadRole audio;
    EXPECT_FALSE(plugin.Plugin()->activate(plugin.Plugin(), 48000, 1, 512));
    EXPECT_TRUE(plugin.Save().empty());
}

}  // namespace
