// The plug-in's pins driven by small peers of ours: which connections are
// made and refused, buffer sizes, stream positions, sample tags, end of
// stream, several outputs, and a flush while a downstream pin blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "TestFilters.h"
#include "TestHost.h"
#include "TestSupport.h"
#include "host/AudioTypes.h"
#include "PlugInTestSupport.h"
#include "TestPlugIn.h"
#include "host/TzPlugIn.h"
#include "tests/automation/AllocationFailure.h"

namespace {

// A media sample of ours around a real one, answering ISampleTag as a host's
// samples may.
class CTaggedSample : public IMediaSample, public ISampleTag {
public:
    CTaggedSample(IMediaSample* inner, int32_t tag) : m_inner(inner), m_tag(tag) { m_inner->AddRef(); }
    ~CTaggedSample() { m_inner->Release(); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IMediaSample) {
            *ppv = static_cast<IMediaSample*>(this);
        } else if (riid == IID_ISampleTag) {
            *ppv = static_cast<ISampleTag*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }
    int32_t STDMETHODCALLTYPE GetTag() override { return m_tag; }
    HRESULT STDMETHODCALLTYPE SetTag(int32_t tag) override {
        m_tag = tag;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPointer(BYTE** p) override { return m_inner->GetPointer(p); }
    LONG STDMETHODCALLTYPE GetSize() override { return m_inner->GetSize(); }
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* s, REFERENCE_TIME* e) override { return m_inner->GetTime(s, e); }
    HRESULT STDMETHODCALLTYPE SetTime(REFERENCE_TIME* s, REFERENCE_TIME* e) override { return m_inner->SetTime(s, e); }
    HRESULT STDMETHODCALLTYPE IsSyncPoint() override { return m_inner->IsSyncPoint(); }
    HRESULT STDMETHODCALLTYPE SetSyncPoint(BOOL v) override { return m_inner->SetSyncPoint(v); }
    HRESULT STDMETHODCALLTYPE IsPreroll() override { return m_inner->IsPreroll(); }
    HRESULT STDMETHODCALLTYPE SetPreroll(BOOL v) override { return m_inner->SetPreroll(v); }
    LONG STDMETHODCALLTYPE GetActualDataLength() override { return m_inner->GetActualDataLength(); }
    HRESULT STDMETHODCALLTYPE SetActualDataLength(LONG n) override { return m_inner->SetActualDataLength(n); }
    HRESULT STDMETHODCALLTYPE GetMediaType(AM_MEDIA_TYPE** mt) override { return m_inner->GetMediaType(mt); }
    HRESULT STDMETHODCALLTYPE SetMediaType(AM_MEDIA_TYPE* mt) override { return m_inner->SetMediaType(mt); }
    HRESULT STDMETHODCALLTYPE IsDiscontinuity() override { return m_inner->IsDiscontinuity(); }
    HRESULT STDMETHODCALLTYPE SetDiscontinuity(BOOL v) override { return m_inner->SetDiscontinuity(v); }
    HRESULT STDMETHODCALLTYPE GetMediaTime(LONGLONG* s, LONGLONG* e) override { return m_inner->GetMediaTime(s, e); }
    HRESULT STDMETHODCALLTYPE SetMediaTime(LONGLONG* s, LONGLONG* e) override { return m_inner->SetMediaTime(s, e); }

private:
    IMediaSample* m_inner;
    int32_t m_tag;
    ULONG m_refs = 1;
};

// source -> plug-in -> sink(s), connected pin to pin without a graph.
class PinsTest : public FilterBaseTest {
protected:
    void Build(WORD tag, WORD channels, DWORD rate, WORD bits, long bufferSize = 4096) {
        type = new CAudioType(tag, channels, rate, bits);
        source = new CTestSource(type->Get(), bufferSize);
        source->AddRef();
        plugIn = NewPlugIn();
        sink = new CTestSink();
        sink->AddRef();
        input = FirstPin(plugIn, PINDIR_INPUT);
        output = FirstPin(plugIn, PINDIR_OUTPUT);
    }
    HRESULT ConnectInput() { return source->Output().Connect(input, type->Get()); }
    HRESULT ConnectOutput(const AM_MEDIA_TYPE* mt = nullptr) { return output->Connect(&sink->Input(), mt); }
    void SetAll(bool pause) {
        for (IBaseFilter* f : {static_cast<IBaseFilter*>(sink), plugIn, static_cast<IBaseFilter*>(source)}) {
            if (pause) f->Pause(); else f->Stop();
        }
    }
    // One buffer of `frames` float frames (value v) from the source, by hand.
    HRESULT Deliver(int32_t frames, float v, REFERENCE_TIME* start = nullptr, bool discontinuity = false,
                    int32_t tag = -1) {
        IMediaSample* s = nullptr;
        HRESULT hr = source->Output().GetDeliveryBuffer(&s, nullptr, nullptr, 0);
        if (FAILED(hr)) return hr;
        BYTE* p = nullptr;
        s->GetPointer(&p);
        const WORD align = type->Format().nBlockAlign;
        for (int32_t i = 0; i < frames * align / 4; ++i) memcpy(p + 4 * i, &v, 4);
        s->SetActualDataLength(frames * align);
        s->SetTime(start, nullptr);
        s->SetDiscontinuity(discontinuity);
        if (tag >= 0) {
            CTaggedSample tagged(s, tag);
            IMemInputPin* mem = nullptr;
            input->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&mem));
            hr = mem->Receive(&tagged);
            mem->Release();
        } else {
            hr = source->Output().Deliver(s);
        }
        s->Release();
        return hr;
    }
    void TearDown() override {
        if (plugIn) {
            SetAll(false);
            if (input) input->Disconnect();
            source->Output().Disconnect();
            if (output) output->Disconnect();
            sink->Input().Disconnect();
            input->Release();
            output->Release();
            sink->Release();
            source->Release();
            EXPECT_EQ(plugIn->Release(), 0u);
            delete type;
        }
        FilterBaseTest::TearDown();
    }

    CAudioType* type = nullptr;
    CTestSource* source = nullptr;
    IBaseFilter* plugIn = nullptr;
    CTestSink* sink = nullptr;
    IPin* input = nullptr;
    IPin* output = nullptr;
};

}  // namespace

