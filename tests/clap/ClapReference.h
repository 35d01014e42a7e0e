// What the CLAP tests share: the library under test, a test signal, the
// offline renderer's run with timed changes (zvdelay-render's --at: a
// change applies before its frame, the block split there), and the host
// events and flushes that set the same values.
#pragma once
#include <cstdint>
#include <vector>

#include "ClapTestHost.h"
#include "effect/ParamTable.h"

// The library, loaded once for the program.
CClapLibrary& Library();
const char* PlugInId(int inputChannels);

// Bursts of tone and noise (interleaved, channels 1 or 2).
std::vector<float> TestSignal(int channels, uint32_t rate, double seconds);

// A change of one parameter (internal value) before a frame.
struct Timed {
    uint32_t frame;
    int index;
    int32_t value;
};
// The core's offline renderer as zvdelay-render runs it: the default
// block, then start's values through the setters, blocks of 512 frames
// split at the changes, in time order. Interleaved stereo out.
std::vector<float> RenderReference(const ParamBlock& start, int channels, uint32_t rate, const std::vector<float>& in,
                                   const std::vector<Timed>& changes);

// The same changes as the host's parameter events (natural values).
std::vector<HostEvent> HostEvents(const std::vector<Timed>& changes);
// A block set through params.flush: TempoSync first, then in index order
// (the tempo rule then runs as the host's events make it run).
void FlushBlock(CClapInstance& plugin, const ParamBlock& block);

// The first sample whose bits differ, or -1 (sizes too).
long FirstDifference(const std::vector<float>& a, const std::vector<float>& b);
