#include "ClapReference.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "clap/ClapIds.h"
#include "effect/OfflineEffect.h"
#include "effect/ParamDescription.h"

CClapLibrary& Library() {
    static CClapLibrary library(ClapFilePath());
    return library;
}

const char* PlugInId(int inputChannels) { return inputChannels == 1 ? zvclap::kMonoId : zvclap::kStereoId; }

std::vector<float> TestSignal(int channels, uint32_t rate, double seconds) {
    const size_t frames = static_cast<size_t>(rate * seconds);
    std::vector<float> s(frames * channels);
    uint32_t noise = 12345;
    for (size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            noise = noise * 1664525u + 1013904223u;
            const double n = (static_cast<int32_t>(noise) / 2147483648.0) * 0.2;
            const double tone = 0.4 * std::sin(2.0 * 3.14159265358979323846 * (220.0 + 110.0 * c) * i / rate);
            // Bursts of 20 ms every 100 ms so that the echoes stand out.
            s[i * channels + c] = static_cast<float>((i * 50 / rate) % 5 == 0 ? tone + n : 0.0);
        }
    }
    return s;
}

std::vector<float> RenderReference(const ParamBlock& start, int channels, uint32_t rate, const std::vector<float>& in,
                                   const std::vector<Timed>& changes) {
    constexpr int32_t kBlock = 512;
    COfflineEffect fx;
    fx.SetAllParams(kDefaultBlock.v);
    for (int i = 0; i < kParamCount; ++i) fx.SetParamValue(i, start[i], 0);
    WAVEFORMATEX inFormat{}, outFormat{};
    for (auto* f : {&inFormat, &outFormat}) {
        f->wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
        f->nSamplesPerSec = rate;
        f->wBitsPerSample = 32;
    }
    inFormat.nChannels = static_cast<WORD>(channels);
    outFormat.nChannels = 2;
    fx.SetStreaming(1);
    fx.PrepareStreaming(&inFormat, &outFormat);
    std::vector<Timed> timed = changes;
    std::stable_sort(timed.begin(), timed.end(), [](const Timed& a, const Timed& b) { return a.frame < b.frame; });
    auto next = timed.begin();
    const int64_t frames = static_cast<int64_t>(in.size() / channels);
    std::vector<float> out(2 * static_cast<size_t>(frames));
    for (int64_t at = 0; at < frames; at += kBlock) {
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(kBlock, frames - at));
        for (int32_t done = 0; done < n;) {
            while (next != timed.end() && next->frame <= at + done) {
                fx.SetParamValue(next->index, next->value, 0);
                ++next;
            }
            int32_t piece = n - done;
            if (next != timed.end() && next->frame < at + n) piece = static_cast<int32_t>(next->frame - at) - done;
            int32_t count = piece, capacity = piece;
            fx.ProcessFloat(1, in.data() + (at + done) * channels, &count, out.data() + 2 * (at + done), &capacity);
            done += piece;
        }
    }
    fx.ReleaseStreaming();
    return out;
}

std::vector<HostEvent> HostEvents(const std::vector<Timed>& changes) {
    std::vector<HostEvent> events;
    for (const Timed& t : changes)
        events.push_back({t.frame, false, static_cast<uint32_t>(t.index), NaturalFromInternal(t.index, t.value)});
    return events;
}

void FlushBlock(CClapInstance& plugin, const ParamBlock& block) {
    std::vector<HostEvent> events = {
        {0, false, kParamTempoSync, NaturalFromInternal(kParamTempoSync, block[kParamTempoSync])}};
    for (int i = 0; i < kParamCount; ++i) {
        if (i != kParamTempoSync) events.push_back({0, false, static_cast<uint32_t>(i), NaturalFromInternal(i, block[i])});
    }
    plugin.Flush(events);
}

long FirstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) return 0;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return static_cast<long>(i);
    }
    return -1;
}
