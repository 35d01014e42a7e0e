// CVst3EditModel: the parameters as the edit controller holds them, for the
// threads that are not the audio thread (the host's UI thread; a state save
// from anywhere), and the hand-over of restored states to the audio side.
//
// The plug-in is one object that is both component and controller, so the
// values a host sets on the controller (setParamNormalized) and the values
// processing runs with are two views of one plug-in:
// - The host sets a value on the controller and hands it to processing
//   itself (the format's rule: parameter changes reach process through its
//   parameter queues). The model only stores it, as the controller's value;
//   the processing side applies the rules (the tempo rule) when the value
//   arrives there. A value set while nothing processes (the host's engine
//   stopped) stays in the model and so in the saved state.
// - What processing changes on its own (a parameter event from the host's
//   automation, the tempo rule moving the delays, the host tempo, a program)
//   reaches the model through the effect's publication (CHostedEffect::
//   ReadPublished): before every read, a parameter whose published value
//   moved since the model last looked takes the new value. A parameter the
//   processing side did not change keeps the model's value.
// - A restored state (setState) is the model's values at once and goes to
//   the processing side whole (a CParamHandover, taken at the next process
//   or at activation); until it is taken the model does not look at the
//   publication, which still shows the values from before it.
// - A program chosen on the controller (the program change parameter) sets
//   all 21 values here; processing takes the program from its own queue,
//   applies it and reports the values to the host as output changes. The
//   host is not called from inside its own call (Ardour 7.3 waits on its
//   own lock when restartComponent comes from inside setParamNormalized).
// - The host's bypass switch is no part of the state every layer shares:
//   the controller keeps it in a state of its own (the controller's
//   getState/setState), which the host saves beside the component's and
//   restores after it (Ardour restores the component's state over the
//   parameter values it saved, and reads every value again after it: a
//   bypass the controller did not have would be undone). A restored switch
//   goes to processing at its next call; what processing last ran with
//   comes back like the parameters' values.
//
// Threads: every method but TakeRestore runs on a thread that may wait and
// takes m_lock, a leaf lock held for a few copies (no host call, no
// allocation inside). TakeRestore is the audio side's: one wait-free
// attempt, no lock.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>

#include "effect/HostedEffect.h"
#include "effect/ParamHandover.h"

class CVst3EditModel {
public:
    CVst3EditModel();

    // The controller's normalised value of a parameter id (0 for one we do
    // not have). audio: the processing side (its publication is merged
    // first), null before it exists.
    double Normalized(uint32_t id, const CHostedEffect* audio);
    // setParamNormalized. Returns true when a program was chosen (every
    // parameter moved: the host should read them again).
    bool SetNormalized(uint32_t id, double normalized, const CHostedEffect* audio);
    // The 21 values as a state save stores them.
    ParamBlock Block(const CHostedEffect* audio);
    // A restored state's values, here and for the processing side.
    void Restore(const ParamBlock& block);
    // The bypass switch from the controller's own state (true: bypassed),
    // here and for the processing side.
    void RestoreBypass(bool bypassed);
    bool Bypassed(const CHostedEffect* audio);

    // Processing side: a restore not taken yet, into *block (one attempt;
    // false when there is none or the writer is busy: try at the next
    // call). MarkTaken after the block went to the effect and was published.
    bool TakeRestore(ParamBlock* block, uint32_t* sequence) const;
    void MarkTaken(uint32_t sequence) { m_restoreTaken.store(sequence, std::memory_order_release); }
    // Processing side: a restored bypass switch not taken yet (one
    // exchange), and the switch as processing last ran with it.
    bool TakeRestoredBypass(bool* bypassed) {
        if (m_restoredBypass.load(std::memory_order_relaxed) < 0) return false;   // the usual case: no exchange
        const int value = m_restoredBypass.exchange(-1, std::memory_order_acquire);
        if (value >= 0) *bypassed = value != 0;
        return value >= 0;
    }
    void PublishBypass(bool bypassed) { m_publishedBypass.store(bypassed, std::memory_order_relaxed); }

private:
    // m_lock held.
    void MergePublished(const CHostedEffect* audio);

    std::mutex m_lock;                  // leaf: the fields below
    ParamBlock m_block = kDefaultBlock;
    double m_bypass = 0.0;
    double m_program = 0.0;
    ParamBlock m_seen = kDefaultBlock;   // the published values as last merged
    bool m_seenBypass = false;

    CParamHandover m_restore{kDefaultBlock};   // written under m_lock
    std::atomic<uint32_t> m_restoreTaken{0};   // the sequence of the restore processing took last
    std::atomic<int> m_restoredBypass{-1};     // -1: none waiting; else 0 or 1
    std::atomic<bool> m_publishedBypass{false};
};
