#include "automation/MediaParams.h"

#include <cwchar>

HRESULT CMediaParams::Create(IUnknown* pControllingUnknown, CMediaParams** ppObject) {
    if (!ppObject || !pControllingUnknown) return E_POINTER;
    CMediaParams* object = new (std::nothrow) CMediaParams(pControllingUnknown);
    if (!object) return E_OUTOFMEMORY;
    // The owner's reference: it does not hold the owner (that would be a cycle).
    InterlockedIncrement(&object->m_refCount);
    *ppObject = object;
    return S_OK;
}

HRESULT CreateMediaParams(IMediaParams** ppMediaParams, IUnknown* pControllingUnknown) {
    if (!ppMediaParams) return E_POINTER;
    CMediaParams* object = nullptr;
    const HRESULT hr = CMediaParams::Create(pControllingUnknown, &object);
    if (FAILED(hr)) return hr;
    *ppMediaParams = object;
    return S_OK;
}

CMediaParams::CMediaParams(IUnknown* pControllingUnknown)
    : m_controllingUnknown(pControllingUnknown), m_hostCallback(nullptr), m_refCount(0) {}

CMediaParams::~CMediaParams() {
    if (m_hostCallback) m_hostCallback->Release();
}

// ---- IUnknown -------------------------------------------------------------

HRESULT CMediaParams::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    // The filter is the object's identity: it decides what is offered,
    // including these four interfaces.
    if (IUnknown* filter = m_controllingUnknown.load()) return filter->QueryInterface(riid, ppv);

    // Detached: the filter is gone and a host still holds us.
    if (riid == IID_IUnknown || riid == IID_IMediaParams) {
        *ppv = static_cast<IMediaParams*>(this);
    } else if (riid == IID_IMediaParamInfo) {
        *ppv = static_cast<IMediaParamInfo*>(this);
    } else if (riid == IID_IMediaParamsSetUICallback) {
        *ppv = static_cast<IMediaParamsSetUICallback*>(this);
    } else if (riid == IID_IMediaParamsUICallback) {
        *ppv = static_cast<IMediaParamsUICallback*>(this);
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

// A reference handed out to a host also holds the filter, as an aggregated
// object's would: a host may keep only these interfaces after releasing the
// filter and still call them.
ULONG CMediaParams::AddRef() {
    const LONG count = InterlockedIncrement(&m_refCount);
    if (IUnknown* filter = m_controllingUnknown.load()) filter->AddRef();
    return static_cast<ULONG>(count);
}

ULONG CMediaParams::Release() {
    IUnknown* filter = m_controllingUnknown.load();
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) delete this;
    // Last: releasing the filter may destroy it, and with it the owner's
    // reference on this object.
    if (filter) filter->Release();
    return static_cast<ULONG>(count);
}

