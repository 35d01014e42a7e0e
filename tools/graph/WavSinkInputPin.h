// CWavSinkInputPin: the input pin of the WAV-writing sink (CWavSinkFilter).
//
// Takes any uncompressed audio type with a WAVEFORMATEX block (PCM of 8, 16,
// 24 or 32 bits, IEEE float of 32 or 64 bits, plain or WAVE_FORMAT_EXTENSIBLE)
// and offers none of its own, so the upstream pin's preferred type is the one
// written. Opens the file when the filter leaves the stopped state and
// finishes it when it returns there. Receive and the state changes run under
// the sink's filter lock, so the writer has one thread at a time.
#pragma once
#include "filterbase/FilterBase.h"

class CWavSinkFilter;

// The format of an uncompressed audio type as a plain WAVEFORMATEX (an
// extensible format's subformat becomes the tag); false for any other type.
bool PlainAudioFormat(const AM_MEDIA_TYPE* mt, WAVEFORMATEX* format);

class CWavSinkInputPin : public CBaseInputPin {
public:
    CWavSinkInputPin(CWavSinkFilter* filter, CCritSec* lock);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override;
    // Stopped to paused: opens the output file (or gets ready to discard).
    HRESULT Active() override;
    // Paused to stopped: decommits (the base), then finishes the file.
    HRESULT Inactive() override;

    // Streaming thread, filter lock held: writes the buffer's whole frames.
    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;

private:
    CWavSinkFilter* const m_owner;
};
