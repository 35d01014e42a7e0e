// What the effect needs of its automation object (the media-parameters
// object): a way to pass on values, the value in force per parameter, a
// changed flag, and the capture side of the user-interface callback.
//
// The signatures of SetParam and the three capture calls are those of
// IMediaParams and IMediaParamsUICallback, so the media-parameters object
// implements them once for both its COM faces and the effect.
#pragma once
#include "common/WinTypes.h"

class IAutomationLink {
public:
    // Stores a normalised value as the parameter's static value; raises the
    // changed flag.
    virtual HRESULT STDMETHODCALLTYPE SetParam(DWORD dwParamIndex, MP_DATA value) = 0;
    // The value in force as IMediaParams::GetParam reports it (the saved
    // state is written from it).
    virtual HRESULT STDMETHODCALLTYPE GetParam(DWORD dwParamIndex, MP_DATA* pValue) {
        return E_NOTIMPL;
    }
    // The value in force (normalised). Streaming thread, no lock taken.
    virtual MP_DATA ValueInForce(DWORD dwParamIndex) const = 0;
    // S_OK and clears the changed flag when it was set, else S_FALSE.
    virtual HRESULT TestAndClearChanged() = 0;
    virtual HRESULT STDMETHODCALLTYPE ParamsBeginCapture(DWORD* pdwParamIndices, DWORD cParams) = 0;
    virtual HRESULT STDMETHODCALLTYPE ParamsChanged(DWORD* pdwParamIndices, DWORD cParams,
                                                    MP_DATA* pValues) = 0;
    virtual HRESULT STDMETHODCALLTYPE ParamsEndCapture(DWORD* pdwParamIndices, DWORD cParams) = 0;

protected:
    ~IAutomationLink() = default;
};
