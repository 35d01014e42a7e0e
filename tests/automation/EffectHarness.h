// The effect as the filter drives it while streaming, for the end-to-end
// checks: before each buffer the automation is evaluated at the buffer's first
// frame, then the processing entry runs.
#pragma once
#include <functional>
#include <vector>

#include "effect/Delay.h"
#include "effect/ParamTable.h"

// The effect with the IUnknown the filter object would supply.
class CHarnessDelay : public CDelay {
public:
    CHarnessDelay() : CDelay(nullptr) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        if (ppv) *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

inline WAVEFORMATEX StereoFloat(uint32_t rate) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    f.nChannels = 2;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = 32;
    f.nBlockAlign = 8;
    f.nAvgBytesPerSec = rate * 8;
    return f;
}

// Streams `buffers` buffers of `frames` stereo frames of a constant input
// through the effect; `update(position)` runs before each buffer. Returns the
// output, buffer after buffer.
struct CStreamRun {
    CHarnessDelay effect;
    WAVEFORMATEX format = StereoFloat(44100);

    // Constructed as the filter object constructs it.
    explicit CStreamRun(IAutomationLink* automation) {
        effect.AttachAutomation(automation);
        effect.QviReset();
        effect.SetAllParams(kDefaultBlock.v);
    }

    std::vector<std::vector<float>> Run(int buffers, int frames, float input,
                                        const std::function<void(int64_t)>& update) {
        std::vector<std::vector<float>> out;
        if (FAILED(effect.PrepareStreaming(&format, &format))) return out;
        effect.SetStreaming(1);
        const std::vector<float> in(2 * static_cast<size_t>(frames), input);
        int64_t position = 0;
        for (int b = 0; b < buffers; ++b) {
            update(position);
            std::vector<float> y(2 * static_cast<size_t>(frames));
            int32_t n = frames, cap = frames;
            effect.ProcessFloat(1, in.data(), &n, y.data(), &cap);
            out.push_back(y);
            position += frames;
        }
        effect.SetStreaming(0);
        effect.ReleaseStreaming();
        return out;
    }
};
