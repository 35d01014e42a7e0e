// Hostile values for the fuzzing checks: what a careless or broken host may
// pass. Portable. The loop-safe variants keep feedback plus cross-feed under
// 100 % so that the output must stay finite.
#pragma once
#include <cstdint>
#include <limits>
#include <random>

#include "common/WinTypes.h"
#include "effect/ParamTable.h"

class CHostile {
public:
    explicit CHostile(uint64_t seed) : m_random(seed) {}

    uint32_t Below(uint32_t n) { return n ? static_cast<uint32_t>(m_random() % n) : 0; }
    bool Chance(int percent) { return Below(100) < static_cast<uint32_t>(percent); }
    double Unit() { return static_cast<double>(m_random() >> 11) * (1.0 / 9007199254740992.0); }

    // The feedback and cross-feed parameters, whose values decide the loop gain.
    static bool IsLoopParam(int index) {
        return index == kParamFeedbkL || index == kParamXfeedL || index == kParamFeedbkR || index == kParamXfeedR;
    }

    // An internal value for a setter: in range, at the ends, just outside,
    // or anything at all. Loop parameters stay at 45 or less (clamped to 0
    // when below).
    int32_t SetterValue(int index, bool loopSafe = true) {
        const ParamInfo& p = kParamTable[index];
        int32_t v;
        switch (Below(6)) {
            case 0: v = p.minimum - 1; break;
            case 1: v = p.maximum + 1; break;
            case 2: v = Chance(50) ? INT32_MIN : INT32_MAX; break;
            case 3: v = static_cast<int32_t>(m_random()); break;
            default: v = p.minimum + static_cast<int32_t>(Below(static_cast<uint32_t>(p.maximum - p.minimum) + 1)); break;
        }
        if (loopSafe && IsLoopParam(index) && v > 45) v = static_cast<int32_t>(Below(46));
        return v;
    }

    // A normalised value: NaN, infinities, huge, negative, subnormal, or in
    // range. Loop parameters get nothing above 0.45 (NaN gives the default).
    float NormalisedValue(int index, bool loopSafe = true) {
        float v;
        switch (Below(9)) {
            case 0: v = std::numeric_limits<float>::quiet_NaN(); break;
            case 1: v = std::numeric_limits<float>::infinity(); break;
            case 2: v = -std::numeric_limits<float>::infinity(); break;
            case 3: v = Chance(50) ? 3.0e38f : -3.0e38f; break;
            case 4: v = std::numeric_limits<float>::denorm_min(); break;
            case 5: v = static_cast<float>(Unit() * 4.0 - 2.0); break;
            default: v = static_cast<float>(Unit()); break;
        }
        if (loopSafe && (index < 0 || IsLoopParam(index)) && !(v <= 0.45f) && v == v) v = static_cast<float>(Unit() * 0.45);
        return v;
    }

    // A whole block of setter values.
    ParamBlock Block(bool loopSafe = true) {
        ParamBlock b;
        for (int i = 0; i < kParamCount; ++i) b[i] = SetterValue(i, loopSafe);
        return b;
    }

    // A block inside every range, each value drawn afresh.
    ParamBlock InRangeBlock() {
        ParamBlock b;
        for (int i = 0; i < kParamCount; ++i) {
            const ParamInfo& p = kParamTable[i];
            b[i] = p.minimum + static_cast<int32_t>(Below(static_cast<uint32_t>(p.maximum - p.minimum) + 1));
        }
        return b;
    }

    // A time near `now` (100 ns units) or at the extremes.
    REFERENCE_TIME Time(REFERENCE_TIME now) {
        switch (Below(8)) {
            case 0: return INT64_MIN;
            case 1: return INT64_MAX;
            case 2: return static_cast<REFERENCE_TIME>(m_random());
            case 3: return -static_cast<REFERENCE_TIME>(Below(100000000));
            default: return now + static_cast<REFERENCE_TIME>(Below(40000000)) - 10000000;
        }
    }

    // A curve segment; index -1 means "for every parameter" (values loop-safe).
    MP_ENVELOPE_SEGMENT Segment(int index, REFERENCE_TIME now, bool loopSafe = true) {
        MP_ENVELOPE_SEGMENT s{};
        s.rtStart = Time(now);
        const REFERENCE_TIME length = static_cast<REFERENCE_TIME>(Below(20000000));
        if (Chance(20))
            s.rtEnd = Time(now);
        else
            s.rtEnd = s.rtStart > INT64_MAX - length ? INT64_MAX : s.rtStart + length;
        if (s.rtEnd < s.rtStart && Chance(70)) std::swap(s.rtStart, s.rtEnd);
        s.valStart = NormalisedValue(index, loopSafe);
        s.valEnd = NormalisedValue(index, loopSafe);
        static const DWORD kCurves[] = {MP_CURVE_JUMP, MP_CURVE_LINEAR, MP_CURVE_SQUARE, MP_CURVE_INVSQUARE,
                                        MP_CURVE_SINE, 0, 0x20, 0xFFFFFFFF};
        s.iCurve = static_cast<MP_CURVE_TYPE>(kCurves[Below(8)]);
        s.flags = Chance(90) ? 0 : static_cast<MP_FLAGS>(m_random());
        return s;
    }

    std::mt19937_64& Engine() { return m_random; }

private:
    std::mt19937_64 m_random;
};
