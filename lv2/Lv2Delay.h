// CLv2Delay: the delay effect as an LV2 plug-in instance.
//
// The LV2 host layer, as host/ is the DirectShow one. Two plug-ins share this
// class: mono in / stereo out and stereo in / stereo out (Lv2Ports.h gives
// the URIs and the port layout). The effect inside is the portable core,
// unchanged: COfflineEffect, the effect object without a filter around it,
// exactly as the native renderer runs it, so that the same input, settings
// and block partition give the same output bits.
//
// Threads (LV2's classes). Instantiation class: instantiate, activate,
// deactivate, cleanup and state restore; never concurrent with run. Audio
// class: connect_port and run. State save may run concurrently with run and
// connect_port. It stores what run last published (CHostControlsHandover,
// written by run and restore alone) and never touches the control ports: a
// port's memory is the host's and valid only inside run (a host may lend it
// for one cycle). What the host set since the last run (with its engine
// stopped, or a preset chosen and saved at once) reaches the next session
// through the host's own save of the port values: those differ from the
// port values stored beside the block, and apply at the first run. Save
// never touches the effect or anything run writes.
//
// Real time. Everything run needs is set up at instantiate: the delay memory
// for the rate and the scratch buffers (CHostedEffect, the effect as every
// plug-in layer of ours runs it). run allocates nothing and takes no lock:
// the instance keeps its own parameter block (CHostControls: the controls,
// the tempo rule and the setters' clamping applied to it), and hands the
// whole block to the effect as its only writer; the processing entry
// flushes denormals for its loop.
//
// Host bypass. The "enabled" port (lv2:enabled) is the host's bypass switch
// (CBypassFade: a 10 ms cross-fade between the processed and the dry
// signal, the effect running throughout). The first run after instantiate
// or activate starts where the switch stands, without a fade. While the
// output is all dry the peak outputs read 0, as with the effect's own
// bypass. The switch is the host's: it is no part of the saved state (hosts
// keep their bypass themselves) nor of any preset.
//
// Controls: the rule is CHostControls' (effect/HostControls.h). A state holds the 21
// values and the port values they were derived from, so a restore followed
// by a change of a port (before any run or after) applies that change and
// nothing else.
//
// Without the URID map feature there is no host tempo and no state; the
// plug-in needs no host feature at all.
#pragma once
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <memory>

#include "effect/HostedEffect.h"
#include "lv2/Lv2Ports.h"

class CLv2Delay {
public:
    // Instantiation class. Null when the rate is unusable or memory is short.
    static CLv2Delay* Create(double sampleRate, int inputChannels, const LV2_Feature* const* features);
    ~CLv2Delay();

    void ConnectPort(uint32_t port, void* data);   // audio class
    void Activate();                               // instantiation class: clears the echo tail
    void Run(uint32_t frames);                     // audio class

    // State extension: the 21 values as atom:Int properties, one key per
    // parameter, the layout's version, the control ports' values they were
    // derived from as atom:Float properties (those seen), and the values as
    // every layer of ours saves them (an atom:Chunk, StateChunk.h), which a
    // state without the 21 keys is read from. Both need the URID map.
    LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

private:
    CLv2Delay(int inputChannels, uint32_t sampleRate) : m_core(inputChannels, sampleRate) {}
    // The control ports as they stand (NaN for one not connected). Inside
    // run only.
    void ReadPorts(ControlValues& values) const;

    CHostedEffect m_core;

    // Ports (connected by the host; any may be null until connected).
    const float* m_param[kParamCount] = {};
    float* m_peak[2] = {};
    const LV2_Atom_Sequence* m_control = nullptr;
    const float* m_enabled = nullptr;
    const float* m_in[2] = {};
    float* m_out[2] = {};

    // URIDs (0 without the map).
    LV2_URID_Map* m_map = nullptr;
    struct {
        LV2_URID atomInt, atomLong, atomFloat, atomDouble, atomObject, atomBlank;
        LV2_URID timePosition, timeBeatsPerMinute;
        LV2_URID stateKey[kParamCount];
        LV2_URID statePortKey[kParamCount];
        LV2_URID stateVersion, stateBody, atomChunk;
    } m_urid{};

    friend class CLv2TransportEvents;
};
