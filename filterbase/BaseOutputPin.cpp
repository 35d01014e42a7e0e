#include "filterbase/BaseOutputPin.h"

#include "filterbase/BaseFilter.h"
#include "filterbase/PosPassThru.h"

#include <new>

CBaseOutputPin::CBaseOutputPin(CBaseFilter* filter, CCritSec* lock, const WCHAR* name)
    : CBasePin(filter, lock, name, PINDIR_OUTPUT) {}

CBaseOutputPin::~CBaseOutputPin() {
    ReleaseConnectionResources();
    if (m_passThru) m_passThru->NonDelegatingRelease();
}

HRESULT STDMETHODCALLTYPE CBaseOutputPin::Connect(IPin* peer, const AM_MEDIA_TYPE* mt) {
    if (!peer) return E_POINTER;
    if (IsDetached()) return E_UNEXPECTED;
    CAutoLock lock(m_lock);
    if (!m_filter->IsStopped()) return VFW_E_NOT_STOPPED;
    if (IsConnected()) return VFW_E_ALREADY_CONNECTED;

    HRESULT hr = CheckConnect(peer);
    if (SUCCEEDED(hr)) {
        if (mt && !MediaTypeIsPartial(*mt)) {
            hr = AttemptConnection(peer, mt);
        } else {
            // Our own types first, then what the receiving pin offers.
            hr = TryTypesOf(this, peer, mt);
            if (hr != S_OK) hr = TryTypesOf(peer, peer, mt);
            if (hr != S_OK) hr = VFW_E_NO_ACCEPTABLE_TYPES;
        }
    }
    if (FAILED(hr)) {
        BreakConnect();
        ReleaseConnectionResources();
    }
    return hr;
}

HRESULT CBaseOutputPin::TryTypesOf(IPin* source, IPin* peer, const AM_MEDIA_TYPE* pattern) {
    IEnumMediaTypes* types = nullptr;
    if (FAILED(source->EnumMediaTypes(&types)) || !types) return VFW_E_NO_ACCEPTABLE_TYPES;
    HRESULT result = VFW_E_NO_ACCEPTABLE_TYPES;
    AM_MEDIA_TYPE* candidate = nullptr;
    while (types->Next(1, &candidate, nullptr) == S_OK && candidate) {
        const bool connected = MediaTypeMatches(*candidate, pattern) && AttemptConnection(peer, candidate) == S_OK;
        DeleteMediaType(candidate);
        candidate = nullptr;
        if (connected) {
            result = S_OK;
            break;
        }
    }
    types->Release();
    return result;
}

HRESULT CBaseOutputPin::AttemptConnection(IPin* peer, const AM_MEDIA_TYPE* mt) {
    if (CheckMediaType(mt) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    SetPeer(peer);
    HRESULT hr = SetMediaType(mt);
    if (SUCCEEDED(hr)) {
        hr = peer->ReceiveConnection(static_cast<IPin*>(this), mt);
        if (SUCCEEDED(hr)) {
            IMemAllocator* allocator = nullptr;
            hr = DecideAllocator(m_inputPin, &allocator);
            if (SUCCEEDED(hr)) {
                m_allocator = allocator;
                hr = CompleteConnect(peer);
                if (FAILED(hr)) {
                    m_allocator->Release();
                    m_allocator = nullptr;
                }
            }
            // The peer accepted the type; take its half of the connection back.
            if (FAILED(hr)) peer->Disconnect();
        }
    }
    if (FAILED(hr)) {
        ClearPeer();
        m_mt.Clear();
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE CBaseOutputPin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) { return E_UNEXPECTED; }

HRESULT CBaseOutputPin::CheckConnect(IPin* peer) {
    HRESULT hr = CBasePin::CheckConnect(peer);
    if (FAILED(hr)) return hr;
    if (m_inputPin) {
        m_inputPin->Release();
        m_inputPin = nullptr;
    }
    hr = peer->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&m_inputPin));
    if (FAILED(hr)) {
        m_inputPin = nullptr;
        return VFW_E_NO_TRANSPORT;
    }
    return S_OK;
}

HRESULT CBaseOutputPin::Active() {
    if (!m_allocator) return VFW_E_NO_ALLOCATOR;
    return m_allocator->Commit();
}

HRESULT CBaseOutputPin::Inactive() {
    if (!m_allocator) return VFW_E_NO_ALLOCATOR;
    return m_allocator->Decommit();
}

