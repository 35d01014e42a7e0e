// Tempo sync: delay times from a tempo and a note value.
//
// FactorL and FactorR index the note-value table; a ratio counts beats (1/1
// is one beat, 1/4 a quarter of a beat). The table ends with a (0, 0) entry
// for code that walks it (the editor's note-value menu). The signal path
// never reads Tempo, FactorL, FactorR or TempoSync: they act only through the
// delay times that this rule writes, in the host tempo poll (CDelay) or in
// the editor.
#pragma once
#include <cstdint>

struct NoteValue {
    int32_t numerator;
    int32_t denominator;
};

inline constexpr int kNoteValueCount = 20;

// 20 ratios indexed by FactorL/FactorR (0..19), then the (0, 0) end entry.
inline constexpr NoteValue kNoteValues[kNoteValueCount + 1] = {
    {1, 32}, {1, 24}, {1, 16}, {1, 12}, {1, 8}, {1, 6}, {1, 5}, {1, 4}, {1, 3}, {1, 2},
    {2, 3},  {3, 4},  {1, 1},  {3, 2},  {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}, {8, 1},
    {0, 0},
};

// Delay in tenths of a millisecond for a tempo in tenths of a beat per minute
// and a note-value index: beat = 60.0 / (tempo * 0.1) * 10000.0, then
// floor(num / den * beat + 0.5), all in double precision. The result is not
// clamped to the delay range (SetDelayL/SetDelayR do that); it saturates at
// INT32_MAX where the double does not fit (a tempo of 0 gives infinity). An
// index outside 0..19 is taken as 12 (one beat).
int32_t DelayFromTempo(int32_t tempo, int32_t noteIndex);

// The tempo poll's conversion of a host tempo in hundredths of a beat per
// minute to tenths: trunc(h * 0.1) in single precision.
int32_t TempoFromHost(int32_t hostTempo);
