// The VST3 bundle as a host sees it, through our own host (Vst3TestHost.h),
// natively and for Windows under Wine: the module's entry points and
// factory (class ids as a Windows host reads them), the parameters and the
// program list against the core's description and the factory bank,
// sample-offset parameter changes in odd block sizes against the offline
// renderer bit for bit, the host tempo, programs, the bypass switch, a
// parameter flush, states across layers and values set while nothing
// processes, saves beside processing on another thread (ThreadSanitizer in
// the tsan build); natively, no heap call or mutex inside process().
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "Vst3TestHost.h"
#include "effect/OfflineEffect.h"
#include "effect/ParamDescription.h"
#include "effect/ParamText.h"
#include "effect/StateChunk.h"
#include "effect/TempoSync.h"
#include "presets/DataString.h"
#include "vst3/Vst3Ids.h"
#include "vst3/Vst3Text.h"
#ifdef ZV_WATCH_REAL_TIME_CALLS
#include "../lv2/RealTimeCalls.h"
#endif

namespace {

using vst3host::CInstance;
using vst3host::CParamChanges;
constexpr v3_param_id kBypass = zvvst3::kBypassParamId;
constexpr v3_param_id kProgram = zvvst3::kProgramParamId;

vst3host::CModule& Module() {
    static vst3host::CModule module(ZV_VST3_MODULE);
    return module;
}
const char* Name(int channels) { return channels == 1 ? zvvst3::kMonoName : zvvst3::kStereoName; }

// Values through the plug-in's own mapping: internal -> plain ->
// normalised, and back.
double Norm(CInstance& p, int i, int32_t value) {
    return p.Ctrl()->ctrl.plain_parameter_to_normalised(p.ctrl, i, NaturalFromInternal(i, value));
}
int32_t Internal(CInstance& p, int i, double normalized) {
    return InternalFromNatural(i, p.Ctrl()->ctrl.normalised_parameter_to_plain(p.ctrl, i, normalized));
}
ParamBlock Shown(CInstance& p) {
    ParamBlock b{};
    for (int i = 0; i < kParamCount; ++i) b[i] = Internal(p, i, p.Ctrl()->ctrl.get_parameter_normalised(p.ctrl, i));
    return b;
}
bool Same(const ParamBlock& a, const ParamBlock& b) { return std::equal(a.v, a.v + kParamCount, b.v); }
bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// Noise and tone in bursts of 20 ms every 100 ms, interleaved.
std::vector<float> Signal(int channels, uint32_t rate, double seconds) {
    std::vector<float> s(static_cast<size_t>(rate * seconds) * channels);
    uint32_t noise = 777;
    for (size_t k = 0; k < s.size(); ++k) {
        const size_t i = k / channels;
        noise = noise * 1664525u + 1013904223u;
        const double tone = 0.4 * std::sin(2.0 * 3.14159265358979 * (220.0 + 110.0 * (k % channels)) * i / rate);
        s[k] = static_cast<float>((i * 50 / rate) % 5 == 0 ? tone + static_cast<int32_t>(noise) / 1.0e10 : 0.0);
    }
    return s;
}

ParamBlock Busy() {
    ParamBlock b{{731, 12, 60, 30, 50, 1177, 12, 55, 20, 45, 40, 60, 80, 100, 250, 100, -15, 0, 1200, 1, 0}};
    return b;
}

// The renderer's way: blocks of blockFrames, cut again before each change,
// which goes in through the setter (zvdelay-render --at).
struct Change {
    int64_t frame;
    int index;
    int32_t value;
};
std::vector<float> Reference(const ParamBlock& start, int channels, uint32_t rate, const std::vector<float>& in,
                             int blockFrames, std::vector<Change> changes = {}) {
    std::stable_sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) { return a.frame < b.frame; });
    COfflineEffect fx;
    fx.SetAllParams(start.v);
    WAVEFORMATEX f[2] = {};
    for (int k = 0; k < 2; ++k) f[k] = {WAVE_FORMAT_IEEE_FLOAT, static_cast<WORD>(k ? 2 : channels), rate, 0, 0, 32, 0};
    fx.SetStreaming(1);
    EXPECT_EQ(fx.PrepareStreaming(&f[0], &f[1]), S_OK);
    const int64_t frames = static_cast<int64_t>(in.size() / channels);
    std::vector<float> out(2 * static_cast<size_t>(frames));
    size_t next = 0;
    for (int64_t at = 0; at < frames;) {
        for (; next < changes.size() && changes[next].frame <= at; ++next) fx.SetParamValue(changes[next].index, changes[next].value, 0);
        int64_t end = std::min<int64_t>((at / blockFrames + 1) * blockFrames, frames);
        if (next < changes.size()) end = std::min(end, changes[next].frame);
        int32_t n = static_cast<int32_t>(end - at), cap = n;
        fx.ProcessFloat(1, in.data() + at * channels, &n, out.data() + 2 * at, &cap);
        at = end;
    }
    return out;
}

