// The 21 parameter descriptions served to hosts through the media-parameters
// interfaces, derived from the parameter table.
#pragma once
#include "common/WinTypes.h"
#include "effect/ParamTable.h"

struct ParamDescriptor {
    MP_PARAMINFO info;          // handed to hosts as it stands
    float internalMinimum;      // envelope's own range: 0.0 .. 1.0 here, so the
    float internalMaximum;      // automation layer's mapping is the identity
    const WCHAR* enumNames;     // comma-separated names, or none
};

// The table, in parameter-index order. Built once, on first use.
const ParamDescriptor* GetParamDescriptors();
