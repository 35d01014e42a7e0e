// Audio formats of the validator and the effect core's own output for them
// (COfflineEffect), the reference a graph's output is compared with bit for
// bit. Portable (native and Windows).
#pragma once
#include <cstring>
#include <vector>

#include "effect/OfflineEffect.h"
#include "tools/validator/CheckLog.h"

// One input format: 16-bit PCM, 32-bit or 64-bit float; mono or stereo.
struct AudioFormat {
    const char* name;
    WORD tag;
    WORD bits;
    WORD channels;
};

inline constexpr AudioFormat kFormats[] = {
    {"pcm16-mono", WAVE_FORMAT_PCM, 16, 1},        {"pcm16-stereo", WAVE_FORMAT_PCM, 16, 2},
    {"float32-mono", WAVE_FORMAT_IEEE_FLOAT, 32, 1}, {"float32-stereo", WAVE_FORMAT_IEEE_FLOAT, 32, 2},
    {"float64-mono", WAVE_FORMAT_IEEE_FLOAT, 64, 1}, {"float64-stereo", WAVE_FORMAT_IEEE_FLOAT, 64, 2},
};
inline constexpr uint32_t kRates[] = {8000, 11025, 22050, 32000, 44100, 48000, 88200, 96000, 176400, 192000, 384000};
inline constexpr int32_t kBufferFrames[] = {1, 2, 17, 64, 441, 512, 4096, 65536};

inline WAVEFORMATEX InputFormat(const AudioFormat& f, uint32_t rate) {
    WAVEFORMATEX w{};
    w.wFormatTag = f.tag;
    w.nChannels = f.channels;
    w.nSamplesPerSec = rate;
    w.wBitsPerSample = f.bits;
    w.nBlockAlign = static_cast<WORD>(f.bits / 8 * f.channels);
    w.nAvgBytesPerSec = rate * w.nBlockAlign;
    return w;
}

// The plug-in's output for an input: stereo float, 64-bit for 64-bit input.
inline WAVEFORMATEX OutputFormat(const WAVEFORMATEX& in) {
    WAVEFORMATEX w{};
    w.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    w.nChannels = 2;
    w.nSamplesPerSec = in.nSamplesPerSec;
    w.wBitsPerSample = in.wFormatTag == WAVE_FORMAT_IEEE_FLOAT ? in.wBitsPerSample : 32;
    w.nBlockAlign = static_cast<WORD>(w.wBitsPerSample / 8 * 2);
    w.nAvgBytesPerSec = w.nSamplesPerSec * w.nBlockAlign;
    return w;
}

// Samples in -1 .. 1 as the format's bytes.
inline std::vector<BYTE> Encode(const std::vector<double>& x, const WAVEFORMATEX& f) {
    std::vector<BYTE> data(x.size() * (f.wBitsPerSample / 8));
    for (size_t i = 0; i < x.size(); ++i) {
        if (f.wFormatTag == WAVE_FORMAT_PCM) {
            const int16_t v = static_cast<int16_t>(std::lround(x[i] * 32767.0));
            std::memcpy(&data[i * 2], &v, 2);
        } else if (f.wBitsPerSample == 32) {
            const float v = static_cast<float>(x[i]);
            std::memcpy(&data[i * 4], &v, 4);
        } else {
            std::memcpy(&data[i * 8], &x[i], 8);
        }
    }
    return data;
}

// The effect core run over the input bytes in buffers of `partition` frames
// (the last one shorter), as the plug-in's input pin runs it: 16-bit samples
// become float as x / 32768. Returns the output bytes (empty when the core
// could not be set up).
inline std::vector<BYTE> ReferenceOutput(const std::vector<BYTE>& input, const WAVEFORMATEX& in,
                                         const ParamBlock& block, int32_t partition) {
    const WAVEFORMATEX out = OutputFormat(in);
    COfflineEffect effect;
    effect.QviReset();
    effect.SetAllParams(block.v);
    if (FAILED(effect.PrepareStreaming(&in, &out))) return {};
    const size_t frames = input.size() / in.nBlockAlign;
    std::vector<BYTE> result(frames * out.nBlockAlign);
    std::vector<float> pcm;
    for (size_t at = 0; at < frames; at += static_cast<size_t>(partition)) {
        const int32_t n0 = static_cast<int32_t>(std::min<size_t>(partition, frames - at));
        int32_t n = n0, capacity = n0;
        const BYTE* src = &input[at * in.nBlockAlign];
        BYTE* dst = &result[at * out.nBlockAlign];
        if (in.wFormatTag == WAVE_FORMAT_PCM) {
            pcm.resize(static_cast<size_t>(n0) * in.nChannels);
            for (size_t i = 0; i < pcm.size(); ++i) {
                int16_t v;
                std::memcpy(&v, src + 2 * i, 2);
                pcm[i] = v * 3.0517578125e-5f;
            }
            effect.ProcessFloat(1, pcm.data(), &n, reinterpret_cast<float*>(dst), &capacity);
        } else if (in.wBitsPerSample == 32) {
            effect.ProcessFloat(1, reinterpret_cast<const float*>(src), &n, reinterpret_cast<float*>(dst), &capacity);
        } else {
            effect.ProcessDouble(1, reinterpret_cast<const double*>(src), &n, reinterpret_cast<double*>(dst),
                                 &capacity);
        }
    }
    effect.ReleaseStreaming();
    return result;
}

// The first non-finite output sample's index, or -1.
inline long FirstNonFiniteOutput(const std::vector<BYTE>& bytes, const WAVEFORMATEX& out) {
    if (out.wBitsPerSample == 64)
        return FirstNonFinite(reinterpret_cast<const double*>(bytes.data()), bytes.size() / 8);
    return FirstNonFinite(reinterpret_cast<const float*>(bytes.data()), bytes.size() / 4);
}

// Where two outputs first differ, in frames, or -1 when they are equal.
inline long FirstDifference(const std::vector<BYTE>& a, const std::vector<BYTE>& b, WORD blockAlign) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return static_cast<long>(i / blockAlign);
    if (a.size() != b.size()) return static_cast<long>(n / blockAlign);
    return -1;
}
