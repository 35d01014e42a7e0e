// The 21 parameters: one table that every other part reads.
//
// Each parameter has an internal form (a signed 32-bit integer in a fixed
// range and unit; what the signal path, editor, presets, setups and undo use)
// and a normalised form (a float from 0.0 to 1.0; what automation and hosts
// use). The conversions are specified to the single-precision operation so
// that a value survives the round trip host -> envelope -> effect exactly.
#pragma once
#include <cstdint>

// X-macro over the parameters in index order. Everything that needs one item
// per parameter (getter/setter pairs, names) expands this list.
#define ZV_PARAM_LIST(X) \
    X(DelayL)            \
    X(FactorL)           \
    X(FeedbkL)           \
    X(XfeedL)            \
    X(MixL)              \
    X(DelayR)            \
    X(FactorR)           \
    X(FeedbkR)           \
    X(XfeedR)            \
    X(MixR)              \
    X(DiffTime)          \
    X(DiffAmnt)          \
    X(LowFreq)           \
    X(LowQ)              \
    X(HighFreq)          \
    X(HighQ)             \
    X(Output)            \
    X(TempoSync)         \
    X(Tempo)             \
    X(Link)              \
    X(Listen)

enum EParam : int {
#define ZV_PARAM_ENUM(name) kParam##name,
    ZV_PARAM_LIST(ZV_PARAM_ENUM)
#undef ZV_PARAM_ENUM
    kParamCount
};
static_assert(kParamCount == 21, "the parameter set has 21 entries");

struct ParamInfo {
    const char* name;   // label served to hosts, Data-string order
    int32_t minimum;    // internal range, inclusive
    int32_t maximum;
    int32_t defaultValue;
    int32_t span;       // divisor of the normalised form (0 for Booleans)
    int32_t low;        // internal value that normalises to 0.0
    bool isBool;        // Link and Listen: normalised form is the value itself
};

// Index order, name, range, default, span and low of every parameter.
// Columns: name, minimum, maximum, default, span, low, Boolean.
inline constexpr ParamInfo kParamTable[kParamCount] = {
    {"DelayL", 1, 40000, 5000, 39999, 1, false},
    {"FactorL", 0, 19, 12, 19, 0, false},
    {"FeedbkL", 0, 100, 40, 100, 0, false},
    {"XfeedL", 0, 100, 10, 100, 0, false},
    {"MixL", 0, 100, 30, 100, 0, false},
    {"DelayR", 1, 40000, 5000, 39999, 1, false},
    {"FactorR", 0, 19, 12, 19, 0, false},
    {"FeedbkR", 0, 100, 40, 100, 0, false},
    {"XfeedR", 0, 100, 10, 100, 0, false},
    {"MixR", 0, 100, 30, 100, 0, false},
    {"DiffTime", 1, 100, 40, 99, 1, false},
    {"DiffAmnt", 0, 100, 0, 100, 0, false},
    {"LowFreq", 0, 301, 0, 301, 0, false},
    {"LowQ", 30, 130, 100, 100, 30, false},
    {"HighFreq", 1, 301, 301, 300, 1, false},
    {"HighQ", 30, 130, 100, 100, 30, false},
    {"Output", -361, 60, 0, 421, -361, false},
    {"TempoSync", 0, 2, 1, 2, 0, false},
    {"Tempo", 50, 9999, 1200, 9949, 50, false},
    {"Link", 0, 1, 1, 0, 0, true},
    {"Listen", 0, 1, 0, 0, 0, true},
};

// The parameter block: 21 internal values in index order, 84 bytes.
struct ParamBlock {
    int32_t v[kParamCount];
    int32_t& operator[](int i) { return v[i]; }
    int32_t operator[](int i) const { return v[i]; }
};
static_assert(sizeof(ParamBlock) == 84, "a parameter block is 84 bytes");

inline bool operator==(const ParamBlock& a, const ParamBlock& b) {
    for (int i = 0; i < kParamCount; ++i) {
        if (a.v[i] != b.v[i]) return false;
    }
    return true;
}
inline bool operator!=(const ParamBlock& a, const ParamBlock& b) { return !(a == b); }

constexpr ParamBlock MakeDefaultBlock() {
    ParamBlock b{};
    for (int i = 0; i < kParamCount; ++i) b.v[i] = kParamTable[i].defaultValue;
    return b;
}
inline constexpr ParamBlock kDefaultBlock = MakeDefaultBlock();

// Clamps an internal value into the parameter's range.
int32_t ClampParam(int index, int32_t value);

// Internal to normalised: (v - low) * r in single precision, r being the float
// nearest to 1/span; Booleans convert directly.
float ParamToNormalised(int index, int32_t value);

// Normalised to internal: floor(n * span + low + 0.5) in single precision,
// clamped into range. +-infinity clamp like any out-of-range value; NaN gives
// the parameter's default (it never reaches the signal path).
int32_t NormalisedToParam(int index, float normalised);

// The float nearest to 1/span, as the setters multiply by it.
float ParamReciprocalSpan(int index);
