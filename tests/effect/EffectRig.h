// An effect set up for streaming at a given rate and channel count, with
// helpers to run sample vectors through its processing entry.
#pragma once
#include <gtest/gtest.h>

#include <vector>

#include "effect/OfflineEffect.h"

// Parameters that isolate the delay network: full wet on both sides, no
// feedback or cross-feed, diffusion and filters off, unity output.
inline ParamBlock IsolatedBlock() {
    ParamBlock b = kDefaultBlock;
    b[kParamMixL] = b[kParamMixR] = 100;
    b[kParamFeedbkL] = b[kParamFeedbkR] = 0;
    b[kParamXfeedL] = b[kParamXfeedR] = 0;
    b[kParamDiffAmnt] = 0;
    b[kParamHighFreq] = 301;
    b[kParamLowFreq] = 0;
    b[kParamOutput] = 0;
    b[kParamTempoSync] = 0;
    return b;
}

inline WAVEFORMATEX MakeFormat(uint32_t rate, int channels, int bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    f.nChannels = static_cast<WORD>(channels);
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = static_cast<WORD>(bits);
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

class CEffectRig {
public:
    explicit CEffectRig(uint32_t rate, int channels = 2, int bits = 32)
        : m_in(MakeFormat(rate, channels, bits)), m_out(MakeFormat(rate, 2, bits)) {}

    HRESULT Prepare() { return fx.PrepareStreaming(&m_in, &m_out); }
    void Apply(const ParamBlock& b) { fx.SetAllParams(b.v); }

    // Runs the input (interleaved, the rig's channel count) in one buffer.
    template <typename T>
    std::vector<T> Run(const std::vector<T>& in) {
        const int channels = m_in.nChannels ? m_in.nChannels : 1;
        int32_t frames = static_cast<int32_t>(in.size() / channels);
        return RunFrames(in.data(), frames);
    }
    template <typename T>
    std::vector<T> RunFrames(const T* in, int32_t frames) {
        std::vector<T> out(2 * static_cast<size_t>(frames));
        int32_t inFrames = frames, outFrames = frames;
        EXPECT_EQ(S_OK, Process(in, &inFrames, out.data(), &outFrames));
        EXPECT_EQ(frames, inFrames);
        return out;
    }
    // Runs silence, frames long.
    std::vector<float> Silence(int32_t frames) {
        std::vector<float> in(static_cast<size_t>(frames) * Channels(), 0.0f);
        return RunFrames(in.data(), frames);
    }
    int Channels() const { return m_in.nChannels; }

    COfflineEffect fx;

private:
    HRESULT Process(const float* in, int32_t* inFrames, float* out, int32_t* outFrames) {
        return fx.ProcessFloat(1, in, inFrames, out, outFrames);
    }
    HRESULT Process(const double* in, int32_t* inFrames, double* out, int32_t* outFrames) {
        return fx.ProcessDouble(1, in, inFrames, out, outFrames);
    }

    WAVEFORMATEX m_in;
    WAVEFORMATEX m_out;
};
