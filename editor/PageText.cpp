#include "editor/PageText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "effect/TempoSync.h"

namespace {

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof(text), format, value);
    return text;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

int32_t SaturateToInt32(long long v) {
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

int32_t ParseFixed(const char* text, int decimals) {
    if (!text) return 0;
    const char* p = text;
    while (IsBlank(*p)) ++p;
    const bool negative = *p == '-';
    if (negative) ++p;
    // Wide enough for 9 integer digits past the 32-bit range; beyond that the
    // value is pinned, which the saturation below turns into the limit.
    constexpr long long kCap = 1000000000000000LL;
    long long value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p - '0');
        if (value > kCap) value = kCap;
        ++p;
    }
    for (int i = 0; i < decimals && value < kCap; ++i) value *= 10;
    long long fraction = 0;
    if (*p == '.' && decimals >= 1) {
        ++p;
        for (int i = 0; i < decimals; ++i) {
            fraction *= 10;
            if (*p >= '0' && *p <= '9') {
                fraction += *p - '0';
                ++p;
            }
        }
    }
    const long long result = value + fraction;
    return SaturateToInt32(negative ? -result : result);
}

bool StartsWithNumber(const char* text) {
    if (!text) return false;
    while (IsBlank(*text)) ++text;
    if (*text == '-') ++text;
    if (*text == '.') ++text;
    return *text >= '0' && *text <= '9';
}

bool IsTypedWord(const char* text, const char* word) {
    if (!text || !word) return false;
    while (IsBlank(*text)) ++text;
    for (; *word; ++word, ++text) {
        if (Lower(*text) != Lower(*word)) return false;
    }
    if (*text == '.') ++text;
    while (IsBlank(*text)) ++text;
    return *text == '\0';
}

bool ParseQ(const char* text, int32_t* value) {
    if (!text || !value) return false;
    float f = 0.0f;
    if (std::sscanf(text, "%f", &f) != 1 || !std::isfinite(f)) return false;
    const float scaled = f * 100.0f;
    if (scaled >= 2147483520.0f) {
        *value = std::numeric_limits<int32_t>::max();
    } else if (scaled <= -2147483648.0f) {
        *value = std::numeric_limits<int32_t>::min();
    } else {
        *value = static_cast<int32_t>(scaled);
    }
    return true;
}

int32_t FrequencyStepFromHertz(int32_t hertz) {
    if (hertz <= 0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(std::floor(100.0 * std::log10(hertz * 0.05) + 0.5));
}

int32_t LevelFromPeak(float peak) {
    if (!(peak > 0.0f)) return -9999;
    const float level = std::log10(peak) * 200.0f;
    if (level >= 2147483520.0f) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(level);
}

std::string PeakLevelText(int32_t level) {
    if (level < -999) return "-Inf";
    return Format("%.1f", level * 0.1);
}

int ReadoutGap(int leftWidth, int rightWidth) {
    const int n = (47 - rightWidth - leftWidth) / 3;
    return n < 1 ? 1 : n;
}

int32_t LinkedRatio(int32_t refOther, int32_t value, int32_t refOwn) {
    if (refOwn == 0) return refOther;
    return SaturateToInt32(static_cast<long long>(refOther) * value / refOwn);
}

int32_t LinkedOffset(int32_t refOther, int32_t value, int32_t refOwn) {
    return SaturateToInt32(static_cast<long long>(refOther) - refOwn + value);
}

int32_t DelayByNoteRatio(int32_t refOther, int32_t ownNote, int32_t otherNote) {
    auto ratio = [](int32_t i) {
        const NoteValue& n = kNoteValues[(i >= 0 && i < kNoteValueCount) ? i : 12];
        return static_cast<double>(n.numerator) / n.denominator;
    };
    const double d = std::floor(refOther * ratio(ownNote) / ratio(otherNote) + 0.5);
    if (d >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (d <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(d);
}
