// The plug-in streaming in Wine's own filter graph: connections, full runs
// compared bit for bit with the effect core on the same buffers, positions,
// tags, flushing, end of stream, and several outputs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "TestFilters.h"
#include "TestHost.h"
#include "TestSupport.h"
#include "effect/OfflineEffect.h"
#include "host/AudioTypes.h"
#include "PlugInTestSupport.h"
#include "host/TzPlugIn.h"

namespace {

WAVEFORMATEX Format(WORD tag, WORD channels, DWORD rate, WORD bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = tag;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(bits / 8 * channels);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    f.cbSize = tag == WAVE_FORMAT_IEEE_FLOAT ? 0 : 0;
    return f;
}

// A short phrase: decaying tones, different on the two channels.
std::vector<double> Phrase(DWORD frames, WORD channels, DWORD rate) {
    std::vector<double> x(static_cast<size_t>(frames) * channels);
    for (DWORD i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        for (WORD c = 0; c < channels; ++c) {
            x[i * channels + c] = 0.6 * std::exp(-3.0 * t) * std::sin(2 * 3.141592653589793 * (330.0 + 110.0 * c) * t);
        }
    }
    return x;
}

std::vector<BYTE> Encode(const std::vector<double>& x, const WAVEFORMATEX& f) {
    std::vector<BYTE> data(x.size() * (f.wBitsPerSample / 8));
    for (size_t i = 0; i < x.size(); ++i) {
        if (f.wFormatTag == WAVE_FORMAT_PCM) {
            const int16_t v = static_cast<int16_t>(std::lround(x[i] * 32767.0));
            memcpy(&data[i * 2], &v, 2);
        } else if (f.wBitsPerSample == 32) {
            const float v = static_cast<float>(x[i]);
            memcpy(&data[i * 4], &v, 4);
        } else {
            memcpy(&data[i * 8], &x[i], 8);
        }
    }
    return data;
}

std::vector<BYTE> Reference(const std::vector<BYTE>& input, const WAVEFORMATEX& in,
                            const std::vector<size_t>& outputSizes, const WAVEFORMATEX& out) {
    // The effect core on its own, as the reference: same settings, same buffers.
    COfflineEffect effect;
    effect.QviReset();
    effect.SetAllParams(kDefaultBlock.v);
    effect.PrepareStreaming(&in, &out);
    std::vector<BYTE> result;
    size_t inPos = 0;
    for (size_t bytes : outputSizes) {
        const int32_t frames = static_cast<int32_t>(bytes / out.nBlockAlign);
        std::vector<BYTE> block(bytes);
        int32_t n = frames, cap = frames;
        const BYTE* src = &input[inPos];
        if (in.wFormatTag == WAVE_FORMAT_PCM) {
            std::vector<float> f(static_cast<size_t>(frames) * in.nChannels);
            for (size_t i = 0; i < f.size(); ++i) {
                int16_t v;
                memcpy(&v, src + 2 * i, 2);
                f[i] = v * 3.0517578125e-5f;
            }
            effect.ProcessFloat(1, f.data(), &n, reinterpret_cast<float*>(block.data()), &cap);
        } else if (in.wBitsPerSample == 32) {
            effect.ProcessFloat(1, reinterpret_cast<const float*>(src), &n, reinterpret_cast<float*>(block.data()),
                                &cap);
        } else {
            effect.ProcessDouble(1, reinterpret_cast<const double*>(src), &n,
                                 reinterpret_cast<double*>(block.data()), &cap);
        }
        result.insert(result.end(), block.begin(), block.end());
        inPos += static_cast<size_t>(frames) * in.nBlockAlign;
    }
    effect.ReleaseStreaming();
    return result;
}

class StreamingTest : public FilterBaseTest {};

// Runs a WAV file through parser -> plug-in -> sink until every frame has
// arrived; returns the sink's samples.
struct GraphRun {
    bool ok = false;
    std::vector<ReceivedSample> samples;
};

bool WaitForBytes(CTestSink* sink, size_t bytes, DWORD ms) {
    for (DWORD waited = 0; waited < ms; waited += 10) {
        size_t have = 0;
        for (const ReceivedSample& s : sink->Samples()) have += s.data.size();
        if (have >= bytes) return true;
        Sleep(10);
    }
    return false;
}

}  // namespace

