// zvdelay-graph under Wine: its arguments, its WAV files, its graph run
// in-process on small generated files (through the DLL the build made,
// compared bit for bit with the portable core on the same buffer partition),
// and the program itself started as a process.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "effect/OfflineEffect.h"
#include "tools/graph/DelayGraph.h"
#include "tools/graph/GraphOptions.h"
#include "tools/graph/WavFile.h"

namespace {

constexpr DWORD kRate = 48000;

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

const std::wstring kDll = WindowsPath(Wide(ZV_DLL_PATH));
const std::wstring kTool = WindowsPath(Wide(ZV_GRAPH_TOOL_PATH));

WAVEFORMATEX Format(WORD tag, WORD channels, WORD bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = tag;
    f.nChannels = channels;
    f.nSamplesPerSec = kRate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = kRate * f.nBlockAlign;
    return f;
}

template <typename T>
std::vector<BYTE> Bytes(const std::vector<T>& samples) {
    std::vector<BYTE> out(samples.size() * sizeof(T));
    std::memcpy(out.data(), samples.data(), out.size());
    return out;
}

template <typename T>
std::vector<T> Samples(const std::vector<BYTE>& bytes) {
    std::vector<T> out(bytes.size() / sizeof(T));
    std::memcpy(out.data(), bytes.data(), out.size() * sizeof(T));
    return out;
}

// A click at frame 0 (left) and 100 (right), then a short noise burst at
// 0.2 s, then silence: the echoes stand alone.
std::vector<float> TestSignal(DWORD frames, int channels) {
    std::vector<float> s(static_cast<size_t>(frames) * channels, 0.0f);
    s[0] = 0.8f;
    s[static_cast<size_t>(100) * channels + (channels - 1)] = -0.6f;
    uint32_t seed = 7;
    for (DWORD f = 9600; f < 9600 + 480 && f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            seed = seed * 1664525u + 1013904223u;
            s[static_cast<size_t>(f) * channels + c] = (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f) * 0.25f;
        }
    }
    return s;
}

class GraphToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        wchar_t folder[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, folder);
        m_folder = folder;
    }
    void TearDown() override {
        for (const std::wstring& path : m_files) DeleteFileW(path.c_str());
        CoUninitialize();
    }

    std::wstring Path(const wchar_t* name) {
        m_files.push_back(m_folder + name);
        return m_files.back();
    }

    std::wstring WriteInput(const wchar_t* name, const WAVEFORMATEX& format, const std::vector<BYTE>& data) {
        const std::wstring path = Path(name);
        CWavWriter writer;
        EXPECT_TRUE(writer.Open(path, format));
        EXPECT_TRUE(writer.Write(data.data(), static_cast<DWORD>(data.size())));
        EXPECT_TRUE(writer.Finish());
        return path;
    }

    // The portable core on the same input, one call of the 32-bit entry per
    // buffer of the partition, with the filter's defaults (plus settings).
    std::vector<float> CoreOutput(const std::vector<float>& input, int channels, const std::vector<DWORD>& partition,
                                  const std::vector<ParamSetting>& settings = {}) {
        COfflineEffect fx;
        fx.SetAllParams(kDefaultBlock.v);
        for (const ParamSetting& s : settings) fx.SetParamValue(s.index, s.value, 0);
        const WAVEFORMATEX in = Format(WAVE_FORMAT_IEEE_FLOAT, static_cast<WORD>(channels), 32);
        const WAVEFORMATEX out = Format(WAVE_FORMAT_IEEE_FLOAT, 2, 32);
        fx.SetStreaming(1);
        EXPECT_EQ(S_OK, fx.PrepareStreaming(&in, &out));
        std::vector<float> output(input.size() / channels * 2);
        size_t frame = 0;
        for (DWORD n : partition) {
            int32_t frames = static_cast<int32_t>(n), capacity = static_cast<int32_t>(n);
            EXPECT_EQ(S_OK, fx.ProcessFloat(1, &input[frame * channels], &frames, &output[frame * 2], &capacity));
            frame += n;
        }
        fx.SetStreaming(0);
        fx.ReleaseStreaming();
        return output;
    }

    std::wstring m_folder;
    std::vector<std::wstring> m_files;
};

