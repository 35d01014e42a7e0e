#include "effect/HostedEffect.h"

#include <new>

#include "effect/Interleave.h"

namespace {

WAVEFORMATEX FloatFormat(int channels, uint32_t rate) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    f.nChannels = static_cast<WORD>(channels);
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = 32;
    f.nBlockAlign = static_cast<WORD>(channels * 4);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

}  // namespace

CHostedEffect::CHostedEffect(int inputChannels, uint32_t sampleRate)
    : m_inputChannels(inputChannels),
      m_sampleRate(sampleRate),
      m_inputFormat(FloatFormat(inputChannels, sampleRate)),
      m_outputFormat(FloatFormat(2, sampleRate)),
      m_bypass(sampleRate) {}

CHostedEffect::~CHostedEffect() {
    m_effect.SetStreaming(0);
    m_effect.ReleaseStreaming();
}

bool CHostedEffect::Prepare(uint32_t sampleRate) {
    m_sampleRate = sampleRate;
    m_inputFormat = FloatFormat(m_inputChannels, sampleRate);
    m_outputFormat = FloatFormat(2, sampleRate);
    m_bypass = CBypassFade(sampleRate);
    return Prepare();
}

bool CHostedEffect::Prepare() {
    if (!m_scratchIn) m_scratchIn.reset(new (std::nothrow) float[2 * kChunkFrames]);
    if (!m_scratchOut) m_scratchOut.reset(new (std::nothrow) float[2 * kChunkFrames]);
    if (!m_scratchIn || !m_scratchOut) return false;
    if (!m_linked) m_effect.SetParamsAsSoleWriter(m_controls.Block());
    m_effect.SetStreaming(1);
    m_fresh = true;
    m_bypass.Start();
    try {
        return SUCCEEDED(m_effect.PrepareStreaming(&m_inputFormat, &m_outputFormat));
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// If preparing fails here the old memory is gone and Process passes
// silence (the processing entry answers E_UNEXPECTED).
bool CHostedEffect::Restart() {
    if (m_fresh) return true;
    return Prepare();
}

bool CHostedEffect::Reset() {
    if (FAILED(m_effect.RestartStreaming())) return false;
    m_bypass.Start();
    m_fresh = true;
    return true;
}

void CHostedEffect::AttachLink(IAutomationLink* link) {
    m_effect.AttachAutomation(link);
    m_linked = link != nullptr;
}

void CHostedEffect::HandControlsOn() {
    if (m_controls.TakeBlockChange()) m_effect.SetParamsAsSoleWriter(m_controls.Block());
    if (m_controls.TakeAnyChange()) m_published.Publish(m_controls);
}

// At most kChunkFrames at a time. The mono input goes in as it is; stereo
// is interleaved first.
void CHostedEffect::Process(const float* const* in, float* const* out, uint32_t from, uint32_t to) {
    if (!out[0] || !out[1] || !in[0] || (m_inputChannels == 2 && !in[1])) return;
    m_fresh = false;
    while (from < to) {
        const uint32_t n = to - from < kChunkFrames ? to - from : kChunkFrames;
        const float* dry;
        if (m_inputChannels == 1) {
            dry = in[0] + from;
        } else {
            InterleaveStereo(in[0] + from, in[1] + from, m_scratchIn.get(), n);
            dry = m_scratchIn.get();
        }
        int32_t frames = static_cast<int32_t>(n);
        int32_t capacity = frames;
        float* wet = m_scratchOut.get();
        if (FAILED(m_effect.ProcessFloat(1, dry, &frames, wet, &capacity))) frames = 0;
        for (uint32_t i = static_cast<uint32_t>(frames); i < n; ++i) wet[2 * i] = wet[2 * i + 1] = 0.0f;
        m_bypass.Mix(wet, dry, m_inputChannels, out[0] + from, out[1] + from, n);
        from += n;
    }
}

void CHostedEffect::TakePeaks(float* left, float* right) {
    m_effect.GetPeakLevels(left, right);
    if (m_bypass.AllDry()) *left = *right = 0.0f;
}
