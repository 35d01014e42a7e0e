// CLv2Controls: what the control ports make of the parameters, and
// CLv2ControlsHandover, the whole of it handed from run to the threads that
// save the state.
//
// The rule (run applies it at the start of every run; state save stores
// what run last published):
// - A control port carries the parameter's natural value (milliseconds,
//   hertz, decibels, ...: ParamDescription.h). It reaches the block (the
//   nearest internal value, clamped as the setter clamps) only when it
//   differs from the value that port had when it was last seen. A port that
//   is not connected (NaN here) is left alone.
// - With TempoSync "Man" a change of TempoSync, Tempo, FactorL or FactorR
//   runs the tempo rule (DelayFromTempo) on the delay times; with "Host" the
//   delays follow the host's tempo when the host reports one (the core
//   poll's rule: TempoFromHost, then DelayFromTempo, and only when that
//   tempo differs from the last one followed), otherwise the Tempo control
//   as with "Man".
// - A restored state sets the block and the port values it was saved with:
//   ports that still hold those values change nothing, so the restored
//   values (delays moved by the tempo rule, a manual delay after a tempo
//   change) stay, and a port the host or the user set to something else
//   since counts as a change as usual, as does a port the state has no
//   value for (never seen before the save: the host set it and saved
//   without a run). A state of the first layout without port values takes
//   the ports as they stand at the next run as the values seen, applying
//   none of them.
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
using Lv2PortValues = std::array<float, kParamCount>;

class CLv2Controls {
public:
    CLv2Controls();

    void ApplyPorts(const Lv2PortValues& ports);

    // The host's tempo in hundredths of a beat per minute, from the
    // transport; FollowHostTempo then applies it (with TempoSync "Host").
    void SetHostTempo(int32_t hundredths);
    void FollowHostTempo();

    // A state's block (in range) and the port values saved with it (NaN for
    // one never seen; null for a first-layout state without them).
    void Restore(const ParamBlock& block, const Lv2PortValues* portsAtSave);

    const ParamBlock& Block() const { return m_block; }
    // The port values the block was derived from (what a save stores beside it).
    const Lv2PortValues& Seen() const { return m_seen; }
    // A restored state without port values waits for the ports to adopt.
    bool AdoptsPorts() const { return m_adoptPorts; }

    // Whether the block changed since the last call, and whether anything
    // did (what a save reads must then be published again).
    bool TakeBlockChange();
    bool TakeAnyChange();

private:
    friend class CLv2ControlsHandover;
    void SetValue(int index, int32_t value);
    void ApplyTempoRule();

    ParamBlock m_block = kDefaultBlock;
    Lv2PortValues m_seen;        // port values last seen (NaN: none yet)
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
class CLv2ControlsHandover {
public:
    explicit CLv2ControlsHandover(const CLv2Controls& initial);
    void Publish(const CLv2Controls& controls);
    void Read(CLv2Controls* out) const;

private:
    CParamHandover m_block;
    std::atomic<float> m_seen[kParamCount];
    std::atomic<bool> m_adoptPorts{false};
    std::atomic<int32_t> m_hostTempo{0};
    std::atomic<int32_t> m_lastHostTempo{0};
};
