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
// connect_port. It stores what run last published (CLv2ControlsHandover,
// written by run and restore alone) and never touches the control ports: a
// port's memory is the host's and valid only inside run (a host may lend it
// for one cycle). What the host set since the last run (with its engine
// stopped, or a preset chosen and saved at once) reaches the next session
// through the host's own save of the port values: those differ from the
// port values stored beside the block, and apply at the first run. Save
// never touches the effect or anything run writes.
//
// Real time. Everything run needs is set up at instantiate: the delay memory
// for the rate (PrepareStreaming) and the scratch buffers that interleave the
// audio for the processing entry. run allocates nothing and takes no lock:
// the instance keeps its own parameter block (CLv2Controls: the controls,
// the tempo rule and the setters' clamping applied to it), and hands the
// whole block to the effect as its only writer (SetParamsAsSoleWriter); the
// processing entry flushes denormals for its loop.
//
// Host bypass. The "enabled" port (lv2:enabled) switches between the
// processed and the dry signal (the input as it is; the mono input to both
// outputs), cross-fading linearly over kBypassFadeSeconds, from wherever a
// fade under way stands. The effect keeps running while switched off, its
// delay lines included, so switching on again picks up the echoes where
// they are. The first run after instantiate or activate starts where the
// switch stands, without a fade. While the output is all dry the peak
// outputs read 0, as with the effect's own bypass. The switch is the
// host's: it is no part of the saved state (hosts keep their bypass
// themselves) nor of any preset.
//
// Controls: the rule is CLv2Controls' (Lv2Controls.h). A state holds the 21
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

#include "effect/OfflineEffect.h"
#include "lv2/Lv2Controls.h"
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
    // parameter, the layout's version, and the control ports' values they
    // were derived from as atom:Float properties (those seen). Both need the
    // URID map.
    LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    // Largest number of frames handed to the processing entry at once; a
    // longer run is cut into pieces of this size (the output does not depend
    // on the cut: the per-buffer constants depend only on the parameters).
    static constexpr uint32_t kChunkFrames = 8192;

private:
    CLv2Delay(int inputChannels, uint32_t sampleRate);
    bool Prepare();
    // The control ports as they stand (NaN for one not connected). Inside
    // run only.
    void ReadPorts(Lv2PortValues& values) const;
    // time:Position's beats per minute in hundredths (0: none or unusable).
    int32_t ReadTransport(const LV2_Atom_Object* object) const;
    void Process(uint32_t from, uint32_t to);
    // The effect's output for n frames at `from` into the host's buffers,
    // cross-faded with the dry input as the switch asks.
    void WriteOutput(const float* wet, const float* dry, uint32_t from, uint32_t n);
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
    const float* m_enabled = nullptr;
    const float* m_in[2] = {};
    float* m_out[2] = {};

    // Bypass: the fade's length, where it stands (0: all dry, m_fadeFrames:
    // all processed) and where the switch wants it.
    uint32_t m_fadeFrames = 1;
    uint32_t m_wetFrames = 1;
    bool m_wantWet = true;

    // Interleaved scratch, kChunkFrames stereo frames each way.
    std::unique_ptr<float[]> m_scratchIn;
    std::unique_ptr<float[]> m_scratchOut;

    // URIDs (0 without the map).
    LV2_URID_Map* m_map = nullptr;
    struct {
        LV2_URID atomInt, atomLong, atomFloat, atomDouble, atomObject, atomBlank;
        LV2_URID timePosition, timeBeatsPerMinute;
        LV2_URID stateKey[kParamCount];
        LV2_URID statePortKey[kParamCount];
        LV2_URID stateVersion;
    } m_urid{};

    // The instance's parameters and the rule's state (run and the
    // instantiation class), and all of it as published for state save.
    CLv2Controls m_controls;
    CLv2ControlsHandover m_saved{m_controls};
};
