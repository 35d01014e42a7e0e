// zvDelay.clap driven by our own CLAP host (ClapTestHost.h), natively and
// under Wine: the factory, the parameters and their texts, renders with
// events inside odd and changing calls at 44.1, 48 and 96 kHz against the
// renderer's semantics (zvdelay-render --at: a change applies before its
// frame; bit for bit), the tempo rule from events and from the transport,
// the bypass fade (no lock or heap call in any of it: counted natively),
// states, saves beside the audio thread.
// The editor and the filter's own object: ClapEditorWinTest.cpp (Windows).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "ClapTestHost.h"
#include "clap/ClapIds.h"
#include "effect/OfflineEffect.h"
#include "effect/ParamDescription.h"
#include "effect/ParamText.h"
#include "effect/StateChunk.h"

namespace {

constexpr uint32_t kBypass = zvclap::kBypassId;
const std::vector<uint32_t> kOddBlocks = {1, 7, 64, 333, 512, 1000, 4096, 2};

// Bursts of tone and noise, 20 ms every 100 ms (interleaved).
std::vector<float> Signal(int channels, uint32_t rate, double seconds) {
    std::vector<float> s(static_cast<size_t>(rate * seconds) * channels);
    uint32_t noise = 12345;
    for (size_t k = 0; k < s.size(); ++k) {
        const size_t i = k / channels;
        noise = noise * 1664525u + 1013904223u;
        const double tone = 0.4 * std::sin(6.283185307179586 * (220.0 + 110.0 * (k % channels)) * i / rate);
        s[k] = (i * 50 / rate) % 5 == 0 ? static_cast<float>(tone + static_cast<int32_t>(noise) / 2147483648.0 * 0.2) : 0.0f;
    }
    return s;
}

// Short delays and every stage on: echoes of echoes in a quarter second.
ParamBlock Busy(std::initializer_list<std::pair<int, int32_t>> more = {}) {
    ParamBlock b = {{731, 12, 60, 30, 50, 1177, 12, 55, 20, 45, 70, 60, 80, 100, 250, 100, -15, 0, 1200, 1, 0}};
    for (const auto& m : more) b[m.first] = m.second;
    return b;
}

struct Timed {   // a change of one parameter (internal) before a frame
    uint32_t frame;
    int index;
    int32_t value;
};

// What zvdelay-render does: the default block, `start` through the
// setters, blocks of 512 split at each change.
std::vector<float> Reference(const ParamBlock& start, int channels, uint32_t rate, const std::vector<float>& in,
                             const std::vector<Timed>& changes) {
    COfflineEffect fx;
    fx.SetAllParams(kDefaultBlock.v);
    for (int i = 0; i < kParamCount; ++i) fx.SetParamValue(i, start[i], 0);
    WAVEFORMATEX inFormat{WAVE_FORMAT_IEEE_FLOAT, static_cast<WORD>(channels), rate, 0, 0, 32, 0}, outFormat = inFormat;
    outFormat.nChannels = 2;
    fx.SetStreaming(1);
    fx.PrepareStreaming(&inFormat, &outFormat);
    const int32_t frames = static_cast<int32_t>(in.size() / channels);
    std::vector<float> out(2 * static_cast<size_t>(frames));
    size_t next = 0;
    for (int32_t at = 0; at < frames;) {
        for (; next < changes.size() && static_cast<int32_t>(changes[next].frame) <= at; ++next)
            fx.SetParamValue(changes[next].index, changes[next].value, 0);
        int32_t end = std::min(frames, (at / 512 + 1) * 512);
        if (next < changes.size()) end = std::min(end, static_cast<int32_t>(changes[next].frame));
        int32_t n = end - at, capacity = n;
        fx.ProcessFloat(1, in.data() + static_cast<size_t>(at) * channels, &n, out.data() + 2 * static_cast<size_t>(at), &capacity);
        at = end;
    }
    return out;
}

long FirstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) return 0;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return static_cast<long>(i);
    }
    return -1;
}

