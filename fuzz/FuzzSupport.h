// What the fuzzers share (besides the tests' memory stream and the
// envelope-set link): a check that stops the fuzzer with a finding.
#pragma once
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "automation/EnvelopeSetLink.h"
#include "common/WinTypes.h"
#include "common/MemoryStream.h"

// A finding: the condition is printed and the fuzzer stops with the input.
#define ZV_FUZZ_CHECK(condition)                                                        \
    do {                                                                                \
        if (!(condition)) {                                                             \
            std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                               \
        }                                                                               \
    } while (0)

// Every value in force converts into its parameter's range.
inline void CheckValuesInForce(const CEnvelopeSet& set) {
    for (int i = 0; i < kParamCount; ++i) {
        const int32_t v = NormalisedToParam(i, set.ValueInForce(static_cast<DWORD>(i)));
        ZV_FUZZ_CHECK(v >= kParamTable[i].minimum && v <= kParamTable[i].maximum);
    }
}
