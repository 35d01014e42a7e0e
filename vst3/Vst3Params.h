// The parameters as the VST3 layer presents them: the 21 of the table (id =
// table index) from the core's host-facing description, the host's bypass
// switch and the program change (Vst3Ids.h).
//
// Normalised values. A stepped parameter (integers, named values, switches:
// ParamStepCount steps) maps as the format defines it: value k of n steps is
// k / n, and a normalised x is step min(n, floor(x * (n + 1))). A continuous
// one maps linearly over its internal range, or, where the description calls
// it logarithmic (the delays, the filters), linearly over the logarithm of
// its natural value (a filter step is one hundredth of a decade, so the
// filters come out linear in their steps). A normalised value goes to the
// nearest internal value, so every internal value goes to its normalised
// value and back unchanged, also through single precision (hosts such as
// Ardour keep normalised values as floats). Plain values are the natural
// ones (ms, %, Hz, dB, BPM; a named value by its index), always those of an
// internal value.
//
// Texts: a value as the editor's boxes show it, with its unit
// (ParamValueText: "375.0 ms", "80 Hz", "Off", "1/4"); typed text as the
// boxes take it (ParamValueFromText). The bypass switch reads "On"/"Off",
// the program change the program's name.
//
// Portable. The mapping allocates nothing and locks nothing (the audio
// thread uses it); the texts allocate (UI thread).
#pragma once
#include <cstdint>
#include <string>

#include "effect/ParamTable.h"

struct v3_param_info;

namespace zvvst3 {

// Parameters 0..20.
double NormalizedFromInternal(int index, int32_t value);
int32_t InternalFromNormalized(int index, double normalized);

// Any id of ours (false / 0 for an unknown one).
bool IsParamId(uint32_t id);
double PlainFromNormalized(uint32_t id, double normalized);
double NormalizedFromPlain(uint32_t id, double plain);
// The program a normalised value of the program change selects.
int32_t ProgramFromNormalized(double normalized);
double NormalizedFromProgram(int32_t program);

// The id's default, normalised.
double DefaultNormalized(uint32_t id);

// The host's description of the parameter at position index (0 ..
// kVst3ParamCount - 1; ids in the same order). False outside.
bool FillParamInfo(int32_t index, v3_param_info* info);

std::string ValueText(uint32_t id, double normalized);
bool NormalizedFromText(uint32_t id, const char* text, double* normalized);

}  // namespace zvvst3