TEST_F(PinsTest, MonoSixteenBitInGivesFloatStereoOutWithBiggerBuffers) {
    Build(WAVE_FORMAT_PCM, 1, 44100, 16, 4000);   // 2000 frames a buffer
    ASSERT_EQ(ConnectInput(), S_OK);
    ASSERT_EQ(ConnectOutput(), S_OK);
    const WAVEFORMATEX& out = *PlugIn(plugIn)->KeptOutputFormat();
    EXPECT_EQ(out.wFormatTag, WAVE_FORMAT_IEEE_FLOAT);
    EXPECT_EQ(out.nChannels, 2);
    EXPECT_EQ(out.wBitsPerSample, 32);
    EXPECT_EQ(out.nBlockAlign, 8);
    ALLOCATOR_PROPERTIES props{};
    ASSERT_NE(sink->Input().Allocator(), nullptr);
    sink->Input().Allocator()->GetProperties(&props);
    EXPECT_GE(props.cbBuffer, 2000 * 8);   // four times the 16-bit mono bytes
}

TEST_F(PinsTest, StereoSixteenBitDoublesTheBufferSize) {
    Build(WAVE_FORMAT_PCM, 2, 48000, 16, 4000);   // 1000 frames
    ASSERT_EQ(ConnectInput(), S_OK);
    ASSERT_EQ(ConnectOutput(), S_OK);
    ALLOCATOR_PROPERTIES props{};
    sink->Input().Allocator()->GetProperties(&props);
    EXPECT_GE(props.cbBuffer, 1000 * 8);
}

