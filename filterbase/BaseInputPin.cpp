#include "filterbase/BaseInputPin.h"

#include "filterbase/BaseFilter.h"

CBaseInputPin::CBaseInputPin(CBaseFilter* filter, CCritSec* lock, const WCHAR* name)
    : CBasePin(filter, lock, name, PINDIR_INPUT) {}

CBaseInputPin::~CBaseInputPin() { ReleaseConnectionResources(); }

HRESULT STDMETHODCALLTYPE CBaseInputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IMemInputPin)) return GetInterface(static_cast<IMemInputPin*>(this), ppv);
    return CBasePin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::Connect(IPin*, const AM_MEDIA_TYPE*) { return E_UNEXPECTED; }

HRESULT STDMETHODCALLTYPE CBaseInputPin::ReceiveConnection(IPin* peer, const AM_MEDIA_TYPE* mt) {
    if (!peer || !mt) return E_POINTER;
    if (IsDetached()) return E_UNEXPECTED;
    CAutoLock lock(m_lock);
    if (!m_filter->IsStopped()) return VFW_E_NOT_STOPPED;
    if (IsConnected()) return VFW_E_ALREADY_CONNECTED;

    HRESULT hr = CheckConnect(peer);
    if (FAILED(hr)) {
        BreakConnect();
        ReleaseConnectionResources();
        return hr;
    }
    if (CheckMediaType(mt) != S_OK) {
        BreakConnect();
        ReleaseConnectionResources();
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    SetPeer(peer);
    hr = SetMediaType(mt);
    if (SUCCEEDED(hr)) hr = CompleteConnect(peer);
    if (FAILED(hr)) {
        AbandonConnection();
        return hr;
    }
    return S_OK;
}

void CBaseInputPin::AbandonConnection() {
    CAutoLock lock(m_lock);
    BreakConnect();
    ReleaseConnectionResources();
    ClearPeer();
    m_mt.Clear();
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::EndOfStream() {
    if (IsDetached()) return E_UNEXPECTED;
    CAutoLock lock(m_lock);
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    return OnEndOfStream();
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::BeginFlush() {
    if (IsDetached()) return E_UNEXPECTED;
    // From here on Receive answers S_FALSE. No lock: see the declaration.
    InterlockedExchange(&m_flushing, 1);
    return OnBeginFlush();
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::EndFlush() {
    if (IsDetached()) return E_UNEXPECTED;
    // Waiting for the filter lock waits for a Receive in progress, which the
    // downstream flush has released by now.
    CAutoLock lock(m_lock);
    HRESULT hr = OnEndFlush();
    InterlockedExchange(&m_flushing, 0);
    return hr;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    if (IsDetached()) return E_UNEXPECTED;
    CAutoLock lock(m_lock);
    m_segmentStart = start;
    m_segmentStop = stop;
    m_segmentRate = rate;
    return OnNewSegment(start, stop, rate);
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::GetAllocator(IMemAllocator** allocator) {
    if (!allocator) return E_POINTER;
    *allocator = nullptr;
    if (IsDetached()) return E_UNEXPECTED;
    CAutoLock lock(m_lock);
    if (!m_allocator) {
        HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                      reinterpret_cast<void**>(&m_allocator));
        if (FAILED(hr)) {
            m_allocator = nullptr;
            return hr;
        }
    }
    m_allocator->AddRef();
    *allocator = m_allocator;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
    if (!allocator) return E_POINTER;
    if (IsDetached()) return E_UNEXPECTED;
    CAutoLock lock(m_lock);
    allocator->AddRef();
    if (m_allocator) m_allocator->Release();
    m_allocator = allocator;
    m_readOnly = readOnly;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CBaseInputPin::Receive(IMediaSample* sample) {
    if (!sample) return E_POINTER;
    if (IsDetached()) return E_UNEXPECTED;
    CAutoLock lock(m_lock);
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;

    AM_MEDIA_TYPE* changed = nullptr;
    if (sample->GetMediaType(&changed) == S_OK && changed) {
        hr = CheckMediaType(changed);
        DeleteMediaType(changed);
        if (hr != S_OK) return VFW_E_INVALIDMEDIATYPE;
    }
    return OnReceive(sample);
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
    if (!samples || !processed) return E_POINTER;
    *processed = 0;
    HRESULT hr = S_OK;
    while (*processed < count) {
        hr = Receive(samples[*processed]);
        if (hr != S_OK) break;
        ++*processed;
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::ReceiveCanBlock() {
    if (IsDetached()) return E_UNEXPECTED;
    int outputs = 0;
    const int count = m_filter->GetPinCount();
    for (int i = 0; i < count; ++i) {
        CBasePin* pin = m_filter->GetPin(i);
        if (!pin) continue;
        const bool output = pin->Direction() == PINDIR_OUTPUT;
        IPin* peer = nullptr;
        const bool connected = output && pin->ConnectedTo(&peer) == S_OK;
        pin->Release();
        if (!output) continue;
        ++outputs;
        if (!connected) continue;
        IMemInputPin* transport = nullptr;
        HRESULT hr = peer->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&transport));
        peer->Release();
        // A peer without the transport may do anything: assume it blocks.
        if (FAILED(hr)) return S_OK;
        hr = transport->ReceiveCanBlock();
        transport->Release();
        if (hr != S_FALSE) return S_OK;
    }
    // With no output pin this is where the samples end (a renderer), which may
    // block; with outputs, only a blocking downstream pin blocks.
    return outputs == 0 ? S_OK : S_FALSE;
}

HRESULT CBaseInputPin::Inactive() {
    InterlockedExchange(&m_flushing, 0);
    // An upstream pin that never asked for an allocator leaves nothing to do.
    if (!m_allocator) return S_OK;
    return m_allocator->Decommit();
}

HRESULT CBaseInputPin::OnReceive(IMediaSample*) { return S_OK; }

HRESULT CBaseInputPin::OnEndOfStream() { return S_OK; }

HRESULT CBaseInputPin::OnBeginFlush() { return S_OK; }

HRESULT CBaseInputPin::OnEndFlush() { return S_OK; }

HRESULT CBaseInputPin::OnNewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

HRESULT CBaseInputPin::CheckStreaming() {
    if (!IsConnected()) return VFW_E_NOT_CONNECTED;
    if (m_filter->IsStopped()) return VFW_E_WRONG_STATE;
    if (IsFlushing()) return S_FALSE;
    return S_OK;
}

void CBaseInputPin::ReleaseConnectionResources() {
    if (m_allocator) {
        m_allocator->Release();
        m_allocator = nullptr;
    }
    m_readOnly = FALSE;
}
