#include "effect/Delay.h"

#include "host/QviSynthContext.h"

namespace {
constexpr int32_t kStateBodySize = 172;
}

CDelay::CDelay(CQviSynthContext* owner) : CQvi(owner) {}

CDelay::~CDelay() = default;

HRESULT CDelay::QviReset() {
    m_started = 0;
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

HRESULT CDelay::QviPollTempo(int64_t, int32_t*, void*, int32_t, int64_t, void*) { return S_OK; }

HRESULT CDelay::OnEvent(QviEvent*) { return S_OK; }

HRESULT CDelay::OnNoteOn(QviEvent*) { return S_OK; }

HRESULT CDelay::KeepNote(QviEvent*, int32_t) { return S_FALSE; }

HRESULT CDelay::OnFilterStart() { return S_OK; }

HRESULT CDelay::OnFilterStop() {
    m_started = 0;
    return S_OK;
}

int32_t CDelay::GetStateSize() { return kStateBodySize; }

HRESULT CDelay::LoadState(IStream*) { return E_NOTIMPL; }

HRESULT CDelay::SaveState(IStream*) { return E_NOTIMPL; }

HRESULT CDelay::OnTransportStart() {
    m_started = 1;
    m_tempoFollowStop = 0;
    return S_OK;
}

HRESULT CDelay::OnTransportStop() {
    m_tempoFollowStop = 1;
    return S_OK;
}

HRESULT CDelay::HasTempoSource() { return m_owner && m_owner->GetHostTimeMap() ? 1 : 0; }

HRESULT CDelay::IsHostStopped() { return m_started == 0 ? 1 : 0; }