TEST_F(PinsTest, RefusedTypes) {
    Build(WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 32);
    // Output checks need a connected input.
    CAudioType stereo(WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 32);
    EXPECT_EQ(output->QueryAccept(stereo.Get()), S_FALSE);
    ASSERT_EQ(ConnectInput(), S_OK);
    EXPECT_EQ(output->QueryAccept(stereo.Get()), S_OK);
    CAudioType otherRate(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32);
    CAudioType mono(WAVE_FORMAT_IEEE_FLOAT, 1, 44100, 32);
    CAudioType pcm(WAVE_FORMAT_PCM, 2, 44100, 16);
    CAudioType wider(WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 64);
    EXPECT_EQ(output->QueryAccept(otherRate.Get()), S_FALSE);
    EXPECT_EQ(output->QueryAccept(mono.Get()), S_FALSE);
    EXPECT_EQ(output->QueryAccept(pcm.Get()), S_FALSE);
    EXPECT_EQ(output->QueryAccept(wider.Get()), S_FALSE);   // the entry writes 32-bit here
    sink->RequireType(otherRate.Get());
    EXPECT_TRUE(FAILED(ConnectOutput(otherRate.Get())));
    // Input side: no rate of 0, no 8-bit, no three channels, no video.
    CAudioType zero(WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 32);
    zero.Format().nSamplesPerSec = 0;
    EXPECT_EQ(input->QueryAccept(zero.Get()), S_FALSE);
    CAudioType eight(WAVE_FORMAT_PCM, 2, 44100, 8);
    EXPECT_EQ(input->QueryAccept(eight.Get()), S_FALSE);
    CAudioType three(WAVE_FORMAT_IEEE_FLOAT, 3, 44100, 32);
    EXPECT_EQ(input->QueryAccept(three.Get()), S_FALSE);
    AM_MEDIA_TYPE video = *stereo.Get();
    video.majortype = MEDIATYPE_Video;
    EXPECT_EQ(input->QueryAccept(&video), S_FALSE);
    // A format block that the format type does not call a WAVEFORMATEX is
    // not read as one, on either side.
    for (const GUID& formatType : {GUID_NULL, FORMAT_VideoInfo, FORMAT_None}) {
        AM_MEDIA_TYPE other = *stereo.Get();
        other.formattype = formatType;
        EXPECT_EQ(input->QueryAccept(&other), S_FALSE);
        EXPECT_EQ(output->QueryAccept(&other), S_FALSE);
    }
}

