#include "effect/DelayEngine.h"

#include <cmath>
#include <cstring>
#include <new>

#include "effect/DenormalGuard.h"
#include "effect/EngineKernel.h"
#include "effect/OutputGains.h"

namespace {
// True when every sample is finite and within +-kLineLimit: |x| < limit is
// false for NaN too. Four or two samples per SSE2 compare, two compares per
// step.
bool WithinLimit(const float* in, int count) {
    int i = 0;
#ifdef ZV_HAVE_SSE2
    const __m128 sign = _mm_set1_ps(-0.0f), limit = _mm_set1_ps(static_cast<float>(kLineLimit));
    __m128 outside = _mm_setzero_ps();
    for (; i + 8 <= count; i += 8) {
        const __m128 a = _mm_cmpnlt_ps(_mm_andnot_ps(sign, _mm_loadu_ps(in + i)), limit);
        const __m128 b = _mm_cmpnlt_ps(_mm_andnot_ps(sign, _mm_loadu_ps(in + i + 4)), limit);
        outside = _mm_or_ps(outside, _mm_or_ps(a, b));
    }
    for (; i + 4 <= count; i += 4) {
        outside = _mm_or_ps(outside, _mm_cmpnlt_ps(_mm_andnot_ps(sign, _mm_loadu_ps(in + i)), limit));
    }
    if (_mm_movemask_ps(outside) != 0) return false;
#endif
    for (; i < count; ++i) {
        if (!(std::fabs(in[i]) < static_cast<float>(kLineLimit))) return false;
    }
    return true;
}

bool WithinLimit(const double* in, int count) {
    int i = 0;
#ifdef ZV_HAVE_SSE2
    const __m128d sign = _mm_set1_pd(-0.0), limit = _mm_set1_pd(kLineLimit);
    __m128d outside = _mm_setzero_pd();
    for (; i + 4 <= count; i += 4) {
        const __m128d a = _mm_cmpnlt_pd(_mm_andnot_pd(sign, _mm_loadu_pd(in + i)), limit);
        const __m128d b = _mm_cmpnlt_pd(_mm_andnot_pd(sign, _mm_loadu_pd(in + i + 2)), limit);
        outside = _mm_or_pd(outside, _mm_or_pd(a, b));
    }
    for (; i + 2 <= count; i += 2) {
        outside = _mm_or_pd(outside, _mm_cmpnlt_pd(_mm_andnot_pd(sign, _mm_loadu_pd(in + i)), limit));
    }
    if (_mm_movemask_pd(outside) != 0) return false;
#endif
    for (; i < count; ++i) {
        if (!(std::fabs(in[i]) < kLineLimit)) return false;
    }
    return true;
}

bool IsFiniteState(const ToneFilterState& s) {
    double sum = 0.0;
    for (const double* v : {s.x1, s.x2, s.y1, s.y2a, s.y2b}) sum += (v[0] - v[0]) + (v[1] - v[1]);
    return sum == 0.0;
}

// Positions are 32-bit: a line may hold at most this many samples, which
// allows rates up to 536870911 Hz.
constexpr uint64_t kMaxLineSize = 0x7FFFFFFFull;
}

HRESULT CDelayEngine::Prepare(uint32_t sampleRate) {
    Release();
    m_highCutState = ToneFilterState{};
    m_lowCutState = ToneFilterState{};
    if (sampleRate == 0) return E_INVALIDARG;
    // Four seconds per line: the longest delay time fills a line exactly.
    const uint64_t lineSize = 4ull * sampleRate;
    if (lineSize > kMaxLineSize) return E_OUTOFMEMORY;
    const int32_t sizes[kBufferCount] = {static_cast<int32_t>(lineSize), static_cast<int32_t>(lineSize),
                                         kDiffusionSize[0], kDiffusionSize[1],
                                         kDiffusionSize[2], kDiffusionSize[3]};
    for (int b = 0; b < kBufferCount; ++b) {
        m_buffer[b] = new (std::nothrow) double[static_cast<size_t>(sizes[b])];
        if (!m_buffer[b]) {
            Release();
            return E_OUTOFMEMORY;
        }
        std::memset(m_buffer[b], 0, sizeof(double) * static_cast<size_t>(sizes[b]));
        m_size[b] = sizes[b];
        m_pos[b] = 0;
    }
    m_sampleRate = sampleRate;
    m_constantsValid = false;   // the lengths depend on the line size
    return S_OK;
}

