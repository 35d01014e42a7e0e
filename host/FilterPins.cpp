#include "host/FilterPins.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "host/AudioTypes.h"
#include "host/HostServices.h"
#include "host/TzPlugIn.h"

namespace {

// Leaves a held lock for the length of a scope and takes it again.
class CAutoUnlock {
public:
    explicit CAutoUnlock(CCritSec* lock) : m_lock(lock) { m_lock->Unlock(); }
    ~CAutoUnlock() { m_lock->Lock(); }

private:
    CCritSec* m_lock;
};

// A guard flag held for the length of a scope.
class CGuard {
public:
    explicit CGuard(int32_t* flag) : m_flag(flag) { *m_flag = 1; }
    ~CGuard() { *m_flag = 0; }

private:
    int32_t* m_flag;
};

int32_t SampleTag(IMediaSample* sample, int32_t* tag) {
    ISampleTag* tagged = nullptr;
    if (FAILED(sample->QueryInterface(IID_ISampleTag, reinterpret_cast<void**>(&tagged))) || !tagged) return 0;
    *tag = tagged->GetTag();
    tagged->SetTag(*tag);
    tagged->Release();
    return 1;
}

void WriteTag(IMediaSample* sample, int32_t tag) {
    ISampleTag* tagged = nullptr;
    if (SUCCEEDED(sample->QueryInterface(IID_ISampleTag, reinterpret_cast<void**>(&tagged))) && tagged) {
        tagged->SetTag(tag);
        tagged->Release();
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Input pin

CFilterInputPin::CFilterInputPin(CTzPlugIn* filter, CCritSec* lock, HRESULT*)
    : CBaseInputPin(filter, lock, L"Input"), m_plugIn(filter) {}

HRESULT CFilterInputPin::CheckMediaType(const AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    CAutoLock lock(m_lock);
    if (m_inTypeCheck) return S_OK;
    CGuard guard(&m_inTypeCheck);
    if (CheckAudioType(mt, kDirectionInput, m_plugIn) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    for (CFilterOutputPin* out : m_plugIn->OutputPinsLocked()) {
        if (out->IsConnected() && CheckAudioTransform(mt, &out->CurrentMediaType(), m_plugIn) != S_OK) {
            return VFW_E_TYPE_NOT_ACCEPTED;
        }
    }
    return S_OK;
}

HRESULT CFilterInputPin::SetMediaType(const AM_MEDIA_TYPE* mt) {
    HRESULT hr = CBaseInputPin::SetMediaType(mt);
    if (FAILED(hr)) return hr;
    CAutoLock lock(m_lock);
    hr = CheckAudioType(mt, kDirectionInput, m_plugIn);
    if (FAILED(hr)) return hr;
    WAVEFORMATEX* kept = m_plugIn->KeptInputFormat();
    KeepFormat(kept, mt);
    if (CMediaParams* params = m_plugIn->MediaParams()) params->SetSampleRate(static_cast<LONG>(kept->nSamplesPerSec));
    m_plugIn->SetInputFormat(kept);
    m_formatNotice.store(true);
    return S_OK;
}

HRESULT CFilterInputPin::ReceiveConnection(IPin* peer, const AM_MEDIA_TYPE* mt) {
    HRESULT hr = CBaseInputPin::ReceiveConnection(peer, mt);
    if (m_formatNotice.exchange(false)) m_plugIn->PostChangeCode(kChangeInputFormat);
    if (FAILED(hr)) return hr;
    hr = ReconnectUnfitOutputs();
    if (FAILED(hr)) AbandonConnection();
    return hr;
}

// Output pins connected before this input may no longer fit its type: the
// graph reconnects them. (CheckMediaType refuses an input type that does not
// fit a connected output, so this finds one only when that check let a type
// through while it was re-entered.)
HRESULT CFilterInputPin::ReconnectUnfitOutputs() {
    std::vector<CFilterOutputPin*> unfit;
    IFilterGraph* graph = nullptr;
    {
        CAutoLock lock(m_lock);
        try {
            for (CFilterOutputPin* out : m_plugIn->OutputPinsLocked()) {
                if (!out->IsConnected()) continue;
                if (CheckAudioTransform(&CurrentMediaType(), &out->CurrentMediaType(), m_plugIn) == S_OK) continue;
                unfit.push_back(out);
                out->AddRef();
            }
        } catch (const std::bad_alloc&) {
            for (CFilterOutputPin* out : unfit) out->Release();
            return E_OUTOFMEMORY;
        }
        if (unfit.empty()) return S_OK;
        graph = m_plugIn->GetFilterGraph();
        if (graph) graph->AddRef();
    }
    HRESULT hr = graph ? S_OK : VFW_E_NOT_IN_GRAPH;
    for (CFilterOutputPin* out : unfit) {
        if (SUCCEEDED(hr)) hr = graph->Reconnect(out);
        out->Release();
    }
    if (graph) graph->Release();
    return hr;
}

// The effect no longer has an input format: GetFormat answers
// VFW_E_NOT_CONNECTED until the next connection stores one.
HRESULT CFilterInputPin::BreakConnect() {
    CAutoLock lock(m_lock);
    m_plugIn->SetInputFormat(nullptr);
    return CBaseInputPin::BreakConnect();
}

HRESULT CFilterInputPin::EndOfStream() {
    if (IsDetached()) return E_UNEXPECTED;
    return HandleEndOfStream();
}

HRESULT CFilterInputPin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

HRESULT CFilterInputPin::HandleEndOfStream() {
    CAutoLock lock(m_lock);
    if (m_plugIn->IsStreaming()) m_plugIn->EndStream();
    return S_OK;
}

// The echo tail is the host's to feed: end of stream is not passed on.
HRESULT CFilterInputPin::OnEndOfStream() { return HandleEndOfStream(); }

// No filter lock here: the streaming thread may hold it while it waits in a
// downstream Receive that only this flush releases.
HRESULT CFilterInputPin::OnBeginFlush() {
    m_flushes.fetch_add(1);
    HRESULT result = S_OK;
    std::vector<CFilterOutputPin*> pins;
    try {
        pins = m_plugIn->OutputPinsAddRefed();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    for (CFilterOutputPin* out : pins) {
        if (SUCCEEDED(result) && out->IsConnected()) {
            const HRESULT hr = out->DeliverBeginFlush();
            if (FAILED(hr)) result = hr;
        }
        out->Release();
    }
    return result;
}

HRESULT CFilterInputPin::OnEndFlush() {
    // Samples flow again after this: delay memory that an end of stream
    // released is set up here, not on the streaming thread.
    m_plugIn->PrepareEffectAfterEndOfStream();
    // A delivery begun before the flush finishes before the flush ends.
    CAutoLock delivering(&m_deliveryLock);
    for (CFilterOutputPin* out : m_plugIn->OutputPinsLocked()) {
        if (!out->IsConnected()) continue;
        const HRESULT hr = out->DeliverEndFlush();
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT CFilterInputPin::OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    for (CFilterOutputPin* out : m_plugIn->OutputPinsLocked()) {
        if (!out->IsConnected()) continue;
        const HRESULT hr = out->DeliverNewSegment(start, stop, rate);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT CFilterInputPin::PrepareScratch() {
    CTzPlugIn& f = *m_plugIn;
    const WAVEFORMATEX& in = *f.KeptInputFormat();
    try {
        // A buffer in progress owns the records; what it lacks it grows.
        if (!m_receiving) {
            const size_t outputs = std::max<size_t>(f.OutputPinsLocked().size(), 1);
            m_records.resize(outputs);
            m_slots.resize(outputs);
        }
        ALLOCATOR_PROPERTIES props{};
        if (in.nBlockAlign && Allocator() && SUCCEEDED(Allocator()->GetProperties(&props)) && props.cbBuffer > 0) {
            const size_t frames = static_cast<size_t>(props.cbBuffer) / in.nBlockAlign;
            if (in.wFormatTag != WAVE_FORMAT_IEEE_FLOAT && m_pcmInput.size() < frames * in.nChannels) {
                m_pcmInput.resize(frames * in.nChannels);
            }
            bool anyConnected = false;
            for (CFilterOutputPin* out : f.OutputPinsLocked()) anyConnected = anyConnected || out->IsConnected();
            // Stereo frames of the input's sample width (16-bit goes out as float).
            const size_t outAlign = in.wFormatTag == WAVE_FORMAT_IEEE_FLOAT ? in.wBitsPerSample / 4 : 8;
            if (!anyConnected && m_noOutput.size() < (frames * outAlign + 7) / 8) {
                m_noOutput.resize((frames * outAlign + 7) / 8);
            }
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void CFilterInputPin::ReleaseOutputRecords() {
    for (size_t i = 0; i < m_recordCount; ++i) {
        OutputRecord& r = m_records[i];
        DeliverySlot& slot = m_slots[i];
        if (r.sample) r.sample->Release();
        if (slot.allocator) slot.allocator->Release();
        if (slot.pin) slot.pin->Release();
        r.sample = nullptr;
        slot = DeliverySlot{nullptr, nullptr, nullptr};
    }
    m_recordCount = 0;
}

HRESULT CFilterInputPin::CollectOutputs() {
    m_recordCount = 0;
    for (CFilterOutputPin* out : m_plugIn->OutputPinsLocked()) {
        if (!out->IsConnected()) continue;
        if (m_recordCount == m_slots.size() || m_recordCount == m_records.size()) {
            // More connected outputs than PrepareScratch saw (no Pause since
            // they were connected): grow here, as a fallback.
            try {
                m_records.resize(m_recordCount + 1);
                m_slots.resize(m_recordCount + 1);
            } catch (const std::bad_alloc&) {
                ReleaseOutputRecords();
                return E_OUTOFMEMORY;
            }
        }
        out->AddRef();
        m_slots[m_recordCount] = DeliverySlot{out, out->AllocatorAddRefed(), nullptr};
        m_records[m_recordCount] = OutputRecord{0, 0, out->Id(), nullptr, 1};
        ++m_recordCount;
    }
    return S_OK;
}

HRESULT CFilterInputPin::GetDeliveryBuffers(IMediaSample* input, REFERENCE_TIME* start, int32_t frames,
                                            LONG length) {
    const WORD outAlign = m_plugIn->KeptOutputFormat()->nBlockAlign;
    const BOOL syncPoint = input->IsSyncPoint() == S_OK;
    const BOOL discontinuity = input->IsDiscontinuity() == S_OK;
    const BOOL preroll = input->IsPreroll() == S_OK;
    for (size_t i = 0; i < m_recordCount; ++i) {
        OutputRecord& r = m_records[i];
        DeliverySlot& slot = m_slots[i];
        if (!slot.allocator) return VFW_E_NO_ALLOCATOR;
        HRESULT hr = slot.allocator->GetBuffer(&r.sample, nullptr, nullptr, 0);
        slot.allocator->Release();
        slot.allocator = nullptr;
        if (FAILED(hr)) return hr;
        if (!r.sample) return E_UNEXPECTED;
        r.sample->SetTime(start, nullptr);
        r.sample->SetSyncPoint(syncPoint);
        r.sample->SetDiscontinuity(discontinuity);
        r.sample->SetPreroll(preroll);
        r.frames = outAlign ? r.sample->GetSize() / outAlign : 0;
        WriteTag(r.sample, 1);
        // Every record must hold the input's frames.
        if (r.frames < frames) return E_FAIL;
        r.frames = frames;
        r.sample->SetActualDataLength(length);
        hr = r.sample->GetPointer(&slot.data);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT CFilterInputPin::Process(const BYTE* input, BYTE* output, int32_t frames, bool discontinuity) {
    const WAVEFORMATEX& in = *m_plugIn->KeptInputFormat();
    const DWORD flags = discontinuity ? 0 : 1;
    int32_t n = frames, capacity = frames;
    if (in.wFormatTag == WAVE_FORMAT_IEEE_FLOAT && in.wBitsPerSample == 32) {
        return m_plugIn->ProcessFloat(flags, reinterpret_cast<const float*>(input), &n,
                                      reinterpret_cast<float*>(output), &capacity);
    }
    if (in.wFormatTag == WAVE_FORMAT_IEEE_FLOAT && in.wBitsPerSample == 64) {
        return m_plugIn->ProcessDouble(flags, reinterpret_cast<const double*>(input), &n,
                                       reinterpret_cast<double*>(output), &capacity);
    }
    // 16-bit: to float (x / 32768), through the 32-bit entry, float out.
    const size_t samples = static_cast<size_t>(frames) * in.nChannels;
    if (m_pcmInput.size() < samples) {
        try {
            m_pcmInput.resize(samples);
        } catch (...) {
            // No memory for this buffer: it passes unprocessed, as silence.
            std::memset(output, 0, static_cast<size_t>(frames) * 8);
            return S_OK;
        }
    }
    const int16_t* pcm = reinterpret_cast<const int16_t*>(input);
    for (size_t i = 0; i < samples; ++i) m_pcmInput[i] = pcm[i] * 3.0517578125e-5f;
    return m_plugIn->ProcessFloat(flags, m_pcmInput.data(), &n, reinterpret_cast<float*>(output), &capacity);
}

// No C++ exception leaves a COM call: a buffer that cannot get its scratch
// memory fails with E_OUTOFMEMORY.
HRESULT CFilterInputPin::OnReceive(IMediaSample* sample) {
    // One buffer at a time: a second streaming thread (which no upstream
    // filter should have) is refused while this one has left the lock.
    if (m_receiving) return E_UNEXPECTED;
    CStreamTiming& timing = m_plugIn->StreamTiming();
    const uint64_t started = timing.Start();
    HRESULT hr;
    try {
        hr = ReceiveBuffer(sample);
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    if (m_recordCount > 0) {
        // An early return: what it got goes back with no lock held (the
        // records stay this buffer's meanwhile).
        m_receiving = true;
        CAutoUnlock unlocked(m_lock);
        ReleaseOutputRecords();
    }
    m_receiving = false;
    timing.Add(CStreamTiming::kReceive, started);
    return hr;
}

// One buffer, start to end. The filter lock is held on entry and on return;
// it is left while the delivery buffers are got (with the host's tempo) and
// while the samples go downstream.
HRESULT CFilterInputPin::ReceiveBuffer(IMediaSample* sample) {
    CTzPlugIn& f = *m_plugIn;
    const WAVEFORMATEX& in = *f.KeptInputFormat();
    const WAVEFORMATEX& out = *f.KeptOutputFormat();
    HRESULT hr;

    // A discontinuity resynchronises the stream position with its time.
    const bool discontinuity = sample->IsDiscontinuity() == S_OK;
    REFERENCE_TIME start = 0, stop = 0;
    REFERENCE_TIME* startForOutputs = nullptr;
    if (discontinuity) {
        hr = sample->GetTime(&start, &stop);
        if (hr == S_OK || hr == VFW_S_NO_STOP_TIME) {
            f.SetStreamPosition(static_cast<int64_t>(static_cast<__int128>(start) * in.nSamplesPerSec / 10000000));
            startForOutputs = &start;
        }
    }

    const LONG length = sample->GetActualDataLength();
    const int32_t frames = in.nBlockAlign ? static_cast<int32_t>(length / in.nBlockAlign) : 0;
    int32_t tag = 0;
    SampleTag(sample, &tag);

    // What the unlocked part needs, as counted references: the outputs and
    // their allocators, and the host's time services when this buffer follows
    // the host's tempo.
    hr = CollectOutputs();
    if (FAILED(hr)) return hr;
    CHostTimeServices time;
    const bool followTempo = tag == 0 && f.FollowsHostTempo();
    if (followTempo) f.HoldTimeServices(&time);
    const int64_t tempoPosition = f.StreamPosition();
    const uint32_t flushes = m_flushes.load();
    const uint32_t stops = f.StopCount();
    int32_t hostTempo = 0;
    m_receiving = true;
    {
        CAutoUnlock unlocked(m_lock);
        const uint64_t allocating = f.StreamTiming().Start();
        hr = GetDeliveryBuffers(sample, startForOutputs, frames, length);
        f.StreamTiming().Add(CStreamTiming::kAllocator, allocating);
        if (SUCCEEDED(hr) && followTempo) hostTempo = time.TempoAt(tempoPosition);
        time.Reset();
    }
    if (FAILED(hr)) return hr;
    // While the lock was left the filter may have stopped (and even paused
    // again) or a flush may have begun: this buffer is then not processed.
    hr = CheckStreaming();
    if (hr == S_OK && f.StopCount() != stops) hr = VFW_E_WRONG_STATE;
    if (hr == S_OK && m_flushes.load() != flushes) hr = S_FALSE;
    if (hr != S_OK) return hr;

    if (!f.IsStreaming()) {
        f.SetStreaming(1);
        hr = f.PrepareEffectForFirstBuffer();
        if (FAILED(hr)) {
            f.SetStreaming(0);
            return hr;
        }
    }

    BYTE* input = nullptr;
    hr = sample->GetPointer(&input);
    if (FAILED(hr)) return hr;
    BYTE* output = m_recordCount > 0 ? m_slots[0].data : nullptr;
    // Bytes per output frame: the connected format's, or with no output
    // connected the stereo frame the processing entry writes for this input.
    WORD outAlign = out.nBlockAlign;
    if (!output) {
        // No connected output: the echo still runs, into scratch memory, so
        // the stream position and the echo state move on as the input does.
        outAlign = static_cast<WORD>(in.wFormatTag == WAVE_FORMAT_IEEE_FLOAT ? in.wBitsPerSample / 4 : 8);
        const size_t doubles = (static_cast<size_t>(frames) * outAlign + 7) / 8;
        if (m_noOutput.size() < doubles) m_noOutput.resize(doubles);   // fallback: sized at Pause
        output = reinterpret_cast<BYTE*>(m_noOutput.data());
    }

    if (CMediaParams* params = f.MediaParams()) {
        hr = params->UpdateValues(f.StreamPosition());
        if (FAILED(hr)) return hr;
    }
    hr = f.RenderEvents(frames);
    if (FAILED(hr)) return hr;
    if (followTempo) f.ApplyHostTempo(hostTempo);
    if (frames > 0 && outAlign) {
        const uint64_t processing = f.StreamTiming().Start();
        hr = Process(input, output, frames, discontinuity);
        f.StreamTiming().Add(CStreamTiming::kProcessing, processing);
        if (FAILED(hr)) return hr;
    }
    f.StreamTiming().CountBuffer(frames);
    // Every connected output carries the same audio.
    const size_t bytes = static_cast<size_t>(frames) * outAlign;
    for (size_t i = 1; i < m_recordCount; ++i) {
        if (m_slots[i].data) std::memcpy(m_slots[i].data, output, bytes);
    }

    f.AdvancePosition(frames);
    hr = f.SweepActive(0);
    if (FAILED(hr)) return hr;
    for (size_t i = 0; i < m_recordCount; ++i) {
        m_records[i].cleared = 0;
        m_records[i].frames = frames;
    }
    f.SetStreamPosition(f.StreamPosition() + frames);

    // Delivery happens outside the filter lock. A renderer that is paused
    // holds the sample it receives until it runs, stops or is flushed, and
    // the graph pauses the renderer before this filter: holding the lock
    // through that wait would leave the graph's Pause waiting for it
    // forever. m_deliveryLock keeps EndFlush from passing a delivery still
    // in progress; it is taken after the filter lock, never before.
    m_deliveryLock.Lock();
    {
        CAutoUnlock unlocked(m_lock);
        const uint64_t delivering = f.StreamTiming().Start();
        for (size_t i = 0; i < m_recordCount; ++i) {
            OutputRecord& r = m_records[i];
            if (SUCCEEDED(r.sample->SetActualDataLength(static_cast<LONG>(out.nBlockAlign) * r.frames))) {
                m_slots[i].pin->Deliver(r.sample);
            }
        }
        // Samples and pins go back with no lock held.
        ReleaseOutputRecords();
        f.StreamTiming().Add(CStreamTiming::kDelivery, delivering);
        m_deliveryLock.Unlock();
    }
    return f.SweepActive(0);
}

// ---------------------------------------------------------------------------
// Output pins

CFilterOutputPin::CFilterOutputPin(CTzPlugIn* filter, CCritSec* lock, const WCHAR* name, int32_t id)
    : CBaseOutputPin(filter, lock, name), m_plugIn(filter), m_id(id) {}

ULONG CFilterOutputPin::NonDelegatingAddRef() { return CUnknown::NonDelegatingAddRef(); }

ULONG CFilterOutputPin::NonDelegatingRelease() { return CUnknown::NonDelegatingRelease(); }

HRESULT CFilterOutputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IMediaSeeking || riid == IID_IMediaPosition) {
        if (!m_plugIn) return E_NOINTERFACE;
        return GetPassThruInterface(riid, ppv, m_plugIn->InputPin());
    }
    return CBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

IMemAllocator* CFilterOutputPin::AllocatorAddRefed() {
    IMemAllocator* allocator = Allocator();
    if (allocator) allocator->AddRef();
    return allocator;
}

void CFilterOutputPin::Detach() {
    m_plugIn = nullptr;
    DetachFromFilter();
}

HRESULT CFilterOutputPin::CheckMediaType(const AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    if (!m_plugIn) return E_UNEXPECTED;
    CAutoLock lock(m_lock);
    if (m_inTypeCheck) return S_OK;
    CGuard guard(&m_inTypeCheck);
    if (CheckAudioType(mt, kDirectionOutput, m_plugIn) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    CFilterInputPin* input = m_plugIn->InputPin();
    if (!input->IsConnected()) return VFW_E_NOT_CONNECTED;
    if (CheckAudioTransform(&input->CurrentMediaType(), mt, m_plugIn) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

HRESULT CFilterOutputPin::SetMediaType(const AM_MEDIA_TYPE* mt) {
    if (!m_plugIn) return E_UNEXPECTED;
    CAutoLock lock(m_lock);
    CFilterInputPin* input = m_plugIn->InputPin();
    if (!input->IsConnected()) return VFW_E_NOT_CONNECTED;
    HRESULT hr = CBaseOutputPin::SetMediaType(mt);
    if (FAILED(hr)) return hr;
    hr = CheckAudioType(mt, kDirectionOutput, m_plugIn);
    if (FAILED(hr)) return hr;
    WAVEFORMATEX* kept = m_plugIn->KeptOutputFormat();
    KeepFormat(kept, mt);
    m_plugIn->SetOutputFormat(kept);
    if (CMediaParams* params = m_plugIn->MediaParams()) {
        params->SetSampleRate(static_cast<LONG>(m_plugIn->KeptInputFormat()->nSamplesPerSec));
    }
    m_formatNotice.store(true);
    return S_OK;
}

HRESULT CFilterOutputPin::Connect(IPin* peer, const AM_MEDIA_TYPE* mt) {
    const HRESULT hr = CBaseOutputPin::Connect(peer, mt);
    if (m_formatNotice.exchange(false) && m_plugIn) m_plugIn->PostChangeCode(kChangeOutputFormat);
    return hr;
}

// The output format stays in force while any other output is connected
// (all outputs share it).
HRESULT CFilterOutputPin::BreakConnect() {
    if (m_plugIn) {
        CAutoLock lock(m_lock);
        bool othersConnected = false;
        for (CFilterOutputPin* out : m_plugIn->OutputPinsLocked()) {
            if (out != this && out->IsConnected()) othersConnected = true;
        }
        if (!othersConnected) m_plugIn->SetOutputFormat(nullptr);
    }
    return CBaseOutputPin::BreakConnect();
}

HRESULT CFilterOutputPin::EnumMediaTypes(IEnumMediaTypes** types) {
    if (!types) return E_POINTER;
    *types = nullptr;
    if (!m_plugIn) return E_UNEXPECTED;
    CAutoLock lock(m_lock);
    if (!m_plugIn->InputPin()->IsConnected()) return VFW_E_NOT_CONNECTED;
    return CBaseOutputPin::EnumMediaTypes(types);
}

// The one type offered: stereo float of the width the processing writes,
// derived from the input's format.
HRESULT CFilterOutputPin::GetMediaType(int position, AM_MEDIA_TYPE* mt) {
    if (!m_plugIn) return E_UNEXPECTED;
    CAutoLock lock(m_lock);
    CFilterInputPin* input = m_plugIn->InputPin();
    if (!input->IsConnected() || position > 0) return VFW_S_NO_MORE_ITEMS;
    if (position < 0) return E_INVALIDARG;
    if (!mt) return E_POINTER;
    const AM_MEDIA_TYPE& inType = input->CurrentMediaType();
    if (!inType.pbFormat || inType.cbFormat < sizeof(WAVEFORMATEX)) return E_FAIL;
    return MakeOutputType(*m_plugIn->KeptInputFormat(), mt);
}

// Buffers as many frames as the upstream buffers hold, in the output format.
HRESULT CFilterOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    if (!allocator || !request) return E_POINTER;
    if (!m_plugIn) return E_UNEXPECTED;
    CFilterInputPin* input = m_plugIn->InputPin();
    ALLOCATOR_PROPERTIES wanted = *request;
    if (input->IsConnected()) {
        IMemAllocator* upstream = nullptr;
        if (SUCCEEDED(input->GetAllocator(&upstream)) && upstream) {
            ALLOCATOR_PROPERTIES props{};
            if (SUCCEEDED(upstream->GetProperties(&props)) && props.cbBuffer > 0) wanted = props;
            upstream->Release();
        }
        const WORD inAlign = m_plugIn->KeptInputFormat()->nBlockAlign;
        const WORD outAlign = m_plugIn->KeptOutputFormat()->nBlockAlign
                                  ? m_plugIn->KeptOutputFormat()->nBlockAlign
                                  : static_cast<WORD>(CurrentMediaType().pbFormat
                                                          ? reinterpret_cast<const WAVEFORMATEX*>(
                                                                CurrentMediaType().pbFormat)->nBlockAlign
                                                          : 0);
        if (inAlign && outAlign) {
            const LONG frames = (wanted.cbBuffer + inAlign - 1) / inAlign;
            wanted.cbBuffer = frames * outAlign;
        }
    }
    if (wanted.cBuffers < 1) wanted.cBuffers = 1;
    if (wanted.cbBuffer < 1) wanted.cbBuffer = 1;
    if (wanted.cbAlign < 1) wanted.cbAlign = 1;
    ALLOCATOR_PROPERTIES actual{};
    const HRESULT hr = allocator->SetProperties(&wanted, &actual);
    if (FAILED(hr)) return hr;
    *request = actual;
    return actual.cbBuffer < wanted.cbBuffer ? E_FAIL : S_OK;
}
