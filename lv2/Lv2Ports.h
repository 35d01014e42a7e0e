// The LV2 face of the delay: plug-in URIs, state keys and the port layout.
//
// What the ports say of each parameter (names, units, natural ranges and
// defaults, labelled values) comes from the parameter table and the core's
// host-facing description (effect/ParamDescription.h, effect/ParamText.h).
// The description generator (Lv2Turtle.cpp), the plug-in (Lv2Delay.cpp)
// and the tests read it.
#pragma once
#include <cstdint>

#include "effect/ParamTable.h"

namespace zvlv2 {

// Our own URIs (a domain reserved for examples: no real product lives there).
inline constexpr const char* kMonoUri = "https://zvdelay.example/lv2/mono";
inline constexpr const char* kStereoUri = "https://zvdelay.example/lv2/stereo";
// Prefix of the state keys: one key per parameter, the table's name after it.
inline constexpr const char* kStateKeyPrefix = "https://zvdelay.example/lv2/state#";
// Prefix of the keys of the control ports' values saved beside them.
inline constexpr const char* kStatePortKeyPrefix = "https://zvdelay.example/lv2/state/port#";
// The state's layout (atom:Int). Without it (states of the first layout)
// the port values are all there or the ports are adopted at the next run;
// with it each port value is optional, and a port without one counts as
// never seen (the next run applies it).
inline constexpr const char* kStateVersionKey = "https://zvdelay.example/lv2/state#version";
inline constexpr int32_t kStateVersion = 2;
// The values as every layer of ours saves them (atom:Chunk, StateChunk.h).
inline constexpr const char* kStateBodyKey = "https://zvdelay.example/lv2/state#body";

// Port indices. The 21 parameters keep their table index.
enum EPort : uint32_t {
    kPortPeakLeft = kParamCount,   // control output, linear peak since the last run
    kPortPeakRight,
    kPortControl,                   // atom:Sequence input (time:Position)
    kPortAudioFirst,                // audio inputs (1 or 2), then output left, right
};
inline constexpr uint32_t OutputPortLeft(int inputChannels) { return kPortAudioFirst + inputChannels; }
// The host's bypass switch (lv2:enabled), last, so that every port before it
// keeps the index it had before the switch was added.
inline constexpr uint32_t EnabledPort(int inputChannels) { return OutputPortLeft(inputChannels) + 2; }
inline constexpr uint32_t PortCount(int inputChannels) { return EnabledPort(inputChannels) + 1; }
inline constexpr const char* kEnabledSymbol = "enabled";
inline constexpr const char* kEnabledName = "Enabled";

}  // namespace zvlv2
