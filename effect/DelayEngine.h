// The delay engine: the state and the per-frame signal path of the effect.
//
// Per frame, in this order: read the input frame (adding the anti-denormal
// offset), diffusion (Diffusion.h), high-cut then low-cut (ToneFilter.h), the
// delay network with its mix (DelayNetwork.h), metering. The dry path of the
// mix takes the frame as read, before diffusion and filters. A stage that is
// off (DiffAmnt 0, HighFreq 301, LowFreq 0) is skipped entirely and its state
// stays as it was.
//
// The engine owns six sample buffers - left and right delay lines (four
// seconds each), diffusion stages 1 to 4 (512, 512, 1024, 1024) - with one
// position each, and the two filter states. Prepare() sets them up for a
// sample rate, Release() frees them; BeginBlock() computes the per-buffer
// constants (lengths, coefficients, gains to use) from the parameter block;
// Run() processes frames.
//
// Threads: streaming thread only, filter lock held by the caller. Run()
// allocates nothing, takes no lock and makes no call.
//
// Signal safety: Run() sets flush-to-zero and denormals-are-zero for its
// loop (DenormalGuard.h). A buffer whose settings can run away (feedback and
// cross-feed into a line of more than 100 %) runs the loop guard, which bends
// what enters the lines below +6 dBFS; one whose input holds a sample that
// is not finite or beyond +-kLineLimit runs the input guard: such a sample
// reads as silence or as the limit, and what enters the lines is limited
// (DelayNetwork.h). So no input and no legal setting leaves a NaN, an
// infinity, a slow subnormal or a runaway level in the state, and every
// other buffer runs the plain loop, bit for bit and at full speed.
//
// Speed: both channels travel together through one two-lane value
// (StereoPair.h), the same IEEE operation per lane as the per-channel
// arithmetic, so the output is bit for bit that of the plain definition. The
// frames of a buffer are cut into runs in which no position wraps, so the
// inner loop has no branch. One loop is compiled per combination of sample
// type, input channel mode and stages on (EngineKernel.h).
#pragma once
#include <cstdint>

#include "common/WinTypes.h"
#include "effect/DelayNetwork.h"
#include "effect/Diffusion.h"
#include "effect/ParamTable.h"
#include "effect/ToneFilter.h"

// Per-buffer meter results and the engine's clip indicators.
struct FrameMeter {
    int32_t* clipLeft;   // set to 3 on a sample above 1.0, below -1.0 or NaN
    int32_t* clipRight;
    double maxLeft;      // running maxima of |out| over the buffer
    double maxRight;
};

class CDelayEngine {
public:
    // The six buffers, in the effect's documented order.
    enum EBuffer { kLineLeft = 0, kLineRight, kDiffusion1, kDiffusion2, kDiffusion3, kDiffusion4, kBufferCount };

    // How pairs are computed: in SSE2 lanes (the default where the processor
    // has them) or as two plain doubles. Both give the same bits; the choice
    // exists for the tests and the benchmarks.
    enum class EKernel { kLanes, kScalar };

    CDelayEngine() = default;
    ~CDelayEngine() { Release(); }
    CDelayEngine(const CDelayEngine&) = delete;
    CDelayEngine& operator=(const CDelayEngine&) = delete;

    // Frees and reallocates every buffer, zeroed, for the given input rate,
    // and clears positions and filter states. E_INVALIDARG for a rate of 0,
    // E_OUTOFMEMORY when the memory cannot be had (a line longer than a
    // 32-bit position can address, or a failed allocation); the engine is
    // then empty and IsPrepared() is false.
    HRESULT Prepare(uint32_t sampleRate);
    // What Prepare leaves, in the memory already there: every buffer zeroed,
    // positions and filter states cleared. No allocation; the streaming
    // thread may call it (between buffers).
    void Clear();
    void Release();
    bool IsPrepared() const { return m_buffer[kLineLeft] != nullptr; }

