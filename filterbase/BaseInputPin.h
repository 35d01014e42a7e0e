// CBaseInputPin: IPin and IMemInputPin for a pin that receives samples.
//
// The base does the connection, the allocator bookkeeping and the state checks
// of every streaming call; the derived pin only processes, through the On...
// hooks. Which lock each hook runs under is said at the hook.
#pragma once
#include "filterbase/BasePin.h"

class CBaseInputPin : public CBasePin, public IMemInputPin {
public:
    CBaseInputPin(CBaseFilter* filter, CCritSec* lock, const WCHAR* name);
    ~CBaseInputPin() override;

    ZV_DECLARE_IUNKNOWN
    // IMemInputPin, then CBasePin's.
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IPin
    // An input pin is connected to, it does not connect: E_UNEXPECTED.
    HRESULT STDMETHODCALLTYPE Connect(IPin* peer, const AM_MEDIA_TYPE* mt) override;
    // VFW_E_NOT_STOPPED, VFW_E_ALREADY_CONNECTED, CheckConnect's error
    // (VFW_E_INVALID_DIRECTION), VFW_E_TYPE_NOT_ACCEPTED; then SetMediaType and
    // CompleteConnect, whose failures undo the connection.
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* peer, const AM_MEDIA_TYPE* mt) override;
    // Filter lock held; the streaming checks (see CheckStreaming), then
    // OnEndOfStream.
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    // Sets the flushing state at once (Receive then answers S_FALSE) and calls
    // OnBeginFlush WITHOUT the filter lock: the streaming thread may hold it
    // while it waits in a downstream Receive, and only the flush passed on
    // downstream releases it.
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    // Takes the filter lock (so the streaming thread has left Receive), calls
    // OnEndFlush, then leaves the flushing state.
    HRESULT STDMETHODCALLTYPE EndFlush() override;
    // Filter lock held; records the segment, then OnNewSegment.
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // IMemInputPin
    // The allocator notified last; when there is none yet, a system memory
    // allocator (CLSID_MemoryAllocator), kept as this pin's.
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** allocator) override;
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    // E_NOTIMPL: no requirements.
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
    // Takes the filter lock and holds it for the whole buffer: the streaming
    // checks, a type carried by the sample checked (VFW_E_INVALIDMEDIATYPE),
    // then OnReceive.
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
    // Receive for each sample until one does not give S_OK.
    HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
    // S_OK if a downstream pin fed by this filter may block (or there is no
    // output pin), S_FALSE otherwise.
    HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;

    // Leaves the flushing state and decommits the allocator, which wakes an
    // upstream thread waiting for a buffer.
    HRESULT Inactive() override;

    // Hooks for the derived pin.
    // Streaming thread, filter lock held, state checked: process the sample
    // (and deliver). Default: S_OK, the sample is dropped.
    virtual HRESULT OnReceive(IMediaSample* sample);
    // Streaming thread, filter lock held, state checked. Default: S_OK.
    virtual HRESULT OnEndOfStream();
    // Any thread, filter lock NOT held, already flushing: pass the flush on
    // downstream (DeliverBeginFlush) and drop anything queued. Must not take
    // the filter lock. Default: S_OK.
    virtual HRESULT OnBeginFlush();
    // Filter lock held, still flushing: pass EndFlush on downstream.
    // Default: S_OK.
    virtual HRESULT OnEndFlush();
    // Filter lock held, segment recorded: pass it on downstream.
    // Default: S_OK.
    virtual HRESULT OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

    // Helpers.
    // The state checks of Receive and EndOfStream, in this order: not
    // connected VFW_E_NOT_CONNECTED, filter stopped VFW_E_WRONG_STATE,
    // flushing S_FALSE, else S_OK. Call with the filter lock held.
    HRESULT CheckStreaming();
    bool IsFlushing() const { return m_flushing != 0; }
    bool IsReadOnly() const { return m_readOnly != FALSE; }
    // The allocator in use (not counted), or null.
    IMemAllocator* Allocator() const { return m_allocator; }

protected:
    void ReleaseConnectionResources() override;
    // Undoes the connection ReceiveConnection made (or was making):
    // BreakConnect, the connection's resources, the peer and the type. Takes
    // the filter lock; for a derived pin whose own work after the connection
    // (outside the lock) failed.
    void AbandonConnection();

    IMemAllocator* m_allocator = nullptr;  // counted
    BOOL m_readOnly = FALSE;

private:
    volatile LONG m_flushing = 0;
};
