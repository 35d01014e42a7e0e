// IEnumPins over a CBaseFilter and IEnumMediaTypes over a CBasePin.
//
// Each keeps the version of what it enumerates (the filter's pin version, the
// pin's media-type version) from its creation or last Reset; Next, Skip and
// Clone answer VFW_E_ENUM_OUT_OF_SYNC once that version has changed. Neither
// takes the filter lock.
#pragma once
#include "filterbase/Unknown.h"

class CBaseFilter;
class CBasePin;

class CEnumPins : public CUnknown, public IEnumPins {
public:
    // Holds a reference on the filter. copy: an enumerator to start from, or null.
    CEnumPins(CBaseFilter* filter, const CEnumPins* copy);
    ~CEnumPins() override;

    ZV_DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // E_POINTER without an array, E_INVALIDARG for more than one pin without
    // a count; S_FALSE when fewer than asked were left.
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) override;
    // S_FALSE, without moving, when fewer than asked are left.
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumPins** clone) override;

private:
    bool OutOfSync() const;

    CBaseFilter* const m_filter;
    int m_position = 0;
    LONG m_version = 0;
};

class CEnumMediaTypes : public CUnknown, public IEnumMediaTypes {
public:
    // Holds a reference on the pin. copy: an enumerator to start from, or null.
    CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* copy);
    ~CEnumMediaTypes() override;

    ZV_DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // Types from CBasePin::GetMediaType, each a CoTaskMemAlloc block the
    // caller frees (DeleteMediaType). Argument rules as CEnumPins::Next.
    HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    // Moves on; S_FALSE when that passes the last type.
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** clone) override;

private:
    bool OutOfSync() const;

    CBasePin* const m_pin;
    ULONG m_position = 0;
    LONG m_version = 0;
};
