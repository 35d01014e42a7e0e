// Formats x rates x buffer sizes. Each input format and sample rate runs
// through a graph of our source, the plug-in and our sink in every buffer
// size; the output must be finite and, with no automation active, identical
// to the effect core's output for 4096-frame buffers, whatever the
// partition. Then the same signal as a WAV file through Wine's File Source
// and WAVE Parser, which choose their own buffers.
//   quick: every format, rates 8000, 44100, 96000 and 384000, every size
//   long:  the full cross product
#include <map>

#include "TestSupport.h"
#include "tools/validator/Reference.h"
#include "tools/validator/WinSupport.h"

namespace {

constexpr size_t kSignalFrames = 98304;   // one and a half of the largest buffer

// Frames streamed at a buffer size: a few thousand buffers at most.
size_t FramesFor(int32_t buffer) {
    return std::max<size_t>(4000, std::min<size_t>(static_cast<size_t>(buffer) * 3000, kSignalFrames));
}

std::vector<uint32_t> RatesFor(const Options& o) {
    if (o.longRun) return std::vector<uint32_t>(std::begin(kRates), std::end(kRates));
    return {8000, 44100, 96000, 384000};
}

// One format and rate in every buffer size; returns how many sizes passed.
int CheckPartitions(CCheckLog& log, const AudioFormat& format, uint32_t rate, const ParamBlock& block,
                    const std::vector<BYTE>& input, const std::vector<BYTE>& reference) {
    const WAVEFORMATEX in = InputFormat(format, rate);
    const std::string name = Format("formats.%s.%u", format.name, rate);
    std::vector<std::string> problems;
    int passedSizes = 0;
    IBaseFilter* filter = NewFilter();
    CStreamRig rig;
    HRESULT hr = filter ? rig.Build(filter, in, 65536) : E_FAIL;
    if (filter) filter->Release();
    if (FAILED(hr)) {
        log.Fail(name, Format("cannot build the graph (0x%08lx)", static_cast<unsigned long>(hr)));
        return 0;
    }
    rig.prop->SetAllParams(block.v);
    const WORD outAlign = rig.out.nBlockAlign;
    for (int32_t buffer : kBufferFrames) {
        const size_t frames = FramesFor(buffer);
        rig.TakeOutput();
        // From stopped, Run pauses first: the echo memory starts cleared.
        if (FAILED(hr = rig.Run())) {
            problems.push_back(Format("%d frames: Run failed (0x%08lx)", buffer, static_cast<unsigned long>(hr)));
            continue;
        }
        const std::vector<BYTE> part(input.begin(), input.begin() + static_cast<ptrdiff_t>(frames * in.nBlockAlign));
        hr = rig.Stream(part, buffer);
        rig.Stop();
        const std::vector<BYTE> got = rig.TakeOutput();
        const std::vector<BYTE> expected(reference.begin(), reference.begin() + static_cast<ptrdiff_t>(frames * outAlign));
        const size_t before = problems.size();
        if (FAILED(hr))
            problems.push_back(Format("%d frames: delivery failed (0x%08lx)", buffer, static_cast<unsigned long>(hr)));
        else if (const long bad = FirstNonFiniteOutput(got, rig.out); bad >= 0)
            problems.push_back(Format("%d frames: non-finite output at sample %ld", buffer, bad));
        else if (const long at = FirstDifference(got, expected, outAlign); at >= 0)
            problems.push_back(Format("%d frames: output differs from the 4096-frame partition at frame %ld of %zu",
                                      buffer, at, frames));
        if (problems.size() == before) ++passedSizes;
    }
    log.Result(name, problems, Format("(%d buffer sizes)", passedSizes));
    return passedSizes;
}

// The signal as a WAV file through Wine's File Source and WAVE Parser.
bool CheckWaveParser(CCheckLog& log, const AudioFormat& format, uint32_t rate, const std::vector<BYTE>& input,
                     const std::vector<BYTE>& reference) {
    const WAVEFORMATEX in = InputFormat(format, rate);
    const WAVEFORMATEX out = OutputFormat(in);
    const std::string name = Format("formats.wave-parser.%s.%u", format.name, rate);
    const std::wstring path = TempPath(L"zv-validate.wav");
    if (!WriteWav(path, in, input)) {
        log.Fail(name, "cannot write the WAV file");
        return false;
    }
    IBaseFilter* filter = NewFilter();
    ITzPlugInProp* prop = PropOf(filter);
    prop->SetAllParams(BusyBlock().v);
    CTestSink* sink = new CTestSink();
    sink->AddRef();
    CAudioType outType(WAVE_FORMAT_IEEE_FLOAT, 2, rate, out.wBitsPerSample);
    sink->RequireType(outType.Get());
    std::vector<std::string> problems;
    WavGraph g;
    HRESULT hr = g.Build(path, filter, sink);
    std::vector<BYTE> got;
    if (FAILED(hr)) {
        problems.push_back(Format("cannot build the graph (0x%08lx)", static_cast<unsigned long>(hr)));
    } else {
        g.Run();
        // The plug-in keeps end of stream to itself: wait for the bytes.
        for (int waited = 0; waited < 30000; waited += 5) {
            size_t have = 0;
            for (const ReceivedSample& s : sink->Samples()) have += s.data.size();
            if (have >= reference.size()) break;
            Sleep(5);
        }
        g.control->Stop();
        for (const ReceivedSample& s : sink->Samples()) got.insert(got.end(), s.data.begin(), s.data.end());
        if (const long bad = FirstNonFiniteOutput(got, out); bad >= 0)
            problems.push_back(Format("non-finite output at sample %ld", bad));
        else if (const long at = FirstDifference(got, reference, out.nBlockAlign); at >= 0)
            problems.push_back(Format("output differs from the 4096-frame partition at frame %ld (%zu of %zu bytes)", at,
                                      got.size(), reference.size()));
    }
    g.Release();
    sink->Release();
    prop->Release();
    filter->Release();
    DeleteFileW(path.c_str());
    log.Result(name, problems);
    return problems.empty();
}

}  // namespace

