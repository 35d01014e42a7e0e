// The two media-parameters interfaces that mingw-w64's medparam.h lacks, and
// the time-format identifier this object serves.
//
// IMediaParamsUICallback carries a user's edits as captures and changes: the
// plug-in's editor calls it on the plug-in, and the plug-in passes the same
// calls on to the host's own callback, which may record them as automation.
// IMediaParamsSetUICallback is how the host hands that callback over.
// Identifiers and method order are the published ones; the layout is binary.
#pragma once
#include "common/Guid.h"
#include "common/WinTypes.h"

// {B8E0480A-E08D-4A5D-9228-248017032368}
ZV_DEFINE_GUID(IID_IMediaParamsUICallback, 0xB8E0480A, 0xE08D, 0x4A5D, 0x92, 0x28, 0x24, 0x80, 0x17, 0x03, 0x23,
               0x68);
// {F5011136-C416-48B9-8C35-E7C5F9AA6FDF}
ZV_DEFINE_GUID(IID_IMediaParamsSetUICallback, 0xF5011136, 0xC416, 0x48B9, 0x8C, 0x35, 0xE7, 0xC5, 0xF9, 0xAA, 0x6F,
               0xDF);
// {93AD712B-DAA0-4FFE-BC81-B0CE500FCDD9}: times are REFERENCE_TIME (100 ns).
ZV_DEFINE_GUID(GUID_TIME_REFERENCE, 0x93AD712B, 0xDAA0, 0x4FFE, 0xBC, 0x81, 0xB0, 0xCE, 0x50, 0x0F, 0xCD, 0xD9);

#ifdef _WIN32
#define ZV_INTERFACE(iid) MIDL_INTERFACE(iid)
#else
#define ZV_INTERFACE(iid) struct
#endif

ZV_INTERFACE("B8E0480A-E08D-4A5D-9228-248017032368")
IMediaParamsUICallback : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ParamsBeginCapture(DWORD* pdwParamIndices, DWORD cParams) = 0;
    virtual HRESULT STDMETHODCALLTYPE ParamsChanged(DWORD* pdwParamIndices, DWORD cParams, MP_DATA* pValues) = 0;
    virtual HRESULT STDMETHODCALLTYPE ParamsEndCapture(DWORD* pdwParamIndices, DWORD cParams) = 0;
};

ZV_INTERFACE("F5011136-C416-48B9-8C35-E7C5F9AA6FDF")
IMediaParamsSetUICallback : public IUnknown {
    // Holds a reference on the new callback and releases the previous one;
    // null clears it.
    virtual HRESULT STDMETHODCALLTYPE SetUICallback(IMediaParamsUICallback* pICallback) = 0;
};

#undef ZV_INTERFACE

#if defined(_WIN32) && defined(__CRT_UUID_DECL)
// Lets __uuidof and IID_PPV_ARGS work with the two interfaces.
__CRT_UUID_DECL(IMediaParamsUICallback, 0xB8E0480A, 0xE08D, 0x4A5D, 0x92, 0x28, 0x24, 0x80, 0x17, 0x03, 0x23, 0x68)
__CRT_UUID_DECL(IMediaParamsSetUICallback, 0xF5011136, 0xC416, 0x48B9, 0x8C, 0x35, 0xE7, 0xC5, 0xF9, 0xAA, 0x6F,
                0xDF)
#endif
