// Command line of zvdelay-render, and the two textual forms of parameter
// values it accepts: NAME=VALUE and the preset Data string.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "effect/ParamTable.h"

// One parameter value to apply, in command-line order.
struct ParamSetting {
    int index;
    int32_t value;
};

// A setting applied before a frame of the input (--at), in frame order.
struct TimedSetting {
    int64_t frame;
    ParamSetting setting;
};

struct RenderOptions {
    std::string input;
    std::string output;
    int32_t blockFrames = 512;
    bool bypass = false;
    bool help = false;
    // --set and --data values in the order given; later ones win.
    std::vector<ParamSetting> settings;
    // --at values, sorted by frame (equal frames in command-line order).
    std::vector<TimedSetting> timed;
};

inline constexpr int32_t kMaxBlockFrames = 1 << 20;

// Parses argv[1..argc-1]. Returns an empty string on success, otherwise a
// message for the user (what is wrong, naming the argument).
std::string ParseRenderArguments(int argc, const char* const* argv, RenderOptions& options);

// The parameter index for a name as the parameter table spells it
// ("DelayL"), compared without regard to case; -1 when there is none.
int FindParamByName(const std::string& name);

// A decimal integer inside the parameter's internal range. Returns an empty
// string on success, otherwise a message.
std::string ParseParamValue(int index, const std::string& text, int32_t& value);

// A --set argument, NAME=VALUE, into a setting. Returns an empty string on
// success, otherwise a message.
std::string ParseSetArgument(const std::string& argument, ParamSetting& setting);

// The preset Data string: the 21 internal values as signed decimal integers
// in parameter order, separated by commas, each comma optionally followed by
// blanks ("5000,12,40,10,30, 5000,12,..." as the preset store writes it).
// Every value must be present and inside its range; nothing may follow the
// 21st. Returns an empty string on success, otherwise a message.
std::string ParseDataString(const std::string& text, ParamBlock& block);

// The Data string of a block in the preset store's layout (a blank after
// the 5th, 10th and 17th comma), as presets/DataString writes it.
std::string FormatDataString(const ParamBlock& block);

// Usage text for --help and for usage errors.
const char* RenderUsage();
