// The effect's part of a saved state (172 bytes): a count, then for each
// parameter its index and its normalised value in force, as the automation
// object reports them. Values go in and out through the automation object.
#pragma once
#include "common/WinTypes.h"
#include "effect/AutomationLink.h"

constexpr uint32_t kStateBodySize = 172;

// Writes the 21 pairs. E_FAIL on a failed or short write.
HRESULT SaveStateBody(IAutomationLink* automation, IStream* stream);

// Reads the count, then that many pairs, passing each to SetParam (whose
// result is ignored, so an unknown index is skipped). A failed or short read
// ends it with E_FAIL, the pairs read before staying applied. Nothing is
// allocated whatever the count says.
HRESULT LoadStateBody(IAutomationLink* automation, IStream* stream);