void CheckFormats(CCheckLog& log, const Options& o) {
    const ParamBlock block = BusyBlock();
    const std::vector<uint32_t> rates = RatesFor(o);
    std::map<std::string, std::map<uint32_t, int>> table;
    std::map<std::string, int> parserPassed;
    int parserRuns = 0;
    for (const AudioFormat& format : kFormats) {
        for (uint32_t rate : rates) {
            const WAVEFORMATEX in = InputFormat(format, rate);
            const std::vector<BYTE> input = Encode(TestSignal(kSignalFrames, in.nChannels, rate), in);
            const std::vector<BYTE> reference = ReferenceOutput(input, in, block, 4096);
            table[format.name][rate] = CheckPartitions(log, format, rate, block, input, reference);
            if (o.longRun || rate == 44100 || rate == 384000) {
                ++parserRuns;
                parserPassed[format.name] += CheckWaveParser(log, format, rate, input, reference) ? 1 : 0;
            }
        }
    }
    log.Line("");
    log.Line("### Formats x rates x buffer sizes (%s)", o.longRun ? "long" : "quick");
    log.Line("");
    log.Line("Buffer sizes of %d (1, 2, 17, 64, 441, 512, 4096, 65536 frames) whose output was finite and", 8);
    log.Line("identical to the 4096-frame partition, per input format and sample rate.");
    log.Line("");
    std::string header = "| format |", rule = "|---|";
    for (uint32_t rate : kRates) {
        header += Format(" %u |", rate);
        rule += "---|";
    }
    log.Line("%s", header.c_str());
    log.Line("%s", rule.c_str());
    for (const AudioFormat& format : kFormats) {
        std::string row = Format("| %s |", format.name);
        for (uint32_t rate : kRates) {
            auto it = table[format.name].find(rate);
            row += it == table[format.name].end() ? " - |" : Format(" %d/8 |", it->second);
        }
        log.Line("%s", row.c_str());
    }
    log.Line("");
    log.Line("Through Wine's File Source and WAVE Parser: %d runs, per format passed:", parserRuns);
    for (const AudioFormat& format : kFormats) log.Line("- %s: %d", format.name, parserPassed[format.name]);
    log.Line("");
}
