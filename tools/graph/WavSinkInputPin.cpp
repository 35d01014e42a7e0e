#include "tools/graph/WavSinkInputPin.h"

#include <mmreg.h>
#include <cstring>

#include "tools/graph/WavSinkFilter.h"

bool PlainAudioFormat(const AM_MEDIA_TYPE* mt, WAVEFORMATEX* format) {
    if (!mt || !IsEqualGUID(mt->majortype, MEDIATYPE_Audio) || !IsEqualGUID(mt->formattype, FORMAT_WaveFormatEx) ||
        !mt->pbFormat || mt->cbFormat < sizeof(WAVEFORMATEX) - sizeof(WORD))
        return false;
    WAVEFORMATEX wfx{};
    std::memcpy(&wfx, mt->pbFormat, sizeof(WAVEFORMATEX) - sizeof(WORD));
    if (wfx.wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
        if (mt->cbFormat < sizeof(WAVEFORMATEXTENSIBLE)) return false;
        const auto* ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(mt->pbFormat);
        if (IsEqualGUID(ext->SubFormat, MEDIASUBTYPE_PCM))
            wfx.wFormatTag = WAVE_FORMAT_PCM;
        else if (IsEqualGUID(ext->SubFormat, MEDIASUBTYPE_IEEE_FLOAT))
            wfx.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
        else
            return false;
    }
    const WORD bits = wfx.wBitsPerSample;
    const bool pcm = wfx.wFormatTag == WAVE_FORMAT_PCM && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    const bool flt = wfx.wFormatTag == WAVE_FORMAT_IEEE_FLOAT && (bits == 32 || bits == 64);
    if (!pcm && !flt) return false;
    if (wfx.nChannels == 0 || wfx.nSamplesPerSec == 0 || wfx.nBlockAlign != wfx.nChannels * (bits / 8)) return false;
    wfx.cbSize = 0;
    if (format) *format = wfx;
    return true;
}

CWavSinkInputPin::CWavSinkInputPin(CWavSinkFilter* filter, CCritSec* lock)
    : CBaseInputPin(filter, lock, L"In"), m_owner(filter) {}

HRESULT CWavSinkInputPin::CheckMediaType(const AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    return PlainAudioFormat(mt, nullptr) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CWavSinkInputPin::Active() {
    HRESULT hr = CBaseInputPin::Active();
    if (FAILED(hr)) return hr;
    return m_owner->BeginWriting();
}

HRESULT CWavSinkInputPin::Inactive() {
    HRESULT hr = CBaseInputPin::Inactive();
    m_owner->EndWriting();
    return hr;
}

HRESULT CWavSinkInputPin::OnReceive(IMediaSample* sample) {
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data))) return E_POINTER;
    const long length = sample->GetActualDataLength();
    if (length < 0) return E_UNEXPECTED;
    m_owner->Consume(data, static_cast<DWORD>(length));
    // Refusing more once the file cannot grow stops the upstream filter.
    return m_owner->WriteFailed() ? S_FALSE : S_OK;
}

HRESULT CWavSinkInputPin::OnEndOfStream() {
    m_owner->EndOfStream();
    return S_OK;
}
