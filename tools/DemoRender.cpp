// zvdelay-demo: renders a generated phrase through the effect core in
// 512-frame buffers and reports what it did. Needs no input file.
#include <cmath>
#include <cstdio>
#include <vector>

#include "effect/Delay.h"

namespace {

class CDemoDelay : public CDelay {
public:
    CDemoDelay() : CDelay(nullptr) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        if (ppv) *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

// Four short decaying tones, one every half second, then silence.
std::vector<float> MakePhrase(uint32_t rate, double seconds) {
    std::vector<float> x(static_cast<size_t>(rate * seconds) * 2);
    const double notes[4] = {440.0, 554.37, 659.26, 880.0};
    for (int k = 0; k < 4; ++k) {
        const size_t start = static_cast<size_t>(k * rate / 2);
        for (size_t i = 0; i < rate / 4 && start + i < x.size() / 2; ++i) {
            const double t = static_cast<double>(i) / rate;
            const float v = static_cast<float>(0.5 * std::exp(-12.0 * t) * std::sin(2 * M_PI * notes[k] * t));
            x[2 * (start + i)] = v;
            x[2 * (start + i) + 1] = v * 0.8f;
        }
    }
    return x;
}

}  // namespace

int main() {
    const uint32_t rate = 48000;
    const int32_t block = 512;
    std::vector<float> in = MakePhrase(rate, 6.0);
    std::vector<float> out(in.size());
    WAVEFORMATEX fin{}, fout{};
    fin.wFormatTag = fout.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    fin.nChannels = fout.nChannels = 2;
    fin.nSamplesPerSec = fout.nSamplesPerSec = rate;
    fin.wBitsPerSample = fout.wBitsPerSample = 32;
    fin.nBlockAlign = fout.nBlockAlign = 8;

    CDemoDelay effect;
    effect.QviReset();
    effect.SetAllParams(kDefaultBlock.v);
    if (FAILED(effect.PrepareStreaming(&fin, &fout))) {
        std::fprintf(stderr, "zvdelay-demo: cannot set up streaming\n");
        return 1;
    }
    const int32_t frames = static_cast<int32_t>(in.size() / 2);
    int32_t blocks = 0;
    double energyIn = 0, energyOut = 0;
    for (int32_t pos = 0; pos < frames; pos += block, ++blocks) {
        int32_t n = std::min(block, frames - pos), cap = n;
        effect.ProcessFloat(1, &in[2 * pos], &n, &out[2 * pos], &cap);
    }
    for (size_t i = 0; i < in.size(); ++i) {
        energyIn += in[i] * in[i];
        energyOut += out[i] * out[i];
    }
    float peakL = 0, peakR = 0;
    effect.GetPeakLevels(&peakL, &peakR);
    std::printf("zvdelay-demo: %d frames in %d blocks of %d at %u Hz, default settings\n", frames, blocks, block,
                rate);
    std::printf("  input energy %.3f, output energy %.3f, peaks %.4f / %.4f, clips %d / %d\n", energyIn, energyOut,
                peakL, peakR, static_cast<int>(effect.GetLeftClip(0)), static_cast<int>(effect.GetRightClip(0)));
    effect.ReleaseStreaming();
    return 0;
}