// The effect reports each format as soon as a pin has stored it, forgets it
// when the pin disconnects, and follows a reconnection with another format.
TEST_F(PinsTest, EffectFormatsFollowConnections) {
    Build(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32);
    ITzPlugInProp* prop = nullptr;
    plugIn->QueryInterface(IID_ITzPlugInProp, reinterpret_cast<void**>(&prop));
    WAVEFORMATEX f{};
    EXPECT_EQ(prop->GetFormat(&f, 0), VFW_E_NOT_CONNECTED);
    IEnumMediaTypes* types = reinterpret_cast<IEnumMediaTypes*>(1);
    EXPECT_EQ(output->EnumMediaTypes(&types), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(types, nullptr);
    ASSERT_EQ(ConnectInput(), S_OK);
    ASSERT_EQ(prop->GetFormat(&f, 0), S_OK);
    EXPECT_EQ(f.nSamplesPerSec, 48000u);
    EXPECT_EQ(f.nChannels, 2);
    EXPECT_EQ(prop->GetFormat(&f, 1), VFW_E_NOT_CONNECTED);
    // Once the input is connected the output offers its one derived type.
    ASSERT_EQ(output->EnumMediaTypes(&types), S_OK);
    AM_MEDIA_TYPE* offered[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(types->Next(2, offered, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    const WAVEFORMATEX* o = reinterpret_cast<const WAVEFORMATEX*>(offered[0]->pbFormat);
    EXPECT_EQ(o->wFormatTag, WAVE_FORMAT_IEEE_FLOAT);
    EXPECT_EQ(o->nChannels, 2);
    EXPECT_EQ(o->nSamplesPerSec, 48000u);
    DeleteMediaType(offered[0]);
    types->Release();
    ASSERT_EQ(ConnectOutput(), S_OK);
    ASSERT_EQ(prop->GetFormat(&f, 1), S_OK);
    EXPECT_EQ(f.nBlockAlign, 8);

    // Both sides disconnected, then the input again with 16-bit mono.
    output->Disconnect();
    sink->Input().Disconnect();
    input->Disconnect();
    source->Output().Disconnect();
    EXPECT_EQ(prop->GetFormat(&f, 0), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(prop->GetFormat(&f, 1), VFW_E_NOT_CONNECTED);
    CAudioType pcm(WAVE_FORMAT_PCM, 1, 22050, 16);
    CTestSource* other = new CTestSource(pcm.Get(), 2000);
    other->AddRef();
    ASSERT_EQ(other->Output().Connect(input, pcm.Get()), S_OK);
    ASSERT_EQ(prop->GetFormat(&f, 0), S_OK);
    EXPECT_EQ(f.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(f.nSamplesPerSec, 22050u);
    EXPECT_EQ(f.nBlockAlign, 2);
    ASSERT_EQ(ConnectOutput(), S_OK);
    ASSERT_EQ(prop->GetFormat(&f, 1), S_OK);
    EXPECT_EQ(f.nSamplesPerSec, 22050u);
    EXPECT_EQ(f.nChannels, 2);
    input->Disconnect();
    other->Output().Disconnect();
    other->Release();
    prop->Release();
}

// A notifier that records every change notice and whether another thread
// could have taken the filter lock at that moment.
class CLockCheckingNotifier : public IChangeNotifier {
public:
    explicit CLockCheckingNotifier(CCritSec* filterLock) : m_filterLock(filterLock) {}
    bool WindowExists(HWND) override { return true; }
    void PostCommand(HWND, WPARAM wParam) override {
        codes.push_back(HIWORD(wParam));
        if (!FreeForOthers(*m_filterLock)) ++underLock;
    }
    std::vector<int> codes;
    int underLock = 0;

private:
    CCritSec* m_filterLock;
};

// Connecting each pin tells the editor's window of the new format, after
// the filter lock is left.
TEST_F(PinsTest, FormatNoticesArePostedOutsideTheFilterLock) {
    Build(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32);
    CTzPlugIn* f = PlugIn(plugIn);
    CLockCheckingNotifier notifier(static_cast<CQvi*>(f));
    f->SetChangeNotifier(&notifier);
    ASSERT_EQ(f->SetNotifyWindow(reinterpret_cast<HWND>(0x1234), 32700), S_OK);
    ASSERT_EQ(ConnectInput(), S_OK);
    ASSERT_EQ(ConnectOutput(), S_OK);
    EXPECT_EQ(notifier.codes, (std::vector<int>{kChangeInputFormat, kChangeOutputFormat}));
    EXPECT_EQ(notifier.underLock, 0);
    f->SetNotifyWindow(reinterpret_cast<HWND>(0x1234), 0);
}

TEST_F(PinsTest, ZeroRateSourceCannotConnect) {
    Build(WAVE_FORMAT_IEEE_FLOAT, 2, 0, 32);
    EXPECT_TRUE(FAILED(ConnectInput()));
    EXPECT_EQ(PlugIn(plugIn)->KeptInputFormat()->nSamplesPerSec, 0u);
}

TEST_F(PinsTest, DiscontinuitySetsTheStreamPositionFromItsTime) {
    Build(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32);
    ASSERT_EQ(ConnectInput(), S_OK);
    ASSERT_EQ(ConnectOutput(), S_OK);
    SetAll(true);
    ASSERT_EQ(Deliver(256, 0.25f), S_OK);
    EXPECT_EQ(PlugIn(plugIn)->StreamPosition(), 256);
    REFERENCE_TIME second = 10000000;
    ASSERT_EQ(Deliver(256, 0.25f, &second, true), S_OK);
    EXPECT_EQ(PlugIn(plugIn)->StreamPosition(), 48000 + 256);
    // The output sample carries the time on.
    const std::vector<ReceivedSample> got = sink->Samples();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_TRUE(got[1].hasTime);
    EXPECT_EQ(got[1].start, second);
    EXPECT_TRUE(got[1].discontinuity);
    EXPECT_EQ(got[1].data.size(), 256u * 8);
}

// End of stream keeps the delay memory (the streaming thread frees
// nothing); the next buffer starts a new stream in it, its echo tail
// cleared.
TEST_F(PinsTest, EndOfStreamKeepsTheBuffersAndTheNextBufferStartsClear) {
    Build(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32);
    ASSERT_EQ(ConnectInput(), S_OK);
    ASSERT_EQ(ConnectOutput(), S_OK);
    ITzPlugInProp* prop = nullptr;
    plugIn->QueryInterface(IID_ITzPlugInProp, reinterpret_cast<void**>(&prop));
    ParamBlock b = kDefaultBlock;
    b[kParamTempoSync] = 0;
    b[kParamDelayL] = b[kParamDelayR] = 10;   // 48 frames
    prop->SetAllParams(b.v);
    SetAll(true);
    ASSERT_EQ(Deliver(128, 0.5f), S_OK);
    EXPECT_EQ(prop->IsStreaming(), 1);
    EXPECT_TRUE(PlugIn(plugIn)->Engine().IsPrepared());
    EXPECT_EQ(input->EndOfStream(), S_OK);
    EXPECT_EQ(prop->IsStreaming(), 0);
    EXPECT_TRUE(PlugIn(plugIn)->Engine().IsPrepared());
    EXPECT_EQ(sink->endOfStreams, 0);   // not passed downstream
    sink->RecordSamples(true);
    ASSERT_EQ(Deliver(128, 0.0f), S_OK);
    EXPECT_EQ(prop->IsStreaming(), 1);
    // No echo of the last stream: silence in, (next to) silence out.
    const std::vector<ReceivedSample> got = sink->Samples();
    ASSERT_FALSE(got.empty());
    float loudest = 0.0f;
    for (size_t k = 0; k + 4 <= got.back().data.size(); k += 4) {
        float v;
        std::memcpy(&v, got.back().data.data() + k, 4);
        loudest = std::max(loudest, std::fabs(v));
    }
    EXPECT_LT(loudest, 1e-20f);

    // Whatever the pin's state: while flushing, and stopped.
    EXPECT_EQ(input->BeginFlush(), S_OK);
    EXPECT_EQ(input->EndOfStream(), S_OK);
    EXPECT_EQ(prop->IsStreaming(), 0);
    EXPECT_EQ(input->EndFlush(), S_OK);
    ASSERT_EQ(Deliver(128, 0.5f), S_OK);
    SetAll(false);
    EXPECT_EQ(prop->IsStreaming(), 1);   // a stop leaves the flag set
    EXPECT_FALSE(PlugIn(plugIn)->Engine().IsPrepared());
    EXPECT_EQ(input->EndOfStream(), S_OK);
    EXPECT_EQ(prop->IsStreaming(), 0);
    prop->Release();
}

TEST_F(PinsTest, NonzeroSampleTagSkipsTheTempoPoll) {
    Build(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32);
    ASSERT_EQ(ConnectInput(), S_OK);
    ASSERT_EQ(ConnectOutput(), S_OK);
    CTestHost host;
    host.SetTempo(9000);   // 90.00 BPM
    IWbxSoftSynth* synth = nullptr;
    plugIn->QueryInterface(IID_IWbxSoftSynth, reinterpret_cast<void**>(&synth));
    host.AddRef();
    ASSERT_EQ(synth->Connect(host.Unknown()), S_OK);
    synth->OnStart(0);
    ITzPlugInProp* prop = nullptr;
    plugIn->QueryInterface(IID_ITzPlugInProp, reinterpret_cast<void**>(&prop));
    prop->SetTempoSync(2, 0);
    SetAll(true);
    int32_t tempo = 0;
    ASSERT_EQ(Deliver(64, 0.1f, nullptr, false, 7), S_OK);   // tagged: no poll
    prop->GetTempo(&tempo);
    EXPECT_EQ(tempo, 1200);
    EXPECT_EQ(sink->Samples().size(), 1u);                   // still delivered
    ASSERT_EQ(Deliver(64, 0.1f, nullptr, false, 0), S_OK);   // tag 0: polled
    prop->GetTempo(&tempo);
    EXPECT_EQ(tempo, 900);
    SetAll(false);
    synth->Disconnect();
    synth->Release();
    prop->Release();
    EXPECT_EQ(host.RefCount(), 1u);
}

TEST_F(PinsTest, EveryConnectedOutputGetsTheSameAudio) {
    Build(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32);
    int32_t id = 0;
    ASSERT_EQ(PlugIn(plugIn)->AddOutput("Second", &id), S_OK);
    ASSERT_EQ(ConnectInput(), S_OK);
    ASSERT_EQ(ConnectOutput(), S_OK);
    CTestSink* second = new CTestSink();
    second->AddRef();
    IPin* out2 = nullptr;
    ASSERT_EQ(plugIn->FindPin(L"Second", &out2), S_OK);
    ASSERT_EQ(out2->Connect(&second->Input(), nullptr), S_OK);
    // A connected output pin cannot be removed.
    EXPECT_EQ(PlugIn(plugIn)->RemoveOutput(id), E_UNEXPECTED);
    second->Pause();
    SetAll(true);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(Deliver(300, 0.2f * (i + 1)), S_OK);
    const std::vector<ReceivedSample> a = sink->Samples(), b = second->Samples();
    ASSERT_EQ(a.size(), 3u);
    ASSERT_EQ(b.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(a[i].data == b[i].data);
    SetAll(false);
    second->Stop();
    out2->Disconnect();
    second->Input().Disconnect();
    EXPECT_EQ(PlugIn(plugIn)->RemoveOutput(id), S_OK);
    out2->Release();
    second->Release();
}

// With no memory to be had a buffer still streams (its records and scratch
// were sized when the filter paused), and no delivery buffer stays out of its
// allocator.
TEST_F(PinsTest, NoMemoryNeededInReceiveAndEveryDeliveryBufferReturns) {
    Build(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32);
    ASSERT_EQ(ConnectInput(), S_OK);
    ASSERT_EQ(ConnectOutput(), S_OK);
    SetAll(true);
    ASSERT_EQ(Deliver(64, 0.1f), S_OK);
    SetAll(false);
    ASSERT_EQ(PlugIn(plugIn)->AddOutput("Second", nullptr), S_OK);
    CTestSink* second = new CTestSink();
    second->AddRef();
    IPin* out2 = nullptr;
    ASSERT_EQ(plugIn->FindPin(L"Second", &out2), S_OK);
    ASSERT_EQ(out2->Connect(&second->Input(), nullptr), S_OK);
    second->Pause();
    SetAll(true);
    HRESULT hr;
    {
        CFailAllocations failing;
        hr = Deliver(64, 0.1f);
    }
    EXPECT_EQ(hr, S_OK);
    for (CTestSink* s : {sink, second}) {
        IMemAllocator* allocator = s->Input().Allocator();
        ALLOCATOR_PROPERTIES props{};
        allocator->GetProperties(&props);
        std::vector<IMediaSample*> held;
        for (long i = 0; i < props.cBuffers; ++i) {
            IMediaSample* sample = nullptr;
            EXPECT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, AM_GBF_NOWAIT), S_OK) << "buffer " << i;
            if (sample) held.push_back(sample);
        }
        for (IMediaSample* sample : held) sample->Release();
    }
    ASSERT_EQ(Deliver(64, 0.1f), S_OK);   // and streaming goes on
    EXPECT_EQ(second->Samples().size(), 1u);
    SetAll(false);
    second->Stop();
    out2->Disconnect();
    second->Input().Disconnect();
    out2->Release();
    second->Release();
}

TEST_F(PinsTest, NoConnectedOutputStillAdvancesTheStream) {
    Build(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32);
    ASSERT_EQ(ConnectInput(), S_OK);
    SetAll(true);
    ASSERT_EQ(Deliver(500, 0.3f), S_OK);
    ASSERT_EQ(Deliver(500, 0.3f), S_OK);
    EXPECT_EQ(PlugIn(plugIn)->StreamPosition(), 1000);
    float l = 0, r = 0;
    ITzPlugInProp* prop = nullptr;
    plugIn->QueryInterface(IID_ITzPlugInProp, reinterpret_cast<void**>(&prop));
    prop->GetPeakLevels(&l, &r);
    EXPECT_GT(l, 0.0f);   // the effect ran
    prop->Release();
}

TEST_F(PinsTest, FlushReachesABlockedDownstreamWithoutDeadlock) {
    Build(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32);
    ASSERT_EQ(ConnectInput(), S_OK);
    ASSERT_EQ(ConnectOutput(), S_OK);
    sink->BlockWhilePaused(true);
    SetAll(true);
    CWorker streaming;
    HRESULT delivered = E_FAIL;
    streaming.Start([&] { delivered = Deliver(200, 0.4f); });
    ASSERT_TRUE(sink->WaitBlocked(5000));   // the plug-in holds its lock in Deliver
    RunGuarded(5000, "flush while the downstream blocks", [&] {
        EXPECT_EQ(input->BeginFlush(), S_OK);
        EXPECT_TRUE(streaming.Wait(5000));
        EXPECT_EQ(input->EndFlush(), S_OK);
    });
    EXPECT_EQ(sink->beginFlushes, 1);
    EXPECT_EQ(sink->endFlushes, 1);
    sink->BlockWhilePaused(false);
}

// Wine's graph pauses the renderer first; a paused renderer keeps the sample
// it is given until it runs again. The plug-in must not be holding its lock
// through that wait, or the graph's Pause would wait on it for ever.
TEST_F(FilterBaseTest, LeavingRunningWhileTheRendererHoldsTheSample) {
    CAudioType pcm(WAVE_FORMAT_PCM, 2, 48000, 16);
    CTestSource* source = new CTestSource(pcm.Get(), 4000);
    source->AddRef();
    IBaseFilter* plugIn = NewPlugIn();
    IBaseFilter* renderer = nullptr;
    ASSERT_EQ(CoCreateInstance(kClsidNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               reinterpret_cast<void**>(&renderer)),
              S_OK);
    IFilterGraph2* graph = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph2,
                               reinterpret_cast<void**>(&graph)),
              S_OK);
    IMediaControl* control = nullptr;
    IMediaFilter* mediaFilter = nullptr;
    graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&mediaFilter));
    graph->AddFilter(source, L"source");
    graph->AddFilter(plugIn, L"zv Delay");
    graph->AddFilter(renderer, L"null renderer");
    IPin* in = FirstPin(plugIn, PINDIR_INPUT);
    IPin* out = FirstPin(plugIn, PINDIR_OUTPUT);
    IPin* rendererIn = FirstPin(renderer, PINDIR_INPUT);
    ASSERT_EQ(graph->ConnectDirect(&source->Output(), in, pcm.Get()), S_OK);
    ASSERT_EQ(graph->ConnectDirect(out, rendererIn, nullptr), S_OK);
    mediaFilter->SetSyncSource(nullptr);
    ASSERT_TRUE(SUCCEEDED(control->Run()));

    IMemInputPin* transport = nullptr;
    in->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&transport));
    volatile LONG stop = 0;
    volatile LONG delivered = 0;
    CWorker streaming;
    streaming.Start([&] {
        while (!stop) {
            IMediaSample* s = nullptr;
            if (FAILED(source->Output().GetDeliveryBuffer(&s, nullptr, nullptr, 0))) break;
            BYTE* p = nullptr;
            s->GetPointer(&p);
            memset(p, 0x11, 4000);
            s->SetActualDataLength(4000);
            transport->Receive(s);
            s->Release();
            InterlockedIncrement(&delivered);
        }
    });
    for (int i = 0; i < 100; ++i) {
        Sleep(2);
        RunGuarded(10000, "IMediaControl::Pause from running", [&] { control->Pause(); });
        RunGuarded(10000, "IMediaControl::Run", [&] { control->Run(); });
    }
    RunGuarded(10000, "IMediaControl::Stop from running", [&] { control->Stop(); });
    stop = 1;
    EXPECT_TRUE(streaming.Wait(5000));
    EXPECT_GT(delivered, 0);

    transport->Release();
    rendererIn->Release();
    out->Release();
    in->Release();
    mediaFilter->Release();
    control->Release();
    graph->RemoveFilter(source);
    graph->RemoveFilter(plugIn);
    graph->RemoveFilter(renderer);
    EXPECT_EQ(graph->Release(), 0u);
    renderer->Release();
    EXPECT_EQ(plugIn->Release(), 0u);
    source->Release();
}

