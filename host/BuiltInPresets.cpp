#include "host/BuiltInPresets.h"

// Columns: name; DelayL FactorL FeedbkL XfeedL MixL; DelayR FactorR FeedbkR
// XfeedR MixR; DiffTime DiffAmnt LowFreq LowQ HighFreq HighQ Output
// TempoSync Tempo Link Listen.
const BuiltInPreset kBuiltInPresets[] = {
    {"(Default)",
     {{5000, 12, 40, 10, 30, 5000, 12, 40, 10, 30, 40, 0, 0, 100, 301, 100, 0, 1, 1200, 1, 0}}},
    {"[1] Full Reset",
     {{5000, 12, 40, 10, 30, 5000, 12, 40, 10, 30, 40, 0, 0, 100, 301, 100, 0, 1, 1200, 1, 0}}},
};

const int kBuiltInPresetCount = sizeof(kBuiltInPresets) / sizeof(kBuiltInPresets[0]);
