#include "presets/DecimalText.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool ReadDecimal(const char** text, int32_t* value) {
    const char* p = *text;
    if (!p) return false;
    while (IsSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = (*p++ == '-');
    if (!IsDigit(*p)) return false;
    // Accumulate the magnitude in 64 bits and stop growing it once it is past
    // what 32 bits can hold; the digits are still consumed.
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    int64_t magnitude = 0;
    for (; IsDigit(*p); ++p) {
        if (magnitude <= limit) magnitude = magnitude * 10 + (*p - '0');
    }
    if (magnitude > limit) magnitude = limit;
    *value = static_cast<int32_t>(negative ? -magnitude : magnitude);
    *text = p;
    return true;
}

int32_t DecimalValue(const char* text) {
    int32_t value = 0;
    return ReadDecimal(&text, &value) ? value : 0;
}
