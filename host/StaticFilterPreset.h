// IStaticFilterPreset: the filter's built-in presets, offered to hosts.
#pragma once
#include "common/WinTypes.h"
#include "host/HostServices.h"

struct IStaticFilterPreset : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetPresetCount(ULONG* count) = 0;
    // The name, converted from the ANSI code page, bounded by length
    // characters; E_INVALIDARG for an index outside the table.
    virtual HRESULT STDMETHODCALLTYPE GetPresetName(LONG index, WCHAR* name, LONG length) = 0;
    virtual HRESULT STDMETHODCALLTYPE ApplyPreset(LONG index) = 0;

protected:
    ~IStaticFilterPreset() = default;
};
