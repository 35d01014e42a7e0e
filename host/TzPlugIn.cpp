#include "host/TzPlugIn.h"

#include <atomic>
#include <cstdio>
#include <new>

#include "host/BuiltInPresets.h"
#include "host/FilterSetupData.h"

namespace {
// Output pin ids are unique across the module's filters and never reused.
std::atomic<int32_t> g_nextOutputId{1};
}  // namespace

IUnknown* CTzPlugIn::CreateInstance(IUnknown* outer, HRESULT* phr) {
    HRESULT local = S_OK;
    if (!phr) phr = &local;
    CTzPlugIn* filter = new (std::nothrow) CTzPlugIn(outer, phr);
    if (!filter) {
        *phr = E_OUTOFMEMORY;
        return nullptr;
    }
    return reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(filter));
}

// The frame is given the effect before the effect is built: it only uses it
// from the first host or filter call on.
CTzPlugIn::CTzPlugIn(IUnknown* outer, HRESULT* phr)
    : CSoftSynth(static_cast<CQvi*>(this), phr),
      CDelay(static_cast<CSoftSynth*>(this)),
      CBaseFilter(CLSID_ZvDelay, static_cast<CQvi*>(this), outer),
      m_inputPin(this, static_cast<CQvi*>(this), phr) {
    if (SUCCEEDED(*phr)) {
        *phr = CMediaParams::Create(static_cast<IBaseFilter*>(this), &m_mediaParams);
        if (SUCCEEDED(*phr)) AttachAutomation(m_mediaParams);
    }
    if (SUCCEEDED(*phr)) {
        *phr = AddOutput(nullptr, nullptr);
        if (SUCCEEDED(*phr)) *phr = QviReset();
    }
    SetAllParams(kBuiltInPresets[0].values.v);
}

CTzPlugIn::~CTzPlugIn() {
    // Pins a host still holds live on, cut off from this filter.
    for (CFilterOutputPin* pin : m_outputs) {
        pin->Detach();
        pin->Release();
    }
    m_outputs.clear();
    m_outputCount = 0;
    AttachAutomation(nullptr);
    if (m_mediaParams) m_mediaParams->ReleaseFromOwner();
    m_mediaParams = nullptr;
}

HRESULT CTzPlugIn::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IDispatch) return GetInterface(static_cast<IDispatch*>(this), ppv);
    if (riid == IID_ITzPlugInProp) return GetInterface(static_cast<ITzPlugInProp*>(this), ppv);
    if (riid == IID_ISpecifyPropertyPages) return GetInterface(static_cast<ISpecifyPropertyPages*>(this), ppv);
    if (riid == IID_IPersistStream) return GetInterface(static_cast<IPersistStream*>(this), ppv);
    if (riid == IID_ITempoFeaturesInfo) return GetInterface(static_cast<ITempoFeaturesInfo*>(this), ppv);
    if (riid == IID_IWbxSoftSynth || riid == IID_IWbxSoftSynth2) {
        return GetInterface(static_cast<IWbxSoftSynth2*>(this), ppv);
    }
    if (riid == IID_IWbxNotify) return GetInterface(static_cast<IWbxNotify*>(this), ppv);
    if (riid == IID_IWbxInputPort) return GetInterface(static_cast<IWbxInputPort*>(this), ppv);
    if (riid == IID_IStaticFilterPreset) return GetInterface(static_cast<IStaticFilterPreset*>(this), ppv);
    if (riid == IID_IStreamTiming) return GetInterface(static_cast<IStreamTiming*>(this), ppv);
    if (m_mediaParams) {
        // Answered by the automation object itself.
        if (riid == IID_IMediaParams) return GetInterface(static_cast<IMediaParams*>(m_mediaParams), ppv);
        if (riid == IID_IMediaParamInfo) return GetInterface(static_cast<IMediaParamInfo*>(m_mediaParams), ppv);
        if (riid == IID_IMediaParamsSetUICallback) {
            return GetInterface(static_cast<IMediaParamsSetUICallback*>(m_mediaParams), ppv);
        }
        if (riid == IID_IMediaParamsUICallback) {
            return GetInterface(static_cast<IMediaParamsUICallback*>(m_mediaParams), ppv);
        }
    }
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CTzPlugIn::GetClassID(CLSID* clsid) { return CBaseFilter::GetClassID(clsid); }

// ---------------------------------------------------------------------------
// State changes

HRESULT CTzPlugIn::PrepareEffect() {
    m_effectReady = false;
    if (!m_inputPin.IsConnected()) return S_OK;
    const HRESULT hr = PrepareStreaming(&m_inputFormatRecord, OutputFormat());
    m_effectReady = SUCCEEDED(hr);
    return hr;
}

HRESULT CTzPlugIn::PrepareEffectAfterEndOfStream() {
    if (IsStreaming() || m_effectReady || IsStopped()) return S_OK;
    return PrepareEffect();
}

HRESULT CTzPlugIn::PrepareEffectForFirstBuffer() {
    const bool fresh = m_effectReady;
    m_effectReady = false;
    if (fresh && Engine().IsPrepared()) return S_OK;
    return RestartStreaming();
}

