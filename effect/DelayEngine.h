// The delay engine: the state and the per-frame signal path of the effect.
//
// Owns the six sample buffers (left and right delay lines, four diffusion
// stages) with their positions and the tone-filter states. Prepare() sets
// them up for a sample rate, Release() frees them; BeginBlock() computes the
// per-buffer constants from the parameter block; Run() processes frames.
// Streaming thread only; Run() allocates nothing, takes no lock and makes no
// call.
#pragma once
#include <cstdint>

#include "common/WinTypes.h"
#include "effect/ParamTable.h"

// Per-buffer meter results and the engine's clip indicators.
struct FrameMeter {
    int32_t* clipLeft;   // set to 3 on a sample above 1.0, below -1.0 or NaN
    int32_t* clipRight;
    double maxLeft;      // running maxima of |out| over the buffer
    double maxRight;
};

class CDelayEngine {
public:
    CDelayEngine() = default;
    ~CDelayEngine() { Release(); }
    CDelayEngine(const CDelayEngine&) = delete;
    CDelayEngine& operator=(const CDelayEngine&) = delete;

    // Frees and reallocates every buffer, zeroed, for the given input rate,
    // and clears positions and filter states. E_INVALIDARG for a rate of 0,
    // E_OUTOFMEMORY when the memory cannot be had (the engine is then empty).
    HRESULT Prepare(uint32_t sampleRate);
    void Release();
    bool IsPrepared() const { return m_lineL != nullptr; }

    // Per-buffer constants from the live parameters. dryLeft/dryRight are
    // the dry gains to use (0.0 when Listen is on).
    void BeginBlock(const ParamBlock& params, uint32_t sampleRate, const double gains[4]);

    // Processes n frames. channels: the input's channel count (1 and 2 read
    // samples; any other count reads nothing). Output is interleaved stereo.
    void Run(const float* in, int channels, float* out, int32_t n, FrameMeter& meter);
    void Run(const double* in, int channels, double* out, int32_t n, FrameMeter& meter);

    // Delay lengths in force (for tests and tools).
    int32_t LengthLeft() const { return m_lenL; }
    int32_t LengthRight() const { return m_lenR; }

private:
    template <typename T>
    void RunFrames(const T* in, int channels, T* out, int32_t n, FrameMeter& meter);

    uint32_t m_sampleRate = 0;
    double* m_lineL = nullptr;
    double* m_lineR = nullptr;
    int32_t m_lineSize = 0;
    int32_t m_posL = 0;
    int32_t m_posR = 0;

    // Per-buffer constants.
    int32_t m_lenL = 1;
    int32_t m_lenR = 1;
    double m_fbL = 0.0, m_fbR = 0.0, m_xfL = 0.0, m_xfR = 0.0;
    double m_dryL = 0.0, m_wetL = 0.0, m_dryR = 0.0, m_wetR = 0.0;
};
