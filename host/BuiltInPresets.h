// The filter's built-in presets: a name and the 21 parameter values each.
// Record 0 is also what every new filter starts with.
#pragma once
#include "effect/ParamTable.h"

struct BuiltInPreset {
    char name[64];   // ANSI
    ParamBlock values;
};

extern const BuiltInPreset kBuiltInPresets[];
extern const int kBuiltInPresetCount;