void CBaseOutputPin::DetachFromFilter() {
    CBasePin::DetachFromFilter();
    if (m_passThru) m_passThru->ForgetInputPin();
}

HRESULT CBaseOutputPin::DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) {
    if (!pin || !allocator) return E_POINTER;
    *allocator = nullptr;
    ALLOCATOR_PROPERTIES wanted = {};
    pin->GetAllocatorRequirements(&wanted);  // E_NOTIMPL leaves it zero
    if (wanted.cbAlign == 0) wanted.cbAlign = 1;

    IMemAllocator* candidate = nullptr;
    HRESULT hr = pin->GetAllocator(&candidate);
    if (SUCCEEDED(hr) && candidate) {
        ALLOCATOR_PROPERTIES request = wanted;
        hr = DecideBufferSize(candidate, &request);
        if (SUCCEEDED(hr)) hr = pin->NotifyAllocator(candidate, FALSE);
        if (SUCCEEDED(hr)) {
            *allocator = candidate;
            return S_OK;
        }
    }
    if (candidate) candidate->Release();
    candidate = nullptr;

    hr = InitAllocator(&candidate);
    if (FAILED(hr)) return hr;
    ALLOCATOR_PROPERTIES request = wanted;
    hr = DecideBufferSize(candidate, &request);
    if (SUCCEEDED(hr)) hr = pin->NotifyAllocator(candidate, FALSE);
    if (FAILED(hr)) {
        candidate->Release();
        return hr;
    }
    *allocator = candidate;
    return S_OK;
}

HRESULT CBaseOutputPin::InitAllocator(IMemAllocator** allocator) {
    if (!allocator) return E_POINTER;
    *allocator = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                  reinterpret_cast<void**>(allocator));
    if (FAILED(hr)) *allocator = nullptr;
    return hr;
}

HRESULT CBaseOutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                          DWORD flags) {
    if (!sample) return E_POINTER;
    *sample = nullptr;
    IMemAllocator* allocator = m_allocator;
    if (!allocator) return VFW_E_NO_ALLOCATOR;
    return allocator->GetBuffer(sample, start, stop, flags);
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* sample) {
    if (!sample) return E_POINTER;
    IMemInputPin* transport = m_inputPin;
    if (!transport || !IsConnected()) return VFW_E_NOT_CONNECTED;
    return transport->Receive(sample);
}

HRESULT CBaseOutputPin::DeliverEndOfStream() {
    IPin* peer = nullptr;
    if (GetConnectedRef(&peer) != S_OK) return VFW_E_NOT_CONNECTED;
    HRESULT hr = peer->EndOfStream();
    peer->Release();
    return hr;
}

HRESULT CBaseOutputPin::DeliverBeginFlush() {
    IPin* peer = nullptr;
    if (GetConnectedRef(&peer) != S_OK) return VFW_E_NOT_CONNECTED;
    HRESULT hr = peer->BeginFlush();
    peer->Release();
    return hr;
}

HRESULT CBaseOutputPin::DeliverEndFlush() {
    IPin* peer = nullptr;
    if (GetConnectedRef(&peer) != S_OK) return VFW_E_NOT_CONNECTED;
    HRESULT hr = peer->EndFlush();
    peer->Release();
    return hr;
}

HRESULT CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    IPin* peer = nullptr;
    if (GetConnectedRef(&peer) != S_OK) return VFW_E_NOT_CONNECTED;
    HRESULT hr = peer->NewSegment(start, stop, rate);
    peer->Release();
    return hr;
}

HRESULT CBaseOutputPin::GetPassThruInterface(REFIID riid, void** ppv, IPin* inputPin) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IMediaSeeking) && !IsEqualIID(riid, IID_IMediaPosition)) return E_NOINTERFACE;
    if (!m_passThru) {
        // Created without the filter lock: the graph asks for seeking while a
        // buffer may hold it. Two racing first requests keep the first object.
        CPosPassThru* created = new (std::nothrow) CPosPassThru(GetOwner(), inputPin);
        if (!created) return E_OUTOFMEMORY;
        created->NonDelegatingAddRef();
        if (InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&m_passThru), created, nullptr) !=
            nullptr)
            created->NonDelegatingRelease();
    }
    return m_passThru->NonDelegatingQueryInterface(riid, ppv);
}

void CBaseOutputPin::ReleaseConnectionResources() {
    if (m_allocator) {
        m_allocator->Release();
        m_allocator = nullptr;
    }
    if (m_inputPin) {
        m_inputPin->Release();
        m_inputPin = nullptr;
    }
}