// The plug-in in blocks of blockFrames, parameter points at their frames;
// interleaved stereo out.
struct Point {
    int64_t frame;
    v3_param_id id;
    double value;
};
std::vector<float> Render(CInstance& p, int channels, const std::vector<float>& in, int blockFrames,
                          const std::vector<Point>& points = {}, double tempo = 0.0) {
    const size_t frames = in.size() / channels;
    std::vector<float> planes(frames * channels), out(frames * 2), left(blockFrames), right(blockFrames);
    for (size_t k = 0; k < in.size(); ++k) planes[(k % channels) * frames + k / channels] = in[k];
    CParamChanges changes;
    for (size_t at = 0; at < frames; at += blockFrames) {
        const int32_t n = static_cast<int32_t>(std::min<size_t>(blockFrames, frames - at));
        changes.count = 0;
        for (const Point& pt : points) {
            if (pt.frame >= static_cast<int64_t>(at) && pt.frame < static_cast<int64_t>(at + n)) {
                changes.Add(pt.id, static_cast<int32_t>(pt.frame - at), pt.value);
            }
        }
        const float* inPlanes[2] = {&planes[at], &planes[(channels - 1) * frames + at]};
        float* outPlanes[2] = {left.data(), right.data()};
        EXPECT_EQ(p.Process(inPlanes, channels, outPlanes, n, &changes, tempo), V3_OK);
        for (int32_t i = 0; i < n; ++i) {
            out[2 * (at + i)] = left[i];
            out[2 * (at + i) + 1] = right[i];
        }
    }
    return out;
}

// An instance set to a block through its state, started.
struct CStarted : CInstance {
    CStarted(int channels, uint32_t rate, const ParamBlock& block, int maxBlock = 4096) : CInstance(Module(), Name(channels)) {
        EXPECT_EQ(SetState(WriteStateChunk(block)), V3_OK);
        EXPECT_TRUE(Start(rate, maxBlock));
    }
};

// The factory bank as the test reads it: "Bank / Name" and values.
std::vector<std::pair<std::string, ParamBlock>> FactoryBank() {
    std::ifstream in(ZV_FACTORY_BANK);
    std::vector<std::pair<std::string, ParamBlock>> bank;
    std::string line, name;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("[Preset", 0) == 0) bank.push_back({"", kDefaultBlock});
        if (line.rfind("Name=", 0) == 0) name = line.substr(5);
        if (line.rfind("Bank=", 0) == 0) bank.back().first = line.substr(5) + " / " + name;
        if (line.rfind("Data=", 0) == 0) ReadDataString(line.c_str() + 5, bank.back().second);
    }
    return bank;
}

// ---- The module, the factory and what each plug-in describes -------------

