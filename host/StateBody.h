// The effect's part of a saved state (172 bytes): a count, then for each
// parameter its index and its normalised value in force, as the automation
// object reports them. Values go in and out through the automation object.
//
// Saving and loading come in two halves so that the host's stream is never
// read or written under one of our locks: the values are collected (under
// the caller's lock) and then written, or read into a StateBodyValues and
// then applied (under the caller's lock). SaveStateBody and LoadStateBody do
// both halves at once, for callers with no lock to leave.
#pragma once
#include "common/WinTypes.h"
#include "effect/AutomationLink.h"
#include "effect/ParamTable.h"

constexpr uint32_t kStateBodySize = 172;

// The values of one body, by parameter index.
struct StateBodyValues {
    float value[kParamCount] = {};
    bool present[kParamCount] = {};   // loading: the body named this index
};

// The value in force of each parameter (0.0 without an automation object);
// every entry present.
void CollectStateBody(IAutomationLink* automation, StateBodyValues* values);
// Writes the count and the 21 pairs. E_FAIL on a failed or short write.
HRESULT WriteStateBody(IStream* stream, const StateBodyValues& values);

// Reads the count, then that many pairs, keeping for each valid index the
// last value the body gives it (unknown indices are skipped, as SetParam
// would refuse them). A failed or short read ends it with E_FAIL; the pairs
// read before it are kept and marked present. Nothing is allocated whatever
// the count says.
HRESULT ReadStateBody(IStream* stream, StateBodyValues* values);
// Passes every present value to SetParam, in index order: the same end state
// as passing the pairs in stream order.
void ApplyStateBody(IAutomationLink* automation, const StateBodyValues& values);

HRESULT SaveStateBody(IAutomationLink* automation, IStream* stream);
HRESULT LoadStateBody(IAutomationLink* automation, IStream* stream);
