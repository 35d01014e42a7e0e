#include "editor/ControlMath.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

int32_t Saturate(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace

int32_t SliderOffset(int32_t value, int32_t minimum, int32_t range, int32_t travel) {
    if (range == 0) return 0;
    // 64-bit: a value set by message 2126 is not clamped and may lie far out.
    return Saturate((static_cast<int64_t>(range) / 2 + (static_cast<int64_t>(value) - minimum) * travel) / range);
}

int32_t SliderPageStep(int32_t range, int32_t length) {
    const int64_t step = static_cast<int64_t>(range) * 15 / std::max<int64_t>(1, static_cast<int64_t>(length) - 4);
    return Saturate(std::max<int64_t>(1, step));
}

int32_t SquaredDragStep(int32_t d) {
    if (d == 0) return 0;
    const int64_t magnitude = static_cast<int64_t>(d) * d / 2 + 1;
    return Saturate(d > 0 ? magnitude : -magnitude);
}

int32_t ClampedStep(int32_t value, int64_t step, int32_t minimum, int32_t maximum) {
    const int64_t v = static_cast<int64_t>(value) + step;
    return static_cast<int32_t>(std::max<int64_t>(minimum, std::min<int64_t>(maximum, v)));
}

int32_t WheelNotches(int32_t delta) {
    const int32_t n = delta / 120;
    if (n != 0) return n;
    return delta > 0 ? 1 : -1;
}

int32_t WheelSpeed(int32_t elapsed) { return std::max(1, 500 / std::max(1, elapsed)); }

int32_t WheelStep(int32_t speed, int32_t notches) {
    return Saturate(static_cast<int64_t>(speed) * notches * std::llabs(notches));
}

ValueBoxDrag ValueBoxDragStep(int axis, int32_t dx, int32_t dy, bool reverse, bool squared) {
    if (axis == 1 && std::abs(dx) > 2 * std::abs(dy)) axis = 0;
    else if (axis == 0 && std::abs(dy) > 2 * std::abs(dx)) axis = 1;
    int64_t step = axis == 1 ? dy : dx;
    if (reverse) step = -step;
    if (squared) step = step * std::llabs(step);
    return {axis, Saturate(step)};
}

void MeterDecay(MeterChannel& channel, int32_t level, int32_t decayStep) {
    channel.level = Saturate(static_cast<int64_t>(channel.level) - decayStep);
    if (channel.hold > 0) --channel.hold;
    else channel.peak = Saturate(static_cast<int64_t>(channel.peak) - kMeterPeakDrop);
    channel.level = std::max(channel.level, level);
    channel.highest = std::max(channel.highest, level);
    if (channel.level > channel.peak) {
        channel.peak = channel.level;
        channel.hold = kMeterPeakHoldTicks;
    }
}

int MeterRow(int32_t level, int32_t minimum, int32_t maximum, int height, bool topDown, int inset) {
    const int lit = height - 2 * inset;
    // An empty range would divide by zero: such a meter shows nothing lit.
    if (maximum == minimum) return std::max(lit, 0);
    double p = std::floor((static_cast<double>(level) - minimum) * lit / (static_cast<double>(maximum) - minimum) + 0.5);
    // Far-out levels are cut to a few rows beyond either end before turning
    // the double into an int.
    p = std::clamp(p, -1.0 - lit, 2.0 * lit + 1.0);
    int row = static_cast<int>(p);
    if (!topDown) row = lit - row;
    return std::max(row, 0);
}