TEST(Vst3Module, FactoryParametersAndPrograms) {
    ASSERT_TRUE(Module().Loaded());
#if defined(_WIN32)
    const char* entries[] = {"InitDll", "ExitDll", "GetPluginFactory"};
#else
    const char* entries[] = {"ModuleEntry", "ModuleExit", "GetPluginFactory"};
#endif
    for (const char* name : entries) EXPECT_NE(Module().Symbol(name), nullptr) << name;
    ASSERT_EQ(Module().ClassCount(), 2);
    const zvvst3::ClassIdWords* ids[] = {&zvvst3::kStereoClassId, &zvvst3::kMonoClassId};
    const auto bank = FactoryBank();
    ASSERT_EQ(bank.size(), 16u);
    for (int32_t c = 0; c < 2; ++c) {
        v3_class_info_2 info{};
        ASSERT_TRUE(Module().ClassInfo(c, &info));
        EXPECT_STREQ(info.name, Name(2 - c));
        EXPECT_EQ(std::string(info.category) + " " + info.sub_categories + " " + info.vendor,
                  std::string("Audio Module Class Fx|Delay ") + zvvst3::kVendor);
        EXPECT_TRUE(vst3host::IdMatchesText(info.class_id, ids[c]->text)) << ids[c]->text;

        CInstance p(Module(), info.name);
        ASSERT_TRUE(p.Valid());
        v3_tuid controller;
        EXPECT_NE(p.Comp()->comp.get_controller_class_id(p.comp, controller), V3_OK);   // one object
        v3_bus_info in{}, out{};
        ASSERT_EQ(p.Comp()->comp.get_bus_info(p.comp, V3_AUDIO, V3_INPUT, 0, &in), V3_OK);
        ASSERT_EQ(p.Comp()->comp.get_bus_info(p.comp, V3_AUDIO, V3_OUTPUT, 0, &out), V3_OK);
        EXPECT_EQ(in.channel_count * 10 + out.channel_count, (2 - c) * 10 + 2);
        EXPECT_EQ(p.Comp()->comp.get_bus_count(p.comp, V3_EVENT, V3_INPUT), 0);

        ASSERT_EQ(p.Ctrl()->ctrl.get_parameter_count(p.ctrl), kParamCount + 2);
        for (int32_t i = 0; i < kParamCount + 2; ++i) {
            v3_param_info pi{};
            ASSERT_EQ(p.Ctrl()->ctrl.get_parameter_info(p.ctrl, i, &pi), V3_OK);
            EXPECT_EQ(pi.param_id, static_cast<v3_param_id>(i));
            if (i >= kParamCount) continue;
            const ParamDescription& d = kParamDescriptions[i];
            EXPECT_EQ(zvvst3::Utf8FromUtf16(pi.title, 128) + "|" + zvvst3::Utf8FromUtf16(pi.short_title, 128) + "|" +
                          zvvst3::Utf8FromUtf16(pi.units, 128),
                      std::string(d.name) + "|" + d.shortName + "|" + ParamUnitSymbol(d.unit));
            EXPECT_EQ(pi.step_count, ParamStepCount(i)) << d.name;
            EXPECT_EQ(Internal(p, i, pi.default_normalised_value), kParamTable[i].defaultValue) << d.name;
            EXPECT_EQ(pi.flags, V3_PARAM_CAN_AUTOMATE | (d.kind == EParamKind::kEnumeration ? V3_PARAM_IS_LIST : 0));
        }
        v3_param_info bypass{}, program{};
        p.Ctrl()->ctrl.get_parameter_info(p.ctrl, kBypass, &bypass);
        p.Ctrl()->ctrl.get_parameter_info(p.ctrl, kProgram, &program);
        EXPECT_TRUE(bypass.step_count == 1 && (bypass.flags & V3_PARAM_IS_BYPASS));
        EXPECT_TRUE(program.step_count == 15 && (program.flags & V3_PARAM_PROGRAM_CHANGE));

        v3_unit_info unit{};
        v3_program_list_info list{};
        ASSERT_EQ(p.Units()->unit.get_unit_info(p.units, 0, &unit), V3_OK);
        ASSERT_EQ(p.Units()->unit.get_program_list_info(p.units, 0, &list), V3_OK);
        EXPECT_EQ(list.id, unit.program_list_id);
        ASSERT_EQ(list.programCount, 16);
        for (int32_t k = 0; k < 16; ++k) {
            v3_str_128 name{};
            p.Units()->unit.get_program_name(p.units, list.id, k, name);
            EXPECT_EQ(zvvst3::Utf8FromUtf16(name, 128), bank[k].first);
        }
    }
}

