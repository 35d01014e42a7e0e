#include "presets/DataString.h"

#include <cstdio>

#include "presets/DecimalText.h"

int FormatDataString(const ParamBlock& b, char* out, size_t size) {
    if (!out || size == 0) return -1;
    const int n = std::snprintf(out, size,
                                "%d,%d,%d,%d,%d, %d,%d,%d,%d,%d, %d,%d,%d,%d,%d,%d,%d, %d,%d,%d,%d",
                                static_cast<int>(b[0]), static_cast<int>(b[1]), static_cast<int>(b[2]),
                                static_cast<int>(b[3]), static_cast<int>(b[4]), static_cast<int>(b[5]),
                                static_cast<int>(b[6]), static_cast<int>(b[7]), static_cast<int>(b[8]),
                                static_cast<int>(b[9]), static_cast<int>(b[10]), static_cast<int>(b[11]),
                                static_cast<int>(b[12]), static_cast<int>(b[13]), static_cast<int>(b[14]),
                                static_cast<int>(b[15]), static_cast<int>(b[16]), static_cast<int>(b[17]),
                                static_cast<int>(b[18]), static_cast<int>(b[19]), static_cast<int>(b[20]));
    if (n < 0 || static_cast<size_t>(n) >= size) {
        out[0] = '\0';
        return -1;
    }
    return n;
}

int ReadDataString(const char* text, ParamBlock& block) {
    if (!text) return 0;
    const char* p = text;
    for (int i = 0; i < kParamCount; ++i) {
        // The blanks of the format need no test of their own: a number may
        // be preceded by any white space.
        if (i > 0) {
            if (*p != ',') return i;
            ++p;
        }
        int32_t value = 0;
        if (!ReadDecimal(&p, &value)) return i;
        block[i] = value;
    }
    return kParamCount;
}
