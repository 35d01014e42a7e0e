#include "filterbase/PosPassThru.h"

CPosPassThru::CPosPassThru(IUnknown* outer, IPin* inputPin) : CUnknown(outer), m_inputPin(inputPin) {}

CPosPassThru::~CPosPassThru() = default;

HRESULT STDMETHODCALLTYPE CPosPassThru::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IMediaSeeking)) return GetInterface(static_cast<IMediaSeeking*>(this), ppv);
    if (IsEqualIID(riid, IID_IMediaPosition)) return GetInterface(static_cast<IMediaPosition*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CPosPassThru::GetUpstream(REFIID riid, void** itf) {
    *itf = nullptr;
    IPin* input = m_inputPin;
    IPin* upstream = nullptr;
    if (!input || input->ConnectedTo(&upstream) != S_OK || !upstream) return E_NOTIMPL;
    HRESULT hr = upstream->QueryInterface(riid, itf);
    upstream->Release();
    if (FAILED(hr) || !*itf) {
        *itf = nullptr;
        return E_NOTIMPL;
    }
    return S_OK;
}

// Each call below: the upstream pin's interface, the same call, its answer.

HRESULT STDMETHODCALLTYPE CPosPassThru::GetCapabilities(DWORD* capabilities) {
    IMediaSeeking* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaSeeking, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->GetCapabilities(capabilities);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::CheckCapabilities(DWORD* capabilities) {
    IMediaSeeking* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaSeeking, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->CheckCapabilities(capabilities);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::IsFormatSupported(const GUID* format) {
    IMediaSeeking* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaSeeking, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->IsFormatSupported(format);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::QueryPreferredFormat(GUID* format) {
    IMediaSeeking* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaSeeking, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->QueryPreferredFormat(format);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::GetTimeFormat(GUID* format) {
    IMediaSeeking* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaSeeking, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->GetTimeFormat(format);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::IsUsingTimeFormat(const GUID* format) {
    IMediaSeeking* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaSeeking, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->IsUsingTimeFormat(format);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::SetTimeFormat(const GUID* format) {
    IMediaSeeking* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaSeeking, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->SetTimeFormat(format);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::GetDuration(LONGLONG* duration) {
    IMediaSeeking* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaSeeking, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->GetDuration(duration);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::GetStopPosition(LONGLONG* stop) {
    IMediaSeeking* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaSeeking, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->GetStopPosition(stop);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::GetCurrentPosition(LONGLONG* current) {
    IMediaSeeking* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaSeeking, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->GetCurrentPosition(current);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source, const GUID* sourceFormat) {
    IMediaSeeking* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaSeeking, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->ConvertTimeFormat(target, targetFormat, source, sourceFormat);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) {
    IMediaSeeking* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaSeeking, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->SetPositions(current, currentFlags, stop, stopFlags);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::GetPositions(LONGLONG* current, LONGLONG* stop) {
    IMediaSeeking* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaSeeking, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->GetPositions(current, stop);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
    IMediaSeeking* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaSeeking, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->GetAvailable(earliest, latest);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::SetRate(double rate) {
    IMediaSeeking* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaSeeking, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->SetRate(rate);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::GetRate(double* rate) {
    IMediaSeeking* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaSeeking, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->GetRate(rate);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::GetPreroll(LONGLONG* preroll) {
    IMediaSeeking* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaSeeking, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->GetPreroll(preroll);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CPosPassThru::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CPosPassThru::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CPosPassThru::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                               UINT*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::get_Duration(REFTIME* length) {
    IMediaPosition* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaPosition, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->get_Duration(length);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::put_CurrentPosition(REFTIME time) {
    IMediaPosition* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaPosition, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->put_CurrentPosition(time);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::get_CurrentPosition(REFTIME* time) {
    IMediaPosition* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaPosition, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->get_CurrentPosition(time);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::get_StopTime(REFTIME* time) {
    IMediaPosition* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaPosition, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->get_StopTime(time);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::put_StopTime(REFTIME time) {
    IMediaPosition* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaPosition, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->put_StopTime(time);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::get_PrerollTime(REFTIME* time) {
    IMediaPosition* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaPosition, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->get_PrerollTime(time);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::put_PrerollTime(REFTIME time) {
    IMediaPosition* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaPosition, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->put_PrerollTime(time);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::put_Rate(double rate) {
    IMediaPosition* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaPosition, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->put_Rate(rate);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::get_Rate(double* rate) {
    IMediaPosition* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaPosition, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->get_Rate(rate);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::CanSeekForward(LONG* can) {
    IMediaPosition* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaPosition, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->CanSeekForward(can);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::CanSeekBackward(LONG* can) {
    IMediaPosition* upstream = nullptr;
    HRESULT hr = GetUpstream(IID_IMediaPosition, reinterpret_cast<void**>(&upstream));
    if (FAILED(hr)) return hr;
    hr = upstream->CanSeekBackward(can);
    upstream->Release();
    return hr;
}