// Every internal value of every parameter: to normalised and back (also
// through single precision, as hosts keep it), the plain value its natural
// one, the text the editor's box text with its unit, and the text read back
// to a value that shows the same text (two filter steps that round to the
// same hertz read back as the lower one, as in the editor).
TEST(Vst3Parameters, EveryValueRoundTrips) {
    CInstance p(Module(), Name(2));
    for (int i = 0; i < kParamCount; ++i) {
        int failures = 0;
        for (int32_t v = kParamTable[i].minimum; v <= kParamTable[i].maximum && failures < 5; ++v) {
            const double n = Norm(p, i, v);
            const double plain = p.Ctrl()->ctrl.normalised_parameter_to_plain(p.ctrl, i, static_cast<float>(n));
            v3_str_128 text{};
            p.Ctrl()->ctrl.get_parameter_string_for_value(p.ctrl, i, n, text);
            double back = -1.0;
            p.Ctrl()->ctrl.get_parameter_value_for_string(p.ctrl, i, text, &back);
            const std::string shown = zvvst3::Utf8FromUtf16(text, 128);
            const int32_t steps = ParamStepCount(i);
            if (plain != NaturalFromInternal(i, v) || shown != ParamValueText(i, v) ||
                ParamValueText(i, Internal(p, i, back)) != shown ||
                (steps > 0 && n != static_cast<double>(v - kParamTable[i].minimum) / steps)) {
                ADD_FAILURE() << kParamTable[i].name << " " << v << ": " << n << ", " << plain << ", " << shown;
                ++failures;
            }
        }
    }
}

// ---- Processing -----------------------------------------------------------------

struct RunCase {
    int channels;
    uint32_t rate;
    int block;
};
class Vst3Exact : public ::testing::TestWithParam<RunCase> {};

// Changes at sample offsets (several in a block, two at one offset, on the
// first and last frame of a block) against the renderer cut at the same
// frames; then the controller shows what processing ran with.
TEST_P(Vst3Exact, ChangesAtTheirOffsetsGiveTheRenderersBits) {
    const RunCase c = GetParam();
    const std::vector<float> in = Signal(c.channels, c.rate, 0.3);
    const int64_t b = c.block, end = static_cast<int64_t>(in.size() / c.channels);
    const std::vector<Change> changes = {
        {1000, kParamDelayL, 2222}, {2345, kParamMixR, 80},          {2345, kParamFeedbkL, 20},
        {3 * b, kParamOutput, -60}, {5 * b - 1, kParamLowFreq, 150}, {7001, kParamHighFreq, 120},
        {9000, kParamListen, 1},    {11111, kParamDelayR, 40000},    {11112, kParamDiffAmnt, 0}};
    CStarted s(c.channels, c.rate, Busy());
    std::vector<Point> points;
    ParamBlock last = Busy();
    for (const Change& ch : changes) {
        points.push_back({ch.frame, static_cast<v3_param_id>(ch.index), Norm(s, ch.index, ch.value)});
        if (ch.frame < end) last[ch.index] = ch.value;
    }
    EXPECT_TRUE(SameBits(Render(s, c.channels, in, c.block, points), Reference(Busy(), c.channels, c.rate, in, c.block, changes)));
    EXPECT_TRUE(Same(Shown(s), last));
}

INSTANTIATE_TEST_SUITE_P(OddBlocks, Vst3Exact,
                         ::testing::Values(RunCase{2, 44100, 1}, RunCase{2, 48000, 7}, RunCase{1, 48000, 333},
                                           RunCase{2, 96000, 1000}, RunCase{1, 44100, 4096}),
                         [](const auto& info) {
                             return std::string(Name(info.param.channels) + 8) + "_" + std::to_string(info.param.rate) +
                                    "_" + std::to_string(info.param.block);
                         });

