// The processing entry: one call per media sample, streaming thread, filter
// lock held. Takes the newest whole parameter block (or keeps the last one),
// recomputes what depends on it, runs the delay engine over the frames and
// keeps the meters. Takes no lock, allocates nothing, calls no host code.
#include <algorithm>

#include "effect/AudioTransform.h"

template <typename T>
HRESULT CAudioTransform::Process(const T* in, int32_t* inFrames, T* out, int32_t* outFrames) {
    int32_t n = std::min(inFrames ? *inFrames : 0, outFrames ? *outFrames : 0);
    if (n < 0) n = 0;
    auto writeBack = [&](int32_t frames) {
        if (inFrames) *inFrames = frames;
        if (outFrames) *outFrames = frames;
    };
    if (n > 0 && (!in || !out)) {
        writeBack(0);
        return E_POINTER;
    }
    if (!m_inputFormat || !m_engine.IsPrepared()) {
        // Called outside PrepareStreaming/ReleaseStreaming: nothing to run on.
        writeBack(0);
        return E_UNEXPECTED;
    }
    const int channels = m_inputFormat->nChannels;

    if (m_bypass.load(std::memory_order_relaxed)) {
        if (channels == 2) {
            std::copy(in, in + 2 * static_cast<size_t>(n), out);
        } else {
            for (int32_t i = 0; i < n; ++i) out[2 * i] = out[2 * i + 1] = in[i];
        }
        m_peakLeft.store(0.0, std::memory_order_relaxed);
        m_peakRight.store(0.0, std::memory_order_relaxed);
        writeBack(n);
        return S_OK;
    }

    AcquireParams();
    m_engine.BeginBlock(m_engineBlock, m_inputFormat->nSamplesPerSec, m_gains);
    int32_t clip[2] = {0, 0};
    FrameMeter meter{&clip[0], &clip[1], 0.0, 0.0};
    m_engine.Run(in, channels, out, n, meter);

    for (int c = 0; c < 2; ++c) {
        if (clip[c]) m_clip[c].store(clip[c], std::memory_order_relaxed);
    }
    // The editor's read of the peaks starts a new maximum.
    if (m_peakRead.exchange(0, std::memory_order_relaxed)) {
        m_peakLeft.store(meter.maxLeft, std::memory_order_relaxed);
        m_peakRight.store(meter.maxRight, std::memory_order_relaxed);
    } else {
        m_peakLeft.store(std::max(m_peakLeft.load(std::memory_order_relaxed), meter.maxLeft),
                         std::memory_order_relaxed);
        m_peakRight.store(std::max(m_peakRight.load(std::memory_order_relaxed), meter.maxRight),
                          std::memory_order_relaxed);
    }
    writeBack(n);
    return S_OK;
}

HRESULT CAudioTransform::ProcessFloat(DWORD, const float* in, int32_t* inFrames, float* out, int32_t* outFrames) {
    return Process(in, inFrames, out, outFrames);
}

HRESULT CAudioTransform::ProcessDouble(DWORD, const double* in, int32_t* inFrames, double* out,
                                       int32_t* outFrames) {
    return Process(in, inFrames, out, outFrames);
}

void CAudioTransform::ClearMeters() {
    m_clip[0].store(0, std::memory_order_relaxed);
    m_clip[1].store(0, std::memory_order_relaxed);
    m_peakLeft.store(0.0, std::memory_order_relaxed);
    m_peakRight.store(0.0, std::memory_order_relaxed);
    m_peakRead.store(0, std::memory_order_relaxed);
}

// Filter lock held, not on the audio thread. Allocates the delay memory.
HRESULT CAudioTransform::PrepareStreaming(const WAVEFORMATEX* inputFormat, const WAVEFORMATEX* outputFormat) {
    SetInputFormat(inputFormat);
    SetOutputFormat(outputFormat);
    ClearMeters();
    if (!inputFormat) {
        m_engine.Release();
        return E_POINTER;
    }
    const HRESULT hr = m_engine.Prepare(inputFormat->nSamplesPerSec);
    if (FAILED(hr)) return hr;
    // The first buffer's block, from the automation as it stands: brought
    // into the live block and published by one change, then read with the
    // writers' lock held, so that no change is half made and the attempt
    // succeeds.
    {
        CChange sync(this);
        SyncFromAutomation();
    }
    CChange hold(this);
    m_engineValid = false;
    m_gainsReady = 0;
    AcquireParams();
    return S_OK;
}

HRESULT CAudioTransform::RestartStreaming() {
    if (!m_inputFormat || !m_engine.IsPrepared()) return E_UNEXPECTED;
    m_engine.Clear();
    ClearMeters();
    return S_OK;
}

HRESULT CAudioTransform::ReleaseStreaming() {
    m_peakLeft.store(0.0, std::memory_order_relaxed);
    m_peakRight.store(0.0, std::memory_order_relaxed);
    m_engine.Release();
    return S_OK;
}
