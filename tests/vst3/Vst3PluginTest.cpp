// The VST3 bundle as a host sees it: our own small host (Vst3TestHost.h)
// loads the module from the build tree through its entry points (natively,
// and for Windows under Wine), reads the factory (class ids as a Windows
// host reads them), the parameters and the program list, and processes with
// sample-offset parameter changes in odd block sizes against the core's
// offline renderer, bit for bit; saved states across layers, the host
// tempo, programs, the bypass switch, values set while nothing processes,
// and (natively) no lock or heap call inside process().
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Vst3TestHost.h"
#include "effect/OfflineEffect.h"
#include "effect/ParamDescription.h"
#include "effect/ParamText.h"
#include "effect/StateChunk.h"
#include "effect/TempoSync.h"
#include "presets/DataString.h"
#include "vst3/Vst3Ids.h"
#ifdef ZV_WATCH_REAL_TIME_CALLS
#include "../lv2/RealTimeCalls.h"
#endif

namespace {

using vst3host::CInstance;
using vst3host::CModule;
using vst3host::CParamChanges;

constexpr v3_param_id kBypass = zvvst3::kBypassParamId;
constexpr v3_param_id kProgram = zvvst3::kProgramParamId;

CModule& Module() {
    static CModule module(ZV_VST3_MODULE);
    return module;
}

// The class id of a plug-in, as the factory lists it.
struct ClassId {
    v3_tuid id;
};
ClassId ClassOf(int inputChannels) {
    ClassId c{};
    for (int32_t i = 0; i < Module().ClassCount(); ++i) {
        v3_class_info_2 info{};
        if (Module().ClassInfo(i, &info) &&
            std::string(info.name) == (inputChannels == 1 ? zvvst3::kMonoName : zvvst3::kStereoName)) {
            std::memcpy(c.id, info.class_id, sizeof c.id);
        }
    }
    return c;
}

// Normalised value of an internal one, as the plug-in maps it.
double Norm(CInstance& plugin, int index, int32_t value) {
    v3_edit_controller** c = plugin.Controller();
    return (*reinterpret_cast<v3_edit_controller_cpp**>(c))->ctrl.plain_parameter_to_normalised(
        c, static_cast<v3_param_id>(index), NaturalFromInternal(index, value));
}
int32_t Internal(CInstance& plugin, int index, double normalized) {
    v3_edit_controller** c = plugin.Controller();
    return InternalFromNatural(index, (*reinterpret_cast<v3_edit_controller_cpp**>(c))->ctrl.normalised_parameter_to_plain(
                                          c, static_cast<v3_param_id>(index), normalized));
}

std::vector<float> TestSignal(int channels, uint32_t rate, double seconds) {
    const size_t frames = static_cast<size_t>(rate * seconds);
    std::vector<float> s(frames * channels);
    uint32_t noise = 777;
    for (size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            noise = noise * 1664525u + 1013904223u;
            const double n = static_cast<int32_t>(noise) / 2147483648.0 * 0.2;
            const double tone = 0.4 * std::sin(2.0 * 3.14159265358979323846 * (220.0 + 110.0 * c) * i / rate);
            s[i * channels + c] = static_cast<float>((i * 50 / rate) % 5 == 0 ? tone + n : 0.0);
        }
    }
    return s;
}

ParamBlock BusySettings() {
    ParamBlock b = kDefaultBlock;
    const int32_t values[][2] = {{kParamTempoSync, 0}, {kParamDelayL, 731},   {kParamDelayR, 1177}, {kParamFeedbkL, 60},
                                 {kParamFeedbkR, 55},  {kParamXfeedL, 30},    {kParamXfeedR, 20},   {kParamMixL, 50},
                                 {kParamMixR, 45},     {kParamDiffAmnt, 60},  {kParamLowFreq, 80},  {kParamHighFreq, 250},
                                 {kParamOutput, -15}};
    for (const auto& v : values) b[v[0]] = v[1];
    return b;
}

