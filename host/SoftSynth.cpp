#include "host/SoftSynth.h"

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

HRESULT CSoftSynth::Connect(IUnknown* host) {
    if (!host) return E_POINTER;
    HRESULT hr;
    {
        CAutoLock lock(FrameLock());
        if (m_connected) {
            hr = E_UNEXPECTED;
        } else {
            hr = QueryHost(host, IID_IWbxHostTimeMap, &m_timeMap);
            if (SUCCEEDED(hr)) {
                // The other three services are optional.
                QueryHost(host, IID_IWbxHostTimeConverter, &m_converter);
                m_connected = 1;
                // A port the host offers here replaces one set through
                // SetHostPort; otherwise that one stays.
                IWbxHostPort* port = nullptr;
                if (SUCCEEDED(QueryHost(host, IID_IWbxHostPort, &port))) {
                    ReleaseAndClear(m_hostPort);
                    m_hostPort = port;
                }
                QueryHost(host, IID_IWbxHostPins, &m_hostPins);
            }
        }
    }
    // The caller handed one reference over with the call, on every path.
    host->Release();
    return hr;
}

HRESULT CSoftSynth::Disconnect() {
    CAutoLock lock(FrameLock());
    ReleaseAndClear(m_timeMap);
    ReleaseAndClear(m_converter);
    ReleaseAndClear(m_hostPort);
    ReleaseAndClear(m_hostPins);
    m_connected = 0;
    return S_OK;
}

void CSoftSynth::EndAllEvents() {
    // The sweep's result does not stop the transport change.
    if (m_owner) m_scheduler.SweepActive(1, m_owner);
    m_scheduler.Clear();
}

HRESULT CSoftSynth::OnStart(WBX_MUSICAL_TIME start) {
    CAutoLock lock(FrameLock());
    EndAllEvents();
    m_scheduler.StartTimeline(TicksToSamples(start));
    if (m_owner) m_owner->OnTransportStart();
    return S_OK;
}

HRESULT CSoftSynth::OnLoop(WBX_MUSICAL_TIME from, WBX_MUSICAL_TIME to) {
    CAutoLock lock(FrameLock());
    m_scheduler.ShiftLoop(SaturatingSub(TicksToSamples(to), TicksToSamples(from)));
    return S_OK;
}

HRESULT CSoftSynth::OnStop() {
    CAutoLock lock(FrameLock());
    if (m_owner) m_owner->OnTransportStop();
    EndAllEvents();
    return S_OK;
}

// The effect sees every event first: a failure stops the caller, S_OK
// queues the event, any other success means it was consumed.
HRESULT CSoftSynth::OfferEvent(QviEvent& event) {
    HRESULT hr = m_owner->OnEvent(&event);
    if (hr == S_OK) hr = m_scheduler.Enqueue(event);
    return hr;
}

HRESULT CSoftSynth::OnEvents(WBX_MUSICAL_TIME, WBX_MUSICAL_TIME, DWORD port, IWbxEventList* events) {
    CAutoLock lock(FrameLock());
    if (!m_timeMap) return E_UNEXPECTED;
    if (!events || !m_owner) return E_POINTER;
    int32_t count = 0;
    HRESULT hr = events->GetCount(&count);
    if (FAILED(hr)) return hr;
    for (int32_t i = 0; i < count; ++i) {
        WbxEvent fetched = {};
        hr = events->GetEvent(i, &fetched);
        if (FAILED(hr)) return hr;
        QviEvent event = QviEventFromWbx(fetched);
        event.frameTime = m_scheduler.SequencedFrameTime(TicksToSamples(event.musicalTime));
        event.portNumber = port;
        event.source = kQviSourceSequenced;
        hr = OfferEvent(event);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT CSoftSynth::OnInput(DWORD port, IWbxMidiBuffer* messages) {
    if (!messages) return E_POINTER;
    CAutoLock lock(FrameLock());
    if (!m_timeMap) return E_UNEXPECTED;
    if (!m_owner) return E_POINTER;
    int32_t count = 0;
    HRESULT hr = messages->GetCount(&count);
    if (FAILED(hr) || count < 1) return hr;
    for (int32_t i = 0; i < count; ++i) {
        WBX_MUSICAL_TIME time = 0;
        uint8_t status = 0, data1 = 0, data2 = 0;
        hr = messages->GetMidiMessage(i, &time, &status, &data1, &data2);
        if (FAILED(hr)) return hr;
        QviEvent event;
        if (!QviEventFromMidi(time, status, data1, data2, &event)) continue;
        event.frameTime = m_scheduler.LiveFrameTime(TicksToSamples(time));
        event.portNumber = port;
        event.source = kQviSourceLive;
        hr = OfferEvent(event);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
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
    CAutoLock lock(FrameLock());
    if (port) port->AddRef();
    ReleaseAndClear(m_hostPort);
    m_hostPort = port;
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
    CAutoLock lock(FrameLock());
    return HostTicksToFrames(m_converter, m_timeMap, SampleRate(), ticks);
}

WBX_MUSICAL_TIME CSoftSynth::SamplesToTicks(int64_t frames) {
    CAutoLock lock(FrameLock());
    return HostFramesToTicks(m_converter, m_timeMap, SampleRate(), frames);
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

IWbxHostPins* CSoftSynth::GetHostPins() {
    CAutoLock lock(FrameLock());
    return m_hostPins;
}

bool CSoftSynth::IsConnected() {
    CAutoLock lock(FrameLock());
    return m_connected != 0;
}

int64_t CSoftSynth::GetPosition() {
    CAutoLock lock(FrameLock());
    return m_scheduler.Position();
}
