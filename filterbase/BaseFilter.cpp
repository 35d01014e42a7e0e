#include "filterbase/BaseFilter.h"

#include "filterbase/BasePin.h"
#include "filterbase/Enumerators.h"

#include <new>

namespace {

// Runs op on every connected pin in index order, each held by a reference
// for the call; stops at the first failure op returns and returns it.
template <typename Op>
HRESULT ForEachConnectedPin(CBaseFilter* filter, Op op) {
    const int count = filter->GetPinCount();
    for (int i = 0; i < count; ++i) {
        CBasePin* pin = filter->GetPin(i);
        if (!pin) continue;
        const HRESULT hr = pin->IsConnected() ? op(pin) : S_OK;
        pin->Release();
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

}  // namespace

CBaseFilter::CBaseFilter(REFCLSID clsid, CCritSec* lock, IUnknown* outer)
    : CUnknown(outer), m_lock(lock), m_clsid(clsid) {}

CBaseFilter::~CBaseFilter() {
    if (m_clock) m_clock->Release();
}

HRESULT STDMETHODCALLTYPE CBaseFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IBaseFilter)) return GetInterface(static_cast<IBaseFilter*>(this), ppv);
    if (IsEqualIID(riid, IID_IMediaFilter)) return GetInterface(static_cast<IMediaFilter*>(this), ppv);
    if (IsEqualIID(riid, IID_IPersist)) return GetInterface(static_cast<IPersist*>(this), ppv);
    if (IsEqualIID(riid, IID_IAMovieSetup)) return GetInterface(static_cast<IAMovieSetup*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CBaseFilter::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = m_clsid;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Stop() {
    CAutoLock lock(m_lock);
    if (IsStopped()) return S_OK;
    HRESULT result = S_OK;
    ForEachConnectedPin(this, [&result](CBasePin* pin) {
        HRESULT hr = pin->Inactive();
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        return S_OK;
    });
    InterlockedExchange(&m_state, State_Stopped);
    return result;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Pause() {
    CAutoLock lock(m_lock);
    if (IsStopped()) {
        HRESULT hr = ForEachConnectedPin(this, [](CBasePin* pin) { return pin->Active(); });
        if (FAILED(hr)) return hr;
    }
    InterlockedExchange(&m_state, State_Paused);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Run(REFERENCE_TIME start) {
    CAutoLock lock(m_lock);
    m_start = start;
    if (IsStopped()) {
        // The derived filter's own Pause, so that it prepares as for any pause.
        HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    if (State() != State_Running) {
        HRESULT hr = ForEachConnectedPin(this, [start](CBasePin* pin) { return pin->Run(start); });
        if (FAILED(hr)) return hr;
    }
    InterlockedExchange(&m_state, State_Running);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::GetState(DWORD, FILTER_STATE* state) {
    if (!state) return E_POINTER;
    *state = State();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::SetSyncSource(IReferenceClock* clock) {
    CAutoLock lock(m_lock);
    if (clock) clock->AddRef();
    if (m_clock) m_clock->Release();
    m_clock = clock;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::GetSyncSource(IReferenceClock** clock) {
    if (!clock) return E_POINTER;
    CAutoLock lock(m_lock);
    *clock = m_clock;
    if (m_clock) m_clock->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::EnumPins(IEnumPins** pins) {
    if (!pins) return E_POINTER;
    *pins = nullptr;
    CEnumPins* enumerator = new (std::nothrow) CEnumPins(this, nullptr);
    if (!enumerator) return E_OUTOFMEMORY;
    enumerator->AddRef();
    *pins = enumerator;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::FindPin(LPCWSTR id, IPin** pin) {
    if (!pin) return E_POINTER;
    *pin = nullptr;
    if (!id) return E_POINTER;
    const int count = GetPinCount();
    for (int i = 0; i < count; ++i) {
        CBasePin* candidate = GetPin(i);
        if (!candidate) continue;
        if (lstrcmpW(candidate->Name(), id) == 0) {
            *pin = candidate;   // GetPin's reference goes to the caller
            return S_OK;
        }
        candidate->Release();
    }
    return VFW_E_NOT_FOUND;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::QueryFilterInfo(FILTER_INFO* info) {
    if (!info) return E_POINTER;
    CAutoLock lock(m_lock);
    lstrcpynW(info->achName, m_name, MAX_FILTER_NAME);
    info->pGraph = m_graph;
    if (m_graph) m_graph->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    CAutoLock lock(m_lock);
    m_graph = graph;
    m_eventSink = nullptr;
    if (graph) {
        IMediaEventSink* sink = nullptr;
        if (SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink))) && sink) {
            // The graph owns its sink and outlives our membership.
            m_eventSink = sink;
            sink->Release();
        }
    }
    if (name)
        lstrcpynW(m_name, name, MAX_FILTER_NAME);
    else
        m_name[0] = L'\0';
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

HRESULT CBaseFilter::RegisterWith(IFilterMapper* mapper, const AMOVIESETUP_FILTER* setup) {
    const CLSID& clsid = *setup->clsID;
    // A registration left by an earlier version must not keep stale pins.
    mapper->UnregisterFilter(clsid);
    HRESULT hr = mapper->RegisterFilter(clsid, setup->strName, setup->dwMerit);
    if (FAILED(hr)) return hr;
    for (UINT p = 0; p < setup->nPins; ++p) {
        const AMOVIESETUP_PIN& pin = setup->lpPin[p];
        hr = mapper->RegisterPin(clsid, pin.strName, pin.bRendered, pin.bOutput, pin.bZero, pin.bMany,
                                 pin.clsConnectsToFilter ? *pin.clsConnectsToFilter : GUID_NULL,
                                 pin.strConnectsToPin);
        if (FAILED(hr)) return hr;
        for (UINT t = 0; t < pin.nMediaTypes; ++t) {
            const AMOVIESETUP_MEDIATYPE& type = pin.lpMediaType[t];
            hr = mapper->RegisterPinType(clsid, pin.strName, type.clsMajorType ? *type.clsMajorType : GUID_NULL,
                                         type.clsMinorType ? *type.clsMinorType : GUID_NULL);
            if (FAILED(hr)) return hr;
        }
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Register() {
    const AMOVIESETUP_FILTER* setup = GetSetupData();
    if (!setup || !setup->clsID) return S_FALSE;
    IFilterMapper* mapper = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                                  reinterpret_cast<void**>(&mapper));
    if (FAILED(hr)) return hr;
    hr = RegisterWith(mapper, setup);
    mapper->Release();
    return FAILED(hr) ? hr : S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Unregister() {
    const AMOVIESETUP_FILTER* setup = GetSetupData();
    if (!setup || !setup->clsID) return S_FALSE;
    IFilterMapper* mapper = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                                  reinterpret_cast<void**>(&mapper));
    if (FAILED(hr)) return hr;
    hr = mapper->UnregisterFilter(*setup->clsID);
    mapper->Release();
    if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) hr = S_OK;
    return hr;
}

HRESULT CBaseFilter::StreamTime(REFERENCE_TIME* time) {
    if (!time) return E_POINTER;
    CAutoLock lock(m_lock);
    if (!m_clock) return VFW_E_NO_CLOCK;
    REFERENCE_TIME now = 0;
    HRESULT hr = m_clock->GetTime(&now);
    if (FAILED(hr)) return hr;
    *time = now - m_start;
    return S_OK;
}

LONG CBaseFilter::GetPinVersion() { return m_pinVersion; }

CBasePin* CBaseFilter::Counted(CBasePin* pin) {
    if (pin) pin->AddRef();
    return pin;
}

const AMOVIESETUP_FILTER* CBaseFilter::GetSetupData() { return nullptr; }

void CBaseFilter::IncrementPinVersion() { InterlockedIncrement(&m_pinVersion); }

HRESULT CBaseFilter::NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2) {
    IMediaEventSink* sink = m_eventSink;
    if (!sink) return E_NOTIMPL;
    if (code == EC_COMPLETE && param2 == 0) param2 = reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this));
    return sink->Notify(code, param1, param2);
}
