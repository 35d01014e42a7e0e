#include "effect/ParamText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "effect/ParamDescription.h"
#include "effect/TempoSync.h"

namespace {

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof(text), format, value);
    return text;
}

std::string Integer(long long value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%lld", value);
    return text;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// 20 * 10^(step * 0.01), rounded to whole hertz: what the editor shows.
long long Hertz(int32_t step) { return static_cast<long long>(std::floor(20.0 * std::pow(10.0, step * 0.01) + 0.5)); }

const char* const kSyncNames[] = {"Off", "Man", "Host"};

// text without blanks around it equals word (letters in any case).
bool IsWord(const char* text, const char* word) {
    while (IsBlank(*text)) ++text;
    for (; *word; ++word, ++text) {
        if (Lower(*text) != Lower(*word)) return false;
    }
    while (IsBlank(*text)) ++text;
    return *text == '\0';
}

// A decimal number at the start of text (after blanks): sign, digits,
// point, digits; in the C locale whatever the host's. *end is set past it.
bool ReadDecimal(const char* text, double* value, const char** end) {
    const char* p = text;
    while (IsBlank(*p)) ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    double v = 0.0;
    bool digits = false;
    for (; *p >= '0' && *p <= '9'; ++p, digits = true) v = v * 10.0 + (*p - '0');
    if (*p == '.') {
        ++p;
        double scale = 0.1;
        for (; *p >= '0' && *p <= '9'; ++p, digits = true, scale *= 0.1) v += (*p - '0') * scale;
    }
    if (!digits) return false;
    *value = negative ? -v : v;
    *end = p;
    return true;
}

// The multiplier of a unit typed after a number (empty: 1), or 0 when the
// text after the number is not a unit of this parameter.
double UnitFactor(EParamUnit unit, const char* rest) {
    if (IsWord(rest, "")) return 1.0;
    if (*ParamUnitSymbol(unit) && IsWord(rest, ParamUnitSymbol(unit))) return 1.0;
    if (unit == EParamUnit::kMilliseconds && IsWord(rest, "s")) return 1000.0;
    if (unit == EParamUnit::kHertz && (IsWord(rest, "k") || IsWord(rest, "kHz"))) return 1000.0;
    return 0.0;
}

// The filter step whose shown hertz is nearest to a typed frequency: the
// nearer step on the logarithmic scale, or a neighbour of it that shows a
// nearer whole number (ties to the lower step).
int32_t StepFromHertz(int index, double hertz) {
    const int32_t near = InternalFromNatural(index, hertz);
    const int32_t offset = index == kParamLowFreq ? -1 : 0;
    const int32_t off = index == kParamLowFreq ? 0 : 301;
    int32_t best = near;
    double bestDistance = INFINITY;
    for (int32_t s = near - 1; s <= near + 1; ++s) {
        if (s < kParamTable[index].minimum || s > kParamTable[index].maximum || s == off) continue;
        const double distance = std::fabs(static_cast<double>(Hertz(s + offset)) - hertz);
        if (distance < bestDistance) {
            best = s;
            bestDistance = distance;
        }
    }
    return best;
}

}  // namespace

std::string NoteValueText(int32_t index) {
    if (index < 0 || index >= kNoteValueCount) return std::string();
    const NoteValue& n = kNoteValues[index];
    char text[32];
    if (n.denominator == 1) {
        std::snprintf(text, sizeof(text), "%d", static_cast<int>(n.numerator));
    } else {
        std::snprintf(text, sizeof(text), "%d/%d", static_cast<int>(n.numerator), static_cast<int>(n.denominator));
    }
    return text;
}

int32_t NoteValueFromText(const char* text) {
    if (!text) return -1;
    for (int32_t i = 0; i < kNoteValueCount; ++i) {
        if (NoteValueText(i) == text) return i;
    }
    return -1;
}

