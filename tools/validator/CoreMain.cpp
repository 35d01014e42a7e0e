// zvdelay-validate-core: the validator's native part, the effect core on its
// own (no DLL, no graph). Run by tools/validate before the Windows part, and
// by CTest in the native and sanitizer builds.
//
//   zvdelay-validate-core [--long] [--seed N]
//
// Checks:
//   core.partition.<format>.<rate>  every buffer size gives the output of the
//                                   4096-frame partition, finite, for settings
//                                   whose loop gain is below 1
//   core.automation-fuzz            random setters, envelopes and flushes
//                                   between buffers; values in range, output
//                                   finite
//   core.state-body                 hostile saved bodies: values in range
//   core.data-strings               hostile Data strings: values in range once
//                                   applied, and written strings read back
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "automation/EnvelopeSetLink.h"
#include "host/StateBody.h"
#include "presets/DataString.h"
#include "common/MemoryStream.h"
#include "tools/validator/CheckLog.h"
#include "tools/validator/Hostile.h"
#include "tools/validator/Reference.h"

namespace {

struct Options {
    bool longRun = false;
    uint64_t seed = 20240611;
};

// Frames streamed for a buffer size: enough buffers to cross many buffer
// boundaries, and one and a half of the largest buffer.
size_t FramesFor(int32_t buffer) {
    const size_t frames = static_cast<size_t>(buffer) * 3000;
    return std::max<size_t>(4000, std::min<size_t>(frames, 98304));
}

void CheckPartitions(CCheckLog& log, const Options& o) {
    const ParamBlock block = BusyBlock();
    const std::vector<uint32_t> rates = o.longRun ? std::vector<uint32_t>(std::begin(kRates), std::end(kRates))
                                                  : std::vector<uint32_t>{8000, 44100, 384000};
    for (const AudioFormat& format : kFormats) {
        for (uint32_t rate : rates) {
            const WAVEFORMATEX in = InputFormat(format, rate);
            const WAVEFORMATEX out = OutputFormat(in);
            const std::vector<BYTE> input = Encode(TestSignal(98304, in.nChannels, rate), in);
            const std::vector<BYTE> reference = ReferenceOutput(input, in, block, 4096);
            std::vector<std::string> problems;
            if (reference.empty()) problems.push_back("the core cannot be set up");
            if (const long at = FirstNonFiniteOutput(reference, out); at >= 0)
                problems.push_back(Format("non-finite output at sample %ld", at));
            for (int32_t buffer : kBufferFrames) {
                if (!problems.empty()) break;
                const size_t frames = FramesFor(buffer);
                const std::vector<BYTE> part(input.begin(), input.begin() + frames * in.nBlockAlign);
                const std::vector<BYTE> got = ReferenceOutput(part, in, block, buffer);
                const std::vector<BYTE> expected(reference.begin(), reference.begin() + frames * out.nBlockAlign);
                if (const long at = FirstDifference(got, expected, out.nBlockAlign); at >= 0)
                    problems.push_back(Format("%d-frame buffers differ from 4096-frame ones at frame %ld", buffer, at));
            }
            log.Result(Format("core.partition.%s.%u", format.name, rate), problems);
        }
    }
}

void CheckAutomationFuzz(CCheckLog& log, const Options& o) {
    CHostile hostile(o.seed);
    CEnvelopeSet set;
    CEnvelopeSetLink link(set);
    COfflineEffect effect;
    effect.AttachAutomation(&link);
    effect.QviReset();
    effect.SetAllParams(BusyBlock().v);
    const WAVEFORMATEX in = InputFormat(kFormats[3], 48000);
    const WAVEFORMATEX out = OutputFormat(in);
    set.SetSampleRate(48000);
    std::vector<std::string> problems;
    if (FAILED(effect.PrepareStreaming(&in, &out))) problems.push_back("the core cannot be set up");
    const int buffers = o.longRun ? 200000 : 20000;
    const std::vector<double> signal = TestSignal(48000, 2, 48000);
    std::vector<float> input(signal.begin(), signal.end());
    std::vector<float> output(2 * 4096);
    int64_t position = 0;
    size_t at = 0;
    for (int b = 0; b < buffers && problems.empty(); ++b) {
        const REFERENCE_TIME now = set.PositionToTime(position);
        for (int op = hostile.Below(4); op > 0; --op) {
            const int index = static_cast<int>(hostile.Below(kParamCount));
            switch (hostile.Below(6)) {
                case 0: effect.SetParamValue(index, hostile.SetterValue(index), hostile.Below(2)); break;
                case 1: set.SetParam(static_cast<DWORD>(index), hostile.NormalisedValue(index)); break;
                case 2: {
                    MP_ENVELOPE_SEGMENT s[4];
                    const DWORD n = 1 + hostile.Below(4);
                    const bool all = hostile.Chance(10);
                    for (DWORD k = 0; k < n; ++k) s[k] = hostile.Segment(all ? -1 : index, now);
                    set.AddEnvelope(all ? CEnvelopeSet::kAllParams : static_cast<DWORD>(index), n, s);
                    break;
                }
                case 3: set.FlushEnvelope(hostile.Chance(20) ? CEnvelopeSet::kAllParams : static_cast<DWORD>(index),
                                          hostile.Time(now), hostile.Time(now));
                    break;
                case 4: {
                    const ParamBlock block = hostile.Block();
                    effect.SetAllParams(block.v);
                    break;
                }
                default: effect.SelectSetup(static_cast<int32_t>(hostile.Below(3))); break;
            }
        }
        const int32_t frames = 1 + static_cast<int32_t>(hostile.Below(hostile.Chance(90) ? 256 : 4096));
        if (at + static_cast<size_t>(frames) > 48000) at = 0;
        set.UpdateValues(position);
        int32_t n = frames, capacity = frames;
        effect.ProcessFloat(1, &input[2 * at], &n, output.data(), &capacity);
        if (const long bad = FirstNonFinite(output.data(), 2 * static_cast<size_t>(n)); bad >= 0)
            problems.push_back(Format("non-finite output in buffer %d at sample %ld", b, bad));
        at += static_cast<size_t>(frames);
        position += frames;
    }
    ParamBlock block{};
    effect.GetAllParams(block.v);
    if (std::string bad = OutOfRange(block.v); !bad.empty()) problems.push_back(bad);
    effect.ReleaseStreaming();
    effect.AttachAutomation(nullptr);
    log.Result("core.automation-fuzz", problems, Format("(%d buffers)", buffers));
}

void CheckStateBodies(CCheckLog& log, const Options& o) {
    CHostile hostile(o.seed + 1);
    const int cases = o.longRun ? 200000 : 20000;
    std::vector<std::string> problems;
    for (int c = 0; c < cases && problems.empty(); ++c) {
        std::vector<uint8_t> body(hostile.Below(200));
        for (uint8_t& byte : body) byte = static_cast<uint8_t>(hostile.Below(256));
        // Mostly plausible counts and indices, so that values get through.
        if (body.size() >= 4 && hostile.Chance(70)) {
            const uint32_t count = hostile.Chance(50) ? 21 : static_cast<uint32_t>(hostile.Engine()());
            std::memcpy(body.data(), &count, 4);
            for (size_t k = 4; k + 8 <= body.size(); k += 8) {
                const uint32_t index = hostile.Below(24);
                const float value = hostile.NormalisedValue(static_cast<int>(index), false);
                std::memcpy(&body[k], &index, 4);
                std::memcpy(&body[k + 4], &value, 4);
            }
        }
        CEnvelopeSet set;
        CEnvelopeSetLink link(set);
        COfflineEffect effect;
        effect.AttachAutomation(&link);
        CMemoryStream stream(body);
        LoadStateBody(&link, &stream);
        effect.ReloadFromAutomation();
        ParamBlock block{};
        effect.GetAllParams(block.v);
        if (std::string bad = OutOfRange(block.v); !bad.empty()) problems.push_back(Format("case %d: ", c) + bad);
        effect.AttachAutomation(nullptr);
    }
    log.Result("core.state-body", problems, Format("(%d bodies)", cases));
}

void CheckDataStrings(CCheckLog& log, const Options& o) {
    CHostile hostile(o.seed + 2);
    const int cases = o.longRun ? 200000 : 20000;
    static const char kPieces[] = "0123456789,-+ \t\r\n9999999999x.,,";
    std::vector<std::string> problems;
    for (int c = 0; c < cases && problems.empty(); ++c) {
        std::string text;
        const size_t length = hostile.Chance(5) ? 5000 : hostile.Below(120);
        for (size_t k = 0; k < length; ++k)
            text += hostile.Chance(90) ? kPieces[hostile.Below(sizeof kPieces - 1)] : static_cast<char>(1 + hostile.Below(255));
        ParamBlock block = kDefaultBlock;
        ReadDataString(text.c_str(), block);
        COfflineEffect effect;
        effect.SetAllParams(block.v);
        ParamBlock applied{};
        effect.GetAllParams(applied.v);
        if (std::string bad = OutOfRange(applied.v); !bad.empty()) problems.push_back(Format("case %d: ", c) + bad);
        char written[kDataStringSize];
        ParamBlock back = kDefaultBlock;
        if (FormatDataString(applied, written, sizeof written) < 0 || ReadDataString(written, back) != kParamCount ||
            std::memcmp(back.v, applied.v, sizeof back.v) != 0)
            problems.push_back(Format("case %d: the written Data string does not read back", c));
    }
    log.Result("core.data-strings", problems, Format("(%d strings)", cases));
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--long") == 0) o.longRun = true;
        else if (std::strcmp(argv[i], "--quick") == 0) o.longRun = false;
        else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) o.seed = std::strtoull(argv[++i], nullptr, 10);
        else {
            std::fprintf(stderr, "usage: zvdelay-validate-core [--quick|--long] [--seed N]\n");
            return 2;
        }
    }
    CCheckLog log;
    log.Line("# zvdelay-validate-core (%s, seed %llu)", o.longRun ? "long" : "quick",
             static_cast<unsigned long long>(o.seed));
    CheckPartitions(log, o);
    CheckAutomationFuzz(log, o);
    CheckStateBodies(log, o);
    CheckDataStrings(log, o);
    log.Summary();
    return log.Failed() ? 1 : 0;
}
