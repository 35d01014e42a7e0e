// The LV2 bundle as a host sees it: a small lilv host loads zvDelay.lv2 from
// the build tree, checks every port against the parameter table, runs both
// plug-ins at five rates in five block sizes against the core's offline
// renderer (bit for bit, same partition), follows the host tempo, loads a
// factory preset, round-trips saved states into fresh instances (saved with
// or without a run since the ports were set), loads states across LV2 and
// CLAP (zvDelay.clap through our CLAP test host) and switches the host
// bypass.
#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/port-props/port-props.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/units/units.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "effect/OfflineEffect.h"
#include "effect/ParamDescription.h"
#include "effect/ParamText.h"
#include "effect/StateChunk.h"
#include "effect/TempoSync.h"
#include "lv2/Lv2Ports.h"
#include "presets/DataString.h"
#include "tests/clap/ClapTestHost.h"
#ifdef ZV_WATCH_REAL_TIME_CALLS
#include "RealTimeCalls.h"
#endif

namespace {

using zvlv2::kMonoUri;
using zvlv2::kStereoUri;

// The host's URID map: URIs numbered from 1 in the order first asked.
struct CUridMap {
    std::vector<std::string> uris;
    LV2_URID_Map map{this, &CUridMap::Map};
    LV2_URID_Unmap unmap{this, &CUridMap::Unmap};
    LV2_Feature mapFeature{LV2_URID__map, &map};
    LV2_Feature unmapFeature{LV2_URID__unmap, &unmap};
    const LV2_Feature* features[3] = {&mapFeature, &unmapFeature, nullptr};

    static LV2_URID Map(LV2_URID_Map_Handle h, const char* uri) {
        auto* self = static_cast<CUridMap*>(h);
        for (size_t i = 0; i < self->uris.size(); ++i) {
            if (self->uris[i] == uri) return static_cast<LV2_URID>(i + 1);
        }
        self->uris.push_back(uri);
        return static_cast<LV2_URID>(self->uris.size());
    }
    static const char* Unmap(LV2_URID_Unmap_Handle h, LV2_URID id) {
        auto* self = static_cast<CUridMap*>(h);
        return id >= 1 && id <= self->uris.size() ? self->uris[id - 1].c_str() : nullptr;
    }
};

// One lilv world with our bundle, shared by every test of the program.
class CWorld {
public:
    static CWorld& Get() {
        static CWorld world;
        return world;
    }
    LilvWorld* world = lilv_world_new();
    CUridMap urids;
    const LilvPlugin* Plugin(const char* uri) {
        LilvNode* node = lilv_new_uri(world, uri);
        const LilvPlugin* p = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), node);
        lilv_node_free(node);
        return p;
    }
    LilvNode* Uri(const char* uri) { return lilv_new_uri(world, uri); }

private:
    CWorld() {
        lilv_world_load_specifications(world);
        LilvNode* bundle = lilv_new_file_uri(world, nullptr, ZV_LV2_BUNDLE "/");
        lilv_world_load_bundle(world, bundle);
        lilv_node_free(bundle);
    }
};

std::vector<float> TestSignal(int channels, uint32_t rate, double seconds) {
    const size_t frames = static_cast<size_t>(rate * seconds);
    std::vector<float> s(frames * channels);
    uint32_t noise = 12345;
    for (size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            noise = noise * 1664525u + 1013904223u;
            const double n = (static_cast<int32_t>(noise) / 2147483648.0) * 0.2;
            const double tone = 0.4 * std::sin(2.0 * M_PI * (220.0 + 110.0 * c) * i / rate);
            // Bursts of 20 ms every 100 ms so that the echoes stand out.
            s[i * channels + c] = static_cast<float>((i * 10 / rate) % 2 == 0 && (i * 50 / rate) % 5 == 0 ? tone + n : 0.0);
        }
    }
    return s;
}

// The core's offline renderer on the same partition (as zvdelay-render).
std::vector<float> RenderReference(const ParamBlock& block, int channels, uint32_t rate, const std::vector<float>& in,
                                   int blockFrames) {
    COfflineEffect fx;
    fx.SetAllParams(block.v);
    WAVEFORMATEX inFormat{}, outFormat{};
    for (auto* f : {&inFormat, &outFormat}) {
        f->wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
        f->nSamplesPerSec = rate;
        f->wBitsPerSample = 32;
    }
    inFormat.nChannels = static_cast<WORD>(channels);
    outFormat.nChannels = 2;
    fx.SetStreaming(1);
    EXPECT_EQ(fx.PrepareStreaming(&inFormat, &outFormat), S_OK);
    const int32_t frames = static_cast<int32_t>(in.size() / channels);
    std::vector<float> out(2 * static_cast<size_t>(frames));
    for (int32_t at = 0; at < frames; at += blockFrames) {
        int32_t n = std::min(blockFrames, frames - at), cap = n;
        fx.ProcessFloat(1, in.data() + static_cast<size_t>(at) * channels, &n, out.data() + 2 * static_cast<size_t>(at),
                        &cap);
    }
    fx.ReleaseStreaming();
    return out;
}

