// The texts of parameter values, one source for every surface: the editor's
// value boxes, what a screen reader hears, the LV2 labels, and the value
// texts and typed values of the other host layers (ParamDescription.h for
// names, units and natural values). Portable; allocates (std::string), so
// not for an audio thread.
#pragma once
#include <cstdint>
#include <string>

#include "effect/ParamTable.h"

// The value box text of a parameter (DelayL "500.0", FactorL "1/4", LowFreq
// "OFF" or hertz, Output "-3.5", LowQ "1.00", ...). TempoSync gives "Off",
// "Man" or "Host", Listen "Mix" or "Delay", Link "".
std::string ParamText(EParam param, int32_t value);

// A value as a host shows it: the box text with its unit ("40 %",
// "500.0 ms", "120.0 BPM", "1000 Hz", "-3.5 dB", "0.71"); a filter that is
// off is "Off", the lowest output "-Inf dB", Link "On" or "Off".
std::string ParamValueText(int index, int32_t value);
// What a screen reader hears as a parameter's value: ParamValueText, but
// nothing for Link (its state says it).
std::string AccessibleValueText(EParam param, int32_t value);

// The name of a value that has one, for hosts that label values: the note
// values, the sync modes, "Off" for a filter that is off, "-Inf" for the
// lowest output. Empty for other values.
std::string ParamValueName(int index, int32_t value);

// A value typed in a host's text field: a value's name or text as above
// (letters in any case, blanks around), or a number in the parameter's
// natural unit with or without the unit's symbol (also "s" for seconds and
// "kHz"), taken to the nearest internal value and clamped. A frequency goes
// to the step whose shown hertz is nearest (the lowest of steps that show
// the same). False when the text is none of these.
bool ParamValueFromText(int index, const char* text, int32_t* value);

// The text of note-value entry i: "%d" when the denominator is 1, else
// "%d/%d"; empty outside the table.
std::string NoteValueText(int32_t index);
// The entry whose text is exactly text, or -1.
int32_t NoteValueFromText(const char* text);
