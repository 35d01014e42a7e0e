// The processing entry: one call per media sample, streaming thread, filter
// lock held. Refreshes the parameters from automation, recomputes what
// depends on them, runs the delay engine over the frames and keeps the meters.
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

    if (m_bypass) {
        if (channels == 2) {
            std::copy(in, in + 2 * static_cast<size_t>(n), out);
        } else {
            for (int32_t i = 0; i < n; ++i) out[2 * i] = out[2 * i + 1] = in[i];
        }
        m_peakLeft = m_peakRight = 0.0;
        writeBack(n);
        return S_OK;
    }

    ParamBlock scratch;
    bool recompute = RefreshFromAutomation(&scratch) != 0;
    if (!recompute && m_automation) recompute = m_automation->TestAndClearChanged() == S_OK;
    if (!recompute) recompute = !m_gainsReady;
    if (recompute) {
        const HRESULT hr = ComputeGains();
        if (FAILED(hr)) return hr;
    }

    m_engine.BeginBlock(m_live, m_inputFormat->nSamplesPerSec, m_gains);
    FrameMeter meter{&m_clip[0], &m_clip[1], 0.0, 0.0};
    m_engine.Run(in, channels, out, n, meter);

    if (m_peakRead) {
        m_peakLeft = meter.maxLeft;
        m_peakRight = meter.maxRight;
    } else {
        m_peakLeft = std::max(m_peakLeft, meter.maxLeft);
        m_peakRight = std::max(m_peakRight, meter.maxRight);
    }
    m_peakRead = 0;
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

HRESULT CAudioTransform::PrepareStreaming(const WAVEFORMATEX* inputFormat, const WAVEFORMATEX* outputFormat) {
    SetInputFormat(inputFormat);
    SetOutputFormat(outputFormat);
    m_clip[0] = m_clip[1] = 0;
    m_peakLeft = m_peakRight = 0.0;
    m_peakRead = 0;
    if (!inputFormat) {
        m_engine.Release();
        return E_POINTER;
    }
    const HRESULT hr = m_engine.Prepare(inputFormat->nSamplesPerSec);
    if (FAILED(hr)) return hr;
    ParamBlock scratch;
    RefreshFromAutomation(&scratch);
    return ComputeGains();
}

HRESULT CAudioTransform::ReleaseStreaming() {
    m_peakLeft = m_peakRight = 0.0;
    m_engine.Release();
    return S_OK;
}