const char* Id(int channels) { return channels == 1 ? zvclap::kMonoId : zvclap::kStereoId; }

// The factory's two plug-ins and their ports; the parameters as the table
// says them, in natural units, with the value texts every layer shows
// (read back to the same value), and the host bypass.
TEST(ClapFactory, ScansBothPlugInsTheirPortsAndParameters) {
    const clap_plugin_factory_t* factory = Library().factory;
    ASSERT_NE(factory, nullptr);
    ASSERT_EQ(factory->get_plugin_count(factory), 2u);
    CClapTestHost host;
    EXPECT_EQ(factory->create_plugin(factory, &host.host, "example.zvdelay.none"), nullptr);
    for (int channels : {2, 1}) {
        const clap_plugin_descriptor_t* d = factory->get_plugin_descriptor(factory, 2 - channels);
        EXPECT_EQ(std::string(d->id) + d->name + d->vendor, std::string(Id(channels)) +
                  (channels == 2 ? "zvDelay StereoBrasquin Tavrin" : "zvDelay MonoBrasquin Tavrin"));
        std::string features;
        for (const char* const* f = d->features; *f; ++f) features += std::string(*f) + " ";
        EXPECT_EQ(features, channels == 2 ? "audio-effect delay stereo " : "audio-effect delay mono ");
        CClapInstance plugin(host, d->id);
        clap_audio_port_info_t in{}, out{};
        ASSERT_TRUE(plugin.ports->get(plugin.plugin, 0, true, &in) && plugin.ports->get(plugin.plugin, 0, false, &out));
        EXPECT_EQ(std::make_tuple(in.channel_count, out.channel_count, plugin.ports->count(plugin.plugin, true)),
                  std::make_tuple(uint32_t(channels), 2u, 1u));
    }
    CClapInstance plugin(host, zvclap::kMonoId);
    ASSERT_EQ(plugin.params->count(plugin.plugin), 22u);
    auto text = [&](uint32_t id, double value) {
        char t[32] = {};
        plugin.params->value_to_text(plugin.plugin, id, value, t, sizeof t);
        return std::string(t);
    };
    for (uint32_t id = 0; id < kParamCount; ++id) {
        const int i = static_cast<int>(id);
        const ParamInfo& p = kParamTable[i];
        clap_param_info_t info{};
        ASSERT_TRUE(plugin.params->get_info(plugin.plugin, id, &info));
        const uint32_t stepped = kParamDescriptions[i].kind != EParamKind::kContinuous ? CLAP_PARAM_IS_STEPPED : 0;
        EXPECT_EQ(info.flags, CLAP_PARAM_IS_AUTOMATABLE | stepped) << p.name;
        EXPECT_STREQ(info.name, kParamDescriptions[i].name);
        EXPECT_EQ(std::make_tuple(info.min_value, info.max_value, plugin.Value(id)),
                  std::make_tuple(NaturalFromInternal(i, p.minimum), NaturalFromInternal(i, p.maximum),
                                  NaturalFromInternal(i, p.defaultValue)));
        for (int32_t v : {p.minimum, (p.minimum + p.maximum) / 2, p.maximum}) {
            const std::string shown = text(id, NaturalFromInternal(i, v));
            double back = -1.0;
            EXPECT_TRUE(plugin.params->text_to_value(plugin.plugin, id, shown.c_str(), &back));
            EXPECT_EQ(shown + "|" + ParamValueText(i, InternalFromNatural(i, back)), ParamValueText(i, v) + "|" + shown);
        }
    }
    clap_param_info_t bypass{};
    ASSERT_TRUE(plugin.params->get_info(plugin.plugin, kBypass, &bypass));
    EXPECT_EQ(bypass.flags, uint32_t{CLAP_PARAM_IS_BYPASS | CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_AUTOMATABLE});
    EXPECT_EQ(text(kParamDelayL, 375.0) + text(kParamOutput, -36.1) + text(kBypass, 1.0), "375.0 ms-Inf dBOn");
    double value = 0;
    EXPECT_FALSE(plugin.params->text_to_value(plugin.plugin, kParamFeedbkL, "loud", &value));
}

