// CSoftSynth: the instrument-standard frame of the plug-in.
//
// Hosts of the standard reach the plug-in through IWbxSoftSynth2 (with its
// base IWbxSoftSynth), IWbxNotify and IWbxInputPort: they connect their time
// services, drive the transport, send sequenced and live MIDI, set per-port
// modifiers and ask for the instrument description (CInstrument). The
// processing object (the effect, a CQvi) reaches the frame through
// CQviSynthContext for time conversions and the host's time map.
//
// The filter object derives from CSoftSynth first and supplies IUnknown for
// all three interfaces and the output-management half of CQviSynthContext.
// It calls RenderEvents before each block, then AdvancePosition and
// SweepActive(0) after it.
//
// Threads and locks: hosts call from their own threads, the filter from the
// streaming thread. The owner's lock (the CQvi lock, which is also the filter
// lock) guards the host references, the queue, the active list, the port
// states and the time line; the owner's hooks are called with it held. No
// call into the host is made with it held: the host's services are taken as
// counted references under it (CHostTimeServices, HoldHostPins), used after
// it is left and released there. So Connect queries the host, OnEvents and
// OnInput fetch from the host's list and convert times, and the time
// conversions call the converter or time map, all unlocked, and take the lock
// only to store or queue what they got. The queue, active list, port states
// and time line live in CEventScheduler; this class adds the COM faces and
// the host references.
//
// Files: SoftSynth (this), EventScheduler (queue and delivery), MidiInput
// (records from host input), HostTime (conversions), Instrument and
// StringMap (the description), WbxInterfaces.h and HostServices.h.
#pragma once
#include <cstdint>

#include "common/CritSec.h"
#include "host/EventScheduler.h"
#include "host/HostTime.h"
#include "host/QviSynthContext.h"
#include "host/WbxInterfaces.h"

class CInstrument;
class CQvi;

class CSoftSynth : public CQviSynthContext, public IWbxSoftSynth2, public IWbxNotify, public IWbxInputPort {
public:
    // owner: the processing object, not reference-counted. It may still be
    // under construction (the filter builds the frame first); it is only
    // used from the first host or filter call on. phr receives
    // E_OUTOFMEMORY when the instrument description cannot be created.
    CSoftSynth(CQvi* owner, HRESULT* phr);
    // Releases the host interfaces and the instrument. Does not touch the
    // owner, which the filter destroys first.
    ~CSoftSynth() override;

    CSoftSynth(const CSoftSynth&) = delete;
    CSoftSynth& operator=(const CSoftSynth&) = delete;

    // IWbxSoftSynth
    HRESULT STDMETHODCALLTYPE Connect(IUnknown* host) override;
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE OnStart(WBX_MUSICAL_TIME start) override;
    HRESULT STDMETHODCALLTYPE OnLoop(WBX_MUSICAL_TIME from, WBX_MUSICAL_TIME to) override;
    HRESULT STDMETHODCALLTYPE OnStop() override;
    HRESULT STDMETHODCALLTYPE OnEvents(WBX_MUSICAL_TIME from, WBX_MUSICAL_TIME to, DWORD port,
                                       IWbxEventList* events) override;
    HRESULT STDMETHODCALLTYPE OnInput(DWORD port, IWbxMidiBuffer* messages) override;

    // IWbxSoftSynth2: passed through to the instrument.
    HRESULT STDMETHODCALLTYPE GetBanks(int32_t** banks, int32_t* count) override;
    HRESULT STDMETHODCALLTYPE IsDrumPatch(int32_t bank, int32_t patch) override;
    HRESULT STDMETHODCALLTYPE IsPatchAvailable(int32_t bank, int32_t patch) override;
    HRESULT STDMETHODCALLTYPE GetPatchNames(int32_t bank, IWbxNameList** list) override;
    HRESULT STDMETHODCALLTYPE GetNoteNames(int32_t bank, int32_t patch, IWbxNameList** list) override;
    HRESULT STDMETHODCALLTYPE GetControllerNames(IWbxNameList** list) override;
    HRESULT STDMETHODCALLTYPE GetRpnNames(IWbxNameList** list) override;
    HRESULT STDMETHODCALLTYPE GetNrpnNames(IWbxNameList** list) override;
    HRESULT STDMETHODCALLTYPE GetInstrument(IWbxInstrument** instrument) override;

    // IWbxNotify
    HRESULT STDMETHODCALLTYPE NotifyPortState(const WbxPortStateChange* change) override;

    // IWbxInputPort
    HRESULT STDMETHODCALLTYPE SetHostPort(IWbxHostPort* port) override;
    HRESULT STDMETHODCALLTYPE GetHostPort(IWbxHostPort** port) override;

    // CQviSynthContext: the frame's half. Converter first, then the time map
    // at the owner's input sample rate, else 0. Call with no lock held where
    // possible: the host is called after the frame lock is left, but a
    // caller's own lock stays held.
    int64_t TicksToSamples(WBX_MUSICAL_TIME ticks) override;
    WBX_MUSICAL_TIME SamplesToTicks(int64_t frames) override;
    IWbxHostTimeMap* GetHostTimeMap() override;

    // Per-block calls from the filter (streaming thread).
    HRESULT RenderEvents(int32_t frames);
    void AdvancePosition(int64_t frames);
    HRESULT SweepActive(int32_t flag);

    // The host's time services, with references added (released by
    // services), and the input's sample rate; true when a time map is held.
    // Takes the frame lock briefly; use services after leaving any lock.
    bool HoldTimeServices(CHostTimeServices* services);
    // For the filter's output-pin changes: the host's pin notifier with a
    // reference added (the caller releases it, with no lock held), or null;
    // returns whether the frame is connected.
    bool HoldHostPins(IWbxHostPins** pins);
    bool IsConnected();
    int64_t GetPosition();

    // Inspection (tests): call with the owner's lock held or while no other
    // thread uses the frame.
    const CEventScheduler& Scheduler() const { return m_scheduler; }

protected:
    // The owner's lock (the filter lock).
    CCritSec* FrameLock();

private:
    struct PendingEvents;

    uint32_t SampleRate();
    // Places fetched records on the time line (live: from the position;
    // sequenced: from the start frame and loop offset) and offers them, under
    // the lock. The first failure stops it and is returned.
    HRESULT OfferPending(PendingEvents& pending, bool live);
    // Hands one record to the effect and queues it when the effect says so.
    HRESULT OfferEvent(QviEvent& event);
    // Stops the transport's notes: sweep with the flag set, then empty the
    // queue and the active list. Lock held.
    void EndAllEvents();

    CQvi* m_owner;
    CCritSec m_ownLock;  // stands in for the owner's lock when there is no owner
    IWbxHostTimeMap* m_timeMap = nullptr;
    IWbxHostTimeConverter* m_converter = nullptr;
    IWbxHostPort* m_hostPort = nullptr;
    IWbxHostPins* m_hostPins = nullptr;
    int32_t m_connected = 0;
    CInstrument* m_instrument = nullptr;
    CEventScheduler m_scheduler;
};
