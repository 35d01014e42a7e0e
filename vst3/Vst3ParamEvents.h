// CVst3ParamEvents: the parameter changes of one process call as the events
// CHostedEffect::Run splits the block at, and the values the plug-in changed
// by itself reported back to the host. Audio thread; allocates nothing,
// locks nothing (its tables are fixed arrays on the caller's stack); the
// calls it makes are into the host's queue objects, which the host lends for
// this process call only.
//
// The host gives one queue per parameter, each sorted by sample offset; the
// points of all queues are taken in offset order (equal offsets in queue
// order, a queue's own points in its order). A point of one of the 21
// parameters goes through CHostControls::Set (clamped, the tempo rule); the
// bypass switch's through the cross-fade; the program change's loads the
// program's 21 values. After each point (and after the host tempo at the
// start), every parameter whose value now differs from what the host last
// knew of it (what it sent, or we reported) is reported in the output queue
// at that offset: the delays the tempo rule moved, a program's values.
#pragma once
#include <travesty/audio_processor.h>

#include <cstdint>

#include "effect/HostedEffect.h"

class CVst3ParamEvents {
public:
    static constexpr int kMaxQueues = 32;

    // reported: what the host knows of each value (kept by the caller across
    // calls); programs: the factory programs' values; bypass: the switch as
    // it stands (updated by the points).
    CVst3ParamEvents(v3_param_changes** input, v3_param_changes** output, CHostedEffect& core,
                     ParamBlock& reported, const ParamBlock* programs, bool& bypass);

    // Where the bypass switch stands at the block's first frame (its points
    // at offset 0 or before), so that a first buffer after activation starts
    // there without a fade. False when no such point came.
    bool BypassAtStart(bool* bypassed) const;

    // For CHostedEffect::Run.
    bool Next(uint32_t* frame);
    void Apply(CHostedEffect& core);

    // Reports what differs from what the host knows, at offset.
    void Report(int32_t offset);

private:
    struct Queue {
        v3_param_value_queue** queue;
        uint32_t id;
        int32_t count;
        int32_t next;      // index of the next point
        int32_t offset;    // the next point's
        double value;
    };
    void Load(Queue& q);   // the next point into offset/value (count = next when none is left)

    v3_param_changes** m_output;
    CHostedEffect& m_core;
    ParamBlock& m_reported;
    const ParamBlock* m_programs;
    bool& m_bypass;
    Queue m_queues[kMaxQueues];
    int m_queueCount = 0;
    int m_current = -1;   // the queue Next chose
};
