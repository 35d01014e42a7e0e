#include "TestFilters.h"

#include <algorithm>
#include <cstring>
#include <new>

CAudioType::CAudioType(WORD formatTag, WORD channels, DWORD rate, WORD bits) {
    std::memset(&m_wfx, 0, sizeof(m_wfx));
    m_wfx.wFormatTag = formatTag;
    m_wfx.nChannels = channels;
    m_wfx.nSamplesPerSec = rate;
    m_wfx.wBitsPerSample = bits;
    m_wfx.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    m_wfx.nAvgBytesPerSec = rate * m_wfx.nBlockAlign;
    std::memset(&m_mt, 0, sizeof(m_mt));
    m_mt.majortype = MEDIATYPE_Audio;
    m_mt.subtype = formatTag == WAVE_FORMAT_IEEE_FLOAT ? MEDIASUBTYPE_IEEE_FLOAT : MEDIASUBTYPE_PCM;
    m_mt.bFixedSizeSamples = TRUE;
    m_mt.lSampleSize = m_wfx.nBlockAlign;
    m_mt.formattype = FORMAT_WaveFormatEx;
    m_mt.cbFormat = sizeof(m_wfx);
    m_mt.pbFormat = reinterpret_cast<BYTE*>(&m_wfx);
}

bool IsSupportedAudio(const AM_MEDIA_TYPE* mt) {
    if (!mt || !IsEqualGUID(mt->majortype, MEDIATYPE_Audio) || !IsEqualGUID(mt->formattype, FORMAT_WaveFormatEx) ||
        mt->cbFormat < sizeof(WAVEFORMATEX) || !mt->pbFormat)
        return false;
    const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
    if (wfx->nChannels < 1 || wfx->nChannels > 2) return false;
    WORD tag = wfx->wFormatTag;
    if (tag == WAVE_FORMAT_EXTENSIBLE) {
        if (mt->cbFormat < sizeof(WAVEFORMATEXTENSIBLE)) return false;
        const auto* ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(mt->pbFormat);
        if (IsEqualGUID(ext->SubFormat, MEDIASUBTYPE_PCM))
            tag = WAVE_FORMAT_PCM;
        else if (IsEqualGUID(ext->SubFormat, MEDIASUBTYPE_IEEE_FLOAT))
            tag = WAVE_FORMAT_IEEE_FLOAT;
        else
            return false;
    }
    return (tag == WAVE_FORMAT_PCM && wfx->wBitsPerSample == 16) ||
           (tag == WAVE_FORMAT_IEEE_FLOAT && wfx->wBitsPerSample == 32);
}

bool IsFloatAudio(const AM_MEDIA_TYPE* mt) {
    return IsSupportedAudio(mt) && reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat)->wBitsPerSample == 32;
}

namespace {

// Copies the sample properties a filter passes on with the data.
void CopyProperties(IMediaSample* from, IMediaSample* to) {
    REFERENCE_TIME start = 0, stop = 0;
    HRESULT hr = from->GetTime(&start, &stop);
    if (hr == S_OK)
        to->SetTime(&start, &stop);
    else if (hr == VFW_S_NO_STOP_TIME)
        to->SetTime(&start, nullptr);
    else
        to->SetTime(nullptr, nullptr);
    to->SetSyncPoint(from->IsSyncPoint() == S_OK);
    to->SetDiscontinuity(from->IsDiscontinuity() == S_OK);
    to->SetPreroll(from->IsPreroll() == S_OK);
}

}  // namespace

// --- CTestSource -------------------------------------------------------------

CTestSourcePin::CTestSourcePin(CTestSource* filter, CCritSec* lock)
    : CBaseOutputPin(filter, lock, L"Out"), m_owner(filter) {}