// A render with host events against the renderer given the changes the
// plug-in must make of them (the tempo rule's included).
struct RenderCase {
    const char* name;
    int channels;
    uint32_t rate;
    std::vector<uint32_t> blocks;
    ParamBlock set, start;              // what the host sets; what the renderer starts from
    std::vector<HostEvent> events;      // inside the calls
    std::vector<Timed> changes;         // the renderer's
    double tempo;                       // the transport's (0: none)
    bool inPlace;
};

std::vector<HostEvent> AsEvents(const std::vector<Timed>& changes) {
    std::vector<HostEvent> events;
    for (const Timed& t : changes) events.push_back({t.frame, static_cast<uint32_t>(t.index), NaturalFromInternal(t.index, t.value)});
    return events;
}

// At the first frame, on neighbouring frames, two on one frame, a stage off.
const std::vector<Timed> kChanges = {{0, kParamFeedbkL, 70},     {1000, kParamDelayL, 400}, {1001, kParamMixR, 80},
                                     {2047, kParamHighFreq, 200}, {2047, kParamLowFreq, 100}, {3333, kParamOutput, -60},
                                     {5000, kParamDiffAmnt, 0},   {7777, kParamListen, 1},   {9000, kParamXfeedR, 50}};

RenderCase Plain(const char* name, int channels, uint32_t rate, std::vector<uint32_t> blocks, bool inPlace = false) {
    return {name, channels, rate, blocks, Busy(), Busy(), AsEvents(kChanges), kChanges, 0.0, inPlace};
}

class ClapRender : public ::testing::TestWithParam<RenderCase> {};

