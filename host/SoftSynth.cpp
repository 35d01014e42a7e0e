#include "host/SoftSynth.h"

#include <utility>

#include "host/FrameMath.h"
#include "host/HostTime.h"
#include "host/Instrument.h"
#include "host/MidiInput.h"
#include "host/Qvi.h"

namespace {

constexpr char kInstrumentName[] = "Delay";

// Queries host for one of its services; null unless the host answers with a
// pointer. Returns the host's result (E_NOINTERFACE for a null answer).
template <class Interface>
HRESULT QueryHost(IUnknown* host, REFIID iid, Interface** service) {
    void* object = nullptr;
    HRESULT hr = host->QueryInterface(iid, &object);
    if (SUCCEEDED(hr) && !object) hr = E_NOINTERFACE;
    *service = SUCCEEDED(hr) ? static_cast<Interface*>(object) : nullptr;
    return hr;
}

template <class Interface>
void ReleaseAndClear(Interface*& pointer) {
    if (pointer) pointer->Release();
    pointer = nullptr;
}

}  // namespace

CSoftSynth::CSoftSynth(CQvi* owner, HRESULT* phr) : m_owner(owner) {
    m_instrument = CInstrument::Create(kInstrumentName);
    if (!m_instrument && phr) *phr = E_OUTOFMEMORY;
}

CSoftSynth::~CSoftSynth() {
    ReleaseAndClear(m_timeMap);
    ReleaseAndClear(m_converter);
    ReleaseAndClear(m_hostPort);
    ReleaseAndClear(m_hostPins);
    ReleaseAndClear(m_instrument);
}

CCritSec* CSoftSynth::FrameLock() { return m_owner ? static_cast<CCritSec*>(m_owner) : &m_ownLock; }

uint32_t CSoftSynth::SampleRate() {
    const WAVEFORMATEX* format = m_owner ? m_owner->GetInputFormat() : nullptr;
    return format ? format->nSamplesPerSec : 0;
}

// --- IWbxSoftSynth -------------------------------------------------------

// The host is queried with no lock held; the services found are put in place
// under the lock, and whatever is given up is released after it.
HRESULT CSoftSynth::Connect(IUnknown* host) {
    if (!host) return E_POINTER;
    bool connected;
    {
        CAutoLock lock(FrameLock());
        connected = m_connected != 0;
    }
    IWbxHostTimeMap* timeMap = nullptr;
    IWbxHostTimeConverter* converter = nullptr;
    IWbxHostPort* port = nullptr;
    IWbxHostPins* pins = nullptr;
    HRESULT hr = connected ? E_UNEXPECTED : QueryHost(host, IID_IWbxHostTimeMap, &timeMap);
    if (SUCCEEDED(hr)) {
        // The other three services are optional.
        QueryHost(host, IID_IWbxHostTimeConverter, &converter);
        QueryHost(host, IID_IWbxHostPort, &port);
        QueryHost(host, IID_IWbxHostPins, &pins);
        CAutoLock lock(FrameLock());
        if (m_connected) {
            hr = E_UNEXPECTED;   // another Connect came first
        } else {
            std::swap(m_timeMap, timeMap);
            std::swap(m_converter, converter);
            std::swap(m_hostPins, pins);
            m_connected = 1;
            // A port the host offers here replaces one set through
            // SetHostPort; otherwise that one stays.
            if (port) std::swap(m_hostPort, port);
        }
    }
    // What was not put in place, or was replaced, goes now.
    ReleaseAndClear(timeMap);
    ReleaseAndClear(converter);
    ReleaseAndClear(port);
    ReleaseAndClear(pins);
    // The caller handed one reference over with the call, on every path.
    host->Release();
    return hr;
}

HRESULT CSoftSynth::Disconnect() {
    IWbxHostTimeMap* timeMap = nullptr;
    IWbxHostTimeConverter* converter = nullptr;
    IWbxHostPort* port = nullptr;
    IWbxHostPins* pins = nullptr;
    {
        CAutoLock lock(FrameLock());
        std::swap(m_timeMap, timeMap);
        std::swap(m_converter, converter);
        std::swap(m_hostPort, port);
        std::swap(m_hostPins, pins);
        m_connected = 0;
    }
    ReleaseAndClear(timeMap);
    ReleaseAndClear(converter);
    ReleaseAndClear(port);
    ReleaseAndClear(pins);
    return S_OK;
}

bool CSoftSynth::HoldTimeServices(CHostTimeServices* services) {
    CAutoLock lock(FrameLock());
    services->Hold(m_converter, m_timeMap, SampleRate());
    return m_timeMap != nullptr;
}

void CSoftSynth::EndAllEvents() {
    // The sweep's result does not stop the transport change.
    if (m_owner) m_scheduler.SweepActive(1, m_owner);
    m_scheduler.Clear();
}

