// Filters built on the base inside Wine's Filter Graph Manager, fed by Wine's
// File Source (Async.) and WAVE Parser from WAV files the tests write, into
// the test sink or Wine's Null Renderer. Graphs run without a clock, so a
// second of audio takes milliseconds.
#include "TestFilters.h"
#include "TestSupport.h"

#include <algorithm>
#include <cstring>

namespace {

class GraphTest : public FilterBaseTest {
protected:
    void TearDown() override {
        if (!m_path.empty()) DeleteFileW(m_path.c_str());
        FilterBaseTest::TearDown();
    }
    // Writes a 16-bit stereo 44.1 kHz WAV of the given length.
    std::vector<BYTE> WritePcm(const wchar_t* name, DWORD frames) {
        std::vector<BYTE> data = Pcm16Pattern(frames);
        m_path = TempPath(name);
        EXPECT_TRUE(WriteWav(m_path, m_pcm.Format(), data));
        return data;
    }

    CAudioType m_pcm{WAVE_FORMAT_PCM, 2, 44100, 16};
    std::wstring m_path;
};

// One counted reference on a filter of ours, given back at the end of the
// scope if the test has not released it (after a failed assertion).
template <class T>
class Held {
public:
    explicit Held(T* filter) : m_filter(filter) { static_cast<IBaseFilter*>(m_filter)->AddRef(); }
    ~Held() {
        if (m_filter) static_cast<IBaseFilter*>(m_filter)->Release();
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    T* operator->() const { return m_filter; }
    operator T*() const { return m_filter; }
    // The count left after giving the reference back.
    ULONG Release() {
        ULONG left = static_cast<IBaseFilter*>(m_filter)->Release();
        m_filter = nullptr;
        return left;
    }

private:
    T* m_filter;
};

}  // namespace

TEST_F(GraphTest, RunsToTheEndThroughTransformAndSink) {
    const std::vector<BYTE> data = WritePcm(L"zv_fbase_run.wav", 44100);
    Held<CTestTransform> transform(new CTestTransform());
    Held<CTestSink> sink(new CTestSink());
    WavGraph g;
    ASSERT_EQ(S_OK, g.Build(m_path, transform, sink));
    EXPECT_TRUE(MediaTypesEqual(transform->Input().CurrentMediaType(), *m_pcm.Get()))
        << "the parser's type is the file's";
    EXPECT_TRUE(MediaTypesEqual(sink->Input().CurrentMediaType(), *m_pcm.Get()));

    ASSERT_TRUE(SUCCEEDED(g.Run()));
    EXPECT_TRUE(g.WaitComplete(5000)) << "end of stream reached the renderer and the graph";
    ASSERT_EQ(S_OK, g.control->Stop());

    const std::vector<ReceivedSample> samples = sink->Samples();
    ASSERT_FALSE(samples.empty());
    EXPECT_EQ(static_cast<LONG>(samples.size()), transform->samples);
    EXPECT_EQ(static_cast<LONG>(data.size()), transform->bytes);
    EXPECT_TRUE(sink->DataSinceLastFlush() == data) << "every byte arrived, in order";
    EXPECT_TRUE(samples[0].discontinuity);
    EXPECT_TRUE(samples[0].hasTime);
    EXPECT_EQ(0, samples[0].start);
    for (size_t i = 1; i < samples.size(); ++i) {
        EXPECT_TRUE(samples[i].hasTime);
        EXPECT_EQ(samples[i - 1].stop, samples[i].start) << "sample " << i;
    }
    EXPECT_EQ(1, transform->endOfStreams);
    EXPECT_EQ(1, sink->endOfStreams);
    EXPECT_GE(transform->segments, 1);
    ASSERT_FALSE(sink->Segments().empty());
    EXPECT_EQ(0, sink->Segments().back().start);

    g.Release();
    EXPECT_EQ(0u, transform.Release());
    EXPECT_EQ(0u, sink.Release());
}

TEST_F(GraphTest, FloatFileThroughAGain) {
    // Wine's parser offers a float file as WAVE_FORMAT_EXTENSIBLE.
    CAudioType flt(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32);
    std::vector<BYTE> data(24000 * 8);
    std::vector<BYTE> halved(data.size());
    for (size_t i = 0; i < data.size() / 4; ++i) {
        const float v = static_cast<float>(static_cast<int>(i % 2000) - 1000) / 1000.0f;
        const float h = v * 0.5f;
        std::memcpy(&data[i * 4], &v, 4);
        std::memcpy(&halved[i * 4], &h, 4);
    }
    m_path = TempPath(L"zv_fbase_float.wav");
    ASSERT_TRUE(WriteWav(m_path, flt.Format(), data));

    Held<CTestTransform> transform(new CTestTransform());
    Held<CTestSink> sink(new CTestSink());
    transform->SetGain(0.5);
    WavGraph g;
    ASSERT_EQ(S_OK, g.Build(m_path, transform, sink));
    EXPECT_TRUE(IsFloatAudio(&transform->Input().CurrentMediaType()));
    ASSERT_TRUE(SUCCEEDED(g.Run()));
    EXPECT_TRUE(g.WaitComplete(5000));
    ASSERT_EQ(S_OK, g.control->Stop());
    EXPECT_TRUE(sink->DataSinceLastFlush() == halved);

    g.Release();
    EXPECT_EQ(0u, transform.Release());
    EXPECT_EQ(0u, sink.Release());
}

TEST_F(GraphTest, RunsIntoWinesNullRenderer) {
    const std::vector<BYTE> data = WritePcm(L"zv_fbase_null.wav", 44100);
    Held<CTestTransform> transform(new CTestTransform());
    IBaseFilter* renderer = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(kClsidNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     reinterpret_cast<void**>(&renderer)));
    WavGraph g;
    ASSERT_EQ(S_OK, g.Build(m_path, transform, renderer));
    // The renderer offers no allocator: ours is made and handed to it.
    ASSERT_NE(nullptr, transform->Output().Allocator());

