// CBasePin: the IPin rules shared by input and output pins.
//
// A pin belongs to a CBaseFilter and shares its lock. It is counted with its
// filter unless the derived pin overrides NonDelegatingAddRef/Release with
// CUnknown's (a pin with a count of its own, which may then outlive the
// filter: the filter's destructor calls DetachFromFilter, after which the pin
// answers E_UNEXPECTED instead of touching the filter).
#pragma once
#include "common/CritSec.h"
#include "filterbase/MediaType.h"
#include "filterbase/Unknown.h"

class CBaseFilter;

class CBasePin : public CUnknown, public IPin {
public:
    // The longest name and id a pin keeps, in characters.
    static constexpr int kMaxPinNameLength = 256;

    // filter: the owner; lock: the filter lock; name: the pin's name and id
    // (cut to kMaxPinNameLength characters).
    CBasePin(CBaseFilter* filter, CCritSec* lock, const WCHAR* name, PIN_DIRECTION direction);
    ~CBasePin() override;

    ZV_DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    // Forward to the filter's owner: the pin lives as long as its filter.
    ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
    ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

    // IPin (Connect and ReceiveConnection are the direction's own).
    // Disconnect: VFW_E_NOT_STOPPED unless the filter is stopped, S_FALSE when
    // not connected; BreakConnect, then the connection is dropped.
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    // Neither of these takes the filter lock: the graph asks them while it
    // sorts its filters, possibly while a buffer is in progress.
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* mt) override;
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override;
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;
    // S_OK when CheckMediaType says S_OK, else S_FALSE.
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* mt) override;
    // The types of GetMediaType; a failure of GetMediaType(0) is returned
    // instead of an enumerator (VFW_E_NOT_CONNECTED from a pin whose types
    // depend on another connection, for example).
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override;
    // E_NOTIMPL: every input pin feeds every output pin.
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** pins, ULONG* count) override;
    // Output pins do not take these: E_UNEXPECTED (CBaseInputPin overrides).
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;
    // Records the segment (SegmentStart/Stop/Rate); S_OK.
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // Hooks. Unless said otherwise they are called with the filter lock held.
    // Type check: S_OK accepts. QueryAccept calls it without the lock.
    virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) = 0;
    // Stores the connection type (CurrentMediaType); after CheckMediaType.
    virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* mt);
    // The preferred types, from position 0: fill *mt (zeroed by the caller,
    // format block from CoTaskMemAlloc) and return S_OK, or
    // VFW_S_NO_MORE_ITEMS past the end (the default: no types), or an error.
    virtual HRESULT GetMediaType(int position, AM_MEDIA_TYPE* mt);
    // Changes whenever the preferred types change; type enumerators compare it.
    virtual LONG GetMediaTypeVersion();
    // Before any type is tried: the peer's direction must be the opposite one
    // (VFW_E_INVALID_DIRECTION).
    virtual HRESULT CheckConnect(IPin* peer);
    // After the type is agreed (and, on an output pin, the allocator).
    virtual HRESULT CompleteConnect(IPin* peer);
    // Undoes CheckConnect..CompleteConnect: called when a connection attempt
    // fails after CheckConnect succeeded, and by Disconnect.
    virtual HRESULT BreakConnect();
    // Stopped to paused, paused to stopped, and the start of running; called
    // by the filter for connected pins only.
    virtual HRESULT Active();
    virtual HRESULT Inactive();
    virtual HRESULT Run(REFERENCE_TIME start);

    // Helpers.
    bool IsConnected() const { return m_connected != nullptr; }
    // The peer, not counted: stable while the filter is stopped or the filter
    // lock is held (connections change only then).
    IPin* GetConnected() const { return m_connected; }
    const AM_MEDIA_TYPE& CurrentMediaType() const { return m_mt.Get(); }
    const WCHAR* Name() const { return m_name; }
    PIN_DIRECTION Direction() const { return m_direction; }
    CBaseFilter* Filter() const { return m_filter; }
    REFERENCE_TIME SegmentStart() const { return m_segmentStart; }
    REFERENCE_TIME SegmentStop() const { return m_segmentStop; }
    double SegmentRate() const { return m_segmentRate; }
    void IncrementTypeVersion();
    // Cuts the pin off a filter that is being destroyed; every call that would
    // need the filter or its lock then returns E_UNEXPECTED. Called by the
    // filter's destructor for a pin with a count of its own.
    virtual void DetachFromFilter();
    bool IsDetached() const { return m_filter == nullptr; }

protected:
    // The peer with a reference added, or VFW_E_NOT_CONNECTED. Safe from any
    // thread, without the filter lock.
    HRESULT GetConnectedRef(IPin** peer) const;
    void SetPeer(IPin* peer);
    void ClearPeer();
    // Drops what the base itself obtained for a connection (allocators,
    // transport interfaces); called after BreakConnect.
    virtual void ReleaseConnectionResources();

    CBaseFilter* m_filter;
    CCritSec* m_lock;  // the filter lock
    CMediaType m_mt;
    REFERENCE_TIME m_segmentStart = 0;
    REFERENCE_TIME m_segmentStop = 0x7FFFFFFFFFFFFFFFLL;
    double m_segmentRate = 1.0;

private:
    IPin* m_connected = nullptr;  // counted
    // Guards m_connected alone. A leaf: held only to copy or swap the pointer
    // and to add a reference; the filter lock may be held when it is taken,
    // never the other way round.
    mutable CCritSec m_peerLock;
    // The whole name (QueryId and FindPin use it); QueryPinInfo hands out at
    // most MAX_PIN_NAME - 1 characters of it.
    WCHAR m_name[kMaxPinNameLength + 1] = {};
    const PIN_DIRECTION m_direction;
    volatile LONG m_typeVersion = 1;
};