std::string ParamText(EParam param, int32_t v) {
    switch (param) {
    case kParamDelayL:
    case kParamDelayR:
    case kParamTempo:
        return Format("%.01f", static_cast<float>(v) * 0.1f);   // the product in single precision
    case kParamFactorL:
    case kParamFactorR:
        return NoteValueText(v);
    case kParamLowFreq:
        return v == 0 ? "OFF" : Integer(Hertz(v - 1));
    case kParamHighFreq:
        return v == 301 ? "OFF" : Integer(Hertz(v));
    case kParamLowQ:
    case kParamHighQ:
        return Format("%.02f", static_cast<float>(v) * 0.01f);
    case kParamOutput: {
        if (v <= -361) return "-Inf.";
        const long long a = std::llabs(static_cast<long long>(v));
        char text[32];
        std::snprintf(text, sizeof(text), "%s%lld.%lld", v < 0 ? "-" : "", a / 10, a % 10);
        return text;
    }
    case kParamTempoSync:
        return v == 0 ? "Off" : v == 1 ? "Man" : "Host";
    case kParamListen:
        return v != 0 ? "Delay" : "Mix";
    case kParamLink:
        return std::string();
    default:
        return Integer(v);
    }
}

std::string ParamValueName(int index, int32_t v) {
    switch (index) {
    case kParamFactorL:
    case kParamFactorR: return NoteValueText(v);
    case kParamTempoSync: return v >= 0 && v <= 2 ? kSyncNames[v] : "";
    case kParamLowFreq: return v == 0 ? "Off" : "";
    case kParamHighFreq: return v == 301 ? "Off" : "";
    case kParamOutput: return v <= -361 ? "-Inf" : "";
    default: return "";
    }
}

std::string ParamValueText(int index, int32_t v) {
    if (index == kParamLink) return v != 0 ? "On" : "Off";
    const std::string name = ParamValueName(index, v);
    const EParamUnit unit = kParamDescriptions[index].unit;
    const std::string shown = name.empty() ? ParamText(static_cast<EParam>(index), v) : name;
    if (unit == EParamUnit::kNone || (!name.empty() && unit == EParamUnit::kHertz)) return shown;
    return shown + " " + ParamUnitSymbol(unit);
}

std::string AccessibleValueText(EParam param, int32_t v) {
    return param == kParamLink ? std::string() : ParamValueText(param, v);
}

bool ParamValueFromText(int index, const char* text, int32_t* value) {
    if (!text || !value || index < 0 || index >= kParamCount) return false;
    const ParamInfo& p = kParamTable[index];
    const ParamDescription& d = kParamDescriptions[index];
    // A value's name or whole text ("Off", "-Inf dB", "1/4", "Host", "Mix").
    // Every value of an enumeration has one; of a range only its ends (a
    // filter off, the lowest output); a switch also takes "On" and "Off".
    const auto named = [&](int32_t v) {
        const std::string name = ParamValueName(index, v);
        return (!name.empty() && IsWord(text, name.c_str())) || IsWord(text, ParamValueText(index, v).c_str());
    };
    if (d.kind == EParamKind::kEnumeration) {
        for (int32_t v = p.minimum; v <= p.maximum; ++v) {
            if (named(v)) {
                *value = v;
                return true;
            }
        }
        return false;
    }
    for (int32_t v : {p.minimum, p.maximum}) {
        if (named(v)) {
            *value = v;
            return true;
        }
    }
    if (d.kind == EParamKind::kToggle && (IsWord(text, "Off") || IsWord(text, "On"))) {
        *value = IsWord(text, "On") ? 1 : 0;
        return true;
    }
    double number;
    const char* rest;
    if (!ReadDecimal(text, &number, &rest)) return false;
    const double factor = UnitFactor(d.unit, rest);
    if (factor == 0.0) return false;
    number *= factor;
    *value = d.unit == EParamUnit::kHertz ? StepFromHertz(index, number) : InternalFromNatural(index, number);
    return true;
}