    for (int run = 1; run <= 2; ++run) {
        ASSERT_TRUE(SUCCEEDED(g.Run()));
        EXPECT_TRUE(g.WaitComplete(5000)) << "run " << run;
        ASSERT_EQ(S_OK, g.control->Stop());
        EXPECT_EQ(run * static_cast<LONG>(data.size()), transform->bytes) << "run " << run;
        EXPECT_EQ(run, transform->endOfStreams);
        EXPECT_EQ(S_OK, transform->lastDeliver);
    }

    g.Release();
    EXPECT_EQ(0u, renderer->Release());
    EXPECT_EQ(0u, transform.Release());
}

TEST_F(GraphTest, PauseRunStopCycles) {
    const std::vector<BYTE> data = WritePcm(L"zv_fbase_cycles.wav", 22050);
    Held<CTestTransform> transform(new CTestTransform());
    Held<CTestSink> sink(new CTestSink());
    WavGraph g;
    ASSERT_EQ(S_OK, g.Build(m_path, transform, sink));
    IBaseFilter* filter = transform;

    for (int cycle = 0; cycle < 3; ++cycle) {
        sink->ClearRecords();
        ASSERT_TRUE(SUCCEEDED(g.control->Pause()));
        OAFilterState state = State_Stopped;
        EXPECT_EQ(S_OK, g.control->GetState(5000, &state));
        EXPECT_EQ(State_Paused, state);
        FILTER_STATE ours = State_Stopped;
        EXPECT_EQ(S_OK, filter->GetState(0, &ours));
        EXPECT_EQ(State_Paused, ours);
        ASSERT_TRUE(SUCCEEDED(g.Run()));
        EXPECT_EQ(S_OK, filter->GetState(0, &ours));
        EXPECT_EQ(State_Running, ours);
        EXPECT_TRUE(g.WaitComplete(5000)) << "cycle " << cycle;
        ASSERT_EQ(S_OK, g.control->Stop());
        EXPECT_EQ(S_OK, filter->GetState(0, &ours));
        EXPECT_EQ(State_Stopped, ours);
        // After a stop the stream starts over from the beginning.
        EXPECT_TRUE(sink->DataSinceLastFlush() == data) << "cycle " << cycle;
    }
    EXPECT_EQ(3, sink->endOfStreams);
    g.Release();

    // Changes of state while the stream flows: no deadlock, no lost object.
    const std::vector<BYTE> longer = WritePcm(L"zv_fbase_cycles_long.wav", 441000);
    WavGraph h;
    ASSERT_EQ(S_OK, h.Build(m_path, transform, sink));
    for (int cycle = 0; cycle < 5; ++cycle) {
        RunGuarded(10000, "state changes while streaming", [&] {
            h.control->Run();
            h.control->Pause();
            h.control->Run();
            h.control->Stop();
        });
    }
    sink->ClearRecords();
    ASSERT_TRUE(SUCCEEDED(h.Run()));
    EXPECT_TRUE(h.WaitComplete(10000)) << "eos " << sink->endOfStreams << " bytes " << sink->DataSinceLastFlush().size()
                                       << " transform eos " << transform->endOfStreams;
    ASSERT_EQ(S_OK, h.control->Stop());
    EXPECT_TRUE(sink->DataSinceLastFlush() == longer) << "a full run after the changes";
    h.Release();

    EXPECT_EQ(0u, transform.Release());
    EXPECT_EQ(0u, sink.Release());
}

