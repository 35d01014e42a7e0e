#include "filterbase/Enumerators.h"

#include "filterbase/BaseFilter.h"
#include "filterbase/BasePin.h"
#include "filterbase/MediaType.h"

#include <cstring>
#include <new>

CEnumPins::CEnumPins(CBaseFilter* filter, const CEnumPins* copy) : CUnknown(nullptr), m_filter(filter) {
    static_cast<IBaseFilter*>(m_filter)->AddRef();
    if (copy) {
        m_position = copy->m_position;
        m_version = copy->m_version;
    } else {
        m_version = m_filter->GetPinVersion();
    }
}

CEnumPins::~CEnumPins() { static_cast<IBaseFilter*>(m_filter)->Release(); }

HRESULT STDMETHODCALLTYPE CEnumPins::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IEnumPins)) return GetInterface(static_cast<IEnumPins*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

bool CEnumPins::OutOfSync() const { return m_version != m_filter->GetPinVersion(); }

HRESULT STDMETHODCALLTYPE CEnumPins::Next(ULONG count, IPin** pins, ULONG* fetched) {
    if (!pins) return E_POINTER;
    if (count > 1 && !fetched) return E_INVALIDARG;
    if (fetched) *fetched = 0;
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    const int total = m_filter->GetPinCount();
    ULONG got = 0;
    while (got < count && m_position < total) {
        CBasePin* pin = m_filter->GetPin(m_position);   // counted for the caller
        if (!pin) break;
        ++m_position;
        pins[got++] = pin;
    }
    if (fetched) *fetched = got;
    return got == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Skip(ULONG count) {
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    const int total = m_filter->GetPinCount();
    const ULONG left = total > m_position ? static_cast<ULONG>(total - m_position) : 0;
    if (count > left) return S_FALSE;
    m_position += static_cast<int>(count);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Reset() {
    m_version = m_filter->GetPinVersion();
    m_position = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Clone(IEnumPins** clone) {
    if (!clone) return E_POINTER;
    *clone = nullptr;
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    CEnumPins* copy = new (std::nothrow) CEnumPins(m_filter, this);
    if (!copy) return E_OUTOFMEMORY;
    copy->AddRef();
    *clone = copy;
    return S_OK;
}

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* copy) : CUnknown(nullptr), m_pin(pin) {
    static_cast<IPin*>(m_pin)->AddRef();
    if (copy) {
        m_position = copy->m_position;
        m_version = copy->m_version;
    } else {
        m_version = m_pin->GetMediaTypeVersion();
    }
}

CEnumMediaTypes::~CEnumMediaTypes() { static_cast<IPin*>(m_pin)->Release(); }

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IEnumMediaTypes)) return GetInterface(static_cast<IEnumMediaTypes*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

bool CEnumMediaTypes::OutOfSync() const { return m_version != m_pin->GetMediaTypeVersion(); }

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
    if (!types) return E_POINTER;
    if (count > 1 && !fetched) return E_INVALIDARG;
    if (fetched) *fetched = 0;
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG got = 0;
    while (got < count) {
        AM_MEDIA_TYPE mt;
        std::memset(&mt, 0, sizeof(mt));
        HRESULT hr = m_pin->GetMediaType(static_cast<int>(m_position), &mt);
        if (hr != S_OK) {
            FreeMediaType(&mt);
            break;
        }
        auto* out = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        if (!out) {
            FreeMediaType(&mt);
            if (got == 0) return E_OUTOFMEMORY;
            break;
        }
        *out = mt;  // the block takes over the format and pUnk
        types[got++] = out;
        ++m_position;
    }
    if (fetched) *fetched = got;
    return got == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Skip(ULONG count) {
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    if (count == 0) return S_OK;
    m_position += count;
    AM_MEDIA_TYPE mt;
    std::memset(&mt, 0, sizeof(mt));
    HRESULT hr = m_pin->GetMediaType(static_cast<int>(m_position - 1), &mt);
    FreeMediaType(&mt);
    return hr == S_OK ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Reset() {
    m_version = m_pin->GetMediaTypeVersion();
    m_position = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Clone(IEnumMediaTypes** clone) {
    if (!clone) return E_POINTER;
    *clone = nullptr;
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    CEnumMediaTypes* copy = new (std::nothrow) CEnumMediaTypes(m_pin, this);
    if (!copy) return E_OUTOFMEMORY;
    copy->AddRef();
    *clone = copy;
    return S_OK;
}
