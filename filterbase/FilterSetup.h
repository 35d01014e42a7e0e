// The registration record a filter describes itself with (IAMovieSetup, the
// server's registration). The pin and media-type rows are the filter mapper's
// own REGFILTERPINS and REGPINTYPES, so one record serves both mappers.
#pragma once
#include "filterbase/DShow.h"

typedef REGPINTYPES AMOVIESETUP_MEDIATYPE;  // major type, subtype
typedef REGFILTERPINS AMOVIESETUP_PIN;      // name, rendered, output, zero, many, connects to, types

struct AMOVIESETUP_FILTER {
    const CLSID* clsID;           // the filter's class
    const WCHAR* strName;         // its name in the mapper
    DWORD dwMerit;                // MERIT_*
    UINT nPins;                   // rows in lpPin
    const AMOVIESETUP_PIN* lpPin;
};
