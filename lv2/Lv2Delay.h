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
// class: connect_port and run. State save may run concurrently with run: it
// reads the block that run last handed over (a CParamHandover, written by run
// alone) and never touches the effect.
//
// Real time. Everything run needs is set up at instantiate: the delay memory
// for the rate (PrepareStreaming) and the scratch buffers that interleave the
// audio for the processing entry. run allocates nothing and takes no lock:
// the instance keeps its own parameter block, applies the controls and the
// tempo rule to it with the setters' clamping, and hands the whole block to
// the effect as its only writer (SetParamsAsSoleWriter); the processing
// entry flushes denormals for its loop.
//
// Controls. A control port's value reaches the block (rounded to the nearest
// integer, clamped as the setter clamps) only when it differs from the value
// that port had at the previous run. With TempoSync "Man" a
// change of TempoSync, Tempo, FactorL or FactorR runs the tempo rule
// (DelayFromTempo) on the delay times; with "Host" the delays follow the
// host's time:beatsPerMinute from the atom input when the host reports one
// (the rule of the core's tempo poll: TempoFromHost, then DelayFromTempo),
// otherwise the Tempo control as with "Man". A restored state wins over the
// ports: the run after a restore takes the ports' values as seen without
// applying them.
//
// Without the URID map feature there is no host tempo and no state; the
// plug-in needs no host feature at all.
#pragma once
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "effect/OfflineEffect.h"
#include "effect/ParamHandover.h"
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
    // parameter. Both need the URID map.
    LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    // Largest number of frames handed to the processing entry at once; a
    // longer run is cut into pieces of this size (the output does not depend
    // on the cut: the per-buffer constants depend only on the parameters).
    static constexpr uint32_t kChunkFrames = 8192;

private:
    CLv2Delay(int inputChannels, uint32_t sampleRate);
    bool Prepare();
    void ApplyPortChanges();
    void ApplyTempoRule();
    void FollowHostTempo();
    void ReadTransport(const LV2_Atom_Object* object);
    void Process(uint32_t from, uint32_t to);
    // One value into the block, clamped into its range.
    void SetValue(int index, int32_t value);
    void HandBlockToEffect();

    COfflineEffect m_effect;
    const int m_inputChannels;
    WAVEFORMATEX m_inputFormat{};
    WAVEFORMATEX m_outputFormat{};
    bool m_fresh = true;   // prepared at instantiate and not run since

    // Ports (connected by the host; any may be null until connected).
    const float* m_param[kParamCount] = {};
    float* m_peak[2] = {};
    const LV2_Atom_Sequence* m_control = nullptr;
    const float* m_in[2] = {};
    float* m_out[2] = {};

    float m_lastPort[kParamCount];   // value at the previous run (NaN: none yet)
    bool m_adoptPorts = false;       // set by Restore

    // Host tempo in hundredths of a beat per minute (0: none reported) and
    // the last one the delays were set from.
    int32_t m_hostTempo = 0;
    int32_t m_lastHostTempo = 0;

    // Interleaved scratch, kChunkFrames stereo frames each way.
    std::unique_ptr<float[]> m_scratchIn;
    std::unique_ptr<float[]> m_scratchOut;

    // URIDs (0 without the map).
    LV2_URID_Map* m_map = nullptr;
    struct {
        LV2_URID atomInt, atomLong, atomFloat, atomDouble, atomObject, atomBlank;
        LV2_URID timePosition, timeBeatsPerMinute;
        LV2_URID stateKey[kParamCount];
    } m_urid{};

    // The instance's parameters (run and the instantiation class), and
    // whether the effect has yet to see a change.
    ParamBlock m_block = kDefaultBlock;
    bool m_blockChanged = false;
    // The block for state save, published by run, read by save.
    CParamHandover m_saved;
};