// A change of one parameter before a frame (the renderer's --at).
struct Change {
    int64_t frame;
    int index;
    int32_t value;
};

// The offline renderer: blocks of blockFrames, each cut again before every
// change, which goes in through the setter (as zvdelay-render --at does).
std::vector<float> RenderReference(const ParamBlock& start, int channels, uint32_t rate, const std::vector<float>& in,
                                   int blockFrames, std::vector<Change> changes = {}) {
    COfflineEffect fx;
    fx.SetAllParams(start.v);
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
    const int64_t frames = static_cast<int64_t>(in.size() / channels);
    std::vector<float> out(2 * static_cast<size_t>(frames));
    size_t next = 0;
    for (int64_t at = 0; at < frames;) {
        while (next < changes.size() && changes[next].frame <= at) {
            fx.SetParamValue(changes[next].index, changes[next].value, 0);
            ++next;
        }
        int64_t end = std::min<int64_t>((at / blockFrames + 1) * blockFrames, frames);
        if (next < changes.size() && changes[next].frame < end) end = changes[next].frame;
        int32_t n = static_cast<int32_t>(end - at), cap = n;
        fx.ProcessFloat(1, in.data() + at * channels, &n, out.data() + 2 * at, &cap);
        at = end;
    }
    fx.ReleaseStreaming();
    return out;
}

// Runs an interleaved input through the plug-in in blocks of blockFrames,
// with parameter points at their frames (normalised values, any id);
// interleaved stereo out. afterBlock(first frame) runs after each block.
struct Point {
    int64_t frame;
    v3_param_id id;
    double value;
};
template <class AfterBlock>
std::vector<float> Render(CInstance& plugin, int channels, const std::vector<float>& in, int blockFrames,
                          const std::vector<Point>& points, double tempo, AfterBlock&& afterBlock) {
    const size_t frames = in.size() / channels;
    std::vector<float> planes(frames * channels), out(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) planes[c * frames + i] = in[i * channels + c];
    }
    CParamChanges changes;
    for (size_t at = 0; at < frames; at += blockFrames) {
        const int32_t n = static_cast<int32_t>(std::min<size_t>(blockFrames, frames - at));
        changes.Clear();
        for (const Point& p : points) {
            if (p.frame >= static_cast<int64_t>(at) && p.frame < static_cast<int64_t>(at) + n) {
                changes.Add(p.id, static_cast<int32_t>(p.frame - at), p.value);
            }
        }
        const float* inPlanes[2] = {&planes[at], channels == 2 ? &planes[frames + at] : nullptr};
        std::vector<float> left(n), right(n);
        float* outPlanes[2] = {left.data(), right.data()};
        EXPECT_EQ(plugin.Process(inPlanes, channels, outPlanes, n, &changes, tempo), V3_OK);
        for (int32_t i = 0; i < n; ++i) {
            out[2 * (at + i)] = left[i];
            out[2 * (at + i) + 1] = right[i];
        }
        afterBlock(at);
    }
    return out;
}
std::vector<float> Render(CInstance& plugin, int channels, const std::vector<float>& in, int blockFrames,
                          const std::vector<Point>& points = {}, double tempo = 0.0) {
    return Render(plugin, channels, in, blockFrames, points, tempo, [](size_t) {});
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// A started instance with a block set through its state.
struct CStarted {
    CInstance plugin;
    CStarted(int channels, uint32_t rate, const ParamBlock& block, int maxBlock = 4096)
        : plugin(Module(), ClassOf(channels).id) {
        EXPECT_TRUE(plugin.Valid());
        EXPECT_EQ(plugin.SetState(WriteStateChunk(block)), V3_OK);
        EXPECT_TRUE(plugin.Start(rate, maxBlock));
    }
};

ParamBlock Values(CInstance& plugin) {
    ParamBlock b{};
    for (int i = 0; i < kParamCount; ++i) b[i] = Internal(plugin, i, plugin.Normalized(static_cast<v3_param_id>(i)));
    return b;
}

// The factory bank as the test reads it: "Bank / Name" and values.
struct BankPreset {
    std::string label;
    ParamBlock values;
};
std::vector<BankPreset> FactoryBank() {
    std::ifstream in(ZV_FACTORY_BANK);
    std::vector<BankPreset> bank;
    std::string line, name, group;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("[Preset", 0) == 0) bank.push_back({"", kDefaultBlock}), name = group = "";
        if (bank.empty()) continue;
        if (line.rfind("Name=", 0) == 0) name = line.substr(5);
        if (line.rfind("Bank=", 0) == 0) group = line.substr(5);
        if (line.rfind("Data=", 0) == 0) ReadDataString(line.c_str() + 5, bank.back().values);
        bank.back().label = group.empty() ? name : group + " / " + name;
    }
    return bank;
}

