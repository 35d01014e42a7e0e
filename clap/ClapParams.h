// The parameters as CLAP describes them, from the core's host-facing
// description (effect/ParamDescription.h, effect/ParamText.h): ids 0 to 20
// are the table's parameters in natural units (milliseconds, percent,
// hertz, decibels, beats per minute; note values, sync modes and switches
// by their index), stepped where the values are whole numbers, all
// automatable; id 21 is the host's bypass switch (0 off, 1 on). Texts are
// the value texts every host layer shows ("375.0 ms", "Off", "-Inf dB"),
// and typed texts are read as the editor's boxes and the other layers read
// them. CLAP 1.1.1 has no flag for named values: hosts learn the names from
// the texts.
//
// Portable; the texts allocate (main thread only, as CLAP calls them).
#pragma once
#include <clap/ext/params.h>

#include <cstdint>

namespace zvclap {

// False for an index past the last parameter.
bool ParamInfo(uint32_t index, clap_param_info_t* info);
// The text of a value of a parameter (cut to size, always terminated).
bool ParamValueToText(uint32_t id, double value, char* text, uint32_t size);
bool ParamTextToValue(uint32_t id, const char* text, double* value);

}  // namespace zvclap
