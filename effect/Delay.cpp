#include "effect/Delay.h"

#include "effect/TempoSync.h"
#include "host/HostServices.h"
#include "host/QviEvent.h"
#include "host/StateBody.h"
#include "host/QviSynthContext.h"

CDelay::CDelay(CQviSynthContext* owner) : CQvi(owner) {}

CDelay::~CDelay() = default;

HRESULT CDelay::QviReset() {
    m_started.store(0, std::memory_order_relaxed);
    m_lastHostTempo = 0;
    return S_OK;
}

HRESULT CDelay::QviCheckFormat(const WAVEFORMATEX* format) {
    if (!format) return E_POINTER;
    if (format->wFormatTag == WAVE_FORMAT_IEEE_FLOAT && format->nChannels == 2 &&
        (format->wBitsPerSample == 32 || format->wBitsPerSample == 64)) {
        return S_OK;
    }
    return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CDelay::QviSetOutputChannels(WAVEFORMATEX* format) {
    if (!format) return E_POINTER;
    format->nChannels = 2;
    return S_OK;
}

// Host tempo following (TempoSync 2) in one call: asks the host's time map
// and applies its tempo. The input pin does not use it: it asks the host with
// the filter lock left (FollowsHostTempo), then applies the answer under the
// lock (ApplyHostTempo). The delay times are rewritten only when the host's
// tempo differs from the one last seen, so a manual change of DelayL stands
// until the host tempo changes. The arguments after the stream position are
// the frame's and are not used.
HRESULT CDelay::QviPollTempo(int64_t streamPosition, int32_t*, void*, int32_t, int64_t, void*) {
    if (!FollowsHostTempo() || !m_owner) return S_OK;
    IWbxHostTimeMap* timeMap = m_owner->GetHostTimeMap();
    if (!timeMap) return S_OK;
    const int32_t key = timeMap->GetTempoKey(m_owner->SamplesToTicks(streamPosition));
    int32_t entryTime = 0;
    int32_t hostTempo = 0;
    // A failing query gives no tempo, the same as a tempo of 0.
    if (FAILED(timeMap->GetTempo(key, &entryTime, &hostTempo))) return S_OK;
    ApplyHostTempo(hostTempo);
    return S_OK;
}

bool CDelay::FollowsHostTempo() {
    if (m_tempoFollowStop.load(std::memory_order_relaxed) == 1) return false;
    // TempoSync as it stands now, from the automation's value in force when
    // there is an automation object, else from the published block; one
    // atomic read either way.
    if (IAutomationLink* automation = m_automation) {
        return NormalisedToParam(kParamTempoSync, automation->ValueInForce(kParamTempoSync)) == 2;
    }
    ParamBlock block;
    return m_handover.TryRead(&block) && block[kParamTempoSync] == 2;
}

// The tempo and both delays move in one change, so no buffer runs with the
// new tempo and the old delays. The audio thread never waits for the
// parameter lock: when an editor or host change holds it, the host tempo is
// followed at the next buffer instead (it is still new then).
void CDelay::ApplyHostTempo(int32_t hostTempo) {
    if (hostTempo <= 0 || hostTempo == m_lastHostTempo) return;
    if (!TryBeginChange()) return;
    SyncFromAutomation();
    if (m_live[kParamTempoSync] == 2) {
        m_lastHostTempo = hostTempo;
        const int32_t tempo = TempoFromHost(hostTempo);
        SetTempo(tempo, 0);   // clamped to 50..9999 there
        // The delays use the tempo as computed, not as clamped; right first.
        const int32_t delayR = DelayFromTempo(tempo, m_live[kParamFactorR]);
        const int32_t delayL = DelayFromTempo(tempo, m_live[kParamFactorL]);
        SetDelayL(delayL, 0);
        SetDelayR(delayR, 0);
        SetRefreshPending(1);
    }
    EndChange();
}

HRESULT CDelay::OnEvent(QviEvent*) { return S_OK; }

HRESULT CDelay::OnNoteOn(QviEvent*) { return S_OK; }

// Notes make no sound here, so the frame keeps a note only while a later
// note-off may still refer to it: a live note-on that is still held
// (duration -1). A released note, a sequenced note (which carries its own
// length) and every note at a transport start or stop (flag set) are let go,
// so the active list holds the notes being held and no more.
HRESULT CDelay::KeepNote(QviEvent* event, int32_t flag) {
    if (!event) return E_POINTER;
    const int32_t duration = event->duration;
    return flag == 0 && duration == -1 ? S_FALSE : S_OK;
}

HRESULT CDelay::OnFilterStart() { return S_OK; }

HRESULT CDelay::OnFilterStop() {
    m_started.store(0, std::memory_order_relaxed);
    return S_OK;
}

int32_t CDelay::GetStateSize() { return static_cast<int32_t>(kStateBodySize); }

// The host's stream is read with no lock held (it may be slow, or call back
// into the filter); what arrived is applied under the filter lock, so that no
// buffer sees half of it, as one change of the parameters, so that no
// snapshot does either.
HRESULT CDelay::LoadState(IStream* stream) {
    StateBodyValues values;
    const HRESULT hr = ReadStateBody(stream, &values);
    CAutoLock filterLock(this);
    {
        CChange change(this);
        Touch();
        ApplyStateBody(m_automation, values);
    }
    // Whatever arrived is in force now, even from a body that broke off.
    RefreshParameters();
    return hr;
}

// One consistent snapshot, taken under the parameter lock; the stream is
// written after it is released.
HRESULT CDelay::SaveState(IStream* stream) {
    StateBodyValues values;
    {
        CAutoLock paramLock(&m_paramLock);
        CollectStateBody(m_automation, &values);
    }
    return WriteStateBody(stream, values);
}

HRESULT CDelay::OnTransportStart() {
    m_started.store(1, std::memory_order_relaxed);
    m_tempoFollowStop.store(0, std::memory_order_relaxed);
    return S_OK;
}

HRESULT CDelay::OnTransportStop() {
    m_tempoFollowStop.store(1, std::memory_order_relaxed);
    return S_OK;
}

HRESULT CDelay::HasTempoSource() { return m_owner && m_owner->GetHostTimeMap() ? 1 : 0; }

HRESULT CDelay::IsHostStopped() { return m_started.load(std::memory_order_relaxed) == 0 ? 1 : 0; }
