// The plug-in's pins: one input pin, and output pins with ids and reference
// counts of their own.
//
// Both use the filter lock. An output pin is counted by itself (the filter's
// list holds one reference) and may outlive the filter when a host keeps it;
// the filter's destructor detaches it, and it then answers E_UNEXPECTED.
#pragma once
#include "filterbase/FilterBase.h"

class CTzPlugIn;

class CFilterInputPin : public CBaseInputPin {
public:
    CFilterInputPin(CTzPlugIn* filter, CCritSec* lock, HRESULT* phr);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override;
    HRESULT SetMediaType(const AM_MEDIA_TYPE* mt) override;
    HRESULT CompleteConnect(IPin* peer) override;
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** pins, ULONG* count) override;

    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;
    HRESULT OnBeginFlush() override;
    HRESULT OnEndFlush() override;
    HRESULT OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // The end-of-stream handling without the streaming checks (the filter
    // runs it when it pauses or runs with this pin unconnected).
    HRESULT HandleEndOfStream();

private:
    CTzPlugIn* const m_plugIn;
    int32_t m_inTypeCheck = 0;   // re-entrancy guard of CheckMediaType
};

class CFilterOutputPin : public CBaseOutputPin {
public:
    CFilterOutputPin(CTzPlugIn* filter, CCritSec* lock, const WCHAR* name, int32_t id);

    // Counted by itself, not with the filter.
    ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
    ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override;
    HRESULT SetMediaType(const AM_MEDIA_TYPE* mt) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* mt) override;
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

    int32_t Id() const { return m_id; }
    // The filter is going away: cut the pin off it.
    void Detach();

private:
    CTzPlugIn* m_plugIn;
    int32_t m_inTypeCheck = 0;
    const int32_t m_id;
};
