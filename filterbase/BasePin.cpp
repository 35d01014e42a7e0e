#include "filterbase/BasePin.h"

#include "filterbase/BaseFilter.h"
#include "filterbase/Enumerators.h"

#include <cstring>
#include <new>

CBasePin::CBasePin(CBaseFilter* filter, CCritSec* lock, const WCHAR* name, PIN_DIRECTION direction)
    : CUnknown(nullptr), m_filter(filter), m_lock(lock), m_direction(direction) {
    if (name) lstrcpynW(m_name, name, kMaxPinNameLength + 1);
}

CBasePin::~CBasePin() { ClearPeer(); }

HRESULT STDMETHODCALLTYPE CBasePin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IPin)) return GetInterface(static_cast<IPin*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

ULONG STDMETHODCALLTYPE CBasePin::NonDelegatingAddRef() {
    // A detached pin has no filter left to count it; it must be one that
    // overrides these (see BasePin.h), so this is only a guard.
    if (IsDetached()) return CUnknown::NonDelegatingAddRef();
    return m_filter->GetOwner()->AddRef();
}

ULONG STDMETHODCALLTYPE CBasePin::NonDelegatingRelease() {
    if (IsDetached()) return CUnknown::NonDelegatingRelease();
    return m_filter->GetOwner()->Release();
}

HRESULT STDMETHODCALLTYPE CBasePin::Disconnect() {
    if (IsDetached()) return E_UNEXPECTED;
    CAutoLock lock(m_lock);
    if (!m_filter->IsStopped()) return VFW_E_NOT_STOPPED;
    if (!IsConnected()) return S_FALSE;
    HRESULT hr = BreakConnect();
    if (FAILED(hr)) return hr;
    ReleaseConnectionResources();
    ClearPeer();
    m_mt.Clear();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::ConnectedTo(IPin** pin) {
    if (!pin) return E_POINTER;
    HRESULT hr = GetConnectedRef(pin);
    return hr;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryPinInfo(PIN_INFO* info) {
    if (!info) return E_POINTER;
    info->dir = m_direction;
    lstrcpynW(info->achName, m_name, MAX_PIN_NAME);
    info->pFilter = m_filter;
    if (m_filter) m_filter->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    std::memset(mt, 0, sizeof(*mt));
    if (IsDetached()) return E_UNEXPECTED;
    CAutoLock lock(m_lock);
    if (!IsConnected()) return VFW_E_NOT_CONNECTED;
    return CopyMediaType(mt, &m_mt.Get());
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryDirection(PIN_DIRECTION* direction) {
    if (!direction) return E_POINTER;
    *direction = m_direction;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryId(LPWSTR* id) {
    if (!id) return E_POINTER;
    const size_t bytes = (static_cast<size_t>(lstrlenW(m_name)) + 1) * sizeof(WCHAR);
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*id) return E_OUTOFMEMORY;
    std::memcpy(*id, m_name, bytes);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryAccept(const AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    if (IsDetached()) return E_UNEXPECTED;
    return CheckMediaType(mt) == S_OK ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CBasePin::EnumMediaTypes(IEnumMediaTypes** types) {
    if (!types) return E_POINTER;
    *types = nullptr;
    if (IsDetached()) return E_UNEXPECTED;
    AM_MEDIA_TYPE first;
    std::memset(&first, 0, sizeof(first));
    HRESULT hr = GetMediaType(0, &first);
    FreeMediaType(&first);
    if (FAILED(hr)) return hr;
    CEnumMediaTypes* enumerator = new (std::nothrow) CEnumMediaTypes(this, nullptr);
    if (!enumerator) return E_OUTOFMEMORY;
    enumerator->AddRef();
    *types = enumerator;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

// Not supposed to reach an output pin; CBaseInputPin answers these.
HRESULT STDMETHODCALLTYPE CBasePin::EndOfStream() { return E_UNEXPECTED; }
HRESULT STDMETHODCALLTYPE CBasePin::BeginFlush() { return E_UNEXPECTED; }
HRESULT STDMETHODCALLTYPE CBasePin::EndFlush() { return E_UNEXPECTED; }

HRESULT STDMETHODCALLTYPE CBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    if (IsDetached()) return E_UNEXPECTED;
    CAutoLock lock(m_lock);
    m_segmentStart = start;
    m_segmentStop = stop;
    m_segmentRate = rate;
    return S_OK;
}

HRESULT CBasePin::SetMediaType(const AM_MEDIA_TYPE* mt) { return m_mt.Set(mt); }

HRESULT CBasePin::GetMediaType(int, AM_MEDIA_TYPE*) { return VFW_S_NO_MORE_ITEMS; }

LONG CBasePin::GetMediaTypeVersion() { return m_typeVersion; }

HRESULT CBasePin::CheckConnect(IPin* peer) {
    PIN_DIRECTION theirs;
    HRESULT hr = peer->QueryDirection(&theirs);
    if (FAILED(hr)) return hr;
    if (theirs == m_direction) return VFW_E_INVALID_DIRECTION;
    return S_OK;
}

HRESULT CBasePin::CompleteConnect(IPin*) { return S_OK; }

HRESULT CBasePin::BreakConnect() { return S_OK; }

HRESULT CBasePin::Active() { return S_OK; }

HRESULT CBasePin::Inactive() { return S_OK; }

HRESULT CBasePin::Run(REFERENCE_TIME) { return S_OK; }

void CBasePin::IncrementTypeVersion() { InterlockedIncrement(&m_typeVersion); }

void CBasePin::DetachFromFilter() {
    m_filter = nullptr;
    m_lock = nullptr;
}

HRESULT CBasePin::GetConnectedRef(IPin** peer) const {
    CAutoLock lock(&m_peerLock);
    *peer = m_connected;
    if (!m_connected) return VFW_E_NOT_CONNECTED;
    m_connected->AddRef();
    return S_OK;
}

void CBasePin::SetPeer(IPin* peer) {
    peer->AddRef();
    IPin* old;
    {
        CAutoLock lock(&m_peerLock);
        old = m_connected;
        m_connected = peer;
    }
    if (old) old->Release();
}

void CBasePin::ClearPeer() {
    IPin* old;
    {
        CAutoLock lock(&m_peerLock);
        old = m_connected;
        m_connected = nullptr;
    }
    if (old) old->Release();
}

void CBasePin::ReleaseConnectionResources() {}
