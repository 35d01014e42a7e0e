// The Data string: a preset's 21 parameter values as one line of text.
//
// The values are the internal integers of the parameter block in index
// order, written "%d,%d,%d,%d,%d, %d,%d,%d,%d,%d, %d,%d,%d,%d,%d,%d,%d,
// %d,%d,%d,%d" (a blank after the 5th, 10th and 17th comma: the left
// channel, the right channel, diffusion/tone/output, then sync and switches).
// Users trade preset files, so the reader takes whatever text a file holds
// and never goes wrong on it; the values it returns are not clamped here,
// the effect's setters clamp them when the preset is applied.
#pragma once
#include <cstddef>

#include "effect/ParamTable.h"

// The buffer the editor page writes a Data string into (and the size the
// page allocates when the store asks for the current values).
inline constexpr size_t kDataStringSize = 1024;

// Writes the Data string of a block into out[size]. Returns the length, or
// -1 when it does not fit (out then holds an empty string). The longest
// possible string (21 values of 11 characters) takes 255 bytes.
int FormatDataString(const ParamBlock& block, char* out, size_t size);

// Reads a Data string into block and returns how many values it read (0 to
// 21). Reading follows the written format: a number (after optional white
// space and sign), then a comma directly after it, then the next number.
// It stops at the first place that does not fit; the positions after it
// keep the values block already had, so a short or damaged string changes
// only what it really holds. Numbers beyond 32 bits saturate; anything after
// the 21st value is ignored. A null text reads nothing.
int ReadDataString(const char* text, ParamBlock& block);