// One plug-in instance with every port connected, as a host runs it.
class CHostedDelay {
public:
    CHostedDelay(const char* uri, uint32_t rate, bool withMap = true)
        : m_plugin(CWorld::Get().Plugin(uri)), m_channels(std::strcmp(uri, kMonoUri) == 0 ? 1 : 2) {
        CWorld& w = CWorld::Get();
        m_instance = lilv_plugin_instantiate(m_plugin, rate, withMap ? w.urids.features : nullptr);
        if (!m_instance) return;
        lilv_plugin_get_port_ranges_float(m_plugin, nullptr, nullptr, m_controls);
        for (uint32_t p = 0; p < zvlv2::kPortControl; ++p) lilv_instance_connect_port(m_instance, p, &m_controls[p]);
        const uint32_t enabled = zvlv2::EnabledPort(m_channels);
        lilv_instance_connect_port(m_instance, enabled, &m_controls[enabled]);
        lv2_atom_forge_init(&m_forge, &w.urids.map);
        ClearEvents();
        lilv_instance_connect_port(m_instance, zvlv2::kPortControl, m_events);
        lilv_instance_activate(m_instance);
    }
    ~CHostedDelay() {
        if (m_instance) {
            lilv_instance_deactivate(m_instance);
            lilv_instance_free(m_instance);
        }
    }
    LilvInstance* Instance() const { return m_instance; }
    const LilvPlugin* Plugin() const { return m_plugin; }
    float* Controls() { return m_controls; }
    float& Enabled() { return m_controls[zvlv2::EnabledPort(m_channels)]; }
    // The block's values as the ports carry them (natural).
    void Set(const ParamBlock& block) {
        for (int i = 0; i < kParamCount; ++i) m_controls[i] = static_cast<float>(NaturalFromInternal(i, block[i]));
    }

    // A time:Position with the host's tempo at frame 0 of the next run.
    void SendTempo(float bpm) {
        lv2_atom_forge_set_buffer(&m_forge, reinterpret_cast<uint8_t*>(m_events), sizeof m_events);
        LV2_Atom_Forge_Frame seq, obj;
        lv2_atom_forge_sequence_head(&m_forge, &seq, 0);
        lv2_atom_forge_frame_time(&m_forge, 0);
        lv2_atom_forge_object(&m_forge, &obj, 0, CWorld::Get().urids.map.map(&CWorld::Get().urids, LV2_TIME__Position));
        lv2_atom_forge_key(&m_forge, CWorld::Get().urids.map.map(&CWorld::Get().urids, LV2_TIME__beatsPerMinute));
        lv2_atom_forge_float(&m_forge, bpm);
        lv2_atom_forge_pop(&m_forge, &obj);
        lv2_atom_forge_pop(&m_forge, &seq);
    }
    void ClearEvents() {
        auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(m_events);
        seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
        seq->atom.type = CWorld::Get().urids.map.map(&CWorld::Get().urids, LV2_ATOM__Sequence);
        seq->body.unit = 0;
        seq->body.pad = 0;
    }

    // Audio ports to caller-owned planes, and one run; nothing else.
    void ConnectAudio(const float* const* in, float* const* out) {
        uint32_t port = zvlv2::kPortAudioFirst;
        for (int c = 0; c < m_channels; ++c) lilv_instance_connect_port(m_instance, port++, const_cast<float*>(in[c]));
        for (int c = 0; c < 2; ++c) lilv_instance_connect_port(m_instance, port++, out[c]);
    }
    void RunOnce(uint32_t frames) { lilv_instance_run(m_instance, frames); }