void CTzPlugIn::ReleaseEffect() {
    m_effectReady = false;
    ReleaseStreaming();
}

void CTzPlugIn::EndStream() {
    SetStreaming(0);
    m_effectReady = false;
}

HRESULT CTzPlugIn::Stop() {
    CAutoLock lock(static_cast<CQvi*>(this));
    if (IsStopped()) return S_OK;
    ++m_stops;
    const HRESULT hr = CBaseFilter::Stop();
    if (FAILED(hr)) return hr;
    ReleaseEffect();
    OnFilterStop();
    return hr;
}

HRESULT CTzPlugIn::Pause() {
    CAutoLock lock(static_cast<CQvi*>(this));
    if (State() == State_Paused) return S_OK;
    m_streamPosition = 0;
    const bool fromStopped = IsStopped();
    HRESULT hr = CBaseFilter::Pause();
    if (FAILED(hr)) return hr;
    if (!m_inputPin.IsConnected()) m_inputPin.HandleEndOfStream();
    if (fromStopped) OnFilterStart();
    // Everything a buffer needs is set up here, before samples flow.
    hr = m_inputPin.PrepareScratch();
    if (FAILED(hr)) return hr;
    return PrepareEffect();
}

HRESULT CTzPlugIn::Run(REFERENCE_TIME start) {
    CAutoLock lock(static_cast<CQvi*>(this));
    const HRESULT hr = CBaseFilter::Run(start);
    if (!m_inputPin.IsConnected()) m_inputPin.HandleEndOfStream();
    return hr;
}

// ---------------------------------------------------------------------------
// Pins

int CTzPlugIn::GetPinCount() {
    CAutoLock lock(&m_outputListLock);
    return m_outputCount + 1;
}

// The reference is taken inside the list lock: RemoveOutput may release the
// list's reference on another thread as soon as the lock is left.
CBasePin* CTzPlugIn::GetPin(int index) {
    if (index == 0) return Counted(&m_inputPin);
    CAutoLock lock(&m_outputListLock);
    if (index < 0 || index > m_outputCount || index > static_cast<int>(m_outputs.size())) return nullptr;
    return Counted(m_outputs[index - 1]);
}

const AMOVIESETUP_FILTER* CTzPlugIn::GetSetupData() { return &kFilterSetup; }

std::vector<CFilterOutputPin*> CTzPlugIn::OutputPinsAddRefed() {
    CAutoLock lock(&m_outputListLock);
    std::vector<CFilterOutputPin*> pins = m_outputs;
    for (CFilterOutputPin* pin : pins) pin->AddRef();
    return pins;
}

// Output changes call the host's pin notifier and the graph's event sink
// with no lock held: the filter lock is taken for each step that reads or
// changes the list, and left before every call out. Two changes racing from
// two host threads may therefore announce counts that the other one moves;
// each notice carries the count of its own moment.
HRESULT CTzPlugIn::NotifyHostPins(int32_t phase, int32_t count) {
    IWbxHostPins* pins = nullptr;
    if (!HoldHostPins(&pins)) {
        if (pins) pins->Release();
        return S_OK;
    }
    if (!pins) return E_FAIL;
    const HRESULT hr = pins->OnPinsChanged(phase, static_cast<IBaseFilter*>(this), count);
    pins->Release();
    return hr;
}

HRESULT CTzPlugIn::AfterOutputsChanged() {
    IFilterGraph* graph = nullptr;
    int32_t count;
    {
        CAutoLock lock(static_cast<CQvi*>(this));
        IncrementPinVersion();
        graph = GetFilterGraph();
        if (graph) graph->AddRef();
        count = m_outputCount;
    }
    if (graph) {
        IMediaEventSink* sink = nullptr;
        if (SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink))) && sink) {
            sink->Notify(EC_GRAPH_CHANGED, 0, 0);
            sink->Release();
        }
        graph->Release();
    }
    NotifyHostPins(2, count);   // its answer changes nothing
    return S_OK;
}

HRESULT CTzPlugIn::AddOutput(const char* name, int32_t* id) {
    HRESULT hr = NotifyHostPins(1, GetOutputCount() + 1);
    if (FAILED(hr)) return hr;
    int32_t newId;
    {
        CAutoLock lock(static_cast<CQvi*>(this));
        char ansi[256];
        if (name) {
            std::snprintf(ansi, sizeof(ansi), "%s", name);
        } else {
            std::snprintf(ansi, sizeof(ansi), "Output %d", static_cast<int>(m_outputCount + 1));
        }
        WCHAR wide[257] = {};
        MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, 256);
        newId = g_nextOutputId.fetch_add(1);
        CFilterOutputPin* pin = new (std::nothrow) CFilterOutputPin(this, static_cast<CQvi*>(this), wide, newId);
        if (!pin) return E_OUTOFMEMORY;
        pin->AddRef();
        CAutoLock listLock(&m_outputListLock);
        try {
            m_outputs.push_back(pin);
        } catch (const std::bad_alloc&) {
            pin->Release();
            return E_OUTOFMEMORY;
        }
        m_outputCount = static_cast<int32_t>(m_outputs.size());
    }
    if (id) *id = newId;
    return AfterOutputsChanged();
}

