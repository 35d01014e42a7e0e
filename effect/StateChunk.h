// The saved state every plug-in layer of ours writes and reads (CLAP, VST3,
// and LV2 beside its own keys), so that a state saved by one loads in any
// other: the tag "zvDS", the chunk's version (32 bits, little-endian, 1),
// then the DirectShow filter's saved state as its IPersistStream writes it
// (the version number as UTF-16 text, then the body: a count and, per
// parameter, its index and normalised value). 204 bytes.
//
// A layer whose host keeps no parameter values of its own (CLAP, VST3)
// saves its host bypass switch too, as one more pair after the 21: index
// 21, 0.0 or 1.0 (212 bytes). The filter's load skips an index it does not
// know, and so do the other layers: the switch stays the host's where the
// host keeps it (LV2).
//
// Reading takes such a chunk or the filter's saved state alone (what the
// filter's Save wrote): its values go to the block through the same
// normalised-to-internal rule as the filter's load; a parameter the body
// does not name keeps its value. Not for an audio thread (allocates).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "effect/ParamTable.h"

inline constexpr char kStateChunkTag[4] = {'z', 'v', 'D', 'S'};
inline constexpr uint32_t kStateChunkVersion = 1;
// The pair of the host bypass switch.
inline constexpr uint32_t kStateHostBypassIndex = kParamCount;

// hostBypass: 0 or 1 to save the switch, -1 to leave it out.
std::vector<uint8_t> WriteStateChunk(const ParamBlock& block, int hostBypass = -1);
// False (block untouched) when the bytes are neither a chunk of ours nor a
// filter state, or are cut short. *hostBypass, when given, becomes 0 or 1
// when the body holds the switch and is left alone otherwise.
bool ReadStateChunk(const void* data, size_t size, ParamBlock* block, int* hostBypass = nullptr);