ULONG CMediaParams::ReleaseFromOwner() {
    DetachControllingUnknown();
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

// ---- IMediaParams ---------------------------------------------------------

HRESULT CMediaParams::AddEnvelope(DWORD dwParamIndex, DWORD cSegments, MP_ENVELOPE_SEGMENT* pEnvelope) {
    if (dwParamIndex >= static_cast<DWORD>(kParamCount) && dwParamIndex != CEnvelopeSet::kAllParams) {
        return E_INVALIDARG;
    }
    if (cSegments == 0) return S_OK;
    if (!pEnvelope || IsBadReadPtr(pEnvelope, static_cast<UINT_PTR>(cSegments) * sizeof(MP_ENVELOPE_SEGMENT))) {
        return E_POINTER;
    }
    return m_envelopes.AddEnvelope(dwParamIndex, cSegments, pEnvelope);
}

HRESULT CMediaParams::FlushEnvelope(DWORD dwParamIndex, REFERENCE_TIME refTimeStart, REFERENCE_TIME refTimeEnd) {
    return m_envelopes.FlushEnvelope(dwParamIndex, refTimeStart, refTimeEnd);
}

HRESULT CMediaParams::GetParam(DWORD dwParamIndex, MP_DATA* pValue) {
    return m_envelopes.GetParam(dwParamIndex, pValue);
}

HRESULT CMediaParams::SetParam(DWORD dwParamIndex, MP_DATA value) { return m_envelopes.SetParam(dwParamIndex, value); }

HRESULT CMediaParams::SetTimeFormat(GUID guidTimeFormat, MP_TIMEDATA) {
    // The time data means nothing for REFERENCE_TIME.
    if (guidTimeFormat != GUID_TIME_REFERENCE) return E_INVALIDARG;
    return S_OK;
}

// ---- IMediaParamInfo ------------------------------------------------------

HRESULT CMediaParams::GetParamCount(DWORD* pdwParams) {
    if (!pdwParams) return E_POINTER;
    *pdwParams = kParamCount;
    return S_OK;
}

HRESULT CMediaParams::GetParamInfo(DWORD dwParamIndex, MP_PARAMINFO* pInfo) {
    if (dwParamIndex >= static_cast<DWORD>(kParamCount)) return E_INVALIDARG;
    if (!pInfo || IsBadWritePtr(pInfo, sizeof(MP_PARAMINFO))) return E_POINTER;
    *pInfo = m_envelopes.Envelope(dwParamIndex).Descriptor().info;
    return S_OK;
}

HRESULT CMediaParams::GetParamText(DWORD dwParamIndex, WCHAR** ppwchText) {
    if (dwParamIndex >= static_cast<DWORD>(kParamCount)) return E_INVALIDARG;
    if (!ppwchText) return E_POINTER;

    // Label, unit text and, for enumerated parameters, each name, every one
    // NUL-terminated. The fixed fields are read within their 32 characters
    // whether or not they hold a terminator.
    const ParamDescriptor& descriptor = m_envelopes.Envelope(dwParamIndex).Descriptor();
    const size_t labelLength = wcsnlen(descriptor.info.szLabel, 32);
    const size_t unitLength = wcsnlen(descriptor.info.szUnitText, 32);
    const size_t namesLength = descriptor.enumNames ? wcslen(descriptor.enumNames) + 1 : 0;
    const size_t total = labelLength + 1 + unitLength + 1 + namesLength;

    WCHAR* text = static_cast<WCHAR*>(CoTaskMemAlloc(total * sizeof(WCHAR)));
    if (!text) return E_OUTOFMEMORY;
    WCHAR* out = text;
    out = std::wmemcpy(out, descriptor.info.szLabel, labelLength) + labelLength;
    *out++ = 0;
    out = std::wmemcpy(out, descriptor.info.szUnitText, unitLength) + unitLength;
    *out++ = 0;
    for (size_t i = 0; i < namesLength; ++i) {
        const WCHAR c = descriptor.enumNames[i];  // includes the terminator
        *out++ = (c == L',') ? 0 : c;
    }
    *ppwchText = text;
    return S_OK;
}

HRESULT CMediaParams::GetNumTimeFormats(DWORD* pdwNumTimeFormats) {
    if (!pdwNumTimeFormats) return E_POINTER;
    *pdwNumTimeFormats = 1;
    return S_OK;
}

HRESULT CMediaParams::GetSupportedTimeFormat(DWORD dwFormatIndex, GUID* pguidTimeFormat) {
    if (!pguidTimeFormat) return E_POINTER;
    if (dwFormatIndex != 0) return E_INVALIDARG;
    *pguidTimeFormat = GUID_TIME_REFERENCE;
    return S_OK;
}

HRESULT CMediaParams::GetCurrentTimeFormat(GUID* pguidTimeFormat, MP_TIMEDATA*) {
    if (!pguidTimeFormat) return E_POINTER;
    *pguidTimeFormat = GUID_TIME_REFERENCE;
    return S_OK;
}

// ---- IMediaParamsSetUICallback --------------------------------------------

HRESULT CMediaParams::SetUICallback(IMediaParamsUICallback* pICallback) {
    if (pICallback) pICallback->AddRef();
    IMediaParamsUICallback* previous;
    {
        CAutoLock lock(&m_callbackLock);
        previous = m_hostCallback;
        m_hostCallback = pICallback;
    }
    // Released outside the lock: the host's Release may call back into us.
    if (previous) previous->Release();
    return S_OK;
}

IMediaParamsUICallback* CMediaParams::HostCallback() {
    // A reference of the caller's own, so that a SetUICallback on another
    // thread cannot free the callback while it is being called.
    CAutoLock lock(&m_callbackLock);
    if (m_hostCallback) m_hostCallback->AddRef();
    return m_hostCallback;
}

// ---- IMediaParamsUICallback -----------------------------------------------

HRESULT CMediaParams::ParamsBeginCapture(DWORD* pdwParamIndices, DWORD cParams) {
    const HRESULT hr = m_envelopes.SetCapture(pdwParamIndices, cParams, true);
    if (FAILED(hr)) return hr;
    IMediaParamsUICallback* host = HostCallback();
    if (!host) return S_OK;
    const HRESULT hostResult = host->ParamsBeginCapture(pdwParamIndices, cParams);
    host->Release();
    return hostResult;
}

HRESULT CMediaParams::ParamsChanged(DWORD* pdwParamIndices, DWORD cParams, MP_DATA* pValues) {
    // Applied in order; the first failure stops here and the host hears nothing.
    const HRESULT hr = m_envelopes.ApplyChanges(pdwParamIndices, cParams, pValues);
    if (FAILED(hr)) return hr;
    IMediaParamsUICallback* host = HostCallback();
    if (!host) return S_OK;
    const HRESULT hostResult = host->ParamsChanged(pdwParamIndices, cParams, pValues);
    host->Release();
    return hostResult;
}

HRESULT CMediaParams::ParamsEndCapture(DWORD* pdwParamIndices, DWORD cParams) {
    const HRESULT hr = m_envelopes.SetCapture(pdwParamIndices, cParams, false);
    if (FAILED(hr)) return hr;
    IMediaParamsUICallback* host = HostCallback();
    if (!host) return S_OK;
    const HRESULT hostResult = host->ParamsEndCapture(pdwParamIndices, cParams);
    host->Release();
    return hostResult;
}

// ---- IAutomationLink and own operations -------------------------------------

MP_DATA CMediaParams::ValueInForce(DWORD dwParamIndex) const { return m_envelopes.ValueInForce(dwParamIndex); }

HRESULT CMediaParams::SetCaptureFlag(DWORD dwParamIndex, bool captured) {
    return m_envelopes.SetCapture(&dwParamIndex, 1, captured);
}

void CMediaParams::NotifyHost(EHostNotice notice, DWORD dwParamIndex, MP_DATA value) {
    IMediaParamsUICallback* host = HostCallback();
    if (!host) return;
    switch (notice) {
        case EHostNotice::kBeginCapture: host->ParamsBeginCapture(&dwParamIndex, 1); break;
        case EHostNotice::kValueChanged: host->ParamsChanged(&dwParamIndex, 1, &value); break;
        case EHostNotice::kEndCapture: host->ParamsEndCapture(&dwParamIndex, 1); break;
    }
    host->Release();
}

HRESULT CMediaParams::TestAndClearChanged() { return m_envelopes.TestAndClearChanged(); }

HRESULT CMediaParams::MarkChanged() {
    m_envelopes.MarkChanged();
    return S_OK;
}