// A downstream filter that keeps the samples it receives while paused (a
// queueing renderer) runs its allocator dry, and the next buffer waits in
// GetBuffer until it runs again. The graph pauses the renderer first: if
// that wait held the filter lock, the graph's Pause of this filter would
// wait for ever.
TEST_F(PinsTest, PauseWhileABufferWaitsForItsDeliveryBuffer) {
    Build(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32);
    ASSERT_EQ(ConnectInput(), S_OK);
    ASSERT_EQ(ConnectOutput(), S_OK);
    sink->KeepWhilePaused(true);
    SetAll(true);
    for (IBaseFilter* f : {static_cast<IBaseFilter*>(sink), plugIn, static_cast<IBaseFilter*>(source)}) f->Run(0);
    ALLOCATOR_PROPERTIES props{};
    sink->Input().Allocator()->GetProperties(&props);
    volatile LONG stop = 0;
    CWorker streaming;
    streaming.Start([&] {
        while (!stop && SUCCEEDED(Deliver(256, 0.1f))) {}
    });
    auto waitFor = [](std::function<bool()> done) {
        for (int i = 0; i < 500 && !done(); ++i) Sleep(10);
        return done();
    };
    sink->Pause();
    ASSERT_TRUE(waitFor([&] { return sink->KeptCount() >= props.cBuffers; }));
    Sleep(50);   // the next buffer is now waiting for one of them
    RunGuarded(5000, "Pause while a buffer waits for a delivery buffer", [&] { EXPECT_EQ(plugIn->Pause(), S_OK); });
    source->Pause();
    // Running again frees the kept samples and the buffer goes on.
    const LONG before = sink->received;
    for (IBaseFilter* f : {static_cast<IBaseFilter*>(sink), plugIn, static_cast<IBaseFilter*>(source)}) f->Run(0);
    EXPECT_TRUE(waitFor([&] { return sink->received > before + 2; }));
    stop = 1;
    RunGuarded(5000, "Stop while streaming", [&] { SetAll(false); });
    EXPECT_TRUE(streaming.Wait(5000));
}

