#include "clap/ClapParams.h"

#include <cctype>
#include <cstring>
#include <string>

#include "clap/ClapIds.h"
#include "effect/ParamDescription.h"
#include "effect/ParamText.h"

namespace zvclap {

namespace {

constexpr const char* kBypassName = "Bypass";

void CopyText(const std::string& text, char* out, uint32_t size) {
    if (size == 0) return;
    const size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

// "On", "Off", "1", "0" in any case, blanks around.
bool BypassFromText(const char* text, double* value) {
    std::string t;
    for (const char* c = text; *c; ++c) {
        if (!std::isspace(static_cast<unsigned char>(*c))) t += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    }
    if (t == "on" || t == "1") {
        *value = 1.0;
    } else if (t == "off" || t == "0") {
        *value = 0.0;
    } else {
        return false;
    }
    return true;
}

}  // namespace

bool ParamInfo(uint32_t index, clap_param_info_t* info) {
    if (!info || index >= kParamIdCount) return false;
    *info = clap_param_info_t{};
    info->id = index;
    info->cookie = nullptr;
    if (index == kBypassId) {
        info->flags = CLAP_PARAM_IS_BYPASS | CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_AUTOMATABLE;
        CopyText(kBypassName, info->name, sizeof info->name);
        info->min_value = 0.0;
        info->max_value = 1.0;
        info->default_value = 0.0;
        return true;
    }
    const int i = static_cast<int>(index);
    info->flags = CLAP_PARAM_IS_AUTOMATABLE;
    if (kParamDescriptions[i].kind != EParamKind::kContinuous) info->flags |= CLAP_PARAM_IS_STEPPED;
    CopyText(kParamDescriptions[i].name, info->name, sizeof info->name);
    info->min_value = NaturalMinimum(i);
    info->max_value = NaturalMaximum(i);
    info->default_value = NaturalDefault(i);
    return true;
}

bool ParamValueToText(uint32_t id, double value, char* text, uint32_t size) {
    if (!text || size == 0 || id >= kParamIdCount) return false;
    if (id == kBypassId) {
        CopyText(value >= 0.5 ? "On" : "Off", text, size);
    } else {
        const int i = static_cast<int>(id);
        CopyText(ParamValueText(i, InternalFromNatural(i, value)), text, size);
    }
    return true;
}

bool ParamTextToValue(uint32_t id, const char* text, double* value) {
    if (!text || !value || id >= kParamIdCount) return false;
    if (id == kBypassId) return BypassFromText(text, value);
    const int i = static_cast<int>(id);
    int32_t internal = 0;
    if (!ParamValueFromText(i, text, &internal)) return false;
    *value = NaturalFromInternal(i, internal);
    return true;
}

}  // namespace zvclap
