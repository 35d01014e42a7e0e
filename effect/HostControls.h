// CHostControls: the parameter block of a plug-in layer that is the
// effect's only writer (LV2, CLAP, VST3), with the rules a host's controls
// follow; CHostControlsHandover, the whole of it handed from the audio
// thread to the threads that save the state.
//
// The rules (the audio thread applies them before the frames they concern;
// a state save stores what it last published):
// - A host's change of one parameter (Set: a CLAP or VST3 parameter event)
//   reaches the block clamped as the setter clamps.
// - LV2: a control port carries the parameter's natural value (milliseconds,
//   hertz, decibels, ...: ParamDescription.h). It reaches the block (the
//   nearest internal value, clamped as the setter clamps) only when it
//   differs from the value that port had when it was last seen. A port that
//   is not connected (NaN here) is left alone.
// - Either way, with TempoSync "Man" a change of TempoSync, Tempo, FactorL
//   or FactorR runs the tempo rule (DelayFromTempo) on the delay times; with "Host" the
//   delays follow the host's tempo when the host reports one (the core
//   poll's rule: TempoFromHost, then DelayFromTempo, and only when that
//   tempo differs from the last one followed), otherwise the Tempo control
//   as with "Man".
// - LV2: a restored state sets the block and the port values it was saved
//   with:
//   ports that still hold those values change nothing, so the restored
//   values (delays moved by the tempo rule, a manual delay after a tempo
//   change) stay, and a port the host or the user set to something else
//   since counts as a change as usual, as does a port the state has no
//   value for (never seen before the save: the host set it and saved
//   without a run). A state of the first layout without port values takes
//   the ports as they stand at the next run as the values seen, applying
//   none of them. Other layers restore a block alone (RestoreBlock).
//
// Plain data: a copy holds everything the rule needs. Nothing here
// allocates, locks or waits.
#pragma once
#include <array>
#include <atomic>
#include <cstdint>

#include "effect/ParamHandover.h"
#include "effect/ParamTable.h"

// The control ports' values, one per parameter, natural (NaN: not connected).
using ControlValues = std::array<float, kParamCount>;

class CHostControls {
public:
    CHostControls();

    // LV2's control ports, natural values (NaN: not connected).
    void ApplyPorts(const ControlValues& ports);
    // One parameter's new internal value, as a host's parameter event sets it.
    void Set(int index, int32_t value);

    // The host's tempo in hundredths of a beat per minute, from the
    // transport; FollowHostTempo then applies it (with TempoSync "Host").
    void SetHostTempo(int32_t hundredths);
    void FollowHostTempo();
    // The host's tempo as last reported, and the one the delays last
    // followed (0: none).
    int32_t HostTempo() const { return m_hostTempo; }
    int32_t FollowedHostTempo() const { return m_lastHostTempo; }

    // A state's block (in range) and the port values saved with it (NaN for
    // one never seen; null for a first-layout state without them).
    void Restore(const ParamBlock& block, const ControlValues* portsAtSave);
    // A state's block alone (clamped), no port values involved.
    void RestoreBlock(const ParamBlock& block);

    const ParamBlock& Block() const { return m_block; }
    // The port values the block was derived from (what a save stores beside it).
    const ControlValues& Seen() const { return m_seen; }
    // A restored state without port values waits for the ports to adopt.
    bool AdoptsPorts() const { return m_adoptPorts; }

    // Whether the block changed since the last call, and whether anything
    // did (what a save reads must then be published again).
    bool TakeBlockChange();
    bool TakeAnyChange();

private:
    friend class CHostControlsHandover;
    void SetValue(int index, int32_t value);
    void ApplyTempoRule();

    ParamBlock m_block = kDefaultBlock;
    ControlValues m_seen;        // port values last seen (NaN: none yet)
    bool m_adoptPorts = false;   // take the ports as seen at the next run
    int32_t m_hostTempo = 0;     // 0: none reported
    int32_t m_lastHostTempo = 0;
    bool m_blockChanged = false;
    bool m_anyChanged = false;
};

// Published by run (and by restore, which never runs at the same time), read
// whole by save: the block's cells and the rest of the rule's state inside
// one sequence window of a CParamHandover. Publishing never waits; reading
// may (save's thread is allowed to).
class CHostControlsHandover {
public:
    explicit CHostControlsHandover(const CHostControls& initial);
    void Publish(const CHostControls& controls);
    void Read(CHostControls* out) const;

private:
    CParamHandover m_block;
    std::atomic<float> m_seen[kParamCount];
    std::atomic<bool> m_adoptPorts{false};
    std::atomic<int32_t> m_hostTempo{0};
    std::atomic<int32_t> m_lastHostTempo{0};
};