// After a first buffer, the streaming path allocates and frees nothing: with
// live and sequenced notes, automation and the host's tempo flowing, at an
// end of stream, and across one followed by more buffers, by a flush, or by
// a stop and a pause.
struct StreamFormat {
    WORD tag, bits;
};

class StreamingAllocationTest : public PinsTest, public ::testing::WithParamInterface<StreamFormat> {};

TEST_P(StreamingAllocationTest, NothingAllocatedPerBuffer) {
    Build(GetParam().tag, 2, 48000, GetParam().bits);
    ASSERT_EQ(ConnectInput(), S_OK);
    ASSERT_EQ(ConnectOutput(), S_OK);
    sink->RecordSamples(false);
    CTzPlugIn* f = PlugIn(plugIn);
    CTestHost host;
    CTestEventList events;
    CTestMidiBuffer midi;
    host.AddRef();
    ASSERT_EQ(f->Connect(host.Unknown()), S_OK);
    ASSERT_EQ(f->OnStart(0), S_OK);
    f->SetTempoSync(2, 0);
    IMediaParams* params = nullptr;
    ASSERT_EQ(plugIn->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params)), S_OK);
    MP_ENVELOPE_SEGMENT ramp = {0, 100000000, 0.0f, 1.0f, MP_CURVE_LINEAR, 0};
    ASSERT_EQ(params->AddEnvelope(kParamMixL, 1, &ramp), S_OK);
    SetAll(true);

    int buffer = 0;
    // Counts the operator new and delete calls of n buffers (of 256 frames),
    // each after the host has sent a live note change and a sequenced note
    // for it, and now and then a new tempo.
    auto stream = [&](int n) {
        long counted = 0;
        for (int i = 0; i < n; ++i, ++buffer) {
            midi.items = {{0, uint8_t(buffer % 2 ? 0x80 : 0x90), uint8_t(60 + buffer / 2 % 12), 100}};
            EXPECT_EQ(f->OnInput(0, &midi), S_OK);
            events.items.clear();
            events.Add(f->SamplesToTicks(f->GetPosition()) + 1, kQviNote, 0, 72, 90, 480);
            EXPECT_EQ(f->OnEvents(0, 0, 0, &events), S_OK);
            if (buffer % 7 == 0) host.SetTempo(buffer % 14 ? 9000 : 12000);
            CCountAllocations allocations;
            EXPECT_EQ(Deliver(256, 0.25f), S_OK);
            counted += allocations.Count();
        }
        return counted;
    };
    stream(1);   // warm-up
    EXPECT_EQ(stream(40), 0) << "steady streaming";
    {
        CCountAllocations allocations;
        EXPECT_EQ(input->EndOfStream(), S_OK);
        EXPECT_EQ(allocations.Count(), 0) << "end of stream";
    }
    EXPECT_EQ(stream(10), 0) << "after an end of stream, with no flush";
    EXPECT_EQ(input->EndOfStream(), S_OK);
    EXPECT_EQ(input->BeginFlush(), S_OK);
    EXPECT_EQ(input->EndFlush(), S_OK);
    EXPECT_EQ(stream(10), 0) << "after an end of stream and a flush";
    EXPECT_EQ(input->EndOfStream(), S_OK);
    SetAll(false);
    SetAll(true);
    EXPECT_EQ(stream(10), 0) << "after an end of stream, a stop and a pause";
    // Notes were delivered and let go again: at most the held one is kept.
    EXPECT_LE(f->Scheduler().Active().size(), 1u);
    EXPECT_EQ(sink->received, buffer);
    SetAll(false);
    params->Release();
    f->Disconnect();
    midi.items.clear();
    EXPECT_EQ(host.RefCount(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Formats, StreamingAllocationTest,
                         ::testing::Values(StreamFormat{WAVE_FORMAT_IEEE_FLOAT, 32},
                                           StreamFormat{WAVE_FORMAT_PCM, 16}));
