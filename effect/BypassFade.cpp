#include "effect/BypassFade.h"

#include <cmath>

#include "effect/Interleave.h"

uint32_t CBypassFade::FadeFrames(uint32_t sampleRate) {
    const double frames = std::floor(sampleRate * kBypassFadeSeconds + 0.5);
    return frames < 1.0 ? 1u : static_cast<uint32_t>(frames);
}

CBypassFade::CBypassFade(uint32_t sampleRate) : m_fadeFrames(FadeFrames(sampleRate)), m_wetFrames(m_fadeFrames) {}

void CBypassFade::Want(bool bypassed) {
    m_wantWet = !bypassed;
    if (!m_fresh) return;
    m_wetFrames = m_wantWet ? m_fadeFrames : 0;
    m_fresh = false;
}

void CBypassFade::Mix(const float* wet, const float* dry, int dryChannels, float* left, float* right, uint32_t n) {
    const int dryRight = dryChannels - 1;
    const uint32_t end = m_wantWet ? m_fadeFrames : 0;
    const double length = m_fadeFrames;
    uint32_t i = 0;
    for (; i < n && m_wetFrames != end; ++i) {
        m_wetFrames = m_wantWet ? m_wetFrames + 1 : m_wetFrames - 1;
        if (m_wetFrames == end) break;
        const double g = m_wetFrames / length;
        const double l = dry[i * dryChannels];
        const double r = dry[i * dryChannels + dryRight];
        left[i] = static_cast<float>(wet[2 * i] * g + l * (1.0 - g));
        right[i] = static_cast<float>(wet[2 * i + 1] * g + r * (1.0 - g));
    }
    if (m_wetFrames != end) return;
    if (m_wantWet) {
        DeinterleaveStereo(wet + 2 * i, left + i, right + i, n - i);
    } else if (dryChannels == 2) {
        DeinterleaveStereo(dry + 2 * i, left + i, right + i, n - i);
    } else {
        for (; i < n; ++i) {
            const float l = dry[i * dryChannels];
            const float r = dry[i * dryChannels + dryRight];
            left[i] = l;
            right[i] = r;
        }
    }
}