// TempoSync "Host": the context's tempo moves Tempo and the delays, and the
// plug-in reports the values it moved, once.
TEST(Vst3Process, HostTempo) {
    ParamBlock settings = Busy(), expected = Busy();
    settings[kParamTempoSync] = expected[kParamTempoSync] = 2;
    settings[kParamFactorL] = expected[kParamFactorL] = 7;   // 1/4 of 150 BPM: 100 ms
    settings[kParamFactorR] = expected[kParamFactorR] = 9;   // 1/2: 200 ms
    expected[kParamTempo] = TempoFromHost(15000);
    expected[kParamDelayL] = 1000;
    expected[kParamDelayR] = 2000;
    const std::vector<float> in = Signal(2, 48000, 0.2);
    CStarted s(2, 48000, settings);
    EXPECT_TRUE(SameBits(Render(s, 2, in, 100, {}, 150.0), Reference(expected, 2, 48000, in, 100)));
    CStarted again(2, 48000, settings);
    Render(again, 2, std::vector<float>(256), 64, {}, 150.0);   // two buffers: the second reports nothing
    EXPECT_EQ(again.output.count, 0);
    Render(again, 2, std::vector<float>(128, 0.0f), 64, {}, 90.0);
    EXPECT_EQ(Internal(again, kParamTempo, again.output.Last(kParamTempo)), TempoFromHost(9000));
    EXPECT_EQ(Internal(again, kParamDelayR, again.output.Last(kParamDelayR)), DelayFromTempo(TempoFromHost(9000), 9));
}

// A program change at an offset loads the program there (as 21 changes in
// the renderer) and reports its values; a flush without audio applies points.
TEST(Vst3Process, ProgramAtAnOffsetAndAFlush) {
    const auto bank = FactoryBank();
    const std::vector<float> in = Signal(2, 44100, 0.2);
    CStarted s(2, 44100, Busy());
    std::vector<Change> changes;
    for (int i = 0; i < kParamCount; ++i) changes.push_back({3000, i, bank[5].second[i]});
    EXPECT_TRUE(SameBits(Render(s, 2, in, 1024, {{3000, kProgram, 5.0 / 15.0}}), Reference(Busy(), 2, 44100, in, 1024, changes)));
    EXPECT_TRUE(Same(Shown(s), bank[5].second));
    CParamChanges flush;
    flush.Add(kParamMixL, 0, Norm(s, kParamMixL, 99));
    const float* noInput[2] = {};
    float* noOutput[2] = {};
    EXPECT_EQ(s.Process(noInput, 0, noOutput, 0, &flush), V3_OK);
    EXPECT_EQ(Shown(s)[kParamMixL], 99);
}

// The host's bypass: dry (the mono input on both sides) once the 10 ms fade
// is over, the effect's output again after the fade back; the lines ran on.
TEST(Vst3Process, BypassFadesToTheInputAndBack) {
    for (int channels : {1, 2}) {
        const std::vector<float> in = Signal(channels, 48000, 0.3);
        CStarted s(channels, 48000, Busy());
        const std::vector<float> out = Render(s, channels, in, 256, {{1000, kBypass, 1.0}, {9000, kBypass, 0.0}});
        // The effect alone, its blocks cut where the switch turns.
        const std::vector<float> wet = Reference(Busy(), channels, 48000, in, 256, {{1000, 0, 731}, {9000, 0, 731}});
        for (size_t f = 1480; f < 9000; ++f) {
            for (int side = 0; side < 2; ++side) ASSERT_EQ(out[2 * f + side], in[f * channels + side * (channels - 1)]) << f;
        }
        EXPECT_TRUE(std::equal(out.begin() + 2 * 9480, out.end(), wet.begin() + 2 * 9480));
        EXPECT_TRUE(std::equal(out.begin(), out.begin() + 2000, wet.begin()));
        // Off from the first frame after activation: dry at once, no fade.
        CStarted off(channels, 48000, Busy());
        const std::vector<float> dry = Render(off, channels, in, 256, {{0, kBypass, 1.0}});
        for (size_t f = 0; f < 480; ++f) ASSERT_EQ(dry[2 * f + 1], in[f * channels + channels - 1]) << f;
    }
}