HRESULT CTestSourcePin::CheckMediaType(const AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    if (acceptAnyAudio && IsSupportedAudio(mt)) return S_OK;
    return MediaTypesEqual(*mt, m_owner->Offered()) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CTestSourcePin::GetMediaType(int position, AM_MEDIA_TYPE* mt) {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    return CopyMediaType(mt, &m_owner->Offered());
}

HRESULT CTestSourcePin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    ++decideCalls;
    lastRequest = *request;
    ALLOCATOR_PROPERTIES wanted = *request;
    wanted.cBuffers = std::max<long>(wanted.cBuffers, 3);
    wanted.cbBuffer = std::max<long>(wanted.cbBuffer, m_owner->BufferSize());
    ALLOCATOR_PROPERTIES actual = {};
    HRESULT hr = allocator->SetProperties(&wanted, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer >= wanted.cbBuffer ? S_OK : E_FAIL;
}

CTestSource::CTestSource(const AM_MEDIA_TYPE* offered, long bufferSize)
    : CBaseFilter(kClsidTestSource, &m_filterLock), m_bufferSize(bufferSize), m_output(this, &m_filterLock) {
    m_offered.Set(offered);
}

CBasePin* CTestSource::GetPin(int index) { return Counted(index == 0 ? &m_output : nullptr); }

// --- CTestTransform ----------------------------------------------------------

CTransformInputPin::CTransformInputPin(CTestTransform* filter, CCritSec* lock)
    : CBaseInputPin(filter, lock, L"In"), m_owner(filter) {}

HRESULT CTransformInputPin::CheckMediaType(const AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    return IsSupportedAudio(mt) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CTransformInputPin::OnReceive(IMediaSample* in) {
    CTransformOutputPin& output = m_owner->m_output;
    const long length = in->GetActualDataLength();
    InterlockedIncrement(&m_owner->samples);
    InterlockedExchangeAdd(&m_owner->bytes, length);
    if (!output.IsConnected()) return S_OK;

    IMediaSample* out = nullptr;
    HRESULT hr = output.GetDeliveryBuffer(&out, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    BYTE* source = nullptr;
    BYTE* target = nullptr;
    if (FAILED(in->GetPointer(&source)) || FAILED(out->GetPointer(&target)) || length > out->GetSize()) {
        out->Release();
        return E_FAIL;
    }
    const double gain = m_owner->m_gain;
    if (gain == 1.0) {
        std::memcpy(target, source, static_cast<size_t>(length));
    } else if (!IsFloatAudio(&CurrentMediaType())) {
        const auto* from = reinterpret_cast<const short*>(source);
        auto* to = reinterpret_cast<short*>(target);
        for (long i = 0; i < length / 2; ++i) {
            const double v = from[i] * gain;
            to[i] = static_cast<short>(std::min(32767.0, std::max(-32768.0, v)));
        }
    } else {
        const auto* from = reinterpret_cast<const float*>(source);
        auto* to = reinterpret_cast<float*>(target);
        for (long i = 0; i < length / 4; ++i) to[i] = static_cast<float>(from[i] * gain);
    }
    out->SetActualDataLength(length);
    CopyProperties(in, out);
    hr = output.Deliver(out);
    out->Release();
    m_owner->lastDeliver = hr;
    return hr;
}

HRESULT CTransformInputPin::OnEndOfStream() {
    InterlockedIncrement(&m_owner->endOfStreams);
    CTransformOutputPin& output = m_owner->m_output;
    return output.IsConnected() ? output.DeliverEndOfStream() : S_OK;
}

HRESULT CTransformInputPin::OnBeginFlush() {
    InterlockedIncrement(&m_owner->beginFlushes);
    CTransformOutputPin& output = m_owner->m_output;
    return output.IsConnected() ? output.DeliverBeginFlush() : S_OK;
}

HRESULT CTransformInputPin::OnEndFlush() {
    InterlockedIncrement(&m_owner->endFlushes);
    CTransformOutputPin& output = m_owner->m_output;
    return output.IsConnected() ? output.DeliverEndFlush() : S_OK;
}

HRESULT CTransformInputPin::OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    InterlockedIncrement(&m_owner->segments);
    CTransformOutputPin& output = m_owner->m_output;
    return output.IsConnected() ? output.DeliverNewSegment(start, stop, rate) : S_OK;
}

CTransformOutputPin::CTransformOutputPin(CTestTransform* filter, CCritSec* lock)
    : CBaseOutputPin(filter, lock, L"Out"), m_owner(filter) {}

HRESULT STDMETHODCALLTYPE CTransformOutputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (IsEqualIID(riid, IID_IMediaSeeking) || IsEqualIID(riid, IID_IMediaPosition))
        return GetPassThruInterface(riid, ppv, &m_owner->m_input);
    return CBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CTransformOutputPin::CheckMediaType(const AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    CTransformInputPin& input = m_owner->m_input;
    if (!input.IsConnected()) return VFW_E_NOT_CONNECTED;
    return MediaTypesEqual(*mt, input.CurrentMediaType()) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CTransformOutputPin::GetMediaType(int position, AM_MEDIA_TYPE* mt) {
    CTransformInputPin& input = m_owner->m_input;
    if (!input.IsConnected()) return VFW_E_NOT_CONNECTED;
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    return CopyMediaType(mt, &input.CurrentMediaType());
}

HRESULT CTransformOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    ALLOCATOR_PROPERTIES wanted = *request;
    wanted.cBuffers = std::max<long>(wanted.cBuffers, 2);
    wanted.cbBuffer = std::max<long>(wanted.cbBuffer, 4096);
    // Each output buffer holds a whole input buffer.
    if (IMemAllocator* upstream = m_owner->m_input.Allocator()) {
        ALLOCATOR_PROPERTIES in = {};
        if (SUCCEEDED(upstream->GetProperties(&in))) wanted.cbBuffer = std::max(wanted.cbBuffer, in.cbBuffer);
    }
    ALLOCATOR_PROPERTIES actual = {};
    HRESULT hr = allocator->SetProperties(&wanted, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer >= wanted.cbBuffer ? S_OK : E_FAIL;
}

CTestTransform::CTestTransform(IUnknown* outer)
    : CBaseFilter(kClsidTestTransform, &m_filterLock, outer),
      m_input(this, &m_filterLock),
      m_output(this, &m_filterLock) {}

CBasePin* CTestTransform::GetPin(int index) {
    if (index == 0) return Counted(&m_input);
    if (index == 1) return Counted(&m_output);
    return nullptr;
}

// --- CTestSink -----------------------------------------------------------------

CSinkInputPin::CSinkInputPin(CTestSink* filter, CCritSec* lock)
    : CBaseInputPin(filter, lock, L"In"), m_owner(filter) {}

HRESULT CSinkInputPin::CheckMediaType(const AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    if (m_owner->m_required) return MediaTypesEqual(*mt, *m_owner->m_required) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    return IsSupportedAudio(mt) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CSinkInputPin::GetMediaType(int position, AM_MEDIA_TYPE* mt) {
    if (position < 0) return E_INVALIDARG;
    if (position > 0 || !m_owner->m_required) return VFW_S_NO_MORE_ITEMS;
    return CopyMediaType(mt, m_owner->m_required);
}

HRESULT STDMETHODCALLTYPE CSinkInputPin::Receive(IMediaSample* sample) {
    if (!sample) return E_POINTER;
    {
        CAutoLock lock(m_lock);
        HRESULT hr = CheckStreaming();
        if (hr != S_OK) return hr;
    }
    if (m_owner->m_blockWhilePaused && WaitForSingleObject(m_owner->m_releaseEvent, 0) == WAIT_TIMEOUT) {
        SetEvent(m_owner->m_blockedEvent);
        // Bounded, so that a broken flush fails the test instead of hanging it.
        if (WaitForSingleObject(m_owner->m_releaseEvent, 10000) == WAIT_TIMEOUT)
            InterlockedIncrement(&m_owner->waitTimeouts);
        if (IsFlushing()) InterlockedIncrement(&m_owner->releasedByFlush);
    }
    CAutoLock lock(m_lock);
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    InterlockedIncrement(&m_owner->received);
    try {
        if (m_owner->m_keepWhilePaused && m_owner->State() == State_Paused) {
            m_owner->m_kept.push_back(sample);
            sample->AddRef();
        }
        if (!m_owner->m_record) return S_OK;
        ReceivedSample record;
        BYTE* data = nullptr;
        if (FAILED(sample->GetPointer(&data))) return E_FAIL;
        record.data.assign(data, data + sample->GetActualDataLength());
        HRESULT timeResult = sample->GetTime(&record.start, &record.stop);
        record.hasTime = SUCCEEDED(timeResult);
        record.discontinuity = sample->IsDiscontinuity() == S_OK;
        record.syncPoint = sample->IsSyncPoint() == S_OK;
        record.preroll = sample->IsPreroll() == S_OK;
        record.flushes = m_owner->endFlushes;
        m_owner->m_samples.push_back(std::move(record));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CSinkInputPin::OnEndOfStream() {
    InterlockedIncrement(&m_owner->endOfStreams);
    SetEvent(m_owner->m_eosEvent);
    // A renderer reports completion once it runs.
    if (m_owner->State() == State_Running)
        m_owner->NotifyEvent(EC_COMPLETE, S_OK, 0);
    else
        m_owner->m_completePending = true;
    return S_OK;
}

HRESULT CSinkInputPin::OnBeginFlush() {
    InterlockedIncrement(&m_owner->beginFlushes);
    m_owner->ReleaseKept();
    SetEvent(m_owner->m_releaseEvent);
    return S_OK;
}

HRESULT CSinkInputPin::OnEndFlush() {
    InterlockedIncrement(&m_owner->endFlushes);
    m_owner->m_completePending = false;
    ResetEvent(m_owner->m_eosEvent);
    if (m_owner->State() == State_Paused) ResetEvent(m_owner->m_releaseEvent);
    return S_OK;
}

HRESULT CSinkInputPin::OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    try {
        m_owner->m_segments.push_back({start, stop, rate});
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

CTestSink::CTestSink()
    : CBaseFilter(kClsidTestSink, &m_filterLock),
      m_input(this, &m_filterLock),
      m_releaseEvent(CreateEventW(nullptr, TRUE, TRUE, nullptr)),
      m_blockedEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_eosEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    m_seeking = new (std::nothrow) CPosPassThru(GetOwner(), &m_input);
    if (m_seeking) m_seeking->NonDelegatingAddRef();
}

CTestSink::~CTestSink() {
    ReleaseKept();
    if (m_seeking) m_seeking->NonDelegatingRelease();
    CloseHandle(m_releaseEvent);
    CloseHandle(m_blockedEvent);
    CloseHandle(m_eosEvent);
}

HRESULT STDMETHODCALLTYPE CTestSink::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IAMFilterMiscFlags)) return GetInterface(static_cast<IAMFilterMiscFlags*>(this), ppv);
    if (m_seeking && (IsEqualIID(riid, IID_IMediaSeeking) || IsEqualIID(riid, IID_IMediaPosition)))
        return m_seeking->NonDelegatingQueryInterface(riid, ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CTestSink::Stop() {
    SetEvent(m_releaseEvent);  // a held sample goes (and is refused) before the lock is needed
    ReleaseKept();
    CAutoLock lock(m_lock);
    m_completePending = false;
    ResetEvent(m_eosEvent);
    return CBaseFilter::Stop();
}

void CTestSink::ReleaseKept() {
    std::vector<IMediaSample*> kept;
    {
        CAutoLock lock(m_lock);
        kept.swap(m_kept);
    }
    for (IMediaSample* sample : kept) sample->Release();
}

HRESULT STDMETHODCALLTYPE CTestSink::Pause() {
    CAutoLock lock(m_lock);
    if (m_blockWhilePaused) ResetEvent(m_releaseEvent);
    return CBaseFilter::Pause();
}

HRESULT STDMETHODCALLTYPE CTestSink::Run(REFERENCE_TIME start) {
    CAutoLock lock(m_lock);
    HRESULT hr = CBaseFilter::Run(start);
    if (FAILED(hr)) return hr;
    SetEvent(m_releaseEvent);
    ReleaseKept();
    if (m_completePending) {
        m_completePending = false;
        NotifyEvent(EC_COMPLETE, S_OK, 0);
    }
    return S_OK;
}

CBasePin* CTestSink::GetPin(int index) { return Counted(index == 0 ? &m_input : nullptr); }

std::vector<ReceivedSample> CTestSink::Samples() {
    CAutoLock lock(m_lock);
    return m_samples;
}

std::vector<ReceivedSegment> CTestSink::Segments() {
    CAutoLock lock(m_lock);
    return m_segments;
}

void CTestSink::ClearRecords() {
    CAutoLock lock(m_lock);
    m_samples.clear();
    m_segments.clear();
}

std::vector<BYTE> CTestSink::DataSinceLastFlush() {
    CAutoLock lock(m_lock);
    std::vector<BYTE> all;
    const int flushes = endFlushes;
    for (const ReceivedSample& s : m_samples)
        if (s.flushes == flushes) all.insert(all.end(), s.data.begin(), s.data.end());
    return all;
}