void CDelayEngine::Clear() {
    m_highCutState = ToneFilterState{};
    m_lowCutState = ToneFilterState{};
    for (int b = 0; b < kBufferCount; ++b) {
        if (m_buffer[b]) std::memset(m_buffer[b], 0, sizeof(double) * static_cast<size_t>(m_size[b]));
        m_pos[b] = 0;
    }
}

void CDelayEngine::Release() {
    for (int b = 0; b < kBufferCount; ++b) {
        delete[] m_buffer[b];
        m_buffer[b] = nullptr;
        m_size[b] = 0;
        m_pos[b] = 0;
    }
    m_sampleRate = 0;
    m_constantsValid = false;
}

void CDelayEngine::BeginBlock(const ParamBlock& params, uint32_t sampleRate, const double gains[4]) {
    // Listen: wet only, for this loop; the stored gains stay as they are.
    const bool listen = params[kParamListen] == 1;
    m_dry[0] = listen ? 0.0 : gains[kGainLeftDry];
    m_dry[1] = listen ? 0.0 : gains[kGainRightDry];
    m_wet[0] = gains[kGainLeftWet];
    m_wet[1] = gains[kGainRightWet];

    // Everything below is a function of the block and the rate alone (libm
    // included: the same arguments give the same bits). Computing it again
    // for an unchanged block would give the same constants, so it is done
    // only when the block or the rate differs from the last buffer's; at
    // 64-frame buffers the eight pow/sin/cos/tan calls would otherwise cost
    // more than a third of the frames' own work.
    if (m_constantsValid && sampleRate == m_constantsRate &&
        std::memcmp(params.v, m_constantsBlock.v, sizeof(params.v)) == 0) {
        return;
    }
    m_constantsValid = true;
    m_constantsRate = sampleRate;
    m_constantsBlock = params;

    m_network = ComputeNetwork(params, sampleRate, m_size[kLineLeft] > 0 ? m_size[kLineLeft] : 1);
    // Up to 100 % per line the lines stay within the input's bound divided by
    // what the feedback leaves (at exactly 100 % a constant input adds up
    // linearly, far too slowly to ever overflow); above it the echoes grow
    // exponentially.
    m_runawayPossible = params[kParamFeedbkL] + params[kParamXfeedR] > 100 ||
                        params[kParamFeedbkR] + params[kParamXfeedL] > 100;

    m_diffusionOn = params[kParamDiffAmnt] != 0;
    if (m_diffusionOn) m_diffusion = ComputeDiffusion(params[kParamDiffTime], params[kParamDiffAmnt]);

    // A filter that is off keeps its state and needs no coefficients.
    m_highCutOn = params[kParamHighFreq] != 301 && sampleRate != 0;
    if (m_highCutOn) {
        m_highCutoff = LimitCutoff(HighCutFrequency(params[kParamHighFreq]), sampleRate);
        m_highCut = ComputeToneCoefficients(m_highCutoff, params[kParamHighQ] * 0.01, sampleRate);
    }
    m_lowCutOn = params[kParamLowFreq] != 0 && sampleRate != 0;
    if (m_lowCutOn) {
        m_lowCutoff = LimitCutoff(LowCutFrequency(params[kParamLowFreq]), sampleRate);
        m_lowCut = ComputeToneCoefficients(m_lowCutoff, params[kParamLowQ] * 0.01, sampleRate);
    }
}

