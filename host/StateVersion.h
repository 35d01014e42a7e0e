// The version number written as text ahead of a saved state: "%011d " in
// UTF-16, 12 code units, no terminator.
#pragma once
#include "common/WinTypes.h"

HRESULT WriteStateVersion(IStream* stream, int32_t version);

// Reads one UTF-16 code unit at a time: an optional '-', digits, and one
// terminating space, tab, CR, LF or NUL. Another unit, or the end of the
// stream, is VFW_E_INVALID_FILE_FORMAT; a failing read returns its error.
// Digits beyond 32 bits wrap (unsigned arithmetic).
HRESULT ReadStateVersion(IStream* stream, int32_t* version);