HRESULT CSoftSynth::OnStart(WBX_MUSICAL_TIME start) {
    CHostTimeServices time;
    HoldTimeServices(&time);
    const int64_t startFrame = time.TicksToFrames(start);
    CAutoLock lock(FrameLock());
    EndAllEvents();
    m_scheduler.StartTimeline(startFrame);
    if (m_owner) m_owner->OnTransportStart();
    return S_OK;
}

HRESULT CSoftSynth::OnLoop(WBX_MUSICAL_TIME from, WBX_MUSICAL_TIME to) {
    CHostTimeServices time;
    HoldTimeServices(&time);
    const int64_t shift = SaturatingSub(time.TicksToFrames(to), time.TicksToFrames(from));
    CAutoLock lock(FrameLock());
    m_scheduler.ShiftLoop(shift);
    return S_OK;
}

HRESULT CSoftSynth::OnStop() {
    CAutoLock lock(FrameLock());
    if (m_owner) m_owner->OnTransportStop();
    EndAllEvents();
    return S_OK;
}

// The effect sees every event first: a failure stops the caller, S_OK
// queues the event, any other success means it was consumed. Lock held.
HRESULT CSoftSynth::OfferEvent(QviEvent& event) {
    HRESULT hr = m_owner->OnEvent(&event);
    if (hr == S_OK) hr = m_scheduler.Enqueue(event);
    return hr;
}

// Records fetched and converted with no lock held wait here, a few at a
// time, for the lock under which they are placed on the time line and
// queued.
struct CSoftSynth::PendingEvents {
    static constexpr int kCapacity = 32;
    QviEvent events[kCapacity];
    int64_t frames[kCapacity];   // the musical time in frames
    int count = 0;
};

HRESULT CSoftSynth::OfferPending(PendingEvents& pending, bool live) {
    CAutoLock lock(FrameLock());
    HRESULT hr = S_OK;
    for (int i = 0; i < pending.count && SUCCEEDED(hr); ++i) {
        QviEvent& event = pending.events[i];
        event.frameTime = live ? m_scheduler.LiveFrameTime(pending.frames[i])
                               : m_scheduler.SequencedFrameTime(pending.frames[i]);
        hr = OfferEvent(event);
    }
    pending.count = 0;
    return hr;
}

// The host's list is read and its musical times converted with no lock held;
// the lock is taken only to queue.
HRESULT CSoftSynth::OnEvents(WBX_MUSICAL_TIME, WBX_MUSICAL_TIME, DWORD port, IWbxEventList* events) {
    CHostTimeServices time;
    if (!HoldTimeServices(&time)) return E_UNEXPECTED;
    if (!events || !m_owner) return E_POINTER;
    int32_t count = 0;
    HRESULT hr = events->GetCount(&count);
    if (FAILED(hr)) return hr;
    PendingEvents pending;
    for (int32_t i = 0; i < count; ++i) {
        WbxEvent fetched = {};
        hr = events->GetEvent(i, &fetched);
        if (FAILED(hr)) break;
        QviEvent& event = pending.events[pending.count];
        event = QviEventFromWbx(fetched);
        event.portNumber = port;
        event.source = kQviSourceSequenced;
        pending.frames[pending.count++] = time.TicksToFrames(event.musicalTime);
        if (pending.count == PendingEvents::kCapacity) {
            hr = OfferPending(pending, false);
            if (FAILED(hr)) return hr;
        }
    }
    // The records fetched before a failure stay queued.
    const HRESULT offered = OfferPending(pending, false);
    return FAILED(hr) ? hr : FAILED(offered) ? offered : S_OK;
}

HRESULT CSoftSynth::OnInput(DWORD port, IWbxMidiBuffer* messages) {
    if (!messages) return E_POINTER;
    CHostTimeServices time;
    if (!HoldTimeServices(&time)) return E_UNEXPECTED;
    if (!m_owner) return E_POINTER;
    int32_t count = 0;
    HRESULT hr = messages->GetCount(&count);
    if (FAILED(hr) || count < 1) return hr;
    PendingEvents pending;
    for (int32_t i = 0; i < count; ++i) {
        WBX_MUSICAL_TIME ticks = 0;
        uint8_t status = 0, data1 = 0, data2 = 0;
        hr = messages->GetMidiMessage(i, &ticks, &status, &data1, &data2);
        if (FAILED(hr)) break;
        QviEvent& event = pending.events[pending.count];
        if (!QviEventFromMidi(ticks, status, data1, data2, &event)) continue;
        event.portNumber = port;
        event.source = kQviSourceLive;
        pending.frames[pending.count++] = time.TicksToFrames(ticks);
        if (pending.count == PendingEvents::kCapacity) {
            hr = OfferPending(pending, true);
            if (FAILED(hr)) return hr;
        }
    }
    const HRESULT offered = OfferPending(pending, true);
    return FAILED(hr) ? hr : FAILED(offered) ? offered : S_OK;
}

