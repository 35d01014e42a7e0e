#include "host/FilterSetupData.h"

const WCHAR kFilterName[] = L"Tavrin:zv Delay";

namespace {

const AMOVIESETUP_MEDIATYPE kAudioAnySubtype = {&MEDIATYPE_Audio, &GUID_NULL};

WCHAR kInputName[] = L"Input";
WCHAR kOutputName[] = L"Output";

// Columns: name, rendered, output, zero, many, connects to filter, connects
// to pin, media types.
const AMOVIESETUP_PIN kPins[] = {
    {kInputName, FALSE, FALSE, FALSE, FALSE, &GUID_NULL, kOutputName, 1, &kAudioAnySubtype},
    {kOutputName, FALSE, TRUE, FALSE, FALSE, &GUID_NULL, kInputName, 1, &kAudioAnySubtype},
};

}  // namespace

// Merit: do not use (0x200000); hosts insert the filter by name.
const AMOVIESETUP_FILTER kFilterSetup = {&CLSID_ZvDelay, kFilterName, 0x200000, 2, kPins};
