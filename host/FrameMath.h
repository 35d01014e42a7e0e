// Frame-count arithmetic that saturates instead of overflowing. Host times
// come from outside and may be anywhere in the 64-bit range; an event far in
// the future must stay far in the future rather than wrap into the past.
#pragma once
#include <cstdint>
#include <limits>

inline int64_t SaturatingAdd(int64_t a, int64_t b) {
    int64_t sum;
    if (!__builtin_add_overflow(a, b, &sum)) return sum;
    return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

inline int64_t SaturatingSub(int64_t a, int64_t b) {
    int64_t difference;
    if (!__builtin_sub_overflow(a, b, &difference)) return difference;
    return b < 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}