// Runs a program and gives its exit status (9999 if it could not start or
// did not end within a minute).
DWORD RunProcess(std::wstring command) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 9999;
    DWORD code = 9999;
    if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

}  // namespace

// --- arguments ------------------------------------------------------------------

TEST(GraphOptions, ArgumentsInOrderWithTheRenderersParsers) {
    GraphOptions o;
    EXPECT_EQ("", ParseGraphArguments({L"in.wav", L"--set", L"delayl=2500", L"out.wav", L"--data",
                                       L"5000,12,40,10,30, 5000,12,40,10,30, 40,0,0,100,301,100,0, 1,1200,1,0",
                                       L"--set", L"MixL=70", L"--bypass", L"--timeout", L"9", L"--dll", L"x.dll"},
                                      o));
    EXPECT_EQ(L"in.wav", o.input);
    EXPECT_EQ(L"out.wav", o.output);
    EXPECT_TRUE(o.bypass);
    EXPECT_FALSE(o.bypassGraph);
    EXPECT_EQ(9u, o.timeoutSeconds);
    EXPECT_EQ(L"x.dll", o.dll);
    ASSERT_EQ(1u + 21u + 1u, o.settings.size());
    EXPECT_EQ(kParamDelayL, o.settings.front().index);
    EXPECT_EQ(2500, o.settings.front().value);
    EXPECT_EQ(kParamMixL, o.settings.back().index);
    EXPECT_EQ(70, o.settings.back().value);

    GraphOptions d;
    EXPECT_EQ("", ParseGraphArguments({L"in.wav", L"--discard", L"--bypass-graph"}, d));
    EXPECT_TRUE(d.discard && d.bypassGraph && d.output.empty());

    GraphOptions bad;
    EXPECT_NE("", ParseGraphArguments({L"in.wav", L"out.wav", L"--set", L"Nothing=1"}, bad));
    EXPECT_NE("", ParseGraphArguments({L"in.wav", L"out.wav", L"--set", L"DelayL=0"}, bad));
    EXPECT_NE("", ParseGraphArguments({L"in.wav", L"out.wav", L"--data", L"1,2,3"}, bad));
    EXPECT_NE("", ParseGraphArguments({L"in.wav", L"out.wav", L"--timeout", L"0"}, bad));
    EXPECT_NE("", ParseGraphArguments({L"in.wav"}, bad));
    EXPECT_NE("", ParseGraphArguments({L"in.wav", L"out.wav", L"--discard"}, bad));
    EXPECT_NE("", ParseGraphArguments({L"in.wav", L"out.wav", L"--loud"}, bad));

    EXPECT_EQ(L"Z:\\tmp\\a b.wav", WindowsPath(L"/tmp/a b.wav"));
    EXPECT_EQ(L"C:\\x.wav", WindowsPath(L"C:\\x.wav"));
}

// --- WAV files ------------------------------------------------------------------

TEST_F(GraphToolTest, WriterAndReaderAgree) {
    const std::vector<BYTE> pcm = {1, 2, 3, 4, 5, 6};  // three mono 16-bit frames (odd chunk padded)
    const std::wstring path = WriteInput(L"zv_graph_pcm.wav", Format(WAVE_FORMAT_PCM, 1, 16), pcm);
    WavInfo info;
    std::vector<BYTE> data;
    ASSERT_EQ("", ReadWavFile(path, info, data));
    EXPECT_EQ(WAVE_FORMAT_PCM, info.formatTag);
    EXPECT_EQ(3u, info.Frames());
    EXPECT_EQ(pcm, data);

    const std::vector<BYTE> flt = Bytes(std::vector<double>{0.5, -0.25, 1.0, 0.0});
    ASSERT_EQ("", ReadWavFile(WriteInput(L"zv_graph_f64.wav", Format(WAVE_FORMAT_IEEE_FLOAT, 2, 64), flt), info, data));
    EXPECT_EQ(WAVE_FORMAT_IEEE_FLOAT, info.formatTag);
    EXPECT_EQ(64, info.bitsPerSample);
    EXPECT_EQ(2u, info.Frames());
    EXPECT_EQ(flt, data);

    EXPECT_NE("", ReadWavInfo(Path(L"zv_graph_missing.wav"), info));
}