// ---- State ------------------------------------------------------------------------

// The filter's saved states (kept from earlier versions) load here; what
// this layer saves is the chunk every layer reads, and behind its 8-byte
// front the very bytes the filter saves (so the filter loads it); a chunk
// as the LV2 and CLAP layers write it loads; anything else is refused.
TEST(Vst3State, AcrossLayers) {
    const std::pair<const char*, ParamBlock> fixtures[] = {
        {"state-defaults.bin", kDefaultBlock},
        {"state-distinct.bin", {{1234, 7, 55, 20, 75, 36000, 9, 0, 100, 100, 100, 65, 120, 45, 250, 130, -120, 2, 1405, 0, 1}}}};
    for (const auto& f : fixtures) {
        std::ifstream file(std::string(ZV_FIXTURE_DIR) + "/" + f.first, std::ios::binary);
        const std::vector<uint8_t> filter((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        CInstance p(Module(), Name(2)), other(Module(), Name(1));
        ASSERT_EQ(p.SetState(filter), V3_OK);
        EXPECT_TRUE(Same(Shown(p), f.second)) << f.first;
        const std::vector<uint8_t> saved = p.State();
        ASSERT_EQ(saved.size(), 204u);
        EXPECT_TRUE(std::memcmp(saved.data(), "zvDS", 4) == 0 && std::equal(saved.begin() + 8, saved.end(), filter.begin()));
        ASSERT_EQ(other.SetState(WriteStateChunk(f.second)), V3_OK);
        EXPECT_EQ(other.State(), saved);
        // A layer's chunk with one more pair (the CLAP layer's host bypass).
        std::vector<uint8_t> longer = WriteStateChunk(kDefaultBlock);
        longer[8 + 24] = 22;
        longer.insert(longer.end(), {21, 0, 0, 0, 0, 0, 0x80, 0x3F});
        ASSERT_EQ(other.SetState(longer), V3_OK);
        EXPECT_TRUE(Same(Shown(other), kDefaultBlock));
        ASSERT_EQ(other.SetState(saved), V3_OK);
        EXPECT_EQ(other.State(), saved);
        EXPECT_NE(other.SetState({'n', 'o', 'p', 'e'}), V3_OK);
        EXPECT_EQ(other.State(), saved);
    }
}

// What the host sets on the controller while nothing processes (its engine
// stopped) and the bypass switch (in the controller's own state, saved
// beside the component's: here in one stream, read without seeking between
// them) come back in a new instance, which starts dry at once.
TEST(Vst3State, ValuesSetWhileNothingProcessesAndTheBypass) {
    CInstance first(Module(), Name(2));
    ASSERT_TRUE(first.Start(48000, 512));
    first.Ctrl()->ctrl.set_parameter_normalised(first.ctrl, kParamMixL, Norm(first, kParamMixL, 77));
    first.Ctrl()->ctrl.set_parameter_normalised(first.ctrl, kBypass, 1.0);
    vst3host::CMemoryStream both(first.State());
    both.position = static_cast<int64_t>(both.data.size());
    ASSERT_EQ(first.Ctrl()->ctrl.get_state(first.ctrl, both.Stream()), V3_OK);
    both.position = 0;
    CInstance second(Module(), Name(2));
    ASSERT_EQ(second.Comp()->comp.set_state(second.comp, both.Stream()), V3_OK);
    ASSERT_EQ(second.Ctrl()->ctrl.set_state(second.ctrl, both.Stream()), V3_OK);
    EXPECT_EQ(Shown(second)[kParamMixL], 77);
    EXPECT_EQ(second.Ctrl()->ctrl.get_parameter_normalised(second.ctrl, kBypass), 1.0);
    ASSERT_TRUE(second.Start(48000, 256));
    const std::vector<float> in = Signal(2, 48000, 0.05);
    EXPECT_TRUE(std::equal(in.begin(), in.end(), Render(second, 2, in, 256).begin()));
    // Bypass off again (a host's point): the effect with MixL 77.
    ParamBlock expected = kDefaultBlock;
    expected[kParamMixL] = 77;
    CInstance third(Module(), Name(2));
    third.SetState(first.State());
    ASSERT_TRUE(third.Start(48000, 256));
    EXPECT_TRUE(SameBits(Render(third, 2, in, 256), Reference(expected, 2, 48000, in, 256)));
}

// A state set while processing runs: the controller's at once, processing's
// at the next buffer.
TEST(Vst3State, RestoredWhileActive) {
    const std::vector<float> in = Signal(1, 44100, 0.2);
    CStarted s(1, 44100, kDefaultBlock);
    ASSERT_EQ(s.SetState(WriteStateChunk(Busy())), V3_OK);
    EXPECT_TRUE(Same(Shown(s), Busy()));
    EXPECT_TRUE(SameBits(Render(s, 1, in, 700), Reference(Busy(), 1, 44100, in, 700)));
}

// The host's audio thread processes, a program change every buffer, while
// another thread saves and reads the controller's values: every save holds
// one program whole (processing's publication, merged in one piece). The
// programs reach processing only, as a host sends what it automates.
TEST(Vst3State, SavesBesideProcessingHoldWholeBlocks) {
    const auto bank = FactoryBank();
    CStarted s(2, 48000, kDefaultBlock, 64);
    std::atomic<bool> done{false};
    std::thread audio([&] {
        std::vector<float> in(64, 0.1f), left(64), right(64);
        const float* inPlanes[2] = {in.data(), in.data()};
        float* outPlanes[2] = {left.data(), right.data()};
        CParamChanges changes;
        for (int k = 0; k < 20000; ++k) {
            changes.count = 0;
            changes.Add(kProgram, k % 64, (k % 2 ? 7 : 3) / 15.0);
            s.Process(inPlanes, 2, outPlanes, 64, &changes);
        }
        done = true;
    });
    int saves = 0, torn = 0;
    for (; !done; ++saves) {
        ParamBlock b{};
        const std::vector<uint8_t> state = s.State();
        s.Ctrl()->ctrl.get_parameter_normalised(s.ctrl, kBypass);
        torn += !ReadStateChunk(state.data(), state.size(), &b) ||
                !(Same(b, kDefaultBlock) || Same(b, bank[3].second) || Same(b, bank[7].second));
    }
    audio.join();
    EXPECT_GT(saves, 100);
    EXPECT_EQ(torn, 0);
}

#ifdef ZV_WATCH_REAL_TIME_CALLS
// process() with parameter points, the tempo rule, the host tempo, programs
// and the bypass switch at work: no heap call, no mutex.
TEST(Vst3RealTime, ProcessNeitherAllocatesNorLocks) {
    CStarted s(2, 48000, Busy(), 256);
    std::vector<float> left(256, 0.25f), outLeft(256), outRight(256);
    const float* in[2] = {left.data(), left.data()};
    float* out[2] = {outLeft.data(), outRight.data()};
    CParamChanges changes;
    s.Process(in, 2, out, 256, &changes, 120.0);   // warm-up
    int calls = 0;
    for (int k = 0; k < 300; ++k) {
        changes.count = 0;
        changes.Add(kParamTempoSync, k % 50, (k % 3) / 2.0);
        changes.Add(kParamFactorL, 3, (k % 20) / 19.0);
        changes.Add(kParamDelayL, 100 + k % 100, (k % 97) / 97.0);
        if (k % 7 == 0) changes.Add(kBypass, 17, (k / 7) % 2);
        if (k % 13 == 0) changes.Add(kProgram, 200, (k % 16) / 15.0);
        CRealTimeWatch watch;
        s.Process(in, 2, out, k % 2 ? 256 : 1, &changes, 90.0 + k);
        calls += watch.Counts().allocations + watch.Counts().locks;
    }
    EXPECT_EQ(calls, 0);
}
#endif

}  // namespace
