#include "effect/ParamTable.h"

#include <cmath>

int32_t ClampParam(int index, int32_t value) {
    const ParamInfo& p = kParamTable[index];
    if (value < p.minimum) return p.minimum;
    if (value > p.maximum) return p.maximum;
    return value;
}

float ParamReciprocalSpan(int index) {
    const ParamInfo& p = kParamTable[index];
    return p.span ? static_cast<float>(1.0 / p.span) : 1.0f;
}

float ParamToNormalised(int index, int32_t value) {
    const ParamInfo& p = kParamTable[index];
    if (p.isBool) return static_cast<float>(value);
    return static_cast<float>(value - p.low) * ParamReciprocalSpan(index);
}

int32_t NormalisedToParam(int index, float normalised) {
    const ParamInfo& p = kParamTable[index];
    if (std::isnan(normalised)) return p.defaultValue;
    float t;
    if (p.isBool) {
        t = normalised + 0.5f;
    } else {
        t = normalised * static_cast<float>(p.span);
        if (p.low != 0) t = t + static_cast<float>(p.low);
        t = t + 0.5f;
    }
    // Clamp in the float domain first: converting an out-of-range float to an
    // integer is undefined.
    if (!(t >= static_cast<float>(p.minimum))) return p.minimum;
    if (t >= static_cast<float>(p.maximum) + 1.0f) return p.maximum;
    return ClampParam(index, static_cast<int32_t>(std::floor(t)));
}