TEST_F(GraphTest, SeekWhilePausedFlushesThroughABlockedRenderer) {
    const std::vector<BYTE> data = WritePcm(L"zv_fbase_seek.wav", 88200);
    Held<CTestTransform> transform(new CTestTransform());
    Held<CTestSink> sink(new CTestSink());
    sink->BlockWhilePaused(true);
    WavGraph g;
    ASSERT_EQ(S_OK, g.Build(m_path, transform, sink));

    // Paused, the sink holds the first sample; the transform's streaming
    // thread waits in it with the transform's filter lock held.
    ASSERT_TRUE(SUCCEEDED(g.control->Pause()));
    ASSERT_TRUE(sink->WaitBlocked(5000));

    // Seeking makes the parser flush: the flush must get past the transform
    // to the sink, which lets the held sample go.
    HRESULT hr = E_FAIL;
    RunGuarded(10000, "IMediaSeeking::SetPositions", [&] {
        LONGLONG position = 5000000;  // 0.5 s
        hr = g.seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    });
    EXPECT_EQ(S_OK, hr);
    EXPECT_GE(transform->beginFlushes, 1);
    EXPECT_GE(transform->endFlushes, 1);
    EXPECT_GE(sink->beginFlushes, 1);
    EXPECT_EQ(sink->beginFlushes, sink->endFlushes);
    EXPECT_EQ(1, sink->releasedByFlush);
    EXPECT_EQ(0, sink->waitTimeouts);

    // Still paused: the first sample of the new segment is held until Run.
    // The parser's streaming thread sends the new segment before it.
    EXPECT_TRUE(sink->WaitBlocked(5000));
    const std::vector<ReceivedSegment> segments = sink->Segments();
    ASSERT_FALSE(segments.empty());
    EXPECT_EQ(5000000, segments.back().start) << "the new segment went downstream";
    ASSERT_TRUE(SUCCEEDED(g.Run()));
    EXPECT_TRUE(g.WaitComplete(5000));
    ASSERT_EQ(S_OK, g.control->Stop());

    std::vector<ReceivedSample> samples = sink->Samples();
    auto first = std::find_if(samples.begin(), samples.end(),
                              [&](const ReceivedSample& s) { return s.flushes == sink->endFlushes; });
    ASSERT_NE(samples.end(), first);
    EXPECT_TRUE(first->discontinuity);
    EXPECT_EQ(0, first->start) << "times start again at the segment";
    const size_t offset = static_cast<size_t>(segments.back().start / 10000000.0 * 44100) * 4;
    const std::vector<BYTE> after = sink->DataSinceLastFlush();
    ASSERT_EQ(data.size() - offset, after.size());
    EXPECT_TRUE(std::equal(after.begin(), after.end(), data.begin() + static_cast<long>(offset)));

    g.Release();
    EXPECT_EQ(0u, transform.Release());
    EXPECT_EQ(0u, sink.Release());
}

TEST_F(GraphTest, SeekWhileRunning) {
    const std::vector<BYTE> data = WritePcm(L"zv_fbase_seek_run.wav", 441000);
    Held<CTestTransform> transform(new CTestTransform());
    Held<CTestSink> sink(new CTestSink());
    WavGraph g;
    ASSERT_EQ(S_OK, g.Build(m_path, transform, sink));
    ASSERT_TRUE(SUCCEEDED(g.Run()));
    HRESULT hr = E_FAIL;
    RunGuarded(10000, "IMediaSeeking::SetPositions while running", [&] {
        LONGLONG position = 90000000;  // 9 s of 10
        hr = g.seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    });
    EXPECT_EQ(S_OK, hr);
    EXPECT_TRUE(g.WaitComplete(10000));
    ASSERT_EQ(S_OK, g.control->Stop());
    const std::vector<ReceivedSegment> segments = sink->Segments();
    ASSERT_FALSE(segments.empty());
    EXPECT_EQ(90000000, segments.back().start);
    const std::vector<BYTE> after = sink->DataSinceLastFlush();
    ASSERT_EQ(44100u * 4, after.size()) << "the last second, after the flush";
    EXPECT_TRUE(std::equal(after.begin(), after.end(), data.end() - static_cast<long>(after.size())));
    g.Release();
    EXPECT_EQ(0u, transform.Release());
    EXPECT_EQ(0u, sink.Release());
}