// Takes the pin out of the list; the caller releases it. Filter lock held.
void CTzPlugIn::TakeOutput(size_t at) {
    CAutoLock listLock(&m_outputListLock);
    m_outputs.erase(m_outputs.begin() + static_cast<ptrdiff_t>(at));
    m_outputCount = static_cast<int32_t>(m_outputs.size());
}

HRESULT CTzPlugIn::RemoveOutput(int32_t id) {
    if (FindOutputIndex(id) < 0) return E_FAIL;
    HRESULT hr = NotifyHostPins(1, GetOutputCount() - 1);
    if (FAILED(hr)) return hr;
    {
        CAutoLock lock(static_cast<CQvi*>(this));
        // Looked up again: the list may have changed during the notice.
        const ptrdiff_t at = FindOutputIndex(id);
        if (at < 0) return E_FAIL;
        CFilterOutputPin* pin = m_outputs[static_cast<size_t>(at)];
        if (pin->IsConnected()) return E_UNEXPECTED;
        TakeOutput(static_cast<size_t>(at));
        // No longer this filter's: a host that still holds it gets errors.
        pin->Detach();
        pin->Release();
    }
    return AfterOutputsChanged();
}

HRESULT CTzPlugIn::RemoveAllOutputs() {
    HRESULT hr = NotifyHostPins(1, 0);
    if (FAILED(hr)) return hr;
    {
        CAutoLock lock(static_cast<CQvi*>(this));
        while (!m_outputs.empty()) {
            CFilterOutputPin* pin = m_outputs.front();
            // The pins before a connected one stay removed; the count follows
            // the list.
            if (pin->IsConnected()) return E_UNEXPECTED;
            TakeOutput(0);
            pin->Detach();
            pin->Release();
        }
    }
    return AfterOutputsChanged();
}

ptrdiff_t CTzPlugIn::FindOutputIndex(int32_t id) {
    CAutoLock lock(&m_outputListLock);
    for (size_t at = 0; at < m_outputs.size(); ++at) {
        if (m_outputs[at]->Id() == id) return static_cast<ptrdiff_t>(at);
    }
    return -1;
}

CFilterOutputPin* CTzPlugIn::FindOutput(int32_t id) {
    CAutoLock lock(&m_outputListLock);
    for (CFilterOutputPin* pin : m_outputs) {
        if (pin->Id() == id) return pin;
    }
    return nullptr;
}

int32_t CTzPlugIn::GetOutputCount() {
    CAutoLock lock(&m_outputListLock);
    return m_outputCount;
}

int32_t CTzPlugIn::GetOutputId(int32_t index) {
    CAutoLock lock(&m_outputListLock);
    if (index < 0 || index >= static_cast<int32_t>(m_outputs.size())) return -1;
    return m_outputs[static_cast<size_t>(index)]->Id();
}

// ---------------------------------------------------------------------------
// Property pages, automation by name, presets, saved state

HRESULT CTzPlugIn::GetPages(CAUUID* pages) {
    if (!pages) return E_POINTER;
    pages->cElems = 0;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems) return E_OUTOFMEMORY;
    pages->cElems = 1;
    pages->pElems[0] = CLSID_ZvDelayPropertyPage;
    return S_OK;
}

HRESULT CTzPlugIn::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }
HRESULT CTzPlugIn::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
HRESULT CTzPlugIn::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
HRESULT CTzPlugIn::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

HRESULT CTzPlugIn::GetPresetCount(ULONG* count) {
    if (!count) return E_POINTER;
    *count = static_cast<ULONG>(kBuiltInPresetCount);
    return S_OK;
}

HRESULT CTzPlugIn::GetPresetName(LONG index, WCHAR* name, LONG length) {
    if (index < 0 || index >= kBuiltInPresetCount) return E_INVALIDARG;
    // A host that asks without a buffer gets no name and no error.
    if (!name || length <= 0) return S_OK;
    if (!MultiByteToWideChar(CP_ACP, 0, kBuiltInPresets[index].name, -1, name, length)) name[length - 1] = 0;
    return S_OK;
}

HRESULT CTzPlugIn::EnableTiming(BOOL enable) {
    m_streamTiming.Enable(enable != FALSE);
    return S_OK;
}

HRESULT CTzPlugIn::GetTiming(StreamTimingFigures* figures) {
    if (!figures) return E_POINTER;
    m_streamTiming.Read(figures);
    return S_OK;
}

HRESULT CTzPlugIn::ApplyPreset(LONG index) {
    if (index < 0 || index >= kBuiltInPresetCount) return E_INVALIDARG;
    return SetAllParams(kBuiltInPresets[index].values.v);
}

HRESULT CTzPlugIn::LoadState(IStream* stream) {
    const HRESULT hr = CDelay::LoadState(stream);
    ReloadFromAutomation();
    return hr;
}
