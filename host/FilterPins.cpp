#include "host/FilterPins.h"

#include "host/TzPlugIn.h"

// ---------------------------------------------------------------------------
// Input pin

CFilterInputPin::CFilterInputPin(CTzPlugIn* filter, CCritSec* lock, HRESULT*)
    : CBaseInputPin(filter, lock, L"Input"), m_plugIn(filter) {}

HRESULT CFilterInputPin::CheckMediaType(const AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CFilterInputPin::SetMediaType(const AM_MEDIA_TYPE* mt) { return CBaseInputPin::SetMediaType(mt); }

HRESULT CFilterInputPin::CompleteConnect(IPin* peer) { return CBaseInputPin::CompleteConnect(peer); }

HRESULT CFilterInputPin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

HRESULT CFilterInputPin::OnReceive(IMediaSample*) { return S_OK; }

HRESULT CFilterInputPin::HandleEndOfStream() {
    CAutoLock lock(m_lock);
    if (m_plugIn->IsStreaming()) {
        m_plugIn->SetStreaming(0);
        m_plugIn->ReleaseStreaming();
    }
    return S_OK;
}

HRESULT CFilterInputPin::OnEndOfStream() { return HandleEndOfStream(); }

HRESULT CFilterInputPin::OnBeginFlush() { return S_OK; }

HRESULT CFilterInputPin::OnEndFlush() { return S_OK; }

HRESULT CFilterInputPin::OnNewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

// ---------------------------------------------------------------------------
// Output pins

CFilterOutputPin::CFilterOutputPin(CTzPlugIn* filter, CCritSec* lock, const WCHAR* name, int32_t id)
    : CBaseOutputPin(filter, lock, name), m_plugIn(filter), m_id(id) {}

ULONG CFilterOutputPin::NonDelegatingAddRef() { return CUnknown::NonDelegatingAddRef(); }

ULONG CFilterOutputPin::NonDelegatingRelease() { return CUnknown::NonDelegatingRelease(); }

HRESULT CFilterOutputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    return CBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

void CFilterOutputPin::Detach() {
    m_plugIn = nullptr;
    DetachFromFilter();
}

HRESULT CFilterOutputPin::CheckMediaType(const AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CFilterOutputPin::SetMediaType(const AM_MEDIA_TYPE* mt) { return CBaseOutputPin::SetMediaType(mt); }

HRESULT CFilterOutputPin::GetMediaType(int, AM_MEDIA_TYPE*) { return VFW_S_NO_MORE_ITEMS; }

HRESULT CFilterOutputPin::EnumMediaTypes(IEnumMediaTypes** types) { return CBaseOutputPin::EnumMediaTypes(types); }

HRESULT CFilterOutputPin::DecideBufferSize(IMemAllocator*, ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }
