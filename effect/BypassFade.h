// CBypassFade: a host's bypass switch as the plug-in layers (LV2, CLAP,
// VST3) answer it: switching off passes the input through (the mono input
// to both outputs), switching on brings the processed signal back, each by
// a linear cross-fade over kBypassFadeSeconds from wherever a fade under way
// stands, so that the switch does not click. The effect keeps running
// meanwhile, its lines included. A frame of the fade mixes wet x g + dry x
// (1 - g), g stepping by 1/N per frame (1/N ... (N-1)/N on the way in, back
// down on the way out); the frame that reaches the end is all one signal,
// copied as it is.
//
// Audio thread; no allocation, no lock.
#pragma once
#include <cstdint>

class CBypassFade {
public:
    static constexpr double kBypassFadeSeconds = 0.010;
    // The fade's length at a rate (at least one frame).
    static uint32_t FadeFrames(uint32_t sampleRate);

    explicit CBypassFade(uint32_t sampleRate = 48000);

    // The switch: true passes the input through. The first Want after Start
    // takes effect at once, without a fade.
    void Want(bool bypassed);
    // A new start (instantiation, activation): the next Want stands at once.
    void Start() { m_fresh = true; }

    // n frames into the host's planes left and right: wet is the effect's
    // interleaved stereo output, dry the input as the effect read it (mono,
    // or interleaved stereo; dryChannels 1 or 2). Each dry frame is read
    // before the output frame at its place is written (in-place buffers
    // are fine).
    void Mix(const float* wet, const float* dry, int dryChannels, float* left, float* right, uint32_t n);

    // While the output is all dry (the effect's peaks then read 0).
    bool AllDry() const { return m_wetFrames == 0; }

private:
    uint32_t m_fadeFrames;
    uint32_t m_wetFrames;   // where the fade stands: 0 all dry, m_fadeFrames all processed
    bool m_wantWet = true;
    bool m_fresh = true;
};