// ---- Module and factory ----------------------------------------------------

TEST(Vst3Module, EntryPointsAndFactory) {
    ASSERT_TRUE(Module().Loaded());
#if defined(_WIN32)
    for (const char* name : {"InitDll", "ExitDll", "GetPluginFactory"}) EXPECT_NE(Module().Symbol(name), nullptr) << name;
#else
    for (const char* name : {"ModuleEntry", "ModuleExit", "GetPluginFactory"}) EXPECT_NE(Module().Symbol(name), nullptr) << name;
#endif
    ASSERT_EQ(Module().ClassCount(), 2);
    const struct {
        const char* name;
        const char* idText;
    } expected[] = {{zvvst3::kStereoName, zvvst3::kStereoClassId.text}, {zvvst3::kMonoName, zvvst3::kMonoClassId.text}};
    for (int32_t i = 0; i < 2; ++i) {
        v3_class_info_2 info{};
        ASSERT_TRUE(Module().ClassInfo(i, &info));
        EXPECT_STREQ(info.name, expected[i].name);
        EXPECT_STREQ(info.category, "Audio Module Class");
        EXPECT_STREQ(info.sub_categories, "Fx|Delay");
        EXPECT_STREQ(info.vendor, zvvst3::kVendor);
        EXPECT_EQ(info.cardinality, 0x7FFFFFFF);
        // A Windows host reads the 16 bytes as a COM GUID.
        EXPECT_TRUE(vst3host::IdMatchesText(info.class_id, expected[i].idText)) << expected[i].idText;
    }
}

TEST(Vst3Module, OneObjectIsComponentAndController) {
    CInstance plugin(Module(), ClassOf(2).id);
    ASSERT_TRUE(plugin.Valid());
    ASSERT_NE(plugin.UnitInfo(), nullptr);
    v3_tuid controllerId;
    EXPECT_NE((*reinterpret_cast<v3_component_cpp**>(plugin.Component()))->comp.get_controller_class_id(
                  plugin.Component(), controllerId),
              V3_OK);
    for (int channels : {1, 2}) {
        CInstance p(Module(), ClassOf(channels).id);
        v3_bus_info bus{};
        auto* c = *reinterpret_cast<v3_component_cpp**>(p.Component());
        ASSERT_EQ(c->comp.get_bus_info(p.Component(), V3_AUDIO, V3_INPUT, 0, &bus), V3_OK);
        EXPECT_EQ(bus.channel_count, channels);
        ASSERT_EQ(c->comp.get_bus_info(p.Component(), V3_AUDIO, V3_OUTPUT, 0, &bus), V3_OK);
        EXPECT_EQ(bus.channel_count, 2);
        EXPECT_EQ(c->comp.get_bus_count(p.Component(), V3_EVENT, V3_INPUT), 0);
    }
}

// ---- Parameters ----------------------------------------------------------------

