// The media types the plug-in takes and gives: 16-bit PCM (plain or
// extensible) or 32/64-bit IEEE float, mono or stereo, in; stereo float of
// the input's float width (32-bit for 16-bit input) out, at the input's rate.
#pragma once
#include "filterbase/DShow.h"

class CQvi;

enum EPinDirection { kDirectionInput = 0, kDirectionOutput = 1 };

// S_OK when the type is acceptable for the direction and the effect agrees;
// VFW_E_TYPE_NOT_ACCEPTED otherwise; E_POINTER for none.
HRESULT CheckAudioType(const AM_MEDIA_TYPE* mt, EPinDirection direction, CQvi* effect);

// Both types acceptable for their direction, the same rate, and an output
// whose float width is what the processing entry writes for that input.
HRESULT CheckAudioTransform(const AM_MEDIA_TYPE* input, const AM_MEDIA_TYPE* output, CQvi* effect);

// The 18-byte format of an accepted type, with the derived fields recomputed
// (block align, bytes per second) and no extra bytes.
void KeepFormat(WAVEFORMATEX* kept, const AM_MEDIA_TYPE* mt);

// The output type offered for an input format: stereo float of the right
// width. Fills a zeroed type; the format block comes from CoTaskMemAlloc.
HRESULT MakeOutputType(const WAVEFORMATEX& input, AM_MEDIA_TYPE* mt);
