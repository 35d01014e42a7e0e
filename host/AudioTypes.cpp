#include "host/AudioTypes.h"

#include <cstring>

#include "host/Qvi.h"

namespace {

// Above this rate four seconds of delay line no longer fit the engine's
// 32-bit positions.
constexpr DWORD kMaxSampleRate = 0x7FFFFFFF / 4;

// The format block, when the type says it is a WAVEFORMATEX (another format
// type's block, a VIDEOINFOHEADER say, is not read as one) and it is whole.
const WAVEFORMATEX* Format(const AM_MEDIA_TYPE* mt) {
    if (!mt || mt->formattype != FORMAT_WaveFormatEx) return nullptr;
    if (mt->cbFormat < sizeof(WAVEFORMATEX) || !mt->pbFormat) return nullptr;
    return reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
}

// The format with an extensible float tag read as the plain float tag: Wine's
// WAVE Parser, for one, offers float files as WAVE_FORMAT_EXTENSIBLE with the
// IEEE float subformat.
WAVEFORMATEX Plain(const AM_MEDIA_TYPE* mt) {
    WAVEFORMATEX f;
    std::memcpy(&f, mt->pbFormat, sizeof(f));
    if (f.wFormatTag == WAVE_FORMAT_EXTENSIBLE && mt->cbFormat >= sizeof(WAVEFORMATEXTENSIBLE)) {
        const WAVEFORMATEXTENSIBLE* x = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(mt->pbFormat);
        if (x->SubFormat == MEDIASUBTYPE_IEEE_FLOAT) f.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    }
    return f;
}

bool IsFloat(const WAVEFORMATEX& f) { return f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT; }

}  // namespace

HRESULT CheckAudioType(const AM_MEDIA_TYPE* mt, EPinDirection direction, CQvi* effect) {
    if (!mt) return E_POINTER;
    if (mt->majortype != MEDIATYPE_Audio || mt->bTemporalCompression) return VFW_E_TYPE_NOT_ACCEPTED;
    if (!Format(mt)) return VFW_E_TYPE_NOT_ACCEPTED;
    const WAVEFORMATEX plain = Plain(mt);
    const WAVEFORMATEX* f = &plain;
    const bool pcm16 = (f->wFormatTag == WAVE_FORMAT_PCM || f->wFormatTag == WAVE_FORMAT_EXTENSIBLE) &&
                       f->wBitsPerSample == 16;
    const bool floating = IsFloat(*f) && (f->wBitsPerSample == 32 || f->wBitsPerSample == 64);
    if (!pcm16 && !floating) return VFW_E_TYPE_NOT_ACCEPTED;
    if (f->nChannels != 1 && f->nChannels != 2) return VFW_E_TYPE_NOT_ACCEPTED;
    // No delay memory can be set up for a rate of 0 (or an absurd one).
    if (f->nSamplesPerSec == 0 || f->nSamplesPerSec > kMaxSampleRate) return VFW_E_TYPE_NOT_ACCEPTED;
    WAVEFORMATEX copy = plain;
    const HRESULT hr = direction == kDirectionInput ? effect->QviCheckInputFormat(&copy) : effect->QviCheckFormat(&copy);
    return hr == S_OK ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CheckAudioTransform(const AM_MEDIA_TYPE* input, const AM_MEDIA_TYPE* output, CQvi* effect) {
    if (CheckAudioType(input, kDirectionInput, effect) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    if (CheckAudioType(output, kDirectionOutput, effect) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    WAVEFORMATEX a = Plain(input), b = Plain(output);
    if (a.nSamplesPerSec != b.nSamplesPerSec) return VFW_E_TYPE_NOT_ACCEPTED;
    // The processing entry writes the input's float width; 16-bit input is
    // processed as 32-bit float.
    const WORD bits = IsFloat(a) ? a.wBitsPerSample : 32;
    if (b.wBitsPerSample != bits) return VFW_E_TYPE_NOT_ACCEPTED;
    return effect->QviCheckTransform(&a, &b) == S_OK ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

void KeepFormat(WAVEFORMATEX* kept, const AM_MEDIA_TYPE* mt) {
    *kept = Plain(mt);
    kept->nBlockAlign = static_cast<WORD>(kept->wBitsPerSample / 8 * kept->nChannels);
    kept->nAvgBytesPerSec = kept->nSamplesPerSec * kept->nBlockAlign;
    kept->cbSize = 0;
}

HRESULT MakeOutputType(const WAVEFORMATEX& input, AM_MEDIA_TYPE* mt) {
    WAVEFORMATEX* f = static_cast<WAVEFORMATEX*>(CoTaskMemAlloc(sizeof(WAVEFORMATEX)));
    if (!f) return E_OUTOFMEMORY;
    f->wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    f->nChannels = 2;
    f->nSamplesPerSec = input.nSamplesPerSec;
    f->wBitsPerSample = IsFloat(input) ? input.wBitsPerSample : 32;
    f->nBlockAlign = static_cast<WORD>(f->wBitsPerSample / 8 * 2);
    f->nAvgBytesPerSec = f->nSamplesPerSec * f->nBlockAlign;
    f->cbSize = 0;
    mt->majortype = MEDIATYPE_Audio;
    mt->subtype = MEDIASUBTYPE_IEEE_FLOAT;
    mt->bFixedSizeSamples = TRUE;
    mt->bTemporalCompression = FALSE;
    mt->lSampleSize = f->nBlockAlign;
    mt->formattype = FORMAT_WaveFormatEx;
    mt->pUnk = nullptr;
    mt->cbFormat = sizeof(WAVEFORMATEX);
    mt->pbFormat = reinterpret_cast<BYTE*>(f);
    return S_OK;
}
