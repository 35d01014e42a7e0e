#include "effect/TempoSync.h"

#include <cmath>

int32_t DelayFromTempo(int32_t tempo, int32_t noteIndex) {
    if (noteIndex < 0 || noteIndex >= kNoteValueCount) noteIndex = 12;
    const NoteValue& note = kNoteValues[noteIndex];
    const double beat = 60.0 / (tempo * 0.1) * 10000.0;
    const double ratio = static_cast<double>(note.numerator) / note.denominator;
    const double delay = std::floor(ratio * beat + 0.5);
    // Converting a double outside the int32 range is undefined: saturate.
    if (!(delay < 2147483647.0)) return INT32_MAX;
    if (delay < -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(delay);
}

int32_t TempoFromHost(int32_t hostTempo) {
    const float t = static_cast<float>(hostTempo) * 0.1f;
    return static_cast<int32_t>(std::trunc(t));
}