// --- the graph, in-process --------------------------------------------------------

TEST_F(GraphToolTest, StereoFloatThroughTheDllIsTheCoresOutput) {
    const DWORD frames = kRate * 3 / 2;
    const std::vector<float> input = TestSignal(frames, 2);
    GraphRequest request;
    request.input = WriteInput(L"zv_graph_in.wav", Format(WAVE_FORMAT_IEEE_FLOAT, 2, 32), Bytes(input));
    request.output = Path(L"zv_graph_out.wav");
    request.dllPath = kDll;
    request.timeoutMs = 20000;
    request.recordPartition = true;
    GraphSummary summary;
    ASSERT_EQ("", RunGraph(request, summary));

    EXPECT_EQ(frames, summary.frames);
    EXPECT_STREQ("frame count", summary.endedBy);
    EXPECT_EQ(WAVE_FORMAT_IEEE_FLOAT, summary.output.wFormatTag);
    EXPECT_EQ(2, summary.output.nChannels);
    EXPECT_EQ(32, summary.output.wBitsPerSample);
    EXPECT_EQ(kRate, summary.output.nSamplesPerSec);
    EXPECT_GT(summary.buffers, 1);
    EXPECT_TRUE(summary.haveEffectPeaks);

    WavInfo info;
    std::vector<BYTE> data;
    ASSERT_EQ("", ReadWavFile(request.output, info, data));
    ASSERT_EQ(frames, info.Frames());
    const std::vector<float> output = Samples<float>(data);

    DWORD partitioned = 0;
    for (DWORD n : summary.partition) partitioned += n;
    ASSERT_EQ(frames, partitioned);
    const std::vector<float> expected = CoreOutput(input, 2, summary.partition);
    ASSERT_EQ(expected.size(), output.size());
    EXPECT_EQ(0, std::memcmp(expected.data(), output.data(), output.size() * sizeof(float)))
        << "the written file is the core's output, bit for bit";

    // Default settings: the first echo of the click comes 500 ms later, with
    // nothing but the dry signal before it (below -120 dB elsewhere).
    float before = 0.0f;
    for (DWORD f = 200; f < kRate / 2 - 10; ++f) {
        if (f >= 9600 && f < 9600 + 480) continue;  // the dry burst
        before = std::max(before, std::fabs(output[2 * f]));
    }
    EXPECT_LT(before, 1e-6f);
    EXPECT_GT(std::fabs(output[2 * (kRate / 2)]), 0.01f) << "the echo at 500 ms";
    float peakLeft = 0.0f;
    for (DWORD f = 0; f < frames; ++f) peakLeft = std::max(peakLeft, std::fabs(output[2 * f]));
    EXPECT_EQ(static_cast<double>(peakLeft), summary.outputPeak[0]) << "the sink's peak is the file's";
}

