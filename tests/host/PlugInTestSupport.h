// A filter object made in-process, as the class factory makes it.
#pragma once
#include "host/TzPlugIn.h"

inline IBaseFilter* NewPlugIn() {
    HRESULT hr = S_OK;
    IUnknown* inner = CTzPlugIn::CreateInstance(nullptr, &hr);
    if (!inner || FAILED(hr)) return nullptr;
    inner->AddRef();
    IBaseFilter* filter = nullptr;
    inner->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter));
    inner->Release();
    return filter;
}

inline CTzPlugIn* PlugIn(IBaseFilter* filter) { return static_cast<CTzPlugIn*>(filter); }
