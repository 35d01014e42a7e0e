#include "effect/ParamDescription.h"

#include <cmath>

namespace {

using U = EParamUnit;
using K = EParamKind;

// How a parameter's natural value follows from its internal one.
enum class EScale {
    kIdentity,   // the internal value itself
    kTenths,     // internal / 10
    kHundredths, // internal / 100
    kLowCut,     // 20 x 10^((s - 1) / 100) Hz
    kHighCut,    // 20 x 10^(s / 100) Hz
};

constexpr EScale kScales[kParamCount] = {
    EScale::kTenths,     EScale::kIdentity, EScale::kIdentity, EScale::kIdentity,   EScale::kIdentity,
    EScale::kTenths,     EScale::kIdentity, EScale::kIdentity, EScale::kIdentity,   EScale::kIdentity,
    EScale::kIdentity,   EScale::kIdentity, EScale::kLowCut,   EScale::kHundredths, EScale::kHighCut,
    EScale::kHundredths, EScale::kTenths,   EScale::kIdentity, EScale::kTenths,     EScale::kIdentity,
    EScale::kIdentity,
};

// The step's exponent on the frequency scale: s - 1 for the low cut, s for
// the high cut (the two filters' rules differ by one step).
int32_t StepOffset(EScale scale) { return scale == EScale::kLowCut ? -1 : 0; }

}  // namespace

// Columns: name, short name, unit, kind, logarithmic.
const ParamDescription kParamDescriptions[kParamCount] = {
    {"Left Delay", "L Delay", U::kMilliseconds, K::kContinuous, true},
    {"Left Note Value", "L Note", U::kNone, K::kEnumeration, false},
    {"Left Feedback", "L Fdbk", U::kPercent, K::kInteger, false},
    {"Left Cross-feed", "L Xfeed", U::kPercent, K::kInteger, false},
    {"Left Mix", "L Mix", U::kPercent, K::kInteger, false},
    {"Right Delay", "R Delay", U::kMilliseconds, K::kContinuous, true},
    {"Right Note Value", "R Note", U::kNone, K::kEnumeration, false},
    {"Right Feedback", "R Fdbk", U::kPercent, K::kInteger, false},
    {"Right Cross-feed", "R Xfeed", U::kPercent, K::kInteger, false},
    {"Right Mix", "R Mix", U::kPercent, K::kInteger, false},
    {"Diffusion Time", "Diff Tm", U::kNone, K::kInteger, false},
    {"Diffusion Amount", "Diff Amt", U::kPercent, K::kInteger, false},
    {"Low Cut", "Lo Cut", U::kHertz, K::kContinuous, true},
    {"Low Cut Q", "Lo Cut Q", U::kNone, K::kContinuous, false},
    {"High Cut", "Hi Cut", U::kHertz, K::kContinuous, true},
    {"High Cut Q", "Hi Cut Q", U::kNone, K::kContinuous, false},
    {"Output", "Output", U::kDecibels, K::kContinuous, false},
    {"Tempo Sync", "Sync", U::kNone, K::kEnumeration, false},
    {"Tempo", "Tempo", U::kBeatsPerMinute, K::kContinuous, false},
    {"Link", "Link", U::kNone, K::kToggle, false},
    {"Listen", "Listen", U::kNone, K::kToggle, false},
};

double NaturalFromInternal(int index, int32_t value) {
    switch (kScales[index]) {
    case EScale::kTenths: return value / 10.0;
    case EScale::kHundredths: return value / 100.0;
    case EScale::kLowCut:
    case EScale::kHighCut: return 20.0 * std::pow(10.0, (value + StepOffset(kScales[index])) / 100.0);
    case EScale::kIdentity: break;
    }
    return value;
}

int32_t InternalFromNatural(int index, double natural) {
    const ParamInfo& p = kParamTable[index];
    if (std::isnan(natural)) return p.defaultValue;
    double internal;
    switch (kScales[index]) {
    case EScale::kTenths: internal = natural * 10.0; break;
    case EScale::kHundredths: internal = natural * 100.0; break;
    case EScale::kLowCut:
    case EScale::kHighCut:
        if (!(natural > 0.0)) return p.minimum;
        internal = 100.0 * std::log10(natural / 20.0) - StepOffset(kScales[index]);
        break;
    case EScale::kIdentity:
    default: internal = natural; break;
    }
    // The nearer value (halves up), clamped before the conversion to an
    // integer, which would be undefined outside its range.
    const double nearest = std::floor(internal + 0.5);
    if (!(nearest > p.minimum)) return p.minimum;
    if (!(nearest < p.maximum)) return p.maximum;
    return static_cast<int32_t>(nearest);
}

int32_t ParamStepCount(int index) {
    const ParamInfo& p = kParamTable[index];
    return kParamDescriptions[index].kind == EParamKind::kContinuous ? 0 : p.maximum - p.minimum;
}

const char* ParamUnitSymbol(EParamUnit unit) {
    switch (unit) {
    case EParamUnit::kMilliseconds: return "ms";
    case EParamUnit::kPercent: return "%";
    case EParamUnit::kHertz: return "Hz";
    case EParamUnit::kDecibels: return "dB";
    case EParamUnit::kBeatsPerMinute: return "BPM";
    case EParamUnit::kNone: break;
    }
    return "";
}