TEST(Vst3Parameters, DescribedFromTheTable) {
    CInstance plugin(Module(), ClassOf(2).id);
    auto* ctrl = *reinterpret_cast<v3_edit_controller_cpp**>(plugin.Controller());
    ASSERT_EQ(ctrl->ctrl.get_parameter_count(plugin.Controller()), kParamCount + 2);
    for (int32_t i = 0; i < kParamCount + 2; ++i) {
        v3_param_info info{};
        ASSERT_EQ(ctrl->ctrl.get_parameter_info(plugin.Controller(), i, &info), V3_OK);
        EXPECT_EQ(info.param_id, static_cast<v3_param_id>(i));
        EXPECT_EQ(info.unit_id, 0);
        if (i < kParamCount) {
            SCOPED_TRACE(kParamTable[i].name);
            const ParamDescription& d = kParamDescriptions[i];
            EXPECT_EQ(vst3host::Utf8(info.title, 128), d.name);
            EXPECT_EQ(vst3host::Utf8(info.short_title, 128), d.shortName);
            EXPECT_EQ(vst3host::Utf8(info.units, 128), ParamUnitSymbol(d.unit));
            EXPECT_EQ(info.step_count, ParamStepCount(i));
            EXPECT_EQ(Internal(plugin, i, info.default_normalised_value), kParamTable[i].defaultValue);
            EXPECT_EQ(info.flags, V3_PARAM_CAN_AUTOMATE | (d.kind == EParamKind::kEnumeration ? V3_PARAM_IS_LIST : 0));
        } else if (i == static_cast<int32_t>(kBypass)) {
            EXPECT_EQ(info.step_count, 1);
            EXPECT_TRUE(info.flags & V3_PARAM_IS_BYPASS);
        } else {
            EXPECT_EQ(info.step_count, 15);
            EXPECT_TRUE(info.flags & V3_PARAM_PROGRAM_CHANGE);
        }
    }
}

// Every internal value of every parameter: to normalised and back (also
// through single precision, as hosts keep it), plain values the natural
// ones, the text as the editor's boxes show it with its unit, and the text
// read back to a value that shows the same text (two filter steps that
// round to the same hertz read back as the lower one, as in the editor).
TEST(Vst3Parameters, EveryValueRoundTrips) {
    CInstance plugin(Module(), ClassOf(2).id);
    auto* ctrl = *reinterpret_cast<v3_edit_controller_cpp**>(plugin.Controller());
    for (int i = 0; i < kParamCount; ++i) {
        SCOPED_TRACE(kParamTable[i].name);
        const v3_param_id id = static_cast<v3_param_id>(i);
        const int32_t steps = ParamStepCount(i);
        int failures = 0;
        for (int32_t v = kParamTable[i].minimum; v <= kParamTable[i].maximum && failures < 5; ++v) {
            const double n = Norm(plugin, i, v);
            const double plain = ctrl->ctrl.normalised_parameter_to_plain(plugin.Controller(), id, n);
            const double viaFloat = ctrl->ctrl.normalised_parameter_to_plain(plugin.Controller(), id, static_cast<float>(n));
            const std::string text = plugin.Text(id, n);
            v3_str_128 typed{};
            for (size_t k = 0; k < text.size() && k < 127; ++k) typed[k] = static_cast<int16_t>(text[k]);
            double back = -1.0;
            ctrl->ctrl.get_parameter_value_for_string(plugin.Controller(), id, typed, &back);
            const bool ok = plain == NaturalFromInternal(i, v) && viaFloat == plain && text == ParamValueText(i, v) &&
                            ParamValueText(i, Internal(plugin, i, back)) == text &&
                            (steps == 0 || n == static_cast<double>(v - kParamTable[i].minimum) / steps);
            if (!ok) {
                ADD_FAILURE() << "value " << v << ": normalised " << n << ", plain " << plain << ", text " << text;
                ++failures;
            }
        }
    }
    EXPECT_EQ(plugin.Text(kBypass, 1.0), "On");
    EXPECT_EQ(plugin.Text(kProgram, 0.0), FactoryBank()[0].label);
}

// ---- Processing ------------------------------------------------------------------

struct RunCase {
    int channels;
    uint32_t rate;
    int block;
};
class Vst3Exact : public ::testing::TestWithParam<RunCase> {};