// --- IWbxSoftSynth2 ------------------------------------------------------

// The instrument exists unless its creation failed in the constructor.
#define ZV_FORWARD_TO_INSTRUMENT(call)                 \
    CAutoLock lock(FrameLock());                       \
    if (!m_instrument) return E_UNEXPECTED;            \
    return m_instrument->call

HRESULT CSoftSynth::GetBanks(int32_t** banks, int32_t* count) { ZV_FORWARD_TO_INSTRUMENT(GetBanks(banks, count)); }

HRESULT CSoftSynth::IsDrumPatch(int32_t bank, int32_t patch) {
    ZV_FORWARD_TO_INSTRUMENT(IsDrumPatch(bank, patch));
}

HRESULT CSoftSynth::IsPatchAvailable(int32_t bank, int32_t patch) {
    ZV_FORWARD_TO_INSTRUMENT(IsPatchAvailable(bank, patch));
}

HRESULT CSoftSynth::GetPatchNames(int32_t bank, IWbxNameList** list) {
    ZV_FORWARD_TO_INSTRUMENT(GetPatchNames(bank, list));
}

HRESULT CSoftSynth::GetNoteNames(int32_t bank, int32_t patch, IWbxNameList** list) {
    ZV_FORWARD_TO_INSTRUMENT(GetNoteNames(bank, patch, list));
}

HRESULT CSoftSynth::GetControllerNames(IWbxNameList** list) { ZV_FORWARD_TO_INSTRUMENT(GetControllerNames(list)); }

HRESULT CSoftSynth::GetRpnNames(IWbxNameList** list) { ZV_FORWARD_TO_INSTRUMENT(GetRpnNames(list)); }

HRESULT CSoftSynth::GetNrpnNames(IWbxNameList** list) { ZV_FORWARD_TO_INSTRUMENT(GetNrpnNames(list)); }

#undef ZV_FORWARD_TO_INSTRUMENT

HRESULT CSoftSynth::GetInstrument(IWbxInstrument** instrument) {
    if (!instrument) return E_POINTER;
    CAutoLock lock(FrameLock());
    *instrument = m_instrument;
    if (!m_instrument) return E_UNEXPECTED;
    m_instrument->AddRef();
    return S_OK;
}

// --- IWbxNotify and IWbxInputPort ----------------------------------------

HRESULT CSoftSynth::NotifyPortState(const WbxPortStateChange* change) {
    if (!change) return E_POINTER;
    CAutoLock lock(FrameLock());
    return m_scheduler.SetPortState(change->type, change->port, change->value, change->mask);
}

HRESULT CSoftSynth::SetHostPort(IWbxHostPort* port) {
    if (port) port->AddRef();
    {
        CAutoLock lock(FrameLock());
        std::swap(m_hostPort, port);
    }
    ReleaseAndClear(port);   // the one held before
    return S_OK;
}

HRESULT CSoftSynth::GetHostPort(IWbxHostPort** port) {
    if (!port) return E_POINTER;
    CAutoLock lock(FrameLock());
    *port = m_hostPort;
    if (!m_hostPort) return S_FALSE;
    m_hostPort->AddRef();
    return S_OK;
}

// --- CQviSynthContext ----------------------------------------------------

int64_t CSoftSynth::TicksToSamples(WBX_MUSICAL_TIME ticks) {
    CHostTimeServices time;
    HoldTimeServices(&time);
    return time.TicksToFrames(ticks);
}

WBX_MUSICAL_TIME CSoftSynth::SamplesToTicks(int64_t frames) {
    CHostTimeServices time;
    HoldTimeServices(&time);
    return time.FramesToTicks(frames);
}

IWbxHostTimeMap* CSoftSynth::GetHostTimeMap() {
    CAutoLock lock(FrameLock());
    return m_timeMap;
}

// --- Per-block calls -----------------------------------------------------

HRESULT CSoftSynth::RenderEvents(int32_t frames) {
    CAutoLock lock(FrameLock());
    return m_scheduler.RenderEvents(frames, m_owner);
}

void CSoftSynth::AdvancePosition(int64_t frames) {
    CAutoLock lock(FrameLock());
    m_scheduler.AdvancePosition(frames);
}

HRESULT CSoftSynth::SweepActive(int32_t flag) {
    CAutoLock lock(FrameLock());
    return m_scheduler.SweepActive(flag, m_owner);
}

bool CSoftSynth::HoldHostPins(IWbxHostPins** pins) {
    CAutoLock lock(FrameLock());
    *pins = m_hostPins;
    if (m_hostPins) m_hostPins->AddRef();
    return m_connected != 0;
}

bool CSoftSynth::IsConnected() {
    CAutoLock lock(FrameLock());
    return m_connected != 0;
}

int64_t CSoftSynth::GetPosition() {
    CAutoLock lock(FrameLock());
    return m_scheduler.Position();
}