    // Per-buffer constants from the live parameters and the input rate:
    // delay lengths and factors, diffusion lengths and coefficients, filter
    // cutoffs and coefficients (for the filters that are on), and the dry and
    // wet gains to use (dry 0.0 when Listen is on). gains: left dry, left
    // wet, right dry, right wet. Constants that depend only on the block and
    // the rate are kept while neither changes (the same values result).
    void BeginBlock(const ParamBlock& params, uint32_t sampleRate, const double gains[4]);

    // Processes n frames. channels: the input's channel count (1 and 2 read
    // samples; any other count reads nothing and runs on the offset alone).
    // Output is interleaved stereo. Raises the clip indicators and the
    // maxima in meter.
    void Run(const float* in, int channels, float* out, int32_t n, FrameMeter& meter);
    void Run(const double* in, int channels, double* out, int32_t n, FrameMeter& meter);

    void SetKernel(EKernel kernel) { m_kernel = kernel; }
    EKernel Kernel() const { return m_kernel; }

    // What is in force (for tests, tools and benchmarks).
    uint32_t PreparedRate() const { return m_sampleRate; }
    int32_t BufferSize(int buffer) const { return m_size[buffer]; }
    int32_t Position(int buffer) const { return m_pos[buffer]; }
    const double* Buffer(int buffer) const { return m_buffer[buffer]; }
    int32_t LengthLeft() const { return m_network.lengthLeft; }
    int32_t LengthRight() const { return m_network.lengthRight; }
    const NetworkConstants& Network() const { return m_network; }
    const DiffusionConstants& Diffusion() const { return m_diffusion; }
    bool DiffusionOn() const { return m_diffusionOn; }
    bool HighCutOn() const { return m_highCutOn; }
    bool LowCutOn() const { return m_lowCutOn; }
    int32_t HighCutoff() const { return m_highCutoff; }   // after the Nyquist limit
    int32_t LowCutoff() const { return m_lowCutoff; }
    const ToneCoefficients& HighCut() const { return m_highCut; }
    const ToneCoefficients& LowCut() const { return m_lowCut; }
    const ToneFilterState& HighCutState() const { return m_highCutState; }
    const ToneFilterState& LowCutState() const { return m_lowCutState; }

private:
    template <class T>
    void RunAny(const T* in, int channels, T* out, int32_t n, FrameMeter& meter);
    template <class T, int kGuard>
    void RunKernels(const T* in, int channels, T* out, int32_t n, FrameMeter& meter);
    template <class Pair, class Meter, class T, int kChannels, int kGuard>
    void Dispatch(const T* in, T* out, int32_t n, FrameMeter& meter);
    template <class Pair, class Meter, class T, int kChannels, bool kDiffusion, bool kHighCut, bool kLowCut,
              int kGuard>
    void RunKernel(const T* in, T* out, int32_t n, FrameMeter& meter);

    uint32_t m_sampleRate = 0;
    double* m_buffer[kBufferCount] = {};
    int32_t m_size[kBufferCount] = {};
    int32_t m_pos[kBufferCount] = {};
    ToneFilterState m_highCutState{};
    ToneFilterState m_lowCutState{};
    EKernel m_kernel = EKernel::kLanes;

    // Per-buffer constants, and the block and rate they were computed from.
    bool m_constantsValid = false;
    uint32_t m_constantsRate = 0;
    ParamBlock m_constantsBlock{};
    NetworkConstants m_network{1, 1, 0.0, 0.0, 0.0, 0.0};
    DiffusionConstants m_diffusion{};
    bool m_diffusionOn = false;
    bool m_highCutOn = false;
    bool m_lowCutOn = false;
    bool m_runawayPossible = false;   // feedback and cross-feed into a line above 100 %
    int32_t m_highCutoff = 0;
    int32_t m_lowCutoff = 0;
    ToneCoefficients m_highCut{};
    ToneCoefficients m_lowCut{};
    double m_dry[2] = {0.0, 0.0};   // left, right (0.0 with Listen on)
    double m_wet[2] = {0.0, 0.0};
};