    // Runs an interleaved input through in blocks of blockFrames; interleaved
    // stereo out. beforeBlock(frame) runs before each block.
    template <class BeforeBlock>
    std::vector<float> Render(const std::vector<float>& in, int blockFrames, BeforeBlock&& beforeBlock) {
        const size_t frames = in.size() / m_channels;
        std::vector<float> planeIn(frames * m_channels), planeOut(frames * 2);
        for (size_t i = 0; i < frames; ++i) {
            for (int c = 0; c < m_channels; ++c) planeIn[c * frames + i] = in[i * m_channels + c];
        }
        for (size_t at = 0; at < frames; at += blockFrames) {
            const uint32_t n = static_cast<uint32_t>(std::min<size_t>(blockFrames, frames - at));
            beforeBlock(at);
            uint32_t port = zvlv2::kPortAudioFirst;
            for (int c = 0; c < m_channels; ++c) lilv_instance_connect_port(m_instance, port++, &planeIn[c * frames + at]);
            for (int c = 0; c < 2; ++c) lilv_instance_connect_port(m_instance, port++, &planeOut[c * frames + at]);
            lilv_instance_run(m_instance, n);
            ClearEvents();
        }
        std::vector<float> out(frames * 2);
        for (size_t i = 0; i < frames; ++i) {
            out[2 * i] = planeOut[i];
            out[2 * i + 1] = planeOut[frames + i];
        }
        return out;
    }
    std::vector<float> Render(const std::vector<float>& in, int blockFrames) {
        return Render(in, blockFrames, [](size_t) {});
    }

private:
    const LilvPlugin* m_plugin;
    int m_channels;
    LilvInstance* m_instance = nullptr;
    float m_controls[32] = {};   // indexed by port (lilv writes a default for every port)
    alignas(8) uint8_t m_events[256] = {};
    LV2_Atom_Forge m_forge{};
};

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// Short delays and every stage on, so that 0.2 s holds echoes of echoes.
ParamBlock BusySettings() {
    ParamBlock b = kDefaultBlock;
    const int32_t values[][2] = {{kParamTempoSync, 0}, {kParamDelayL, 731},  {kParamDelayR, 1177}, {kParamFeedbkL, 60},
                                 {kParamFeedbkR, 55},  {kParamXfeedL, 30},   {kParamXfeedR, 20},   {kParamMixL, 50},
                                 {kParamMixR, 45},     {kParamDiffAmnt, 60}, {kParamDiffTime, 70}, {kParamLowFreq, 80},
                                 {kParamHighFreq, 250}, {kParamOutput, -15}};
    for (const auto& v : values) b[v[0]] = v[1];
    return b;
}

// ---- Ports ----------------------------------------------------------------

class PortsTest : public ::testing::TestWithParam<const char*> {};

TEST_P(PortsTest, EveryPortMatchesTheParameterTable) {
    CWorld& w = CWorld::Get();
    const LilvPlugin* plugin = w.Plugin(GetParam());
    ASSERT_NE(plugin, nullptr);
    const int channels = std::strcmp(GetParam(), kMonoUri) == 0 ? 1 : 2;
    ASSERT_EQ(lilv_plugin_get_num_ports(plugin), zvlv2::PortCount(channels));
    float mins[32], maxs[32], defs[32];
    lilv_plugin_get_port_ranges_float(plugin, mins, maxs, defs);
    LilvNode* input = w.Uri(LV2_CORE__InputPort);
    LilvNode* output = w.Uri(LV2_CORE__OutputPort);
    LilvNode* control = w.Uri(LV2_CORE__ControlPort);
    LilvNode* audio = w.Uri(LV2_CORE__AudioPort);
    LilvNode* integer = w.Uri(LV2_CORE__integer);
    LilvNode* toggled = w.Uri(LV2_CORE__toggled);
    LilvNode* enumeration = w.Uri(LV2_CORE__enumeration);
    LilvNode* logarithmic = w.Uri(LV2_PORT_PROPS__logarithmic);
    LilvNode* unitOf = w.Uri(LV2_UNITS__unit);
    LilvNode* shortName = w.Uri(LV2_CORE_PREFIX "shortName");
    const std::pair<EParamUnit, const char*> lv2Units[] = {
        {EParamUnit::kMilliseconds, LV2_UNITS__ms}, {EParamUnit::kPercent, LV2_UNITS__pc},
        {EParamUnit::kHertz, LV2_UNITS__hz},        {EParamUnit::kDecibels, LV2_UNITS__db},
        {EParamUnit::kBeatsPerMinute, LV2_UNITS__bpm}};
    for (int i = 0; i < kParamCount; ++i) {
        SCOPED_TRACE(kParamTable[i].name);
        const ParamDescription& d = kParamDescriptions[i];
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
        EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(plugin, port)), kParamTable[i].name);
        LilvNode* name = lilv_port_get_name(plugin, port);
        EXPECT_STREQ(lilv_node_as_string(name), d.name);
        lilv_node_free(name);
        LilvNodes* shortNames = lilv_port_get_value(plugin, port, shortName);
        EXPECT_STREQ(shortNames ? lilv_node_as_string(lilv_nodes_get_first(shortNames)) : "", d.shortName);
        lilv_nodes_free(shortNames);
        EXPECT_TRUE(lilv_port_is_a(plugin, port, input) && lilv_port_is_a(plugin, port, control));
        // The natural range, as the port's floats carry it.
        EXPECT_EQ(mins[i], static_cast<float>(NaturalMinimum(i)));
        EXPECT_EQ(maxs[i], static_cast<float>(NaturalMaximum(i)));
        EXPECT_EQ(defs[i], static_cast<float>(NaturalDefault(i)));
        EXPECT_EQ(lilv_port_has_property(plugin, port, integer), d.kind != EParamKind::kContinuous);
        EXPECT_EQ(lilv_port_has_property(plugin, port, toggled), d.kind == EParamKind::kToggle);
        EXPECT_EQ(lilv_port_has_property(plugin, port, enumeration), d.kind == EParamKind::kEnumeration);
        EXPECT_EQ(lilv_port_has_property(plugin, port, logarithmic), d.logarithmic);
        LilvNodes* units = lilv_port_get_value(plugin, port, unitOf);
        std::string unit = units ? lilv_node_as_uri(lilv_nodes_get_first(units)) : "";
        lilv_nodes_free(units);
        std::string expectedUnit;
        for (const auto& u : lv2Units) {
            if (u.first == d.unit) expectedUnit = u.second;
        }
        EXPECT_EQ(unit, expectedUnit);
        // Every named value, labelled at its natural value.
        std::vector<std::pair<float, std::string>> expected, got;
        for (int32_t v = kParamTable[i].minimum; v <= kParamTable[i].maximum; ++v) {
            if (!ParamValueName(i, v).empty()) expected.push_back({static_cast<float>(NaturalFromInternal(i, v)), ParamValueName(i, v)});
        }
        LilvScalePoints* points = lilv_port_get_scale_points(plugin, port);
        LILV_FOREACH (scale_points, it, points) {
            const LilvScalePoint* p = lilv_scale_points_get(points, it);
            got.push_back({lilv_node_as_float(lilv_scale_point_get_value(p)), lilv_node_as_string(lilv_scale_point_get_label(p))});
        }
        lilv_scale_points_free(points);
        std::sort(expected.begin(), expected.end());
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, expected);
    }
    EXPECT_EQ(ParamValueName(kParamTempoSync, 2), "Host");
    EXPECT_EQ(ParamValueName(kParamFactorL, 0), "1/32");
    EXPECT_EQ(ParamValueName(kParamOutput, -361), "-Inf");
    for (uint32_t p : {zvlv2::kPortPeakLeft, zvlv2::kPortPeakRight}) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
        EXPECT_TRUE(lilv_port_is_a(plugin, port, output) && lilv_port_is_a(plugin, port, control));
    }
    const LilvPort* events = lilv_plugin_get_port_by_index(plugin, zvlv2::kPortControl);
    LilvNode* position = w.Uri(LV2_TIME__Position);
    EXPECT_TRUE(lilv_port_supports_event(plugin, events, position));
    for (uint32_t p = zvlv2::kPortAudioFirst; p < zvlv2::EnabledPort(channels); ++p) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
        EXPECT_TRUE(lilv_port_is_a(plugin, port, audio));
        EXPECT_EQ(lilv_port_is_a(plugin, port, input), p < zvlv2::OutputPortLeft(channels));
    }
    // The host's bypass switch, after every other port.
    const LilvPort* enabled = lilv_plugin_get_port_by_index(plugin, zvlv2::EnabledPort(channels));
    LilvNode* enabledDesignation = w.Uri(LV2_CORE__enabled);
    EXPECT_EQ(lilv_plugin_get_port_by_designation(plugin, input, enabledDesignation), enabled);
    EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(plugin, enabled)), "enabled");
    EXPECT_TRUE(lilv_port_is_a(plugin, enabled, control) && lilv_port_has_property(plugin, enabled, toggled));
    EXPECT_EQ(defs[zvlv2::EnabledPort(channels)], 1.0f);
    lilv_node_free(enabledDesignation);
    // Minimal hosts load it: nothing is required.
    LilvNodes* required = lilv_plugin_get_required_features(plugin);
    EXPECT_EQ(lilv_nodes_size(required), 0u);
    lilv_nodes_free(required);
    for (LilvNode* n : {input, output, control, audio, integer, toggled, enumeration, logarithmic, unitOf, shortName,
                        position}) {
        lilv_node_free(n);
    }
}