// Parameter changes at sample offsets (several in one block, two at one
// offset, one on the first and one on the last frame of a block) against
// the renderer splitting its blocks at the same frames.
TEST_P(Vst3Exact, ChangesAtTheirOffsetsGiveTheRenderersBits) {
    const RunCase c = GetParam();
    const ParamBlock settings = BusySettings();
    const std::vector<float> in = TestSignal(c.channels, c.rate, 0.3);
    const int64_t b = c.block;
    std::vector<Change> changes = {
        {1000, kParamDelayL, 2222}, {2345, kParamMixR, 80},       {2345, kParamFeedbkL, 20},
        {3 * b, kParamOutput, -60}, {5 * b - 1, kParamLowFreq, 150}, {7001, kParamHighFreq, 120},
        {9000, kParamListen, 1},    {11111, kParamDelayR, 40000}, {11112, kParamDiffAmnt, 0}};
    std::stable_sort(changes.begin(), changes.end(), [](const Change& x, const Change& y) { return x.frame < y.frame; });
    CStarted s(c.channels, c.rate, settings);
    std::vector<Point> points;
    for (const Change& ch : changes) points.push_back({ch.frame, static_cast<v3_param_id>(ch.index), Norm(s.plugin, ch.index, ch.value)});
    const std::vector<float> out = Render(s.plugin, c.channels, in, c.block, points);
    EXPECT_TRUE(SameBits(out, RenderReference(settings, c.channels, c.rate, in, c.block, changes)));
    // What processing did is what the controller shows and a save holds.
    ParamBlock last = settings;
    for (const Change& ch : changes) {
        if (ch.frame < static_cast<int64_t>(in.size() / c.channels)) last[ch.index] = ch.value;
    }
    const ParamBlock shown = Values(s.plugin);
    EXPECT_TRUE(std::equal(shown.v, shown.v + kParamCount, last.v));
}

INSTANTIATE_TEST_SUITE_P(OddBlocks, Vst3Exact,
                         ::testing::Values(RunCase{2, 44100, 1}, RunCase{2, 48000, 7}, RunCase{1, 48000, 333},
                                           RunCase{2, 96000, 1000}, RunCase{1, 44100, 4096}),
                         [](const auto& info) {
                             return std::string(info.param.channels == 1 ? "Mono" : "Stereo") + "_" +
                                    std::to_string(info.param.rate) + "_" + std::to_string(info.param.block);
                         });

// TempoSync "Host": the context's tempo sets Tempo and the delays, and the
// plug-in reports the values it moved to the host.
TEST(Vst3Tempo, TheHostTempoMovesTheDelays) {
    ParamBlock settings = BusySettings();
    settings[kParamTempoSync] = 2;
    settings[kParamFactorL] = 7;   // 1/4 of 150 BPM: 100 ms
    settings[kParamFactorR] = 9;   // 1/2: 200 ms
    ParamBlock expected = settings;
    expected[kParamTempo] = TempoFromHost(15000);
    expected[kParamDelayL] = 1000;
    expected[kParamDelayR] = 2000;
    const std::vector<float> in = TestSignal(2, 48000, 0.2);
    CStarted s(2, 48000, settings);
    EXPECT_TRUE(SameBits(Render(s.plugin, 2, in, 512, {}, 150.0), RenderReference(expected, 2, 48000, in, 512)));
    EXPECT_EQ(Values(s.plugin)[kParamDelayL], 1000);
    // The block reported the moved values once; later blocks report nothing.
    CStarted again(2, 48000, settings);
    std::vector<float> left(64), right(64), silence(64);
    const float* inPlanes[2] = {silence.data(), silence.data()};
    float* outPlanes[2] = {left.data(), right.data()};
    again.plugin.Process(inPlanes, 2, outPlanes, 64, nullptr, 150.0);
    EXPECT_EQ(Internal(again.plugin, kParamDelayR, again.plugin.Output().Last(kParamDelayR)), 2000);
    EXPECT_EQ(Internal(again.plugin, kParamTempo, again.plugin.Output().Last(kParamTempo)), expected[kParamTempo]);
    again.plugin.Process(inPlanes, 2, outPlanes, 64, nullptr, 150.0);
    EXPECT_EQ(again.plugin.Output().count, 0);
}

