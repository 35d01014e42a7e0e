// The filter's registration record and identifiers.
#pragma once
#include "common/Guid.h"
#include "filterbase/FilterSetup.h"

ZV_DEFINE_GUID(CLSID_ZvDelay, 0x6A1F3B80, 0xD27E, 0x4C95, 0x8E, 0x14, 0x3B, 0x7D, 0x0A, 0x5C, 0x92, 0xE6);
ZV_DEFINE_GUID(CLSID_ZvDelayPropertyPage, 0x6A1F3B81, 0xD27E, 0x4C95, 0x8E, 0x14, 0x3B, 0x7D, 0x0A, 0x5C, 0x92,
               0xE6);

extern const WCHAR kFilterName[];
extern const AMOVIESETUP_FILTER kFilterSetup;