TEST_F(StreamingTest, FullRunsMatchTheEffectCoreBitForBit) {
    struct Case {
        WORD tag, channels, bits;
    } cases[] = {
        {WAVE_FORMAT_IEEE_FLOAT, 2, 32},
        {WAVE_FORMAT_IEEE_FLOAT, 1, 32},
        {WAVE_FORMAT_PCM, 2, 16},
        {WAVE_FORMAT_PCM, 1, 16},
        {WAVE_FORMAT_IEEE_FLOAT, 2, 64},
    };
    const DWORD rate = 44100, frames = 3 * 44100 / 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "tag " << c.tag << " channels " << c.channels << " bits " << c.bits);
        const WAVEFORMATEX in = Format(c.tag, c.channels, rate, c.bits);
        const std::vector<BYTE> data = Encode(Phrase(frames, c.channels, rate), in);
        const std::wstring path = TempPath(L"zv-stream.wav");
        ASSERT_TRUE(WriteWav(path, in, data));

        IBaseFilter* plugIn = NewPlugIn();
        CTestSink* sink = new CTestSink();
        sink->AddRef();
        // The sink takes exactly the type the plug-in offers for this input.
        AM_MEDIA_TYPE offered{};
        ASSERT_EQ(MakeOutputType(in, &offered), S_OK);
        sink->RequireType(&offered);
        WavGraph g;
        ASSERT_EQ(g.Build(path, plugIn, sink), S_OK);
        const WAVEFORMATEX out = *PlugIn(plugIn)->KeptOutputFormat();
        EXPECT_EQ(out.wFormatTag, WAVE_FORMAT_IEEE_FLOAT);
        EXPECT_EQ(out.nChannels, 2);
        EXPECT_EQ(out.wBitsPerSample, c.bits == 64 ? 64 : 32);
        ASSERT_EQ(g.Run(), S_OK);
        EXPECT_TRUE(WaitForBytes(sink, static_cast<size_t>(frames) * out.nBlockAlign, 20000));
        g.control->Stop();
        std::vector<BYTE> got;
        std::vector<size_t> sizes;
        for (const ReceivedSample& s : sink->Samples()) {
            got.insert(got.end(), s.data.begin(), s.data.end());
            sizes.push_back(s.data.size());
        }
        ASSERT_EQ(got.size(), static_cast<size_t>(frames) * out.nBlockAlign);
        const std::vector<BYTE> expected = Reference(data, in, sizes, out);
        EXPECT_TRUE(got == expected);
        g.Release();
        sink->Release();
        FreeMediaType(&offered);
        EXPECT_EQ(plugIn->Release(), 0u);
    }
}

namespace {

// Builds parser -> plug-in -> sink for a float stereo file of `frames`.
struct FloatGraph {
    IBaseFilter* plugIn = nullptr;
    CTestSink* sink = nullptr;
    WavGraph g;
    AM_MEDIA_TYPE offered{};
    WAVEFORMATEX in{};

    HRESULT Build(DWORD frames) {
        in = Format(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32);
        const std::wstring path = TempPath(L"zv-cycles.wav");
        if (!WriteWav(path, in, Encode(Phrase(frames, 2, 48000), in))) return E_FAIL;
        plugIn = NewPlugIn();
        sink = new CTestSink();
        sink->AddRef();
        MakeOutputType(in, &offered);
        sink->RequireType(&offered);
        const HRESULT hr = g.Build(path, plugIn, sink);
        g.mediaFilter->SetSyncSource(nullptr);
        return hr;
    }
    std::vector<BYTE> RunToEnd(size_t bytes) {
        sink->ClearRecords();
        g.Run();
        WaitForBytes(sink, bytes, 20000);
        g.control->Stop();
        std::vector<BYTE> all;
        for (const ReceivedSample& s : sink->Samples()) all.insert(all.end(), s.data.begin(), s.data.end());
        return all;
    }
    ULONG Release() {
        g.Release();
        sink->Release();
        FreeMediaType(&offered);
        return plugIn->Release();
    }
};

}  // namespace

TEST_F(StreamingTest, EveryRunStartsFromSilenceAndGivesTheSameOutput) {
    const DWORD frames = 48000;
    FloatGraph fg;
    ASSERT_EQ(fg.Build(frames), S_OK);
    const std::vector<BYTE> first = fg.RunToEnd(frames * 8);
    ASSERT_EQ(first.size(), frames * 8);
    // Pause and stop in between: the echo memory is cleared at each pause.
    for (int cycle = 0; cycle < 2; ++cycle) {
        fg.g.control->Pause();
        fg.g.control->Stop();
        const std::vector<BYTE> again = fg.RunToEnd(frames * 8);
        EXPECT_TRUE(again == first) << "cycle " << cycle;
    }
    EXPECT_EQ(fg.Release(), 0u);
}

TEST_F(StreamingTest, SeekingPassesThroughThePlugInToTheParser) {
    const DWORD frames = 96000;   // two seconds
    FloatGraph fg;
    ASSERT_EQ(fg.Build(frames), S_OK);
    // The graph finds IMediaSeeking at the sink, whose upstream is the
    // plug-in's output pin, which passes it on to the parser.
    IPin* out = FirstPin(fg.plugIn, PINDIR_OUTPUT);
    IMediaSeeking* seeking = nullptr;
    ASSERT_EQ(out->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking)), S_OK);
    LONGLONG duration = 0;
    EXPECT_EQ(seeking->GetDuration(&duration), S_OK);
    EXPECT_EQ(duration, 20000000);
    seeking->Release();
    out->Release();

    LONGLONG start = 10000000;   // one second in
    ASSERT_EQ(fg.g.seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr,
                                         AM_SEEKING_NoPositioning),
              S_OK);
    const std::vector<BYTE> rest = fg.RunToEnd(48000 * 8);
    EXPECT_EQ(rest.size(), 48000u * 8);
    const std::vector<ReceivedSample> samples = fg.sink->Samples();
    ASSERT_FALSE(samples.empty());
    // The first buffer after the seek is a discontinuity whose time is the
    // new segment's start: the plug-in's position follows it.
    EXPECT_TRUE(samples[0].discontinuity);
    EXPECT_EQ(fg.Release(), 0u);
}
