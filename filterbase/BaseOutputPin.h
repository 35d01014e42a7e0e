// CBaseOutputPin: IPin for a pin that delivers samples, with media-type and
// allocator negotiation and the Deliver... calls for the derived filter.
#pragma once
#include "filterbase/BasePin.h"

class CPosPassThru;

class CBaseOutputPin : public CBasePin {
public:
    CBaseOutputPin(CBaseFilter* filter, CCritSec* lock, const WCHAR* name);
    ~CBaseOutputPin() override;

    // IPin
    // VFW_E_NOT_STOPPED, VFW_E_ALREADY_CONNECTED, CheckConnect's error. A
    // complete type (major and format type given) is tried alone: its failure
    // is returned. Otherwise, with mt as a pattern, the types of this pin's
    // EnumMediaTypes are tried, then those of the receiving pin;
    // VFW_E_NO_ACCEPTABLE_TYPES when none connects. Each attempt:
    // CheckMediaType, SetMediaType, the peer's ReceiveConnection,
    // DecideAllocator, CompleteConnect.
    HRESULT STDMETHODCALLTYPE Connect(IPin* peer, const AM_MEDIA_TYPE* mt) override;
    // An output pin connects, it is not connected to: E_UNEXPECTED.
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* peer, const AM_MEDIA_TYPE* mt) override;

    // Also requires the peer's IMemInputPin (kept for delivery).
    HRESULT CheckConnect(IPin* peer) override;
    // Commit and decommit the allocator (VFW_E_NO_ALLOCATOR without one).
    HRESULT Active() override;
    HRESULT Inactive() override;
    // Also stops the position pass-through from reaching the filter's input pin.
    void DetachFromFilter() override;

    // Hooks.
    // Filter lock held, during Connect: set the buffer properties on the
    // allocator (IMemAllocator::SetProperties). request holds the downstream
    // pin's requirements, alignment at least 1.
    virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
    // The allocator of the downstream pin (its GetAllocator) if DecideBufferSize
    // and its NotifyAllocator accept it, else one of InitAllocator.
    virtual HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator);
    // A new system memory allocator (CLSID_MemoryAllocator).
    virtual HRESULT InitAllocator(IMemAllocator** allocator);

    // Delivery, for the derived filter (typically from its input pin's hooks).
    // Streaming thread: a buffer from the allocator; may wait for one.
    HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags);
    // Streaming thread: the downstream pin's Receive; VFW_E_NOT_CONNECTED when
    // not connected.
    HRESULT Deliver(IMediaSample* sample);
    // The downstream pin's EndOfStream, BeginFlush, EndFlush, NewSegment;
    // VFW_E_NOT_CONNECTED when not connected. These take no lock, so
    // DeliverBeginFlush may be called from OnBeginFlush.
    HRESULT DeliverEndOfStream();
    HRESULT DeliverBeginFlush();
    HRESULT DeliverEndFlush();
    HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

    // The allocator in use (not counted), or null.
    IMemAllocator* Allocator() const { return m_allocator; }

protected:
    // For the derived pin's NonDelegatingQueryInterface: answers IMediaSeeking
    // and IMediaPosition with a position pass-through to the pin that
    // inputPin is connected to, created on the first request (without the
    // filter lock) and owned by this pin; E_NOINTERFACE for other IIDs.
    HRESULT GetPassThruInterface(REFIID riid, void** ppv, IPin* inputPin);

    void ReleaseConnectionResources() override;

    IMemAllocator* m_allocator = nullptr;  // counted
    IMemInputPin* m_inputPin = nullptr;    // the peer's transport, counted

private:
    HRESULT AttemptConnection(IPin* peer, const AM_MEDIA_TYPE* mt);
    HRESULT TryTypesOf(IPin* source, IPin* peer, const AM_MEDIA_TYPE* pattern);

    CPosPassThru* volatile m_passThru = nullptr;
};
