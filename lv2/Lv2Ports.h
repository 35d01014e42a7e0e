// The LV2 face of the delay: plug-in URIs, the port layout, and what LV2
// shows of each parameter beyond the parameter table (unit, toggle,
// enumeration labels, labelled points).
//
// Names, ranges and defaults come from kParamTable alone; this file only
// adds what a host needs to present them. The description generator
// (Lv2Turtle.cpp), the plug-in (Lv2Delay.cpp) and the tests read it.
#pragma once
#include <cstdint>
#include <string>

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
// Prefix of our units (tenths of a millisecond and the like).
inline constexpr const char* kUnitPrefix = "https://zvdelay.example/lv2/units#";

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

// Switching the effect off or on cross-fades linearly between the processed
// and the dry signal over this time (at least one frame).
inline constexpr double kBypassFadeSeconds = 0.010;
uint32_t BypassFadeFrames(uint32_t sampleRate);

enum class EUnit {
    kNone,
    kTenthMs,      // DelayL, DelayR: 0.1 ms
    kPercent,      // feedback, cross-feed, mix, diffusion amount
    kHundredths,   // LowQ, HighQ: Q x 100
    kTenthDb,      // Output: 0.1 dB
    kTenthBpm,     // Tempo: 0.1 beat per minute
};

enum class EKind { kPlain, kEnumeration, kToggle };

struct ParamPresentation {
    EUnit unit;
    EKind kind;
};

// One entry per parameter, in table order.
extern const ParamPresentation kParamPresentation[kParamCount];

// An enumeration's label for a value (TempoSync: "Off", "Man", "Host";
// FactorL/FactorR: the note value, "1/32" ... "8"); empty for values outside
// the range and for parameters that are no enumeration.
std::string EnumerationLabel(int index, int32_t value);

// Labelled values of plain parameters: "Off" for LowFreq 0 and HighFreq 301,
// "-inf" for Output -361.
struct ScalePoint {
    int param;
    int32_t value;
    const char* label;
};
inline constexpr ScalePoint kScalePoints[] = {
    {kParamLowFreq, 0, "Off"},
    {kParamHighFreq, 301, "Off"},
    {kParamOutput, -361, "-inf"},
};

// Our unit's local name, label, symbol and conversion (factor to an LV2
// unit); null name for kNone and kPercent (which is LV2's own units:pc).
struct UnitInfo {
    const char* name;
    const char* label;
    const char* symbol;
    double factor;          // one step in the unit below
    const char* lv2Unit;    // "ms", "db", "bpm", or null
};
UnitInfo DescribeUnit(EUnit unit);

}  // namespace zvlv2
