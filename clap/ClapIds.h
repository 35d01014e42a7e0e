// The CLAP face of the delay: the two plug-ins of the factory, their ids and
// descriptions, and the parameter ids. The plug-in (ClapEntry.cpp,
// ClapDelay.cpp) and the tests read it.
#pragma once
#include <cstdint>

#include "effect/ParamTable.h"

namespace zvclap {

// Reverse-domain ids under our own domain (zvdelay.example, reserved for
// examples: no real product lives there).
inline constexpr const char* kStereoId = "example.zvdelay.stereo";
inline constexpr const char* kMonoId = "example.zvdelay.mono";
inline constexpr const char* kStereoName = "zvDelay Stereo";
inline constexpr const char* kMonoName = "zvDelay Mono";
// The maker, as the filter's version record names it.
inline constexpr const char* kVendor = "Brasquin Tavrin";
inline constexpr const char* kUrl = "https://zvdelay.example/";
inline constexpr const char* kDescription =
    "A stereo delay with feedback, cross-feed, diffusion, tone filters and tempo sync.";

struct PlugInKind {
    const char* id;
    const char* name;
    int inputChannels;   // the output is always stereo
};
inline constexpr PlugInKind kPlugIns[] = {
    {kStereoId, kStereoName, 2},
    {kMonoId, kMonoName, 1},
};
inline constexpr uint32_t kPlugInCount = 2;

// Parameter ids: the 21 parameters at their table index, then the host's
// bypass switch. Stable: sessions keep automation by these numbers.
inline constexpr uint32_t kBypassId = kParamCount;   // 21
inline constexpr uint32_t kParamIdCount = kParamCount + 1;

}  // namespace zvclap