// The program list is the factory bank; a program change at an offset
// loads the program there and reports its values.
TEST(Vst3Programs, TheFactoryBankByName) {
    const std::vector<BankPreset> bank = FactoryBank();
    ASSERT_EQ(bank.size(), 16u);
    CInstance plugin(Module(), ClassOf(2).id);
    auto* unit = *reinterpret_cast<v3_unit_information_cpp**>(plugin.UnitInfo());
    v3_unit_info info{};
    ASSERT_EQ(unit->unit.get_unit_info(plugin.UnitInfo(), 0, &info), V3_OK);
    v3_program_list_info list{};
    ASSERT_EQ(unit->unit.get_program_list_info(plugin.UnitInfo(), 0, &list), V3_OK);
    EXPECT_EQ(list.id, info.program_list_id);
    ASSERT_EQ(list.programCount, 16);
    for (int32_t p = 0; p < 16; ++p) {
        v3_str_128 name{};
        ASSERT_EQ(unit->unit.get_program_name(plugin.UnitInfo(), list.id, p, name), V3_OK);
        EXPECT_EQ(vst3host::Utf8(name, 128), bank[p].label);
    }
}

TEST(Vst3Programs, AProgramChangeAtAnOffset) {
    const std::vector<BankPreset> bank = FactoryBank();
    ParamBlock preset = bank[5].values;
    preset[kParamTempoSync] = 0;   // the renderer sets values without the tempo rule
    ParamBlock start = BusySettings();
    const std::vector<float> in = TestSignal(2, 44100, 0.2);
    CStarted s(2, 44100, start);
    std::vector<Change> changes;
    for (int i = 0; i < kParamCount; ++i) changes.push_back({3000, i, bank[5].values[i]});
    const std::vector<float> out = Render(s.plugin, 2, in, 1024, {{3000, kProgram, 5.0 / 15.0}});
    EXPECT_TRUE(SameBits(out, RenderReference(start, 2, 44100, in, 1024, changes)));
    EXPECT_EQ(Values(s.plugin)[kParamMixL], bank[5].values[kParamMixL]);
}

// Chosen on the controller: its values at once, in the state a save
// stores; the host is not called back from inside its own call (Ardour 7.3
// waits on its own lock when it is), it learns the values from processing.
TEST(Vst3Programs, ChosenOnTheController) {
    const std::vector<BankPreset> bank = FactoryBank();
    CInstance plugin(Module(), ClassOf(1).id);
    vst3host::CComponentHandler handler;
    auto* ctrl = *reinterpret_cast<v3_edit_controller_cpp**>(plugin.Controller());
    ctrl->ctrl.set_component_handler(plugin.Controller(), handler.Handler());
    EXPECT_EQ(plugin.SetNormalized(kProgram, 9.0 / 15.0), V3_OK);
    EXPECT_TRUE(handler.restarts.empty() && handler.edits.empty());
    const ParamBlock shown = Values(plugin);
    EXPECT_TRUE(std::equal(shown.v, shown.v + kParamCount, bank[9].values.v));
    ParamBlock saved{};
    ASSERT_TRUE(ReadStateChunk(plugin.State().data(), plugin.State().size(), &saved));
    EXPECT_TRUE(std::equal(saved.v, saved.v + kParamCount, bank[9].values.v));
    ctrl->ctrl.set_component_handler(plugin.Controller(), nullptr);
    EXPECT_EQ(handler.refs, 1);
}

