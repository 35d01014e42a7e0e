// CHostedEffect: the effect as the plug-in layers run it (LV2, CLAP, VST3),
// everything they share: the portable core without a filter object around
// it (COfflineEffect, exactly as the native renderer runs it, so that the
// same input, settings and block partition give the same output bits), the
// parameter block and the host controls' rules (CHostControls), the block
// as last published for the threads that save the state, the host's bypass
// switch with its cross-fade (CBypassFade), and the scratch memory that
// interleaves the host's planes for the processing entry.
//
// A layer's process call runs the frames in pieces split where the host's
// events fall (Run): a parameter change or a new tempo applies exactly at
// its frame, as the renderer applies a change between two blocks.
//
// Two ways to own the parameters:
// - the layer is the effect's only writer (LV2: no editor): its controls
//   (Controls(), the host controls' rules) go to the effect whole
//   (SetParamsAsSoleWriter) and are published for the threads that save;
// - the effect's parameters are shared by the host and our editor (CLAP,
//   VST3): AttachLink puts a CHostEditorLink in as the effect's automation
//   object (HostEditorLink.h); host events go to the link between the
//   pieces, the editor goes through the effect's ITzPlugInProp
//   (Effect()), and Controls() is not used.
//
// Threads. Prepare and Restart allocate: the layer's set-up calls
// (instantiate, activate). Everything else runs on the audio thread (or on
// the thread that is the layer's only writer while nothing processes) and
// allocates nothing, locks nothing and calls nothing outside the core. The
// effect's block goes to it as its only writer (SetParamsAsSoleWriter), or
// comes from the link's values in force, read at each piece.
// ReadPublished may run on any thread beside the audio thread (it may wait
// for a publication in progress to end; the audio thread never waits).
#pragma once
#include <cstdint>
#include <memory>

#include "effect/BypassFade.h"
#include "effect/HostControls.h"
#include "effect/OfflineEffect.h"

class CHostedEffect {
public:
    // Largest number of frames handed to the processing entry at once; a
    // longer piece is cut (the output does not depend on the cut).
    static constexpr uint32_t kChunkFrames = 8192;

    // inputChannels: 1 or 2; the output is always stereo. The rate may
    // change before each Prepare.
    CHostedEffect(int inputChannels, uint32_t sampleRate);
    ~CHostedEffect();
    CHostedEffect(const CHostedEffect&) = delete;
    CHostedEffect& operator=(const CHostedEffect&) = delete;

    // Usable rates: whole numbers of hertz from 1 to 4 MHz.
    static bool UsableRate(double sampleRate) { return sampleRate >= 1.0 && sampleRate <= 4.0e6; }

    // The delay memory for the rate, cleared, and the scratch memory; the
    // block goes to the effect. False when memory is short. Set-up thread.
    bool Prepare();
    // The same at another rate (a layer whose host gives the rate at each
    // activation). Set-up thread.
    bool Prepare(uint32_t sampleRate);
    // A new start after the effect has run: the lines silent again and the
    // bypass switch standing where it is (Prepare again). Nothing to do
    // when nothing ran since the last start. Set-up thread.
    bool Restart();
    // The lines, filters and meters silent again in the memory there is, and
    // the bypass switch standing where it is: no allocation (a host's reset
    // on its audio thread). False when nothing is prepared.
    bool Reset();

    // Shared parameters (see above): the link becomes the effect's automation
    // object. Before the first Prepare; the link outlives this object.
    void AttachLink(IAutomationLink* link);

    int InputChannels() const { return m_inputChannels; }
    uint32_t SampleRate() const { return m_sampleRate; }

    CHostControls& Controls() { return m_controls; }
    // After the controls changed: the block to the effect when it changed,
    // and everything to the save side when anything did.
    void HandControlsOn();
    // What the audio thread last published (whole); any thread.
    void ReadPublished(CHostControls* out) const { m_published.Read(out); }

    // The host's bypass switch (true: pass the input through), for the
    // frames that follow.
    void SetBypassed(bool bypassed) { m_bypass.Want(bypassed); }

    // Frames [from, to) of the host's planes: in[0] (and in[1] for stereo
    // input), out[0] and out[1]. The input is read before any output is
    // written, so in-place buffers are fine. Audio thread.
    void Process(const float* const* in, float* const* out, uint32_t from, uint32_t to);

    // Frames [0, frames), split where the events fall. events.Next(&frame)
    // gives the frame of the next event (false when none is left), then
    // events.Apply(*this) applies it (to Controls() then HandControlsOn, or
    // to the link, or SetBypassed); the frames before it run with the
    // parameters as they were. Events are in time order (an event before
    // the last one's frame applies at once; one past the end, after the last
    // frame).
    template <class Events>
    void Run(const float* const* in, float* const* out, uint32_t frames, Events& events) {
        uint32_t done = 0, at = 0;
        while (events.Next(&at)) {
            const uint32_t split = at < done ? done : at > frames ? frames : at;
            Process(in, out, done, split);
            done = split;
            events.Apply(*this);
        }
        Process(in, out, done, frames);
    }

    // The output's peaks since the last call (linear; 0 while all dry).
    void TakePeaks(float* left, float* right);

    // The effect itself: the object our editor connects to (its
    // ITzPlugInProp), and for tests and tools.
    COfflineEffect& Effect() { return m_effect; }
    const COfflineEffect& Effect() const { return m_effect; }

private:
    COfflineEffect m_effect;
    const int m_inputChannels;
    uint32_t m_sampleRate;
    bool m_linked = false;   // parameters from an attached link
    WAVEFORMATEX m_inputFormat{};
    WAVEFORMATEX m_outputFormat{};
    bool m_fresh = true;   // prepared and not run since

    CHostControls m_controls;
    CHostControlsHandover m_published{m_controls};
    CBypassFade m_bypass;

    // Interleaved scratch, kChunkFrames stereo frames each way.
    std::unique_ptr<float[]> m_scratchIn;
    std::unique_ptr<float[]> m_scratchOut;
};
