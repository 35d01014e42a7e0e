// The factory bank as the VST3 layer's program list. The build writes the
// table from presets/factory/zvDelayDX.ini (FactoryPrograms.cmake: the
// [PresetN] sections in file order, labelled "Bank / Name" as the LV2
// presets are); the plug-in reads no file at run time. Each program's values
// are its Data string, read by the preset store's reader.
#pragma once
#include <cstdint>

#include "effect/ParamTable.h"

namespace zvvst3 {

struct FactoryProgram {
    const char* label;   // "Rhythmic / Dotted Eighth Ping-Pong"
    const char* data;    // the Data string
};

extern const FactoryProgram kFactoryPrograms[];
extern const int32_t kFactoryProgramCount;

// The values of a program (clamped as the setters clamp; the default block
// where its Data string is short). Allocates nothing.
ParamBlock FactoryProgramBlock(int32_t program);

}  // namespace zvvst3