// The host's bypass: dry (the mono input on both sides) once the 10 ms fade
// is over, the effect's output again after the fade back; the lines ran on.
TEST(Vst3Bypass, FadesToTheInputAndBack) {
    for (int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        const uint32_t rate = 48000, fade = 480;
        const std::vector<float> in = TestSignal(channels, rate, 0.3);
        CStarted s(channels, rate, BusySettings());
        const std::vector<float> out = Render(s.plugin, channels, in, 256, {{1000, kBypass, 1.0}, {9000, kBypass, 0.0}});
        // The effect's own output, its blocks cut where the switch turns (a
        // change to the value DelayL has already).
        const std::vector<float> wet = RenderReference(BusySettings(), channels, rate, in, 256, {{1000, 0, 731}, {9000, 0, 731}});
        for (size_t f = 1000 + fade; f < 9000; ++f) {
            for (int side = 0; side < 2; ++side) {
                ASSERT_EQ(out[2 * f + side], in[f * channels + (channels == 2 ? side : 0)]) << "frame " << f;
            }
        }
        EXPECT_TRUE(std::equal(out.begin() + 2 * (9000 + fade), out.end(), wet.begin() + 2 * (9000 + fade)));
        EXPECT_TRUE(std::equal(out.begin(), out.begin() + 2 * 1000, wet.begin()));
    }
}

// ---- State ------------------------------------------------------------------------

// The filter's saved states (kept from earlier versions) load here; what
// this layer saves is the chunk every layer reads, and behind its 8-byte
// front the very bytes the filter saves, so the filter loads it too; a
// chunk as the LV2 and CLAP layers write it loads.
TEST(Vst3State, AcrossLayers) {
    const struct {
        const char* file;
        ParamBlock values;
    } fixtures[] = {
        {"state-defaults.bin", kDefaultBlock},
        {"state-distinct.bin", {{1234, 7, 55, 20, 75, 36000, 9, 0, 100, 100, 100, 65, 120, 45, 250, 130, -120, 2, 1405, 0, 1}}},
    };
    for (const auto& f : fixtures) {
        SCOPED_TRACE(f.file);
        std::ifstream file(std::string(ZV_FIXTURE_DIR) + "/" + f.file, std::ios::binary);
        const std::vector<uint8_t> filter((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        ASSERT_EQ(filter.size(), 196u);
        CInstance plugin(Module(), ClassOf(2).id);
        ASSERT_EQ(plugin.SetState(filter), V3_OK);
        const ParamBlock shown = Values(plugin);
        EXPECT_TRUE(std::equal(shown.v, shown.v + kParamCount, f.values.v));
        const std::vector<uint8_t> saved = plugin.State();
        ASSERT_EQ(saved.size(), 204u);
        EXPECT_EQ(std::memcmp(saved.data(), "zvDS", 4), 0);
        EXPECT_TRUE(std::equal(saved.begin() + 8, saved.end(), filter.begin()));
        CInstance other(Module(), ClassOf(1).id);
        ASSERT_EQ(other.SetState(WriteStateChunk(f.values)), V3_OK);
        EXPECT_EQ(other.State(), saved);
    }
    CInstance plugin(Module(), ClassOf(2).id);
    EXPECT_NE(plugin.SetState({'n', 'o', 'p', 'e'}), V3_OK);
    EXPECT_EQ(Values(plugin)[kParamDelayL], kDefaultBlock[kParamDelayL]);
}

// A value the host sets on the controller while nothing processes (its
// engine stopped) is in the state it saves, and the reopened plug-in runs
// with it. Set while processing runs, it is the host's to send there too.
TEST(Vst3State, AValueSetWhileNothingProcessesSurvives) {
    CInstance first(Module(), ClassOf(2).id);
    ASSERT_TRUE(first.Start(48000, 512));
    first.SetNormalized(kParamMixL, Norm(first, kParamMixL, 77));
    first.SetNormalized(kParamDelayR, Norm(first, kParamDelayR, 2500));
    const std::vector<uint8_t> state = first.State();
    ParamBlock expected = kDefaultBlock;
    expected[kParamMixL] = 77;
    expected[kParamDelayR] = 2500;
    CInstance second(Module(), ClassOf(2).id);
    ASSERT_EQ(second.SetState(state), V3_OK);
    ASSERT_TRUE(second.Start(48000, 512));
    const std::vector<float> in = TestSignal(2, 48000, 0.2);
    EXPECT_TRUE(SameBits(Render(second, 2, in, 512), RenderReference(expected, 2, 48000, in, 512)));
}

// The host's bypass lives in the controller's own state, saved beside the
// component's: one stream holding both (a host that does not seek between
// them) restores the values and the switch, and processing starts dry at
// once, without a fade.
TEST(Vst3State, TheBypassInTheControllersState) {
    CInstance first(Module(), ClassOf(2).id);
    first.SetNormalized(kBypass, 1.0);
    first.SetNormalized(kParamMixR, Norm(first, kParamMixR, 64));
    auto* firstCtrl = *reinterpret_cast<v3_edit_controller_cpp**>(first.Controller());
    vst3host::CMemoryStream both(first.State());
    both.position = static_cast<int64_t>(both.data.size());
    ASSERT_EQ(firstCtrl->ctrl.get_state(first.Controller(), both.Stream()), V3_OK);
    both.position = 0;
    CInstance second(Module(), ClassOf(2).id);
    auto* comp = *reinterpret_cast<v3_component_cpp**>(second.Component());
    auto* ctrl = *reinterpret_cast<v3_edit_controller_cpp**>(second.Controller());
    ASSERT_EQ(comp->comp.set_state(second.Component(), both.Stream()), V3_OK);
    ASSERT_EQ(ctrl->ctrl.set_state(second.Controller(), both.Stream()), V3_OK);
    EXPECT_EQ(second.Normalized(kBypass), 1.0);
    EXPECT_EQ(Values(second)[kParamMixR], 64);
    ASSERT_TRUE(second.Start(48000, 256));
    const std::vector<float> in = TestSignal(2, 48000, 0.05);
    const std::vector<float> out = Render(second, 2, in, 256);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), in.begin()));
}

