// The VST3 layer's identities, written once: the two plug-ins' class ids,
// the parameter ids beyond the table, the program list and the names hosts
// list.
//
// Class ids are 16-byte ids made once for this plug-in and never changed
// (hosts key sessions, presets and their caches on them). They are written
// as the four 32-bit words of V3_ID, which lays them out as a COM GUID on
// Windows (a host there reads "{CE902F4F-6D7B-46F3-8A8A-74BD97795B75}") and
// in plain byte order elsewhere; the text forms beside them are the GUIDs'
// registry spelling, which the tests compare against what a host reads.
#pragma once
#include <cstdint>

#include "effect/ParamTable.h"

namespace zvvst3 {

// V3_ID(a, b, c, d) words of each class id, and the same id as GUID text.
struct ClassIdWords {
    uint32_t a, b, c, d;
    const char* text;
};
inline constexpr ClassIdWords kStereoClassId = {0xCE902F4F, 0x6D7B46F3, 0x8A8A74BD, 0x97795B75,
                                                "{CE902F4F-6D7B-46F3-8A8A-74BD97795B75}"};
inline constexpr ClassIdWords kMonoClassId = {0x63309B7E, 0x7B9E47DB, 0x85DBB997, 0x0300BDD5,
                                              "{63309B7E-7B9E-47DB-85DB-B9970300BDD5}"};

inline constexpr const char* kStereoName = "zvDelay Stereo";
inline constexpr const char* kMonoName = "zvDelay Mono";
inline constexpr const char* kVendor = "Brasquin Tavrin";
inline constexpr const char* kUrl = "https://zvdelay.example";
inline constexpr const char* kEmail = "";
inline constexpr const char* kCategory = "Audio Module Class";
inline constexpr const char* kSubCategories = "Fx|Delay";
// The interface level the layer is written against, as hosts read it.
inline constexpr const char* kInterfaceVersion = "VST 3.7.0";

// Parameter ids: the 21 parameters at their table index, then the host's
// bypass switch and the program change. Ids never change (sessions keep
// values by id).
inline constexpr uint32_t kBypassParamId = kParamCount;         // 21
inline constexpr uint32_t kProgramParamId = kParamCount + 1;    // 22
inline constexpr int32_t kVst3ParamCount = kParamCount + 2;

// One unit (the root) with one program list: the factory bank.
inline constexpr int32_t kRootUnitId = 0;
inline constexpr int32_t kFactoryListId = 1;

}  // namespace zvvst3
