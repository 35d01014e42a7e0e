// ITempoFeaturesInfo: tells a host whether the plug-in has a tempo source.
#pragma once
#include "common/WinTypes.h"
#include "host/HostServices.h"

struct ITempoFeaturesInfo : IUnknown {
    // 1 when the host's time map is connected, else 0.
    virtual HRESULT STDMETHODCALLTYPE HasTempoSource() = 0;

protected:
    ~ITempoFeaturesInfo() = default;
};
