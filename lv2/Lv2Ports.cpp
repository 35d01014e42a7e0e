#include "lv2/Lv2Ports.h"

#include <cmath>

namespace zvlv2 {

uint32_t BypassFadeFrames(uint32_t sampleRate) {
    const double frames = std::floor(sampleRate * kBypassFadeSeconds + 0.5);
    return frames < 1.0 ? 1u : static_cast<uint32_t>(frames);
}

}  // namespace zvlv2