TEST_F(GraphTest, PositionPassesThroughToTheParser) {
    WritePcm(L"zv_fbase_position.wav", 44100);
    Held<CTestTransform> transform(new CTestTransform());
    Held<CTestSink> sink(new CTestSink());
    WavGraph g;
    ASSERT_EQ(S_OK, g.Build(m_path, transform, sink));

    IPin* parserOut = FirstPin(g.parser, PINDIR_OUTPUT);
    IMediaSeeking* parserSeeking = nullptr;
    ASSERT_EQ(S_OK, parserOut->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&parserSeeking)));
    IMediaSeeking* viaOutput = nullptr;
    ASSERT_EQ(S_OK, transform->Output().QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&viaOutput)));
    IMediaSeeking* viaSink = nullptr;
    ASSERT_EQ(S_OK, static_cast<IBaseFilter*>(sink)->QueryInterface(IID_IMediaSeeking,
                                                                       reinterpret_cast<void**>(&viaSink)));

    // Whatever the parser answers arrives unchanged through both hops.
    for (IMediaSeeking* s : {viaOutput, viaSink}) {
        DWORD theirs = 0, ours = 0;
        EXPECT_EQ(parserSeeking->GetCapabilities(&theirs), s->GetCapabilities(&ours));
        EXPECT_EQ(theirs, ours);
        GUID format = GUID_NULL;
        EXPECT_EQ(S_OK, s->GetTimeFormat(&format));
        EXPECT_TRUE(IsEqualGUID(TIME_FORMAT_MEDIA_TIME, format));
        EXPECT_EQ(S_OK, s->IsFormatSupported(&TIME_FORMAT_MEDIA_TIME));
        LONGLONG a = -7, b = -7, c = -7, d = -7;
        EXPECT_EQ(parserSeeking->GetPositions(&a, &b), s->GetPositions(&c, &d));
        EXPECT_EQ(a, c);
        EXPECT_EQ(b, d);
        double rate = 0;
        EXPECT_EQ(S_OK, s->GetRate(&rate));
        EXPECT_EQ(1.0, rate);
    }
    LONGLONG stop = 5000000;
    ASSERT_EQ(S_OK, viaSink->SetPositions(nullptr, AM_SEEKING_NoPositioning, &stop, AM_SEEKING_AbsolutePositioning));
    LONGLONG parserStop = 0;
    ASSERT_EQ(S_OK, parserSeeking->GetStopPosition(&parserStop));
    EXPECT_EQ(5000000, parserStop) << "a stop position set through the sink reached the parser";

    // The parser's pin has no IMediaPosition: the pass-through has nothing to forward.
    IMediaPosition* position = nullptr;
    ASSERT_EQ(S_OK, static_cast<IBaseFilter*>(sink)->QueryInterface(IID_IMediaPosition,
                                                                       reinterpret_cast<void**>(&position)));
    IMediaPosition* parserPosition = nullptr;
    const bool parserHasPosition =
        SUCCEEDED(parserOut->QueryInterface(IID_IMediaPosition, reinterpret_cast<void**>(&parserPosition)));
    REFTIME duration = -1;
    if (parserHasPosition) {
        EXPECT_EQ(S_OK, position->get_Duration(&duration));
        parserPosition->Release();
    } else {
        EXPECT_EQ(E_NOTIMPL, position->get_Duration(&duration));
    }
    UINT typeInfos = 0;
    EXPECT_EQ(E_NOTIMPL, position->GetTypeInfoCount(&typeInfos));
    position->Release();

    viaSink->Release();
    viaOutput->Release();
    parserSeeking->Release();
    parserOut->Release();
    g.Release();
    EXPECT_EQ(0u, transform.Release());
    EXPECT_EQ(0u, sink.Release());
}