INSTANTIATE_TEST_SUITE_P(Bundle, PortsTest, ::testing::Values(kMonoUri, kStereoUri),
                         [](const auto& info) { return std::string(info.param == kMonoUri ? "Mono" : "Stereo"); });

// ---- Output against the offline renderer -----------------------------------

struct RunCase {
    uint32_t rate;
    int block;
    int channels;
};

class BitExactTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(BitExactTest, SameBitsAsTheOfflineRenderer) {
    const RunCase c = GetParam();
    const ParamBlock settings = BusySettings();
    const std::vector<float> in = TestSignal(c.channels, c.rate, 0.2);
    CHostedDelay host(c.channels == 1 ? kMonoUri : kStereoUri, c.rate);
    ASSERT_NE(host.Instance(), nullptr);
    host.Set(settings);
    const std::vector<float> out = host.Render(in, c.block);
    EXPECT_TRUE(SameBits(out, RenderReference(settings, c.channels, c.rate, in, c.block)));
    EXPECT_GT(host.Controls()[zvlv2::kPortPeakLeft], 0.0f);
}

std::vector<RunCase> AllCases() {
    std::vector<RunCase> cases;
    for (int channels : {1, 2}) {
        for (uint32_t rate : {32000u, 44100u, 48000u, 96000u, 192000u}) {
            for (int block : {1, 7, 64, 512, 8192}) cases.push_back({rate, block, channels});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(RatesAndBlocks, BitExactTest, ::testing::ValuesIn(AllCases()), [](const auto& info) {
    return std::string(info.param.channels == 1 ? "Mono" : "Stereo") + "_" + std::to_string(info.param.rate) + "Hz_" +
           std::to_string(info.param.block);
});

// ---- Tempo ------------------------------------------------------------------

// With TempoSync "Man" the plug-in moves the delays by the tempo rule.
TEST(Lv2Tempo, ManualTempoMovesTheDelays) {
    ParamBlock settings = BusySettings();
    settings[kParamTempoSync] = 1;
    settings[kParamTempo] = 6000;   // 600 BPM: a beat of 100 ms
    settings[kParamFactorL] = 9;    // 1/2
    settings[kParamFactorR] = 7;    // 1/4
    const std::vector<float> in = TestSignal(2, 48000, 0.2);
    CHostedDelay host(kStereoUri, 48000);
    host.Set(settings);
    ParamBlock expected = settings;
    expected[kParamDelayL] = 500;
    expected[kParamDelayR] = 250;
    EXPECT_TRUE(SameBits(host.Render(in, 64), RenderReference(expected, 2, 48000, in, 64)));
}

// With "Host" the host's time:beatsPerMinute sets Tempo and the delays; a
// host without the URID map gives no tempo, and Tempo stands.
TEST(Lv2Tempo, HostTempoDrivesHostSync) {
    ParamBlock settings = BusySettings();
    settings[kParamTempoSync] = 2;
    settings[kParamFactorL] = 7;   // 1/4 of 150 BPM: 100 ms
    settings[kParamFactorR] = 9;   // 1/2: 200 ms
    const std::vector<float> in = TestSignal(1, 44100, 0.3);
    ParamBlock expected = settings;
    expected[kParamTempo] = TempoFromHost(15000);
    expected[kParamDelayL] = 1000;
    expected[kParamDelayR] = 2000;
    CHostedDelay host(kMonoUri, 44100);
    host.Set(settings);
    host.SendTempo(150.0f);
    EXPECT_TRUE(SameBits(host.Render(in, 512), RenderReference(expected, 1, 44100, in, 512)));

    CHostedDelay bare(kMonoUri, 44100, false);
    ASSERT_NE(bare.Instance(), nullptr);
    bare.Set(settings);
    ParamBlock fromTempo = settings;
    fromTempo[kParamDelayL] = DelayFromTempo(settings[kParamTempo], 7);
    fromTempo[kParamDelayR] = DelayFromTempo(settings[kParamTempo], 9);
    EXPECT_TRUE(SameBits(bare.Render(in, 512), RenderReference(fromTempo, 1, 44100, in, 512)));
}

// ---- Host bypass ----------------------------------------------------------------

// The "enabled" switch goes off at frame `off` and on again at frame `on`
// (block starts). Worked out here: the processed signal is the renderer's
// without any bypass (the lines keep running), the dry one the input (mono
// on both sides); a fade of N = 10 ms of frames mixes them with the wet
// share (N-1)/N, (N-2)/N ... 1/N after `off` and 1/N ... (N-1)/N after `on`,
// turning back from where it stands when the switch turns during a fade.
struct BypassCase {
    int channels;
    uint32_t rate;
    int block;
    size_t off, on;
};

class BypassTest : public ::testing::TestWithParam<BypassCase> {};

TEST_P(BypassTest, FadesToTheDrySignalAndBackWhileTheLinesRun) {
    const BypassCase c = GetParam();
    const ParamBlock settings = BusySettings();
    const std::vector<float> in = TestSignal(c.channels, c.rate, 0.3);
    const size_t frames = in.size() / c.channels;
    const std::vector<float> wet = RenderReference(settings, c.channels, c.rate, in, c.block);
    const uint32_t n = static_cast<uint32_t>(std::lround(c.rate * 0.01));
    std::vector<double> share(frames, 1.0);   // wet share per frame
    double last = c.off == 0 ? 0 : n;           // in steps of 1/N; the first run starts where the switch stands
    for (size_t i = 0; i < frames; ++i) {
        const bool on = i < c.off || i >= c.on;
        last = on ? std::min<double>(n, last + 1) : std::max(0.0, last - 1);
        share[i] = last / n;
    }
    std::vector<float> expected(2 * frames);
    for (size_t i = 0; i < frames; ++i) {
        for (int side = 0; side < 2; ++side) {
            const double dry = in[i * c.channels + (c.channels == 1 ? 0 : side)];
            const double w = wet[2 * i + side];
            const float mixed = static_cast<float>(w * share[i] + dry * (1.0 - share[i]));
            expected[2 * i + side] = share[i] == 1.0 ? static_cast<float>(w)
                                     : share[i] == 0.0 ? static_cast<float>(dry) : mixed;
        }
    }
    CHostedDelay host(c.channels == 1 ? kMonoUri : kStereoUri, c.rate);
    host.Set(settings);
    const std::vector<float> out = host.Render(in, c.block, [&](size_t at) {
        host.Enabled() = at >= c.off && at < c.on ? 0.0f : 1.0f;
    });
    ASSERT_EQ(out.size(), expected.size());
    size_t firstDifference = out.size();
    for (size_t i = 0; i < out.size() && firstDifference == out.size(); ++i) {
        if (std::memcmp(&out[i], &expected[i], sizeof(float)) != 0) firstDifference = i;
    }
    EXPECT_EQ(firstDifference, out.size()) << "frame " << firstDifference / 2;
}

INSTANTIATE_TEST_SUITE_P(Lv2Bypass, BypassTest,
                         ::testing::Values(
                             // off and on again after the fade; blocks shorter and longer than the fade
                             BypassCase{2, 48000, 64, 4800, 9600}, BypassCase{1, 44100, 1024, 4096, 9216},
                             // on again in the middle of the fade (240 of 480 frames)
                             BypassCase{2, 48000, 48, 4800, 5040},
                             // off from the very first run: dry from frame 0, no fade
                             BypassCase{1, 96000, 512, 0, 14336}),
                         [](const auto& info) {
                             const BypassCase& c = info.param;
                             return std::string(c.channels == 1 ? "Mono" : "Stereo") + "_" + std::to_string(c.rate) +
                                    "Hz_" + std::to_string(c.block) + "_off" + std::to_string(c.off) + "_on" +
                                    std::to_string(c.on);
                         });

// While the output is all dry the peak outputs read 0; on again they meter.
TEST(Lv2Bypass, PeaksReadZeroWhileSwitchedOff) {
    CHostedDelay host(kStereoUri, 48000);
    host.Set(BusySettings());
    const std::vector<float> in = TestSignal(2, 48000, 0.1);
    host.Enabled() = 0.0f;
    host.Render(in, 256);
    EXPECT_EQ(host.Controls()[zvlv2::kPortPeakLeft], 0.0f);
    EXPECT_EQ(host.Controls()[zvlv2::kPortPeakRight], 0.0f);
    host.Enabled() = 1.0f;
    host.Render(in, 256);
    EXPECT_GT(host.Controls()[zvlv2::kPortPeakLeft], 0.0f);
}

// ---- Presets and state ------------------------------------------------------

void SetPortValue(const char* symbol, void* user, const void* value, uint32_t size, uint32_t type) {
    auto* host = static_cast<CHostedDelay*>(user);
    CWorld& w = CWorld::Get();
    LilvNode* sym = lilv_new_string(w.world, symbol);
    const LilvPort* port = lilv_plugin_get_port_by_symbol(host->Plugin(), sym);
    lilv_node_free(sym);
    ASSERT_NE(port, nullptr);
    ASSERT_EQ(type, w.urids.map.map(&w.urids, LV2_ATOM__Float));
    ASSERT_EQ(size, sizeof(float));
    host->Controls()[lilv_port_get_index(host->Plugin(), port)] = *static_cast<const float*>(value);
}

const void* GetPortValue(const char* symbol, void* user, uint32_t* size, uint32_t* type) {
    auto* host = static_cast<CHostedDelay*>(user);
    CWorld& w = CWorld::Get();
    LilvNode* sym = lilv_new_string(w.world, symbol);
    const LilvPort* port = lilv_plugin_get_port_by_symbol(host->Plugin(), sym);
    lilv_node_free(sym);
    *size = sizeof(float);
    *type = w.urids.map.map(&w.urids, LV2_ATOM__Float);
    return &host->Controls()[lilv_port_get_index(host->Plugin(), port)];
}

TEST(Lv2Presets, FactoryPresetLoadsAndSounds) {
    CWorld& w = CWorld::Get();
    CHostedDelay host(kStereoUri, 48000);
    LilvNode* presetClass = w.Uri(LV2_PRESETS__Preset);
    LilvNodes* presets = lilv_plugin_get_related(host.Plugin(), presetClass);
    EXPECT_EQ(lilv_nodes_size(presets), 16u);
    LilvNode* label = w.Uri(LILV_NS_RDFS "label");
    const LilvNode* slapback = nullptr;
    LILV_FOREACH (nodes, it, presets) {
        const LilvNode* preset = lilv_nodes_get(presets, it);
        lilv_world_load_resource(w.world, preset);
        LilvNodes* labels = lilv_world_find_nodes(w.world, preset, label, nullptr);
        if (labels && std::string(lilv_node_as_string(lilv_nodes_get_first(labels))) == "Vintage / Slapback") slapback = preset;
        lilv_nodes_free(labels);
    }
    ASSERT_NE(slapback, nullptr);
    LilvState* state = lilv_state_new_from_world(w.world, &w.urids.map, slapback);
    ASSERT_NE(state, nullptr);
    lilv_state_restore(state, host.Instance(), SetPortValue, &host, 0, nullptr);
    lilv_state_free(state);
    ParamBlock expected = kDefaultBlock;
    ASSERT_EQ(ReadDataString("1100,12,10,0,30, 1300,12,10,0,30, 40,0,101,71,215,71,0, 0,1200,1,0", expected), 21);
    for (int i = 0; i < kParamCount; ++i) EXPECT_EQ(InternalFromNatural(i, host.Controls()[i]), expected[i]) << kParamTable[i].name;
    const std::vector<float> in = TestSignal(2, 48000, 0.2);
    EXPECT_TRUE(SameBits(host.Render(in, 256), RenderReference(expected, 2, 48000, in, 256)));
    lilv_node_free(label);
    lilv_nodes_free(presets);
    lilv_node_free(presetClass);
}

// A session saved while the host tempo had moved the delays reopens with
// the same values and sound, whatever the ports say.
TEST(Lv2State, SavedStateRestoresIntoAFreshInstance) {
    CWorld& w = CWorld::Get();
    ParamBlock settings = BusySettings();
    settings[kParamTempoSync] = 2;
    settings[kParamFactorL] = 7;
    settings[kParamFactorR] = 9;
    const std::vector<float> in = TestSignal(2, 96000, 0.2);
    CHostedDelay first(kStereoUri, 96000);
    first.Set(settings);
    first.SendTempo(150.0f);
    const std::vector<float> firstOut = first.Render(in, 512);
    LilvState* state = lilv_state_new_from_instance(first.Plugin(), first.Instance(), &w.urids.map, nullptr, nullptr,
                                                    nullptr, nullptr, GetPortValue, &first, 0, nullptr);
    ASSERT_NE(state, nullptr);

    CHostedDelay second(kStereoUri, 96000);
    lilv_state_restore(state, second.Instance(), SetPortValue, &second, 0, nullptr);
    lilv_state_free(state);
    for (int i = 0; i < kParamCount; ++i) EXPECT_EQ(InternalFromNatural(i, second.Controls()[i]), settings[i]) << kParamTable[i].name;
    // No tempo event this time: the restored delays and tempo stand.
    EXPECT_TRUE(SameBits(second.Render(in, 512), firstOut));
}

LilvState* SaveState(CHostedDelay& host) {
    CWorld& w = CWorld::Get();
    return lilv_state_new_from_instance(host.Plugin(), host.Instance(), &w.urids.map, nullptr, nullptr, nullptr,
                                        nullptr, GetPortValue, &host, 0, nullptr);
}

// What a session holds when it is saved right after the host set the
// ports, with no run since (or none at all): the values set, with the
// delays the tempo rule makes of them, and nothing older. Each case saves,
// restores into a fresh instance as a host reopening the session does
// (state, then the ports' values), and renders.
struct SaveCase {
    const char* name;
    bool runFirst;       // run with the defaults before the ports are set
    bool fromRestore;    // the instance was itself restored from such a state first
};

class SaveWithoutRunTest : public ::testing::TestWithParam<SaveCase> {};

TEST_P(SaveWithoutRunTest, StateHoldsWhatTheHostSet) {
    const SaveCase c = GetParam();
    ParamBlock set = BusySettings();
    set[kParamTempoSync] = 1;   // "Man": 150 BPM, a beat of 400 ms
    set[kParamTempo] = 1500;
    set[kParamFactorL] = 9;     // 1/2: 200 ms
    set[kParamFactorR] = 7;     // 1/4: 100 ms
    ParamBlock expected = set;
    expected[kParamDelayL] = 2000;
    expected[kParamDelayR] = 1000;
    const std::vector<float> in = TestSignal(2, 48000, 0.2);

    CHostedDelay first(kStereoUri, 48000);
    if (c.runFirst) first.Render(in, 512);
    if (c.fromRestore) {
        // A session saved with other values, reopened; then the user moves
        // Tempo and MixL while nothing runs.
        CHostedDelay earlier(kStereoUri, 48000);
        ParamBlock other = set;
        other[kParamTempo] = 1000;
        other[kParamMixL] = 77;
        earlier.Set(other);
        LilvState* old = SaveState(earlier);
        lilv_state_restore(old, first.Instance(), SetPortValue, &first, 0, nullptr);
        lilv_state_free(old);
        ASSERT_EQ(first.Controls()[kParamTempo], 100.0f);   // BPM
    }
    first.Set(set);
    LilvState* state = SaveState(first);
    ASSERT_NE(state, nullptr);

    CHostedDelay second(kStereoUri, 48000);
    lilv_state_restore(state, second.Instance(), SetPortValue, &second, 0, nullptr);
    lilv_state_free(state);
    for (int i = 0; i < kParamCount; ++i) EXPECT_EQ(InternalFromNatural(i, second.Controls()[i]), set[i]) << kParamTable[i].name;
    EXPECT_TRUE(SameBits(second.Render(in, 512), RenderReference(expected, 2, 48000, in, 512)));
}

INSTANTIATE_TEST_SUITE_P(Lv2State, SaveWithoutRunTest,
                         ::testing::Values(SaveCase{"NeverRun", false, false}, SaveCase{"RunBefore", true, false},
                                           SaveCase{"ReopenedThenSet", false, true},
                                           SaveCase{"RunReopenedThenSet", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- States across the layers ------------------------------------------------

// The saved chunk (StateChunk.h) under the body key, through the plug-in's
// own state interface: a save's, and a restore that offers that key alone,
// as another layer's state does.
struct CStateBody {
    std::vector<uint8_t> body;
    static LV2_URID Key() { return CUridMap::Map(&CWorld::Get().urids, zvlv2::kStateBodyKey); }
    static const LV2_State_Interface* Of(LilvInstance* i) {
        return static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(i, LV2_STATE__interface));
    }
    void Save(LilvInstance* i) {
        Of(i)->save(lilv_instance_get_handle(i), [](LV2_State_Handle h, uint32_t key, const void* v, size_t n, uint32_t, uint32_t) {
            if (key == Key()) static_cast<CStateBody*>(h)->body.assign(static_cast<const uint8_t*>(v), static_cast<const uint8_t*>(v) + n);
            return LV2_STATE_SUCCESS;
        }, this, 0, CWorld::Get().urids.features);
    }
    LV2_State_Status Restore(LilvInstance* i) {
        return Of(i)->restore(lilv_instance_get_handle(i), [](LV2_State_Handle h, uint32_t key, size_t* n, uint32_t* type, uint32_t* flags) {
            *n = static_cast<CStateBody*>(h)->body.size();
            *type = CUridMap::Map(&CWorld::Get().urids, LV2_ATOM__Chunk);
            *flags = LV2_STATE_IS_POD;
            return key == Key() ? static_cast<const void*>(static_cast<CStateBody*>(h)->body.data()) : nullptr;
        }, this, 0, CWorld::Get().urids.features);
    }
};

// LV2 saves, CLAP loads; CLAP saves (with its host bypass switch), LV2
// restores it and saves the same values again.
TEST(Lv2State, StatesAcrossLv2AndClap) {
    ParamBlock values = {{1234, 7, 55, 20, 75, 36000, 9, 0, 100, 100, 100, 65, 120, 45, 250, 130, -120, 0, 1405, 0, 1}};
    CHostedDelay lv2(kStereoUri, 48000), restored(kMonoUri, 44100);
    lv2.Set(values);
    lv2.Render(TestSignal(2, 48000, 0.01), 256);
    CStateBody saved, fromClap, again;
    saved.Save(lv2.Instance());
    CClapLibrary library(ZV_CLAP_FILE);
    CClapTestHost host;
    CClapInstance clap(host, "example.zvdelay.mono", library);
    ASSERT_TRUE(clap.plugin && clap.Load(saved.body));
    for (int i = 0; i < kParamCount; ++i) EXPECT_EQ(clap.Value(i), NaturalFromInternal(i, values[i])) << kParamTable[i].name;
    values[kParamDelayR] = 777;
    clap.Flush({{0, kParamDelayR, 77.7}, {0, 21, 1.0}});
    fromClap.body = clap.Save();
    ASSERT_EQ(fromClap.Restore(restored.Instance()), LV2_STATE_SUCCESS);
    again.Save(restored.Instance());
    ParamBlock back{};
    ASSERT_TRUE(ReadStateChunk(again.body.data(), again.body.size(), &back));
    EXPECT_EQ(back, values);
}

#ifdef ZV_WATCH_REAL_TIME_CALLS
// run() as a host's audio thread calls it, with every control moving, the
// tempo rule and the host tempo at work: it never allocates or frees memory
// and never locks a mutex (the plug-in declares itself hard real-time
// capable).
TEST(Lv2RealTime, RunNeitherAllocatesNorLocks) {
    CHostedDelay plugin(kStereoUri, 48000);
    ASSERT_NE(plugin.Instance(), nullptr);
    std::vector<float> left(256, 0.25f), right(256, -0.25f), outLeft(256), outRight(256);
    const float* in[2] = {left.data(), right.data()};
    float* out[2] = {outLeft.data(), outRight.data()};
    plugin.ConnectAudio(in, out);
    plugin.Set(BusySettings());
    plugin.RunOnce(256);   // warm-up
    int allocations = 0, locks = 0;
    for (int k = 0; k < 400; ++k) {
        ParamBlock b = BusySettings();
        b[kParamTempoSync] = k % 3;
        b[kParamFactorL] = k % 20;
        b[kParamTempo] = 600 + 7 * k;
        b[kParamDelayL] = 1 + 97 * k;
        b[kParamMixR] = k % 101;
        b[kParamOutput] = -361 + k;
        plugin.Set(b);
        if (k % 5 == 0) plugin.SendTempo(90.0f + k);
        plugin.Enabled() = k % 7 < 3 ? 0.0f : 1.0f;
        CRealTimeWatch watch;
        plugin.RunOnce(k % 2 ? 256 : 1);
        allocations += watch.Counts().allocations;
        locks += watch.Counts().locks;
        plugin.ClearEvents();
    }
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(locks, 0);
}
#endif

}  // namespace
