#include "effect/DelayEngine.h"

#include <new>

#include "effect/OutputGains.h"

HRESULT CDelayEngine::Prepare(uint32_t sampleRate) {
    Release();
    if (sampleRate == 0) return E_INVALIDARG;
    // Four seconds per line: the longest delay time fills a line exactly.
    const uint64_t size = 4ull * sampleRate;
    if (size > 0x7FFFFFFFull) return E_OUTOFMEMORY;
    m_lineL = new (std::nothrow) double[size]();
    m_lineR = new (std::nothrow) double[size]();
    if (!m_lineL || !m_lineR) {
        Release();
        return E_OUTOFMEMORY;
    }
    m_sampleRate = sampleRate;
    m_lineSize = static_cast<int32_t>(size);
    m_posL = m_posR = 0;
    return S_OK;
}

void CDelayEngine::Release() {
    delete[] m_lineL;
    delete[] m_lineR;
    m_lineL = m_lineR = nullptr;
    m_lineSize = 0;
}

void CDelayEngine::BeginBlock(const ParamBlock& params, uint32_t sampleRate, const double gains[4]) {
    // 40000 * rate overflows 32 bits above 53687 Hz: form it in 64 bits.
    m_lenL = static_cast<int32_t>(static_cast<int64_t>(params[kParamDelayL]) * sampleRate / 10000);
    m_lenR = static_cast<int32_t>(static_cast<int64_t>(params[kParamDelayR]) * sampleRate / 10000);
    if (m_lenL < 1) m_lenL = 1;
    if (m_lenR < 1) m_lenR = 1;
    m_fbL = params[kParamFeedbkL] * 0.01;
    m_fbR = params[kParamFeedbkR] * 0.01;
    m_xfL = params[kParamXfeedL] * 0.01;
    m_xfR = params[kParamXfeedR] * 0.01;
    const bool listen = params[kParamListen] == 1;
    m_dryL = listen ? 0.0 : gains[kGainLeftDry];
    m_dryR = listen ? 0.0 : gains[kGainRightDry];
    m_wetL = gains[kGainLeftWet];
    m_wetR = gains[kGainRightWet];
}

template <typename T>
void CDelayEngine::RunFrames(const T* in, int channels, T* out, int32_t n, FrameMeter& meter) {
    for (int32_t f = 0; f < n; ++f) {
        double sL, sR;
        if (channels == 1) {
            const double s = static_cast<double>(in[0] + static_cast<T>(1e-30f));
            sL = sR = s;
            in += 1;
        } else if (channels == 2) {
            sL = static_cast<double>(in[0] + static_cast<T>(1e-30f));
            sR = static_cast<double>(in[1] + static_cast<T>(1e-30f));
            in += 2;
        } else {
            sL = sR = static_cast<double>(1e-30f);
        }
        const double outL = sL * m_dryL;
        const double outR = sR * m_dryR;
        out[0] = static_cast<T>(outL);
        out[1] = static_cast<T>(outR);
        out += 2;
    }
}

void CDelayEngine::Run(const float* in, int channels, float* out, int32_t n, FrameMeter& meter) {
    RunFrames(in, channels, out, n, meter);
}

void CDelayEngine::Run(const double* in, int channels, double* out, int32_t n, FrameMeter& meter) {
    RunFrames(in, channels, out, n, meter);
}