TEST_P(ClapRender, SameBitsAsTheRendererGivenTheSameChanges) {
    const RenderCase& c = GetParam();
    const std::vector<float> in = Signal(c.channels, c.rate, 0.25);
    CClapTestHost host;
    CClapInstance plugin(host, Id(c.channels));
    plugin.SetBlock(c.set);
    ASSERT_TRUE(plugin.Activate(c.rate));
    EXPECT_EQ(FirstDifference(plugin.Render(in, c.blocks, c.events, c.tempo, c.inPlace),
                              Reference(c.start, c.channels, c.rate, in, c.changes)),
              -1);
    EXPECT_LE(TakeAudioCalls(), 0);   // no malloc, free or mutex in process (counted natively)
    ParamBlock last = c.start;
    for (const Timed& t : c.changes) last[t.index] = t.value;
    for (int i = 0; i < kParamCount; ++i) EXPECT_EQ(plugin.Value(i), NaturalFromInternal(i, last[i])) << kParamTable[i].name;
    EXPECT_TRUE(host.wrongThread.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClapRender,
    ::testing::Values(
        Plain("Stereo_44100_odd", 2, 44100, kOddBlocks), Plain("Mono_44100_odd", 1, 44100, kOddBlocks),
        Plain("Stereo_48000_odd_in_place", 2, 48000, kOddBlocks, true), Plain("Mono_48000_64", 1, 48000, {64}),
        Plain("Stereo_96000_512", 2, 96000, {512}), Plain("Mono_96000_odd", 1, 96000, kOddBlocks),
        Plain("Stereo_48000_8192_1", 2, 48000, {8192, 1, 2049}),
        // TempoSync "Man" at 600 BPM (a beat of 100 ms), 1/2 and 1/4: a new
        // tempo and a new note value move the delays at their frames.
        RenderCase{"ManualTempo", 2, 48000, kOddBlocks,
                   Busy({{kParamTempoSync, 1}, {kParamTempo, 6000}, {kParamFactorL, 9}, {kParamFactorR, 7}}),
                   Busy({{kParamTempoSync, 1}, {kParamTempo, 6000}, {kParamFactorL, 9}, {kParamFactorR, 7},
                         {kParamDelayL, 500}, {kParamDelayR, 250}}),
                   AsEvents({{3000, kParamTempo, 3000}, {6000, kParamFactorL, 12}}),
                   {{3000, kParamTempo, 3000}, {3000, kParamDelayL, 1000}, {3000, kParamDelayR, 500},
                    {6000, kParamFactorL, 12}, {6000, kParamDelayL, 2000}},
                   0.0, false},
        // TempoSync "Host": the transport's 150 BPM, then 100 BPM from a
        // transport event at frame 4000 on (1/2 and 1/1).
        RenderCase{"HostTempo", 1, 44100, kOddBlocks,
                   Busy({{kParamTempoSync, 2}, {kParamFactorL, 9}}),
                   Busy({{kParamTempoSync, 2}, {kParamFactorL, 9}, {kParamTempo, 1500}, {kParamDelayL, 2000},
                         {kParamDelayR, 4000}}),
                   {{4000, 0, 100.0, true}},
                   {{4000, kParamTempo, 1000}, {4000, kParamDelayL, 3000}, {4000, kParamDelayR, 6000}}, 150.0, false}),
    [](const auto& info) { return std::string(info.param.name); });

// The host bypass: from its event on, after a fade of 10 ms, the input
// passes unchanged (the mono input on both sides); from the next, after the
// fade back, the renderer's output again (the effect ran on). A reset and a
// new activation then start from silence.
TEST(ClapBypass, FadesAtItsEventsWhileTheLinesRun) {
    for (int channels : {2, 1}) {
        const uint32_t rate = channels == 2 ? 48000 : 44100, fade = rate / 100, off = 4000, on = 9000;
        const std::vector<float> in = Signal(channels, rate, 0.3), wet = Reference(Busy(), channels, rate, in, {});
        CClapTestHost host;
        CClapInstance plugin(host, Id(channels));
        plugin.SetBlock(Busy());
        ASSERT_TRUE(plugin.Activate(rate));
        const std::vector<float> out = plugin.Render(in, kOddBlocks, {{off, kBypass, 1.0}, {on, kBypass, 0.0}});
        EXPECT_LE(TakeAudioCalls(), 0);
        for (size_t k = 0; k < out.size(); ++k) {
            const size_t i = k / 2;
            // The fade's last frame is all one signal.
            const bool dry = i >= off + fade - 1 && i < on, wetAgain = i < off || i >= on + fade - 1;
            const float expected = dry ? in[i * channels + (channels == 2 ? k % 2 : 0)] : wet[k];
            if (dry || wetAgain) {
                ASSERT_EQ(out[k], expected) << i;
            } else {
                ASSERT_NE(out[k], wet[k]) << i;   // mid-fade: neither
            }
        }
        {
            CAudioThreadRole audio;
            plugin.plugin->reset(plugin.plugin);
        }
        EXPECT_EQ(FirstDifference(plugin.Render(in, {480}), wet), -1);
        plugin.Deactivate();
        ASSERT_TRUE(plugin.Activate(rate));
        EXPECT_EQ(FirstDifference(plugin.Render(in, {100}), wet), -1);
    }
}

// What the host set (flush, inactive or active) is saved with the bypass
// switch and loads into a fresh instance, as do the filter's saved streams;
// other bytes are refused and change nothing.
TEST(ClapState, HoldsWhatTheHostSetAndLoadsOurLayersStates) {
    const ParamBlock distinct = {{1234, 7, 55, 20, 75, 36000, 9, 0, 100, 100, 100, 65, 120, 45, 250, 130, -120, 2, 1405, 0, 1}};
    ParamBlock free = distinct;
    free[kParamTempoSync] = 0;   // no tempo rule over the delays
    auto expectValues = [](const CClapInstance& p, const ParamBlock& b, double bypass) {
        for (int i = 0; i < kParamCount; ++i) EXPECT_EQ(p.Value(i), NaturalFromInternal(i, b[i])) << kParamTable[i].name;
        EXPECT_EQ(p.Value(kBypass), bypass);
    };
    CClapTestHost host;
    for (bool active : {false, true}) {
        CClapInstance plugin(host, zvclap::kStereoId);
        ASSERT_TRUE(!active || plugin.Activate(48000));
        plugin.SetBlock(free);
        plugin.Flush({{0, kBypass, 1.0}});
        const std::vector<uint8_t> saved = plugin.Save();
        EXPECT_EQ(saved.size(), 212u);
        CClapInstance fresh(host, zvclap::kMonoId);
        ASSERT_TRUE(active || fresh.Activate(44100));
        const int rescans = host.rescans;
        ASSERT_TRUE(fresh.Load(saved));
        EXPECT_EQ(host.rescans, rescans + 1);
        expectValues(fresh, free, 1.0);
    }
    CClapInstance plugin(host, zvclap::kStereoId);
    for (const auto& fixture : {std::make_pair("state-defaults.bin", kDefaultBlock), std::make_pair("state-distinct.bin", distinct)}) {
        std::ifstream file(std::string(ZV_FIXTURE_DIR) + "/" + fixture.first, std::ios::binary);
        ASSERT_TRUE(plugin.Load({std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()}));
        expectValues(plugin, fixture.second, 0.0);
    }
    for (const std::vector<uint8_t>& junk : {std::vector<uint8_t>{}, std::vector<uint8_t>{'z', 'v', 'D', 'S', 1, 0, 0, 0, '0', 0, 'x'}}) {
        EXPECT_FALSE(plugin.Load(junk));
        expectValues(plugin, distinct, 0.0);
    }
    EXPECT_TRUE(host.wrongThread.empty());
}

// Host changes reach a save whole: with TempoSync "Man" each tempo event
// moves Tempo and both delays at once; saves beside the audio thread never
// hold one tempo with another's delays. Main-thread calls are refused on
// the audio thread.
TEST(ClapThreads, SavesBesideProcessHoldWholeHostChanges) {
    CClapTestHost host;
    CClapInstance plugin(host, zvclap::kStereoId);
    plugin.SetBlock(Busy({{kParamTempoSync, 1}, {kParamFactorL, 9}, {kParamFactorR, 7}}));
    ASSERT_TRUE(plugin.Activate(48000));
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> in(64, 0.1f), out(64);
        const float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {out.data(), out.data()};
        for (uint32_t k = 0; !stop; ++k) plugin.Process(ins, outs, 64, {{k % 64, kParamTempo, k % 2 ? 60.0 : 150.0}});
    });
    // Tempo (tenths of BPM) and the delays it makes: 60, 150 and 120 BPM.
    const int32_t whole[3][3] = {{600, 5000, 2500}, {1500, 2000, 1000}, {1200, 2500, 1250}};
    int seen[3] = {0, 0, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((seen[0] < 50 || seen[1] < 50) && std::chrono::steady_clock::now() < deadline) {
        const std::vector<uint8_t> saved = plugin.Save();
        ParamBlock b;
        ASSERT_TRUE(ReadStateChunk(saved.data(), saved.size(), &b));
        int w = 0;
        while (w < 2 && whole[w][0] != b[kParamTempo]) ++w;
        EXPECT_EQ(std::vector<int32_t>({b[kParamTempo], b[kParamDelayL], b[kParamDelayR]}),
                  std::vector<int32_t>(whole[w], whole[w] + 3));
        ++seen[w];
    }
    stop = true;
    audio.join();
    EXPECT_GT(seen[0] * seen[1], 0);
    plugin.Deactivate();
    CAudioThreadRole audioRole;
    EXPECT_FALSE(plugin.plugin->activate(plugin.plugin, 44100, 1, 512));
    EXPECT_TRUE(plugin.Save().empty());
    EXPECT_TRUE(host.wrongThread.empty());
}

}  // namespace
