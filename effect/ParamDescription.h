// The parameters as hosts present them: names in words, natural units and
// values, steps, and the texts of values (ParamText.h). Every host layer
// that shows our parameters outside our own editor (LV2 ports, CLAP and VST3
// parameters) reads this one description; the editor's boxes and its
// accessible values read the same texts.
//
// The natural value of a parameter is what its internal value means in the
// unit a user reads: milliseconds for the delays (internal / 10), percent,
// hertz for the filters, Q, decibels (internal / 10), beats per minute
// (internal / 10); a note value, a sync mode or a switch by its index. The
// filter steps map to the frequency of the step before it is rounded to
// whole hertz (20 x 10^((s - 1) / 100) for the low cut, 20 x 10^(s / 100)
// for the high cut), so that no two steps share a natural value; the step
// that switches a filter off keeps its place on the same curve (19.54 Hz for
// the low cut, 20466 Hz for the high cut) and reads "Off". The lowest
// output level (-36.1 dB) reads "-Inf dB".
//
// Internal -> natural -> internal gives back every internal value (also
// through single precision, as LV2 ports carry it): a value a host reads
// back and writes again never moves the parameter. A natural value between
// two internal values goes to the nearer one (the filters: the nearer step
// on the logarithmic scale); one outside the range to its end; NaN to the
// default.
//
// Portable, no allocation, no lock: InternalFromNatural may run on an audio
// thread.
#pragma once
#include <cstdint>

#include "effect/ParamTable.h"

enum class EParamUnit { kNone, kMilliseconds, kPercent, kHertz, kDecibels, kBeatsPerMinute };

enum class EParamKind {
    kContinuous,    // fine steps that a slider sweeps (delays, frequencies, Q, level, tempo)
    kInteger,       // whole numbers (percentages, diffusion time)
    kEnumeration,   // named values (note values, sync mode)
    kToggle,        // off and on (Link, Listen)
};

struct ParamDescription {
    const char* name;        // in words: "Left Delay"
    const char* shortName;   // for narrow displays, at most 8 characters: "L Delay"
    EParamUnit unit;
    EParamKind kind;
    bool logarithmic;        // a slider over it is best logarithmic
};

// One per parameter, in table order.
extern const ParamDescription kParamDescriptions[kParamCount];

double NaturalFromInternal(int index, int32_t value);
int32_t InternalFromNatural(int index, double natural);

// The natural range and default (the internal ones, converted).
inline double NaturalMinimum(int index) { return NaturalFromInternal(index, kParamTable[index].minimum); }
inline double NaturalMaximum(int index) { return NaturalFromInternal(index, kParamTable[index].maximum); }
inline double NaturalDefault(int index) { return NaturalFromInternal(index, kParamTable[index].defaultValue); }

// The number of steps between the lowest and the highest value for a
// parameter whose values a host should step through (integers, named
// values, switches); 0 for a continuous one.
int32_t ParamStepCount(int index);

// The unit's symbol as a value text carries it ("ms", "%", "Hz", "dB",
// "BPM"), empty for none.
const char* ParamUnitSymbol(EParamUnit unit);
