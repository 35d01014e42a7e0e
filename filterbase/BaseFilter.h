// CBaseFilter: IBaseFilter, IMediaFilter, IPersist and IAMovieSetup written
// once for every filter of this module.
//
// The derived filter gives the lock, its CLSID and its pins (GetPinCount,
// GetPin); it may extend Stop, Pause and Run by overriding them and calling the
// base. See FilterBase.h for the threads and locks.
#pragma once
#include "common/CritSec.h"
#include "filterbase/FilterSetup.h"
#include "filterbase/Unknown.h"

class CBasePin;

class CBaseFilter : public CUnknown, public IBaseFilter, public IAMovieSetup {
public:
    // lock: the filter lock, owned by the derived filter and outliving this
    // base. It guards the state, the clock, the graph membership and every pin
    // operation, and the input pins' Receive holds it for a whole buffer.
    CBaseFilter(REFCLSID clsid, CCritSec* lock, IUnknown* outer = nullptr);
    ~CBaseFilter() override;

    ZV_DECLARE_IUNKNOWN
    // IBaseFilter, IMediaFilter, IPersist, IAMovieSetup, IUnknown.
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IPersist
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;

    // IMediaFilter. All three transitions hold the filter lock while they call
    // the pins' Active, Inactive and Run.
    // Stop: every connected pin made inactive (the first failure is returned,
    // the others still run); state stopped.
    HRESULT STDMETHODCALLTYPE Stop() override;
    // Pause: from stopped, every connected pin made active (a failure is
    // returned at once); state paused.
    HRESULT STDMETHODCALLTYPE Pause() override;
    // Run: start time recorded; from stopped first the (possibly overridden)
    // Pause; each connected pin's Run; state running.
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
    // Reads the state without the filter lock, so that the graph can poll it
    // while a buffer is in progress.
    HRESULT STDMETHODCALLTYPE GetState(DWORD milliseconds, FILTER_STATE* state) override;
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;

    // IBaseFilter
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override;
    // Compares the pin names; VFW_E_NOT_FOUND when none matches.
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) override;
    // Adds a reference to the graph it reports.
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
    // Keeps the graph and its IMediaEventSink without holding references: the
    // graph holds this filter, and leaves with JoinFilterGraph(null).
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override;

    // IAMovieSetup: registers GetSetupData() with the filter mapper
    // (IFilterMapper); S_FALSE when the filter has no setup record.
    HRESULT STDMETHODCALLTYPE Register() override;
    // Removes the registration; a registration that is not there counts as
    // removed. S_FALSE when the filter has no setup record.
    HRESULT STDMETHODCALLTYPE Unregister() override;

    // Hooks, in this order.
    // Stream time: VFW_E_NO_CLOCK without a clock, else the clock's time minus
    // the start time given to Run.
    virtual HRESULT StreamTime(REFERENCE_TIME* time);
    // Changes whenever the pin list changes; pin enumerators compare it.
    virtual LONG GetPinVersion();
    // The pins, by index from 0. GetPin gives the pin with a reference added
    // (the caller releases it), or null outside 0..count-1. Called WITHOUT the
    // filter lock (the graph enumerates pins while a buffer may be in
    // progress): a filter whose pins come and go takes the reference inside
    // the lock that guards its list, so that a pin cannot be removed and
    // deleted between being found and being counted.
    virtual int GetPinCount() = 0;
    virtual CBasePin* GetPin(int index) = 0;
    // The registration record, or null (the default).
    virtual const AMOVIESETUP_FILTER* GetSetupData();

    // Helpers for the derived filter and its pins.
    // The pin with a reference added (null stays null): GetPin's answer for a
    // pin that lives as long as its filter.
    static CBasePin* Counted(CBasePin* pin);
    void IncrementPinVersion();
    FILTER_STATE State() const { return static_cast<FILTER_STATE>(m_state); }
    bool IsStopped() const { return State() == State_Stopped; }
    bool IsActive() const { return State() != State_Stopped; }
    // The graph this filter is in, or null; no reference is added.
    IFilterGraph* GetFilterGraph() const { return m_graph; }
    // Sends an event to the graph (E_NOTIMPL outside a graph). EC_COMPLETE
    // without a second parameter gets this filter's IBaseFilter, as the graph
    // expects from a renderer.
    HRESULT NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2);
    CCritSec* FilterLock() const { return m_lock; }

protected:
    // The filter lock, first in the filter's lock order: the derived filter's
    // other locks and the pins' peer locks may be taken while it is held,
    // never the other way round.
    CCritSec* const m_lock;
    volatile LONG m_state = State_Stopped;  // a FILTER_STATE
    IReferenceClock* m_clock = nullptr;     // counted
    REFERENCE_TIME m_start = 0;             // given to Run

private:
    HRESULT RegisterWith(IFilterMapper* mapper, const AMOVIESETUP_FILTER* setup);

    const CLSID m_clsid;
    IFilterGraph* m_graph = nullptr;          // not counted
    IMediaEventSink* m_eventSink = nullptr;   // not counted
    WCHAR m_name[MAX_FILTER_NAME] = {};
    volatile LONG m_pinVersion = 1;
};