// A state set while processing runs reaches processing at the next block.
TEST(Vst3State, RestoredWhileActive) {
    const std::vector<float> in = TestSignal(1, 44100, 0.2);
    CStarted s(1, 44100, kDefaultBlock);
    const ParamBlock busy = BusySettings();
    ASSERT_EQ(s.plugin.SetState(WriteStateChunk(busy)), V3_OK);
    EXPECT_EQ(Values(s.plugin)[kParamDelayL], busy[kParamDelayL]);
    EXPECT_TRUE(SameBits(Render(s.plugin, 1, in, 700), RenderReference(busy, 1, 44100, in, 700)));
}

#ifdef ZV_WATCH_REAL_TIME_CALLS
// process() as a host's audio thread calls it, with parameter points, the
// tempo rule, the host tempo, programs and the bypass switch at work: no
// heap call, no mutex.
TEST(Vst3RealTime, ProcessNeitherAllocatesNorLocks) {
    CStarted s(2, 48000, BusySettings(), 256);
    std::vector<float> left(256, 0.25f), right(256, -0.25f), outLeft(256), outRight(256);
    const float* in[2] = {left.data(), right.data()};
    float* out[2] = {outLeft.data(), outRight.data()};
    CParamChanges changes;
    s.plugin.Process(in, 2, out, 256, &changes, 120.0);   // warm-up
    int allocations = 0, locks = 0;
    for (int k = 0; k < 300; ++k) {
        changes.Clear();
        changes.Add(kParamTempoSync, k % 50, (k % 3) / 2.0);
        changes.Add(kParamFactorL, 3, (k % 20) / 19.0);
        changes.Add(kParamDelayL, 100 + k % 100, (k % 97) / 97.0);
        changes.Add(kParamOutput, 255, (k % 11) / 10.0);
        if (k % 7 == 0) changes.Add(kBypass, 17, (k / 7) % 2);
        if (k % 13 == 0) changes.Add(kProgram, 200, (k % 16) / 15.0);
        vst3host::CParamChanges* c = &changes;
        CRealTimeWatch watch;
        s.plugin.Process(in, 2, out, k % 2 ? 256 : 1, c, 90.0 + k);
        allocations += watch.Counts().allocations;
        locks += watch.Counts().locks;
    }
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(locks, 0);
}
#endif

}  // namespace
