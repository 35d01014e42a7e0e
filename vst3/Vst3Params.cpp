#include "vst3/Vst3Params.h"

#include <travesty/edit_controller.h>

#include <cmath>
#include <cstring>

#include "effect/ParamDescription.h"
#include "effect/ParamText.h"
#include "vst3/Vst3Ids.h"
#include "vst3/Vst3Programs.h"
#include "vst3/Vst3Text.h"

namespace zvvst3 {

namespace {

double Clamp01(double x) { return x < 0.0 ? 0.0 : x > 1.0 ? 1.0 : x; }

// Step k of n (the format's rule for stepped parameters).
int32_t StepFromNormalized(double normalized, int32_t steps) {
    const double k = std::floor(Clamp01(normalized) * (steps + 1));
    return k >= steps ? steps : static_cast<int32_t>(k);
}

// The logarithm's range of a logarithmic parameter.
double LogSpan(int index) { return std::log(NaturalMaximum(index) / NaturalMinimum(index)); }

bool IsNamedWord(const char* text, const char* word) {
    while (*text == ' ' || *text == '\t') ++text;
    for (; *word; ++word, ++text) {
        const char a = *text >= 'A' && *text <= 'Z' ? static_cast<char>(*text - 'A' + 'a') : *text;
        const char b = *word >= 'A' && *word <= 'Z' ? static_cast<char>(*word - 'A' + 'a') : *word;
        if (a != b) return false;
    }
    while (*text == ' ' || *text == '\t') ++text;
    return *text == '\0';
}

}  // namespace

double NormalizedFromInternal(int index, int32_t value) {
    const ParamInfo& p = kParamTable[index];
    value = ClampParam(index, value);
    const int32_t steps = ParamStepCount(index);
    if (steps > 0) return static_cast<double>(value - p.minimum) / steps;
    if (kParamDescriptions[index].logarithmic) {
        return Clamp01(std::log(NaturalFromInternal(index, value) / NaturalMinimum(index)) / LogSpan(index));
    }
    return static_cast<double>(value - p.minimum) / (p.maximum - p.minimum);
}

int32_t InternalFromNormalized(int index, double normalized) {
    const ParamInfo& p = kParamTable[index];
    if (std::isnan(normalized)) return p.defaultValue;
    normalized = Clamp01(normalized);
    const int32_t steps = ParamStepCount(index);
    if (steps > 0) return p.minimum + StepFromNormalized(normalized, steps);
    if (kParamDescriptions[index].logarithmic) {
        return InternalFromNatural(index, NaturalMinimum(index) * std::exp(normalized * LogSpan(index)));
    }
    return ClampParam(index, p.minimum + static_cast<int32_t>(std::floor(normalized * (p.maximum - p.minimum) + 0.5)));
}

bool IsParamId(uint32_t id) { return id < static_cast<uint32_t>(kVst3ParamCount); }

int32_t ProgramFromNormalized(double normalized) {
    if (kFactoryProgramCount < 2) return 0;
    return StepFromNormalized(normalized, kFactoryProgramCount - 1);
}

double NormalizedFromProgram(int32_t program) {
    if (kFactoryProgramCount < 2 || program <= 0) return 0.0;
    if (program >= kFactoryProgramCount - 1) return 1.0;
    return static_cast<double>(program) / (kFactoryProgramCount - 1);
}

double PlainFromNormalized(uint32_t id, double normalized) {
    if (id < static_cast<uint32_t>(kParamCount)) {
        const int index = static_cast<int>(id);
        return NaturalFromInternal(index, InternalFromNormalized(index, normalized));
    }
    if (id == kBypassParamId) return normalized >= 0.5 ? 1.0 : 0.0;
    if (id == kProgramParamId) return ProgramFromNormalized(normalized);
    return 0.0;
}

double NormalizedFromPlain(uint32_t id, double plain) {
    if (id < static_cast<uint32_t>(kParamCount)) {
        const int index = static_cast<int>(id);
        return NormalizedFromInternal(index, InternalFromNatural(index, plain));
    }
    if (id == kBypassParamId) return plain >= 0.5 ? 1.0 : 0.0;
    if (id == kProgramParamId) {
        return std::isnan(plain) ? 0.0 : NormalizedFromProgram(static_cast<int32_t>(std::floor(plain + 0.5)));
    }
    return 0.0;
}

double DefaultNormalized(uint32_t id) {
    if (id < static_cast<uint32_t>(kParamCount)) {
        const int index = static_cast<int>(id);
        return NormalizedFromInternal(index, kParamTable[index].defaultValue);
    }
    return 0.0;
}

bool FillParamInfo(int32_t index, v3_param_info* info) {
    if (!info || index < 0 || index >= kVst3ParamCount) return false;
    std::memset(info, 0, sizeof *info);
    info->param_id = static_cast<v3_param_id>(index);
    info->unit_id = kRootUnitId;
    if (index < kParamCount) {
        const ParamDescription& d = kParamDescriptions[index];
        CopyUtf16(d.name, info->title, 128);
        CopyUtf16(d.shortName, info->short_title, 128);
        CopyUtf16(ParamUnitSymbol(d.unit), info->units, 128);
        info->step_count = ParamStepCount(index);
        info->default_normalised_value = DefaultNormalized(static_cast<uint32_t>(index));
        info->flags = V3_PARAM_CAN_AUTOMATE | (d.kind == EParamKind::kEnumeration ? V3_PARAM_IS_LIST : 0);
    } else if (static_cast<uint32_t>(index) == kBypassParamId) {
        CopyUtf16("Bypass", info->title, 128);
        CopyUtf16("Bypass", info->short_title, 128);
        info->step_count = 1;
        info->flags = V3_PARAM_CAN_AUTOMATE | V3_PARAM_IS_BYPASS;
    } else {
        CopyUtf16("Program", info->title, 128);
        CopyUtf16("Program", info->short_title, 128);
        info->step_count = kFactoryProgramCount > 1 ? kFactoryProgramCount - 1 : 0;
        info->flags = V3_PARAM_CAN_AUTOMATE | V3_PARAM_IS_LIST | V3_PARAM_PROGRAM_CHANGE;
    }
    return true;
}

std::string ValueText(uint32_t id, double normalized) {
    if (id < static_cast<uint32_t>(kParamCount)) {
        const int index = static_cast<int>(id);
        return ParamValueText(index, InternalFromNormalized(index, normalized));
    }
    if (id == kBypassParamId) return normalized >= 0.5 ? "On" : "Off";
    if (id == kProgramParamId) return kFactoryPrograms[ProgramFromNormalized(normalized)].label;
    return "";
}

bool NormalizedFromText(uint32_t id, const char* text, double* normalized) {
    if (!text || !normalized) return false;
    if (id < static_cast<uint32_t>(kParamCount)) {
        const int index = static_cast<int>(id);
        int32_t value = 0;
        if (!ParamValueFromText(index, text, &value)) return false;
        *normalized = NormalizedFromInternal(index, value);
        return true;
    }
    if (id == kBypassParamId) {
        if (IsNamedWord(text, "on") || IsNamedWord(text, "1")) {
            *normalized = 1.0;
        } else if (IsNamedWord(text, "off") || IsNamedWord(text, "0")) {
            *normalized = 0.0;
        } else {
            return false;
        }
        return true;
    }
    if (id == kProgramParamId) {
        for (int32_t p = 0; p < kFactoryProgramCount; ++p) {
            if (IsNamedWord(text, kFactoryPrograms[p].label)) {
                *normalized = NormalizedFromProgram(p);
                return true;
            }
        }
    }
    return false;
}

}  // namespace zvvst3