template <class Pair, class Meter, class T, int kChannels, int kGuard>
void CDelayEngine::Dispatch(const T* in, T* out, int32_t n, FrameMeter& meter) {
    const int stages = (m_diffusionOn ? 4 : 0) | (m_highCutOn ? 2 : 0) | (m_lowCutOn ? 1 : 0);
    switch (stages) {
    case 0: RunKernel<Pair, Meter, T, kChannels, false, false, false, kGuard>(in, out, n, meter); break;
    case 1: RunKernel<Pair, Meter, T, kChannels, false, false, true, kGuard>(in, out, n, meter); break;
    case 2: RunKernel<Pair, Meter, T, kChannels, false, true, false, kGuard>(in, out, n, meter); break;
    case 3: RunKernel<Pair, Meter, T, kChannels, false, true, true, kGuard>(in, out, n, meter); break;
    case 4: RunKernel<Pair, Meter, T, kChannels, true, false, false, kGuard>(in, out, n, meter); break;
    case 5: RunKernel<Pair, Meter, T, kChannels, true, false, true, kGuard>(in, out, n, meter); break;
    case 6: RunKernel<Pair, Meter, T, kChannels, true, true, false, kGuard>(in, out, n, meter); break;
    default: RunKernel<Pair, Meter, T, kChannels, true, true, true, kGuard>(in, out, n, meter); break;
    }
}

template <class T>
void CDelayEngine::RunAny(const T* in, int channels, T* out, int32_t n, FrameMeter& meter) {
    if (n <= 0 || !IsPrepared()) return;
    // A guarded loop only where the plain one could leave a NaN, an
    // infinity or a runaway in the state: the loop guard for settings whose
    // feedback and cross-feed into a line add up to more than 100 %, the
    // input guard for an input sample that is not finite or beyond the limit.
    const int samples = channels == 1 || channels == 2 ? channels * n : 0;
    {
        CDenormalGuard flushDenormals;
        if (m_runawayPossible) {
            RunKernels<T, kGuardLoop>(in, channels, out, n, meter);
        } else if (!WithinLimit(in, samples)) {
            RunKernels<T, kGuardInput>(in, channels, out, n, meter);
        } else {
            RunKernels<T, kGuardNone>(in, channels, out, n, meter);
        }
    }
    // Belt and braces: with the guards the filters' recursive state stays
    // finite; should it ever not, it starts again from silence instead of
    // holding a NaN for good.
    for (ToneFilterState* state : {&m_highCutState, &m_lowCutState}) {
        if (!IsFiniteState(*state)) *state = ToneFilterState{};
    }
}

template <class T, int kGuard>
void CDelayEngine::RunKernels(const T* in, int channels, T* out, int32_t n, FrameMeter& meter) {
#ifdef ZV_HAVE_SSE2
    if (m_kernel == EKernel::kLanes) {
        if (channels == 2) return Dispatch<CSsePair, CSseMeter, T, 2, kGuard>(in, out, n, meter);
        if (channels == 1) return Dispatch<CSsePair, CSseMeter, T, 1, kGuard>(in, out, n, meter);
        return Dispatch<CSsePair, CSseMeter, T, 0, kGuard>(in, out, n, meter);
    }
#endif
    if (channels == 2) return Dispatch<CScalarPair, CScalarMeter, T, 2, kGuard>(in, out, n, meter);
    if (channels == 1) return Dispatch<CScalarPair, CScalarMeter, T, 1, kGuard>(in, out, n, meter);
    return Dispatch<CScalarPair, CScalarMeter, T, 0, kGuard>(in, out, n, meter);
}

void CDelayEngine::Run(const float* in, int channels, float* out, int32_t n, FrameMeter& meter) {
    RunAny(in, channels, out, n, meter);
}

void CDelayEngine::Run(const double* in, int channels, double* out, int32_t n, FrameMeter& meter) {
    RunAny(in, channels, out, n, meter);
}