TEST_F(GraphToolTest, MonoPcmBecomesStereoFloatWithSettings) {
    const DWORD frames = kRate;
    std::vector<int16_t> pcm(frames, 0);
    pcm[0] = 20000;
    pcm[1] = -12000;
    GraphRequest request;
    request.input = WriteInput(L"zv_graph_mono.wav", Format(WAVE_FORMAT_PCM, 1, 16), Bytes(pcm));
    request.output = Path(L"zv_graph_mono_out.wav");
    request.dllPath = kDll;
    request.timeoutMs = 20000;
    request.recordPartition = true;
    request.settings = {{kParamDelayL, 2500}, {kParamDelayR, 1000}, {kParamTempoSync, 0}};
    GraphSummary summary;
    ASSERT_EQ("", RunGraph(request, summary));
    EXPECT_EQ(frames, summary.frames);
    EXPECT_EQ(2, summary.output.nChannels);
    EXPECT_EQ(WAVE_FORMAT_IEEE_FLOAT, summary.output.wFormatTag);

    WavInfo info;
    std::vector<BYTE> data;
    ASSERT_EQ("", ReadWavFile(request.output, info, data));
    const std::vector<float> output = Samples<float>(data);
    // The filter's 16-bit path: x * 1/32768 in single precision.
    std::vector<float> input(frames);
    for (DWORD f = 0; f < frames; ++f) input[f] = pcm[f] * 3.0517578125e-5f;
    const std::vector<float> expected = CoreOutput(input, 1, summary.partition, request.settings);
    ASSERT_EQ(expected.size(), output.size());
    EXPECT_EQ(0, std::memcmp(expected.data(), output.data(), output.size() * sizeof(float)));
    EXPECT_GT(std::fabs(output[2 * (kRate / 4)]), 0.01f) << "left echo at 250 ms";
    EXPECT_GT(std::fabs(output[2 * (kRate / 10) + 1]), 0.01f) << "right echo at 100 ms";
}

TEST_F(GraphToolTest, WithoutTheFilterTheFileIsCopied) {
    const std::vector<float> input = TestSignal(kRate / 2, 2);
    GraphRequest request;
    request.input = WriteInput(L"zv_graph_copy_in.wav", Format(WAVE_FORMAT_IEEE_FLOAT, 2, 32), Bytes(input));
    request.output = Path(L"zv_graph_copy_out.wav");
    request.withFilter = false;
    request.timeoutMs = 20000;
    GraphSummary summary;
    ASSERT_EQ("", RunGraph(request, summary));
    EXPECT_EQ(kRate / 2, summary.frames);
    EXPECT_FALSE(summary.haveEffectPeaks);
    EXPECT_EQ(static_cast<double>(0.8f), summary.outputPeak[0]);
    EXPECT_EQ(static_cast<double>(0.6f), summary.outputPeak[1]);
    WavInfo info;
    std::vector<BYTE> data;
    ASSERT_EQ("", ReadWavFile(request.output, info, data));
    EXPECT_EQ(Bytes(input), data);
}

// --- the program ------------------------------------------------------------------

TEST_F(GraphToolTest, ProgramRunsAndRefusesBadArguments) {
    const std::vector<float> input = TestSignal(kRate / 2, 2);
    const std::wstring in = WriteInput(L"zv_graph_prog_in.wav", Format(WAVE_FORMAT_IEEE_FLOAT, 2, 32), Bytes(input));
    const std::wstring out = Path(L"zv_graph_prog_out.wav");
    const std::wstring tool = L"\"" + kTool + L"\" ";
    const std::wstring dll = L" --dll \"" + kDll + L"\"";
    EXPECT_EQ(0u, RunProcess(tool + L"\"" + in + L"\" \"" + out + L"\" --set DelayL=1000 --data "
                             L"\"5000,12,40,10,30, 5000,12,40,10,30, 40,0,0,100,301,100,0, 1,1200,1,0\"" + dll));
    WavInfo info;
    EXPECT_EQ("", ReadWavInfo(out, info));
    EXPECT_EQ(kRate / 2, info.Frames());
    EXPECT_EQ(2u, RunProcess(tool + L"\"" + in + L"\" \"" + out + L"\" --set Nothing=1"));
    EXPECT_EQ(1u, RunProcess(tool + L"\"" + m_folder + L"zv_graph_none.wav\" --discard" + dll));
}
